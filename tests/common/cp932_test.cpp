#include "common/cp932.h"

#include <gtest/gtest.h>

#include "common/errors.h"

namespace orva::cp932 {
namespace {

// "ソ" is 0x83 0x5C: its trail byte is a backslash. "ア" is 0x83 0x41: its
// trail byte is an ASCII 'A'.
const std::string kSo = "\x83\x5c";
const std::string kA = "\x83\x41";

TEST(Cp932, LeadBytes) {
  struct Case { unsigned char b; bool lead; };
  for (auto c : {Case{0x80, false}, Case{0x81, true}, Case{0x9F, true}, Case{0xA0, false}, Case{0xB1, false},
                 Case{0xDF, false}, Case{0xE0, true}, Case{0xFC, true}, Case{0xFD, false}, Case{'A', false}})
    EXPECT_EQ(IsLeadByte(c.b), c.lead) << int(c.b);
}

TEST(Cp932, StrictPairingNeedsAValidTrailByte) {
  struct Case { unsigned char b; bool trail; };
  for (auto c : {Case{0x3F, false}, Case{0x40, true}, Case{0x5C, true}, Case{0x7E, true}, Case{0x7F, false},
                 Case{0x80, true}, Case{0xFC, true}, Case{0xFD, false}, Case{'\t', false}, Case{'\r', false},
                 Case{'\n', false}, Case{'"', false}, Case{' ', false}})
    EXPECT_EQ(IsTrailByte(c.b), c.trail) << int(c.b);
  struct Len { std::string s; size_t at, strict, loose; };
  for (const auto& c : {Len{kSo, 0, 2, 2}, Len{"\x83\t", 0, 1, 2}, Len{"\x83\r\n", 0, 1, 2}, Len{"\x83", 0, 1, 1},
                        Len{"a" + kA, 1, 2, 2}, Len{"\x83\x7f", 0, 1, 2}})
    EXPECT_TRUE(StrictCharLength(c.s, c.at) == c.strict && CharLength(c.s, c.at) == c.loose) << c.s;
}

TEST(Cp932, CountsDoubleByteCharactersAsOne) {
  struct Case { std::string s; size_t chars; };
  for (const auto& c : {Case{"", 0}, Case{"abc", 3}, Case{kSo, 1}, Case{"a" + kSo + "b", 3},
                        Case{"\xb1\xb2", 2} /* half-width katakana */, Case{"x\x83", 2} /* lone lead at end */})
    EXPECT_EQ(CountChars(c.s), c.chars) << c.s;
  EXPECT_EQ(ByteOffsetOfChar("a" + kSo + "b", 2), 3u);
  EXPECT_FALSE(IsCharStart(kSo, 1));
  EXPECT_TRUE(IsCharStart("a" + kSo, 1));
}

// Character starts found by walking from the front, as the definition says.
bool StartByWalking(std::string_view s, size_t i) {
  size_t p = 0;
  while (p < i && p < s.size()) p += CharLength(s, p);
  return p == i;
}

TEST(Cp932, CharacterStartsMatchAWalkFromTheFront) {
  // Runs of lead-range bytes, trail letters, lone leads at the end.
  const std::string samples[] = {"", "a", "\x83", kSo + kA + "Z", "\x83\x83\x83\x83" "A", "x\xE0\x81\x9F\x41\xFC",
                                 "\xB1\x83\x41\x83", "AB" + kA + kA + "\x81"};
  for (const std::string& s : samples)
    for (size_t i = 0; i <= s.size() + 1; ++i) EXPECT_EQ(IsCharStart(s, i), StartByWalking(s, i)) << s << " " << i;
}

TEST(Cp932, CaseFoldingTouchesAsciiLettersOnly) {
  EXPECT_EQ(ToLower("ABC" + kA + "Z"), "abc" + kA + "z");
  EXPECT_EQ(ToUpper("abc" + std::string("\x83\x61") + "z"), "ABC\x83\x61Z");
  EXPECT_TRUE(SameTextCI("Data\\Pic.PNG", "data\\pic.png"));
  // Same trail byte up to case is a different character.
  EXPECT_FALSE(SameTextCI(kA, "\x83\x61"));
  EXPECT_LT(CompareTextCI("abc", "ABD"), 0);
  EXPECT_GT(CompareTextCI("abcd", "ABC"), 0);
}

TEST(Cp932, ConvertsToUtf8AndBack) {
  struct Case { std::string cp932, utf8; };
  for (const auto& c : {Case{"plain", "plain"}, Case{"\x82\xa0", "あ"}, Case{kSo, "ソ"},
                        Case{"\xb1", "ｱ"}, Case{"\\~", "\\~"}, Case{"\x81\x5f", "＼"},
                        Case{"\x93\xfa\x96\x7b\x8c\xea", "日本語"}}) {
    EXPECT_EQ(ToUtf8(c.cp932), c.utf8);
    EXPECT_EQ(FromUtf8(c.utf8), c.cp932);
  }
}

TEST(Cp932, InvalidBytesBecomeReplacementCharacters) {
  EXPECT_EQ(ToUtf8("a\xff" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(ToUtf8("a\x81"), "a\xEF\xBF\xBD");  // lead byte with nothing after it
  // A bad trail byte must not swallow the next good character.
  EXPECT_EQ(ToUtf8("\x81\x20" "c"), "\xEF\xBF\xBD c");
}

TEST(Cp932, TextThatCp932CannotHoldIsRefused) {
  EXPECT_THROW(FromUtf8("€"), OrvaError);
  EXPECT_THROW(FromUtf8("\xff\xfe"), OrvaError);
}

TEST(Cp932, ErrorsKeepTheSystemMessage) {
  OrvaError e = OrvaError::Format("%s:ファイルがありません", "a" + kSo);
  EXPECT_EQ(e.message(), "a" + kSo + ":\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1");
  EXPECT_STREQ(e.what(), "aソ:ファイルがありません");
}

}  // namespace
}  // namespace orva::cp932
