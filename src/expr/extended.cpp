#include "expr/extended.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/errors.h"
#include "common/streams.h"

namespace orva {

Extended10 EncodeExtended(Float x) {
  Extended10 out{};
  uint16_t signExp = std::signbit(x) ? 0x8000 : 0;
  uint64_t mant = 0;
  if (std::isnan(x)) {
    signExp |= 0x7FFF;
    mant = 0xC000000000000000ULL;
  } else if (std::isinf(x)) {
    signExp |= 0x7FFF;
    mant = 0x8000000000000000ULL;
  } else if (x != 0) {
    Float a = std::fabs(x);
    int e = 0;
    Float f = std::frexp(a, &e);  // a = f * 2^e, 0.5 <= f < 1
    int biased = e - 1 + 16383;   // integer bit set: value = 1.xxx * 2^(e-1)
    if (biased <= 0) {
      // Denormal: exponent field 0 means 2^-16382 with the integer bit clear.
      mant = static_cast<uint64_t>(std::ldexp(a, 16382 + 63));
      biased = 0;
    } else {
      mant = static_cast<uint64_t>(std::ldexp(f, 64));
    }
    signExp |= static_cast<uint16_t>(biased);
  }
  for (int i = 0; i < 8; ++i) out[static_cast<size_t>(i)] = static_cast<uint8_t>(mant >> (8 * i));
  out[8] = static_cast<uint8_t>(signExp);
  out[9] = static_cast<uint8_t>(signExp >> 8);
  return out;
}

Float DecodeExtended(const Extended10& b) {
  uint64_t mant = 0;
  for (int i = 0; i < 8; ++i) mant |= static_cast<uint64_t>(b[static_cast<size_t>(i)]) << (8 * i);
  uint16_t signExp = static_cast<uint16_t>(b[8] | (b[9] << 8));
  bool neg = (signExp & 0x8000) != 0;
  int exp = signExp & 0x7FFF;
  Float v;
  if (exp == 0x7FFF) {
    v = (mant << 1) == 0 ? HUGE_VALL : NAN;
  } else {
    // Denormals and patterns with the integer bit clear read by their value.
    int e = exp == 0 ? 1 - 16383 - 63 : exp - 16383 - 63;
    v = std::ldexp(static_cast<Float>(mant), e);
  }
  return neg ? -v : v;
}

void WriteExtended(TStream& s, Float x) {
  Extended10 b = EncodeExtended(x);
  s.WriteExact(b.data(), 10);
}

Float ReadExtended(TStream& s) {
  Extended10 b;
  s.ReadExact(b.data(), 10);
  return DecodeExtended(b);
}

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int32_t> ParseIntText(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  bool hex = false;
  if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    int d = hex ? HexDigit(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
    if (d < 0) return std::nullopt;
    v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFULL) return std::nullopt;
  }
  if (hex) {
    uint32_t u = static_cast<uint32_t>(v);
    if (neg) u = 0u - u;
    return static_cast<int32_t>(u);
  }
  if (neg ? v > 0x80000000ULL : v > 0x7FFFFFFFULL) return std::nullopt;
  int64_t sv = neg ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return static_cast<int32_t>(sv);
}

std::optional<Float> ParseFloatText(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  size_t i = b;
  if (i < e && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < e && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < e && s[i] == '.') {
    ++i;
    while (i < e && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < e && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < e && (s[i] == '+' || s[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < e && s[i] >= '0' && s[i] <= '9') ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != e) return std::nullopt;
  // The grammar is checked above; the conversion itself uses the "C" locale
  // so the decimal point is always "." whatever the process locale says.
  // Overflow gives infinity and underflow zero or a denormal.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  std::string text(s.substr(b, e - b));
  Float v = strtold_l(text.c_str(), nullptr, cLocale);
  return v;
}

std::string FloatToText(Float x) {
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15Lg", x);
  std::string s(buf);
  size_t epos = s.find('e');
  if (epos == std::string::npos) return s == "-0" ? "0" : s;
  std::string mant = s.substr(0, epos);
  std::string exp = s.substr(epos + 1);
  bool negExp = !exp.empty() && exp[0] == '-';
  size_t k = (!exp.empty() && (exp[0] == '-' || exp[0] == '+')) ? 1 : 0;
  while (k + 1 < exp.size() && exp[k] == '0') ++k;
  return mant + "E" + (negExp ? "-" : "") + exp.substr(k);
}

int32_t FloatToInt(Float x) {
  Float t = std::trunc(x);
  if (!(t >= -2147483648.0L && t <= 2147483647.0L))
    throw OrvaError::Utf8("Invalid floating point operation");
  return static_cast<int32_t>(t);
}

}  // namespace orva
