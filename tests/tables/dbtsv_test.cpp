// Tab-separated table files: reading (header forms, escapes, line ends,
// lone lead bytes, failed loads) and the writer that reads back the same.
#include "tables/dbtsv.h"

#include <gtest/gtest.h>

#include <limits>

#include "common/cp932.h"
#include "common/errors.h"
#include "tables/dbs.h"
#include "tabletest.h"

namespace {

using namespace orva;
using orvatest::Fields;
using orvatest::Rows;

TEST(TsvLines, EveryLineEnd) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"a\r\n", {"a"}},
      {"a\n\nb\r\r\n", {"a", "", "b", ""}},
      {"", {}},
      {"\x83\r\nx", {"\x83", "x"}},  // a lone lead byte never swallows the line end
      {"\x83\nx", {"\x83", "x"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitTextLines(c.text), c.lines) << c.text;
}

struct LoadCase {
  const char* what;
  std::string tsv;  // CP932
  const char* fields;
  std::string rows;
};

TEST(TsvLoad, HeaderFormsEscapesAndCells) {
  const std::string so = "\x83\x5c";  // ソ: its trail byte is a backslash
  const std::string hyo = "\x95\x5c";  // 表
  const LoadCase cases[] = {
      {"types and sizes", "id int\tp float\tok bool\tname string 5\tnote\tx word 2", "id:1:4 p:2:10 ok:3:1 name:4:5 note:4:80 x:4:2", ""},
      {"blanks around words", "id  int  \tname string  7 ", "id:1:4 name:4:7", ""},
      {"type words are case-sensitive", "id INT\tsize string x", "id:4:80 size:4:80", ""},
      {"a repeated name shifts the later cells",
       "price int\tPRICE float\tname string 8\n5\t2.5\tpear",
       "price:1:4 name:4:8", "5,2.5"},
      {"a refused size is skipped like a repeated name", "a string -1\tb int\n1\t2", "b:1:4", "1"},
      {"an empty last cell is no cell", "a int\tb int\t\n1\t\n2\t3\t", "a:1:4 b:1:4", "1,0;2,3"},
      {"empty lines are skipped", "a int\n\n1\n\n2\n", "a:1:4", "1;2"},
      {"escapes", "s string 20\na\\\\b\\\"c\\nd\\te\\", "s:4:20", "a\\b\"c\r\nd\\te\\"},
      {"a trail byte 0x5C is no escape", "s string 20\n" + so + "\\n" + hyo + "\\\\", "s:4:20", so + "\r\n" + hyo + "\\"},
      {"a lone lead byte before a tab ends its cell", "a string 4\tb int\n\x83\t7", "a:4:4 b:1:4", "\x83,7"},
      {"more cells than fields", "a int\n1\t2\t3", "a:1:4", "1"},
      {"converted into the field types", "i int\tf float\tb bool\nx\t1e3\ttrue", "i:1:4 f:2:10 b:3:1", "0,1000,FALSE"},
      {"a header without cells", "\nx\ny", "", ";"},  // two records without fields
  };
  for (const LoadCase& c : cases) {
    TDBTable t("t", TDBKind::Game);
    ASSERT_TRUE(t.LoadFromLines(SplitTextLines(c.tsv))) << c.what;
    EXPECT_EQ(Fields(t), c.fields) << c.what;
    std::string rows;
    for (int32_t r = 0; r < t.RecordCount(); ++r) {
      if (r) rows += ";";
      for (int f = 0; f < t.FieldList().Count(); ++f) {
        std::string v;
        t.GetStrAt(r, f, v);
        rows += (f ? "," : "") + v;
      }
    }
    EXPECT_EQ(rows, c.rows) << c.what;
    EXPECT_EQ(t.RecNo(), t.RecordCount() - 1) << c.what;
  }
}

TEST(TsvLoad, AFailedLoadLeavesTheTableAsItWas) {
  for (const std::vector<std::string>& lines :
       {std::vector<std::string>{}, std::vector<std::string>{"a int\t int", "1\t2"},
        std::vector<std::string>{"a int\t\tb int"}, std::vector<std::string>{" a int"}}) {
    TDBTable t("t", TDBKind::Game);
    orvatest::Load(t, "id int\tname string 4\n1\tone\n2\ttwo");
    t.SetRecNo(0);
    EXPECT_FALSE(t.LoadFromLines(lines)) << lines.size();
    EXPECT_EQ(Fields(t), "id:1:4 name:4:4");
    EXPECT_EQ(Rows(t), "1,one;2,two");
    EXPECT_EQ(t.RecNo(), 0);
  }
}

