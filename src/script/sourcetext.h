// Pieces of the text formats of pages and projects: quoting of content
// strings, hexadecimal, and the lexer of one source line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orva::source {

// An error at a line of a source text (message in UTF-8).
struct SourceError {
  int line;
  std::string message;
};
[[noreturn]] void Fail(int line, const std::string& message);

std::string ToHex(const std::string& bytes);
std::optional<std::string> FromHex(std::string_view hex);

// A CP932 text as a double-quoted UTF-8 source string with escapes, or as
// x"HEX" when UTF-8 cannot carry its bytes.
std::string Quote(const std::string& cp932);
// As Quote, but a plain word stays bare.
std::string StringValue(const std::string& cp932);
bool RoundTripsAsUtf8(const std::string& cp932);
bool IsBareWord(const std::string& utf8);

struct Token {
  enum Kind { Bare, Str, Expr, List } kind = Bare;
  std::string text;                // Bare: UTF-8; Str: UTF-8, or CP932 when strIsCp932; Expr: inside the braces
  bool strIsCp932 = false;
  std::vector<std::string> items;  // List: expression texts
  std::string name;                // for name=value tokens
  // The text of a Str or Bare token in CP932.
  std::string Cp932() const;
};

// Splits one line into tokens: words, "strings", x"HEX", {expressions},
// [lists of {expressions}] and name=value pairs.
std::vector<Token> Tokenize(std::string_view line, int lineNo);

}  // namespace orva::source
