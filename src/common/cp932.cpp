#include "common/cp932.h"

#include <cerrno>
#include <iconv.h>

#include "common/errors.h"

namespace orva::cp932 {

size_t CountChars(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); i += CharLength(s, i)) ++n;
  return n;
}

size_t ByteOffsetOfChar(std::string_view s, size_t charIndex) {
  size_t i = 0;
  for (size_t n = 0; n < charIndex && i < s.size(); ++n) i += CharLength(s, i);
  return i;
}

bool IsCharStart(std::string_view s, size_t i) {
  if (i >= s.size()) return i == s.size();
  // The nearest byte before i that cannot lead a double-byte character ends
  // a character (a single byte or a trail byte), so a character starts right
  // after it; the lead-range bytes from there to i pair up.
  size_t run = 0;
  while (run < i && IsLeadByte(static_cast<unsigned char>(s[i - 1 - run]))) ++run;
  return run % 2 == 0;
}

namespace {
char FoldLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char FoldUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

template <char (*Fold)(char)>
std::string Map(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size();) {
    size_t len = CharLength(out, i);
    if (len == 1) out[i] = Fold(out[i]);
    i += len;
  }
  return out;
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    return cd_;
  }

 private:
  iconv_t cd_;
};

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}
}  // namespace

std::string ToLower(std::string_view s) { return Map<FoldLower>(s); }
std::string ToUpper(std::string_view s) { return Map<FoldUpper>(s); }

int CompareTextCI(std::string_view a, std::string_view b) {
  size_t i = 0;
  const size_t n = std::min(a.size(), b.size());
  while (i < n) {
    size_t len = CharLength(a, i);
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (len == 1 && CharLength(b, i) == 1) {
      ca = static_cast<unsigned char>(FoldLower(static_cast<char>(ca)));
      cb = static_cast<unsigned char>(FoldLower(static_cast<char>(cb)));
      if (ca != cb) return ca < cb ? -1 : 1;
      ++i;
      continue;
    }
    // At least one side starts a double-byte character: compare raw bytes.
    for (size_t k = 0; k < len && i < n; ++k, ++i) {
      ca = static_cast<unsigned char>(a[i]);
      cb = static_cast<unsigned char>(b[i]);
      if (ca != cb) return ca < cb ? -1 : 1;
    }
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string ToUtf8(std::string_view in) {
  if (IsAscii(in)) return std::string(in);
  thread_local Iconv conv("UTF-8", "CP932");
  std::string out;
  out.reserve(in.size() * 3 / 2 + 4);
  if (!conv.ok()) {
    for (unsigned char c : in) out += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\xEF\xBF\xBD";
    return out;
  }
  iconv_t cd = conv.get();
  size_t i = 0;
  char buf[16];
  while (i < in.size()) {
    // Convert one character at a time so a refused byte is replaced alone.
    size_t len = CharLength(in, i);
    char* src = const_cast<char*>(in.data() + i);
    size_t srcLeft = len;
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    if (r == static_cast<size_t>(-1) || srcLeft != 0) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      out += "\xEF\xBF\xBD";
      i += 1;  // retry the next byte: a bad lead byte must not eat a good one
      continue;
    }
    out.append(buf, static_cast<size_t>(dst - buf));
    i += len;
  }
  return out;
}

std::string FromUtf8(std::string_view in) {
  if (IsAscii(in)) return std::string(in);
  thread_local Iconv conv("CP932", "UTF-8");
  if (!conv.ok()) throw OrvaError::Unconverted("CP932 conversion is not available (iconv)");
  iconv_t cd = conv.get();
  std::string out(in.size() + 8, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  while (srcLeft > 0) {
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() * 2);
      dst = out.data() + used;
      dstLeft = out.size() - used;
      continue;
    }
    throw OrvaError::Unconverted("text cannot be represented in CP932: \"" + std::string(in) + "\"");
  }
  out.resize(static_cast<size_t>(dst - out.data()));
  return out;
}

}  // namespace orva::cp932

namespace orva {
std::string Sys(std::string_view utf8) { return cp932::FromUtf8(utf8); }
}  // namespace orva
