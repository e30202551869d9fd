// Text functions: bytes and characters, Shift-JIS trail bytes that equal
// ASCII delimiters, paths, and the half-width / full-width forms.
#include "sysfuncs_fixture.h"

namespace orvatest {
namespace {

using orva::Sys;
using orva::cp932::ToUtf8;

// "表" and "ソ" end in the trail byte 0x5C ("\\"), "ポ" in 0x7C ("|") and
// "ア" in 0x41 ("A").
INSTANTIATE_TEST_SUITE_P(
    BytesAndCharacters, SysFuncValues,
    ::testing::Values(
        EvalCase{"Length(\"abc\")", "1:3"}, EvalCase{"Length(\"日本\")", "1:4"}, EvalCase{"Length(12)", "1:2"},
        EvalCase{"JLength(\"日本a\")", "1:3"}, EvalCase{"JLength(\"\")", "1:0"},
        EvalCase{"Copy(\"abcdef\", 3)", "4:cdef"}, EvalCase{"Copy(\"abcdef\", 3, 2)", "4:cd"},
        EvalCase{"Copy(\"abcdef\", 0, 2)", "4:ab"}, EvalCase{"Copy(\"abcdef\", 5, 10)", "4:ef"},
        EvalCase{"Copy(\"abcdef\", 7)", "4:"}, EvalCase{"Copy(\"abcdef\", 2, -1)", "4:"},
        EvalCase{"JCopy(\"日本語\", 2, 1)", "4:本"}, EvalCase{"JCopy(\"a日b\", 2)", "4:日b"},
        EvalCase{"JCopy(\"日本語\", 0, 2)", "4:日本"}, EvalCase{"JCopy(\"日本語\", 4)", "4:"},
        EvalCase{"Pos(\"c\", \"abc\")", "1:3"}, EvalCase{"Pos(\"x\", \"abc\")", "1:0"},
        EvalCase{"Pos(\"\", \"abc\")", "1:0"}, EvalCase{"Pos(\"本\", \"日本\")", "1:3"},
        EvalCase{"Pos(\"\\\\\", \"表\\\\\")", "1:3"}, EvalCase{"Pos(\"A\", \"アA\")", "1:3"},
        EvalCase{"JPos(\"a\", \"日本a\")", "1:3"}, EvalCase{"JPos(\"本\", \"日本\")", "1:2"},
        EvalCase{"JPos(\"\\\\\", \"ソ表\\\\\")", "1:3"}, EvalCase{"CompareStr(\"a\", \"b\")", "1:-1"},
        EvalCase{"CompareStr(\"b\", \"a\")", "1:1"}, EvalCase{"CompareStr(\"a\", \"a\")", "1:0"},
        EvalCase{"CompareStr(\"a\", \"A\")", "1:1"}, EvalCase{"CompareStr(\"ab\", \"a\")", "1:1"},
        EvalCase{"CompareText(\"abc\", \"ABC\")", "1:0"}, EvalCase{"CompareText(\"a\", \"B\")", "1:-1"},
        EvalCase{"CompareText(\"ア\", \"アa\")", "1:-1"}, EvalCase{"CompareText(\"ア\", \"ａ\")", "1:1"},
        EvalCase{"Trim(Chr(9) ++ \" a b \" ++ Chr(13))", "4:a b"}, EvalCase{"Trim(\"　a\")", "4:　a"},
        EvalCase{"JTrim(\"　 a 　\")", "4:a"}, EvalCase{"JTrim(Chr(9) ++ \"a\")", "4:\ta"},
        EvalCase{"JTrim(\"　\")", "4:"}, EvalCase{"FixStr(Copy(\"あい\", 1, 3))", "4:あ"},
        EvalCase{"FixStr(\"あい\")", "4:あい"}, EvalCase{"FixStr(\"\")", "4:"},
        EvalCase{"LowerCase(\"ABCａＢア\")", "4:abcａＢア"}, EvalCase{"UpperCase(\"abcア\")", "4:ABCア"},
        EvalCase{"StringOfChar(\"ab\", 3)", "4:ababab"}, EvalCase{"StringOfChar(\"a\", 0)", "4:"},
        EvalCase{"StringOfChar(\"a\", -1)", "4:"}, EvalCase{"StringReplace(\"aAa\", \"a\", \"x\")", "4:xAa"},
        EvalCase{"StringReplace(\"aAa\", \"a\", \"x\", TRUE, TRUE)", "4:xxx"},
        EvalCase{"StringReplace(\"aAa\", \"a\", \"x\", TRUE)", "4:xAx"},
        EvalCase{"StringReplace(\"aAa\", \"A\", \"x\", FALSE, TRUE)", "4:xAa"},
        EvalCase{"StringReplace(\"表\\\\表\", \"\\\\\", \"/\", TRUE)", "4:表/表"},
        EvalCase{"StringReplace(\"abc\", \"\", \"x\", TRUE)", "4:abc"},
        EvalCase{"StringReplace(\"aa\", \"a\", \"aa\", TRUE)", "4:aaaa"},
        EvalCase{"AddDelimiter(\",\", \"\")", "4:"}, EvalCase{"AddDelimiter(\",\", \"a\")", "4:a,"},
        EvalCase{"HanToZen(\"ｶﾞA1 \")", "4:ガＡ１　"}, EvalCase{"ZenToHan(\"ガＡ１　漢\")", "4:ｶﾞA1 漢"}));

INSTANTIATE_TEST_SUITE_P(
    Paths, SysFuncValues,
    ::testing::Values(
        EvalCase{"ExtractFilePath(\"c:\\\\dir\\\\表.txt\")", "4:c:\\dir\\"},
        EvalCase{"ExtractFileName(\"c:\\\\dir\\\\表.txt\")", "4:表.txt"},
        EvalCase{"ExtractFileExt(\"c:\\\\dir\\\\表.txt\")", "4:.txt"},
        EvalCase{"ExtractFilePath(\"表\")", "4:"}, EvalCase{"ExtractFileName(\"ソ表\")", "4:ソ表"},
        EvalCase{"ExtractFileName(\"c:a.txt\")", "4:a.txt"}, EvalCase{"ExtractFilePath(\"c:a.txt\")", "4:c:"},
        EvalCase{"ExtractFileExt(\"a.b\\\\c\")", "4:"}, EvalCase{"ExtractFileExt(\"a.tar.gz\")", "4:.gz"},
        EvalCase{"ExtractFileExt(\"noext\")", "4:"},
        EvalCase{"ChangeFileExt(\"a\\\\b.txt\", \".png\")", "4:a\\b.png"},
        EvalCase{"ChangeFileExt(\"ソ\", \".x\")", "4:ソ.x"}, EvalCase{"ChangeFileExt(\"a.b\\\\c\", \".x\")", "4:a.b\\c.x"},
        EvalCase{"ChangeFileExt(\"a.txt\", \"\")", "4:a"}, EvalCase{"AddBackSlash(\"dir\")", "4:dir\\"},
        EvalCase{"AddBackSlash(\"dir\\\\\")", "4:dir\\"}, EvalCase{"AddBackSlash(\"表\")", "4:表\\"},
        EvalCase{"AddBackSlash(\"\")", "4:\\"}, EvalCase{"IsPathDelimiter(\"a\\\\b\", 2)", "3:TRUE"},
        EvalCase{"IsPathDelimiter(\"表\", 2)", "3:FALSE"}, EvalCase{"IsPathDelimiter(\"a\\\\\", 3)", "3:FALSE"},
        EvalCase{"IsPathDelimiter(\"\\\\\", 0)", "3:FALSE"}, EvalCase{"IsDelimiter(\",;\", \"a;b\", 2)", "3:TRUE"},
        EvalCase{"IsDelimiter(\",;\", \"a;b\", 1)", "3:FALSE"}, EvalCase{"IsDelimiter(\"|\", \"ポ|\", 2)", "3:FALSE"},
        EvalCase{"IsDelimiter(\"|\", \"ポ|\", 3)", "3:TRUE"}));

TEST_F(SysFuncs, DeleteAndInsertStoreIntoTheirVariableAndLeaveTheResultEmpty) {
  Declare("s", orva::PT_STR);
  const struct { const char* start; const char* call; const char* after; } cases[] = {
      {"abcdef", "Delete(s, 2, 3)", "aef"},    {"abcdef", "Delete(s, 3)", "ab"},
      {"abcdef", "Delete(s, 0, 2)", "abcdef"}, {"abcdef", "Delete(s, 7, 1)", "abcdef"},
      {"abcdef", "Delete(s, 5, 9)", "abcd"},   {"abcdef", "Delete(s, 2, 0)", "abcdef"},
      {"日本語", "JDelete(s, 2, 1)", "日語"},  {"日本語", "JDelete(s, 2)", "日"},
      {"abcdef", "Insert(\"XY\", s, 3)", "abXYcdef"},
      {"abc", "Insert(\"X\", s, 0)", "Xabc"},  {"abc", "Insert(\"X\", s, 100)", "abcX"},
      {"日本", "JInsert(\"X\", s, 2)", "日X本"}, {"日本", "JInsert(\"X\", s, 9)", "日本X"},
  };
  for (const auto& c : cases) {
    Value("s").SetStr(Sys(c.start));
    EXPECT_EQ(Eval(c.call), "4:") << c.call << " " << lastError;
    EXPECT_EQ(Value("s").GetStr(), Sys(c.after)) << c.call;
  }
  // Delete counts bytes: it may cut a double-byte character in two.
  Value("s").SetStr(Sys("日本語"));
  Eval("Delete(s, 2, 2)");
  EXPECT_EQ(Value("s").GetStr(), "\x93\x7B" + Sys("語"));
}

TEST_F(SysFuncs, ALiteralVariableArgumentIsAThrowAwayCopy) {
  // The same compiled expression runs twice: the literal it passes must not
  // have been changed by the first run.
  orva::TOrvaParser p;
  LoadCompiled(Sys("Insert(\"x\", \"abc\", 1) ++ Copy(\"abc\", 1)"), p);
  for (int run = 0; run < 2; ++run) {
    p.Execute(vars, funcs);
    ASSERT_TRUE(p.Result());
    EXPECT_EQ(p.Result()->GetStr(), "abc");
  }
}

// Each ASCII graphic character, the space and each half-width katakana or
// mark, with the full-width form the code page maps it to.
TEST(KanaForms, HanToZenMatchesTheCodePagesFullWidthForms) {
  for (int c = 0x20; c <= 0x7E; ++c) {
    // U+FF01-U+FF5E mirror ASCII; the space and the quotes take the forms
    // Japanese text uses.
    char32_t want = c == ' ' ? U'\u3000' : c == '"' ? U'\u201D' : c == '\'' ? U'\u2019' : char32_t(c + 0xFEE0);
    std::string utf8;
    utf8 += static_cast<char>(0xE0 | (want >> 12));
    utf8 += static_cast<char>(0x80 | ((want >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (want & 0x3F));
    std::string half(1, static_cast<char>(c));
    EXPECT_EQ(ToUtf8(orva::HanToZen(half)), utf8) << half;
    EXPECT_EQ(orva::ZenToHan(orva::HanToZen(half)), half) << half;
  }
  const char* full[] = {"。", "「", "」", "、", "・", "ヲ", "ァ", "ィ", "ゥ", "ェ", "ォ", "ャ", "ュ", "ョ", "ッ", "ー",
                        "ア", "イ", "ウ", "エ", "オ", "カ", "キ", "ク", "ケ", "コ", "サ", "シ", "ス", "セ", "ソ", "タ",
                        "チ", "ツ", "テ", "ト", "ナ", "ニ", "ヌ", "ネ", "ノ", "ハ", "ヒ", "フ", "ヘ", "ホ", "マ", "ミ",
                        "ム", "メ", "モ", "ヤ", "ユ", "ヨ", "ラ", "リ", "ル", "レ", "ロ", "ワ", "ン", "゛", "゜"};
  for (int b = 0xA1; b <= 0xDF; ++b) {
    std::string half(1, static_cast<char>(b));
    EXPECT_EQ(ToUtf8(orva::HanToZen(half)), full[b - 0xA1]) << b;
    EXPECT_EQ(orva::ZenToHan(orva::HanToZen(half)), half) << b;
  }
}

TEST(KanaForms, VoicedMarksCombineWithTheKanaBeforeThem) {
  const struct { const char* half; const char* full; } cases[] = {
      {"ｶﾞｷﾞｸﾞｹﾞｺﾞ", "ガギグゲゴ"}, {"ﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ", "ダヂヅデド"}, {"ﾊﾞﾋﾟﾌﾞﾍﾟﾎﾞ", "バピブペボ"},
      {"ｳﾞ", "ヴ"}, {"ｻﾞｼﾞｽﾞｾﾞｿﾞ", "ザジズゼゾ"}, {"ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ", "パピプペポ"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToUtf8(orva::HanToZen(Sys(c.half))), c.full) << c.half;
    EXPECT_EQ(ToUtf8(orva::ZenToHan(Sys(c.full))), c.half) << c.full;
  }
  // A mark that cannot combine stays a mark of its own.
  const struct { const char* half; const char* full; } alone[] = {
      {"ｱﾞ", "ア゛"}, {"ｶﾟ", "カ゜"}, {"ﾞｶ", "゛カ"}, {"ﾜﾞ", "ワ゛"}, {"ｳﾟ", "ウ゜"}};
  for (const auto& c : alone) EXPECT_EQ(ToUtf8(orva::HanToZen(Sys(c.half))), c.full) << c.half;
}

TEST(KanaForms, OtherCharactersAreLeftAlone) {
  // Double-byte characters without a half-width form, control bytes and a
  // lone lead byte at the end.
  const std::string kept = Sys("漢字ひらがなヵヶ①") + "\t\x7F\x80\xA0\x82";
  EXPECT_EQ(orva::ZenToHan(kept), kept);
  EXPECT_EQ(orva::HanToZen(Sys("漢字ひらがな") + "\t\x82"), Sys("漢字ひらがな") + "\t\x82");
  // Both full-width double quotes become the ASCII one.
  EXPECT_EQ(orva::ZenToHan(Sys("“”’")), "\"\"'");
}

}  // namespace
}  // namespace orvatest
