#include "script/sourcetext.h"

#include <cctype>
#include <cstdio>

#include "common/cp932.h"
#include "common/errors.h"

namespace orva::source {

void Fail(int line, const std::string& message) { throw SourceError{line, message}; }

std::string ToHex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::optional<std::string> FromHex(std::string_view hex) {
  if (hex.size() % 2) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    auto nib = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    int hi = nib(hex[i]), lo = nib(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

// Source strings are UTF-8 with C-like escapes; content strings are CP932.
static std::string QuoteUtf8(const std::string& cp932) {
  std::string out = "\"";
  for (unsigned char c : cp932::ToUtf8(cp932)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// True when the CP932 text survives the trip through UTF-8 unchanged.
bool RoundTripsAsUtf8(const std::string& cp932) {
  try {
    return cp932::FromUtf8(cp932::ToUtf8(cp932)) == cp932;
  } catch (const OrvaError&) {
    return false;
  }
}

std::string Quote(const std::string& cp932) {
  if (RoundTripsAsUtf8(cp932)) return QuoteUtf8(cp932);
  // Bytes that UTF-8 cannot carry: write them as hexadecimal.
  return "x\"" + ToHex(cp932) + "\"";
}

bool IsBareWord(const std::string& utf8) {
  if (utf8.empty()) return false;
  for (unsigned char c : utf8)
    if (c <= ' ' || c == '"' || c == '{' || c == '}' || c == '[' || c == ']' || c == '=' || c == '@' || c == '#')
      return false;
  return utf8 != "runon" && utf8 != "disabled" && utf8 != "all";
}

std::string StringValue(const std::string& cp932) {
  if (RoundTripsAsUtf8(cp932)) {
    std::string u = cp932::ToUtf8(cp932);
    if (IsBareWord(u)) return u;
  }
  return Quote(cp932);
}

// ---------------------------------------------------------------- tokenizer

namespace {

class LineLexer {
 public:
  LineLexer(std::string_view s, int line) : s_(s), line_(line) {}

  std::vector<Token> Tokens() {
    std::vector<Token> out;
    for (;;) {
      SkipBlanks();
      if (pos_ >= s_.size()) return out;
      out.push_back(Next());
    }
  }

 private:
  void SkipBlanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r')) ++pos_;
  }

  Token Next() {
    // name=value
    size_t p = pos_;
    while (p < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[p])) || s_[p] == '_')) ++p;
    if (p > pos_ && p < s_.size() && s_[p] == '=') {
      std::string name(s_.substr(pos_, p - pos_));
      pos_ = p + 1;
      Token t = Value();
      t.name = name;
      return t;
    }
    return Value();
  }

  Token Value() {
    Token t;
    if (pos_ >= s_.size()) Fail(line_, "a value is missing");
    char c = s_[pos_];
    if (c == '{') {
      t.kind = Token::Expr;
      t.text = Braced();
    } else if (c == '"') {
      t.kind = Token::Str;
      t.text = Quoted();
    } else if (c == 'x' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '"') {
      ++pos_;
      t.kind = Token::Str;
      auto bytes = FromHex(Quoted());
      if (!bytes) Fail(line_, "bad hexadecimal string");
      t.text = *bytes;
      t.strIsCp932 = true;
    } else if (c == '[') {
      t.kind = Token::List;
      ++pos_;
      for (;;) {
        SkipBlanks();
        if (pos_ >= s_.size()) Fail(line_, "\"]\" is missing");
        if (s_[pos_] == ']') {
          ++pos_;
          break;
        }
        if (s_[pos_] != '{') Fail(line_, "a list holds expressions in braces");
        t.items.push_back(Braced());
      }
    } else {
      size_t start = pos_;
      while (pos_ < s_.size() && s_[pos_] != ' ' && s_[pos_] != '\t') ++pos_;
      t.text = std::string(s_.substr(start, pos_ - start));
    }
    return t;
  }

  // The text between braces; braces inside string literals do not count.
  std::string Braced() {
    size_t start = ++pos_;
    bool inLiteral = false;
    while (pos_ < s_.size()) {
      char c = s_[pos_];
      if (inLiteral) {
        if (c == '\\' && pos_ + 1 < s_.size()) {
          pos_ += 2;
          continue;
        }
        if (c == '"') inLiteral = false;
      } else if (c == '"') {
        inLiteral = true;
      } else if (c == '}') {
        return std::string(s_.substr(start, pos_++ - start));
      }
      ++pos_;
    }
    Fail(line_, "\"}\" is missing");
  }

  std::string Quoted() {
    ++pos_;
    std::string out;
    while (pos_ < s_.size()) {
      char c = s_[pos_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) break;
      char e = s_[pos_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
          auto b = pos_ + 2 <= s_.size() ? FromHex(s_.substr(pos_, 2)) : std::nullopt;
          if (!b) Fail(line_, "bad \\x escape");
          out += *b;
          pos_ += 2;
          break;
        }
        default: out += e; break;
      }
    }
    Fail(line_, "closing double quote is missing");
  }

  std::string_view s_;
  size_t pos_ = 0;
  int line_;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view line, int lineNo) { return LineLexer(line, lineNo).Tokens(); }

std::string Token::Cp932() const { return strIsCp932 ? text : cp932::FromUtf8(text); }

}  // namespace orva::source