TEST(TsvLoad, ReportsCutTextsAndSkippedCells) {
  TDBTable t("t", TDBKind::Game);
  TDBLoadReport report;
  ASSERT_TRUE(t.LoadFromLines(orvatest::Lines("a string 3\tA int\tb int\nabcdef\t1\t2\nabc\t3"), &report));
  ASSERT_EQ(report.warnings.size(), 2u);
  EXPECT_NE(report.warnings[0].find("header cell 2"), std::string::npos) << report.warnings[0];
  EXPECT_NE(report.warnings[1].find("line 2, field a: 6 bytes cut to 3"), std::string::npos) << report.warnings[1];
}

// ---- the writer

TEST(TsvWrite, ReadsBackTheSameTable) {
  TDBTable t("t", TDBKind::Game);
  t.AddField("id", 1, 0);
  t.AddField("price", 2, 0);
  t.AddField("ok", 3, 0);
  t.AddField(Sys("名前"), 4, 24);
  t.AddField("last", 4, 4);
  const char* texts[] = {"ソ表能\\", "a\"b\r\nc", "", "\\n", "ア\\\\"};
  for (int i = 0; i < 5; ++i) {
    t.InsertRecord();
    t.SetIntAt(i, 0, i * 7 - 3);
    t.SetFloatAt(i, 1, i == 0 ? Float(0.1) : Float(-1.5e300) / (i + 1));
    t.SetBoolAt(i, 2, i % 2);
    t.SetStrAt(i, 3, cp932::FromUtf8(texts[i]));
    t.SetStrAt(i, 4, i == 2 ? "" : "zz");
  }
  t.InsertRecord();  // a zeroed record
  const std::vector<std::string> lines = SaveToLines(t);
  EXPECT_EQ(cp932::ToUtf8(lines[0]), "id int\tprice float\tok bool\t名前 string 24\tlast string 4");
  EXPECT_EQ(cp932::ToUtf8(lines[2]), "4\t-7.5E299\tTRUE\ta\"b\\nc\tzz");
  // The trail bytes 0x5C are copied, never doubled.
  EXPECT_EQ(lines[1], "-3\t0.1\tFALSE\t" + Sys("ソ表能") + "\\\\\tzz");
  EXPECT_EQ(lines[3], "11\t-5E299\tFALSE\t\t");

  TDBTable back("back", TDBKind::Game);
  ASSERT_TRUE(back.LoadFromLines(SplitTextLines(JoinLines(lines))));
  EXPECT_EQ(Fields(back), Fields(t));
  EXPECT_EQ(Rows(back), Rows(t));
}

TEST(TsvWrite, RefusesWhatCannotReadBack) {
  struct Case {
    const char* what;
    const char* header;
    std::string text;
  };
  const Case cases[] = {
      {"a blank in a field name", "a b string 9", "x"},
      {"a tab in a text", "s string 9", "a\tb"},
      {"a lone CR", "s string 9", "a\rb"},
      {"a lone LF", "s string 9", "a\nb"},
      {"a lone lead byte before a line break", "s string 9", "\x83\r\n"},
      {"a record that makes an empty line", "s string 9", ""},
  };
  for (const Case& c : cases) {
    TDBTable t("t", TDBKind::Game);
    const std::string header = c.header;
    const size_t cut = header.rfind(" string");
    t.AddField(header.substr(0, cut), 4, 9);
    t.InsertRecord();
    t.SetStrAt(0, 0, c.text);
    EXPECT_THROW(SaveToLines(t), OrvaError) << c.what;
  }
  TDBTable f("t", TDBKind::Game);
  f.AddField("x", 2, 0);
  f.InsertRecord();
  f.SetFloatAt(0, 0, std::numeric_limits<Float>::infinity());
  EXPECT_THROW(SaveToLines(f), OrvaError);
  TDBTable none("t", TDBKind::Game);
  none.InsertRecord();
  EXPECT_THROW(SaveToLines(none), OrvaError);
}

}  // namespace
