// Code page 932 (Shift-JIS) helpers. Every text of the content world is a CP932
// byte string in std::string; these functions know where characters begin so
// that a trail byte (which may equal '\\', '/' or an ASCII letter) is never
// mistaken for a character of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orva::cp932 {

// True for the first byte of a double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Length in bytes (1 or 2) of the character starting at s[i]. A lead byte at
// the very end of the string counts as a character of one byte.
inline size_t CharLength(std::string_view s, size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

// True for a byte that can follow a lead byte (0x40-0x7E, 0x80-0xFC). Tabs,
// line ends, blanks and double quotes never are.
constexpr bool IsTrailByte(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// Length in bytes (1 or 2) of the character starting at s[i], pairing a lead
// byte only with a valid trail byte: a lone lead byte before a tab, a line
// end or a quote is a character of its own and never swallows the next byte.
// Used where damaged text must not merge cells, lines or escapes.
inline size_t StrictCharLength(std::string_view s, size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() &&
          IsTrailByte(static_cast<unsigned char>(s[i + 1])))
             ? 2
             : 1;
}

// Number of characters, a double-byte character counting as one.
size_t CountChars(std::string_view s);

// Byte offset of character number `index` (clamped to s.size()).
size_t ByteOffsetOfChar(std::string_view s, size_t charIndex);

// True when byte i of s begins a character (is not a trail byte).
bool IsCharStart(std::string_view s, size_t i);

// Folds ASCII letters only; double-byte characters are copied untouched.
std::string ToLower(std::string_view s);
std::string ToUpper(std::string_view s);

// Case-insensitive comparison folding ASCII letters only (<0, 0, >0), byte
// order otherwise. Trail bytes are compared exactly.
int CompareTextCI(std::string_view a, std::string_view b);
inline bool SameTextCI(std::string_view a, std::string_view b) {
  return a.size() == b.size() && (a == b || CompareTextCI(a, b) == 0);
}

// Conversion at the edges of the program. ToUtf8 never fails: bytes that are
// not valid CP932 become U+FFFD. FromUtf8 throws OrvaError for text that
// CP932 cannot represent or that is not valid UTF-8 (nothing is dropped).
std::string ToUtf8(std::string_view cp932);
std::string FromUtf8(std::string_view utf8);

}  // namespace orva::cp932

namespace orva {
// A message of the system written in the source as UTF-8, in the content
// world's CP932 form (converted once per call site).
std::string Sys(std::string_view utf8);
}  // namespace orva
