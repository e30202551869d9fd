// Fields, records, conversions, searching and sorting of one table, and the
// manager's table list, copies and direct access.
#include "tables/dbs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "common/cp932.h"
#include "tabletest.h"

namespace {

using namespace orva;
using orvatest::Load;
using orvatest::Rows;

bool Write(TDBTable& t, int field, const TDBValue& v) {
  const int32_t r = t.RecNo();
  if (auto* i = std::get_if<int32_t>(&v)) return t.SetIntAt(r, field, *i);
  if (auto* x = std::get_if<Float>(&v)) return t.SetFloatAt(r, field, *x);
  if (auto* b = std::get_if<bool>(&v)) return t.SetBoolAt(r, field, *b);
  return t.SetStrAt(r, field, cp932::FromUtf8(std::get<std::string>(v)));
}

// "int|float|bool|text" as the field reads; "-" for a read that fails.
std::string Reads(const TDBTable& t, int field) {
  const int32_t r = t.RecNo();
  int32_t i = 0;
  Float x = 0;
  bool b = false;
  std::string s;
  std::string out = t.GetIntAt(r, field, i) ? std::to_string(i) : "-";
  out += "|" + (t.GetFloatAt(r, field, x) ? FloatToText(x) : "-");
  out += std::string("|") + (t.GetBoolAt(r, field, b) ? (b ? "T" : "F") : "-");
  out += "|" + (t.GetStrAt(r, field, s) ? cp932::ToUtf8(s) : "-");
  return out;
}

struct ConvCase {
  int field;
  TDBValue value;
  bool written;
  const char* reads;
};

TEST(TableConversions, EveryWriteAndReadType) {
  const Float inf = std::numeric_limits<Float>::infinity();
  const Float nan = std::numeric_limits<Float>::quiet_NaN();
  // Fields: 0 int, 1 float, 2 bool, 3 string 20, 4 string 3, 5 string 0.
  const ConvCase cases[] = {
      {0, 7, true, "7|7|T|7"},
      {0, Float(2.5), true, "2|2|T|2"},  // halves to even where variables truncate
      {0, Float(3.5), true, "4|4|T|4"},
      {0, Float(-2.5), true, "-2|-2|T|-2"},
      {0, Float(2.6), true, "3|3|T|3"},
      {0, Float(1e20), false, "0|0|F|0"},  // out of range: nothing written
      {0, inf, false, "0|0|F|0"},
      {0, nan, false, "0|0|F|0"},
      {0, true, true, "1|1|T|1"},
      {0, std::string("$10"), true, "16|16|T|16"},
      {0, std::string("x"), true, "0|0|F|0"},
      {1, Float(2.5), true, "2|2.5|T|2.5"},
      {1, Float(3.5), true, "4|3.5|T|3.5"},
      {1, Float(-2.5), true, "-2|-2.5|T|-2.5"},
      {1, Float(1e20), true, "-|1E20|T|1E20"},  // no int of it
      {1, inf, true, "-|INF|T|INF"},
      {1, 7, true, "7|7|T|7"},
      {1, false, true, "0|0|F|0"},
      {1, std::string("abc"), true, "0|0|F|0"},
      {1, std::string("1.5E3"), true, "1500|1500|T|1500"},
      {2, 5, true, "1|1|T|TRUE"},
      {2, Float(0), true, "0|0|F|FALSE"},
      {2, std::string("TRUE"), true, "1|1|T|TRUE"},
      {2, std::string("true"), true, "0|0|F|FALSE"},
      {3, std::string("TRUE"), true, "0|0|T|TRUE"},
      {3, std::string("true"), true, "0|0|F|true"},
      {3, std::string("42"), true, "42|42|F|42"},
      {3, std::string("2.5"), true, "0|2.5|F|2.5"},
      {3, Float(0.1), true, "0|0.1|F|0.1"},
      {3, true, true, "0|0|T|TRUE"},
      {3, -5, true, "-5|-5|F|-5"},
      {4, std::string("ABCDE"), true, "0|0|F|ABC"},
      {4, std::string("TRUE"), true, "0|0|F|TRU"},
      {4, std::string("ア表"), true, "0|0|F|ア"},  // the cut never leaves half a character
      {4, Float(1234.5), true, "123|123|F|123"},
      {5, std::string("x"), true, "0|0|F|"},
  };
  for (const ConvCase& c : cases) {
    TDBTable t("t", TDBKind::Game);
    t.AddField("i", 1, 0);
    t.AddField("f", 2, 0);
    t.AddField("b", 3, 0);
    t.AddField("s", 4, 20);
    t.AddField("c", 4, 3);
    t.AddField("e", 4, 0);
    t.InsertRecord();
    EXPECT_EQ(Write(t, c.field, c.value), c.written) << c.reads;
    EXPECT_EQ(Reads(t, c.field), c.reads) << "field " << c.field;
  }
}

TEST(TableConversions, ATextWriteZeroesTheRestOfTheField) {
  TDBTable t("t", TDBKind::Game);
  t.AddField("s", 4, 8);
  t.InsertRecord();
  t.SetStrAt(0, 0, "ABCDEFGH");
  t.SetStrAt(0, 0, "AB");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.Record(0)), 9), std::string("AB\0\0\0\0\0\0\0", 9));
}

TEST(TableFields, AddFieldRules) {
  struct Case {
    const char* name;
    int type;
    int32_t size;
    int index;
  };
  const Case cases[] = {
      {"id", 1, 0, 0},      {"ID", 3, 0, -1},       {"price", 2, 99, 1},         {"ok", 3, 0, 2},
      {"x", 0, 0, -1},      {"x", 5, 0, -1},        {"neg", 4, -1, -1},          {"huge", 4, 10485761, -1},
      {"empty", 4, 0, 3},   {"name", 4, 32, 4},     {"ｎａｍｅ", 4, 1, 5},
  };
  TDBTable t("t", TDBKind::Game);
  for (const Case& c : cases) EXPECT_EQ(t.AddField(cp932::FromUtf8(c.name), c.type, c.size), c.index) << c.name;
  EXPECT_EQ(orvatest::Fields(t), "id:1:4 price:2:10 ok:3:1 empty:4:0 name:4:32 ｎａｍｅ:4:1");
  EXPECT_EQ(t.FieldList().RecordSize(), 4 + 10 + 1 + 1 + 33 + 2);
  EXPECT_EQ(t.FieldList()[4].offset, 16);

  // The record may not grow past 64 MiB: six fields of 10 MiB fit, a seventh does not.
  TDBTable big("big", TDBKind::Game);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(big.AddField("f" + std::to_string(i), 4, 10485760), i);
  EXPECT_EQ(big.AddField("f6", 4, 10485760), -1);
  EXPECT_EQ(big.AddField("small", 1, 0), 6);
}

TEST(TableFields, AddingAFieldWidensEveryRecord) {
  TDBTable t("t", TDBKind::Game);
  Load(t, "id int\tname string 4\n1\tab\n2\tcd\n3\tef");
  ASSERT_EQ(t.AddField("more", 2, 0), 2);
  EXPECT_EQ(Rows(t), "1,ab,0;2,cd,0;3,ef,0");
  t.SetFloatAt(1, 2, 1.5);
  EXPECT_EQ(Rows(t), "1,ab,0;2,cd,1.5;3,ef,0");
}

TEST(TableRecords, MovementAndDeletion) {
  TDBTable t("t", TDBKind::Game);
  EXPECT_FALSE(t.FindFirst());
  EXPECT_FALSE(t.FindLast());
  EXPECT_FALSE(t.DeleteRecord());
  Load(t, "id int\n0\n1\n2\n3");
  EXPECT_EQ(t.RecNo(), 3);  // the last record read
  EXPECT_TRUE(t.SetRecNo(-5));
  EXPECT_EQ(t.RecNo(), -1);
  EXPECT_FALSE(t.FindNext());
  EXPECT_FALSE(t.FindPrior());
  EXPECT_FALSE(t.SetRecNo(4));
  EXPECT_EQ(t.RecNo(), -1);
  EXPECT_TRUE(t.FindFirst());
  EXPECT_FALSE(t.FindPrior());
  EXPECT_TRUE(t.FindNext());
  EXPECT_EQ(t.RecNo(), 1);
  // Deleting a middle record makes the next one current.
  EXPECT_TRUE(t.DeleteRecord());
  EXPECT_EQ(Rows(t), "0;2;3");
  EXPECT_EQ(t.RecNo(), 1);
  // Deleting the last record makes the new last one current.
  EXPECT_TRUE(t.FindLast());
  EXPECT_FALSE(t.FindNext());
  EXPECT_TRUE(t.DeleteRecord());
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_TRUE(t.DeleteRecord());
  EXPECT_TRUE(t.DeleteRecord());
  EXPECT_EQ(t.RecNo(), -1);
  EXPECT_EQ(t.RecordCount(), 0);
  // A record of a table without fields.
  TDBTable empty("e", TDBKind::Game);
  EXPECT_TRUE(empty.InsertRecord());
  EXPECT_EQ(empty.RecNo(), 0);
}

TEST(TableRecords, ByNameAccessNeedsACurrentRecordAndAField) {
  TDBTable t("t", TDBKind::Game);
  Load(t, "id int\n5");
  int32_t v = 0;
  EXPECT_TRUE(t.GetInt("ID", v));
  EXPECT_EQ(v, 5);
  EXPECT_FALSE(t.GetInt("nope", v));
  EXPECT_FALSE(t.SetInt("nope", 1));
  t.SetRecNo(-1);
  EXPECT_FALSE(t.GetInt("id", v));
  EXPECT_FALSE(t.SetInt("id", 1));
  EXPECT_FALSE(t.GetIntAt(1, 0, v));
  EXPECT_FALSE(t.GetIntAt(0, 1, v));
}

// ---- Locate

class TableLocate : public ::testing::Test {
 protected:
  TableLocate() {
    Load(t,
         "name string 20\tid int\tprice float\tok bool\n"
         "apple\t1\t1.5\tTRUE\n"
         "Apple\t2\t2.5\tFALSE\n"
         "ア\t3\t1.5\tTRUE\n"      // 0x83 0x41: its trail byte is "A"
         "表示\t4\t0\tFALSE\n"     // 0x95 0x5C ...: its trail byte is a backslash
         "pineapple\t5\t2.5\tTRUE\n"
         "A\\\\B\t6\t0\tFALSE");  // the text A\B
  }
  std::string Find(const std::vector<TDBKey>& keys, bool ci, bool partial) {
    std::string out;
    for (int32_t i : t.Locate(keys, ci, partial)) out += (out.empty() ? "" : ",") + std::to_string(i);
    return out;
  }
  TDBTable t{"t", TDBKind::Game};
};

TDBKey Key(const char* field, const char* utf8) { return {field, cp932::FromUtf8(utf8)}; }

TEST_F(TableLocate, TextKeysByCaseAndPartial) {
  struct Case {
    const char* value;
    bool ci, partial;
    const char* found;
  };
  const Case cases[] = {
      {"apple", false, false, "0"},
      {"APPLE", false, false, ""},
      {"APPLE", true, false, "0,1"},
      {"app", false, true, "0,4"},
      {"APP", true, true, "0,1,4"},
      {"A", false, true, "1,5"},     // never the trail byte of ア
      {"a", true, true, "0,1,4,5"},  // upper-casing never touches a trail byte
      {"\\", false, true, "5"},      // never the trail byte of 表
      {"ア", true, true, "2"},
      {"示", false, true, "3"},
      {"", false, true, "0,1,2,3,4,5"},
      {"", false, false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Find({Key("name", c.value)}, c.ci, c.partial), c.found) << c.value;
}

TEST_F(TableLocate, TypedKeysAndSeveralKeys) {
  EXPECT_EQ(Find({{"id", 3}}, false, false), "2");
  EXPECT_EQ(Find({{"price", Float(1.5)}}, false, false), "0,2");
  EXPECT_EQ(Find({{"ok", true}}, false, false), "0,2,4");
  EXPECT_EQ(Find({{"price", std::string("2.5")}}, false, false), "1,4");  // the field read as text
  EXPECT_EQ(Find({{"ok", true}, {"price", Float(2.5)}}, false, false), "4");
  EXPECT_EQ(Find({{"ok", true}, {"nope", 1}}, false, false), "");  // a missing field matches nothing
  EXPECT_EQ(Find({}, false, false), "0,1,2,3,4,5");
  EXPECT_EQ(t.LocateFirst({{"price", Float(2.5)}}, false, false), 1);
  EXPECT_EQ(t.LocateFirst({{"id", 9}}, false, false), -1);
}

// ---- Sort

TEST(TableSort, KeysDirectionsAndTies) {
  struct Case {
    std::vector<TDBSortKey> keys;
    const char* ids;
  };
  const Case cases[] = {
      {{{"id", false}}, "1,2,3,4,5,6"},
      {{{"id", true}}, "6,5,4,3,2,1"},
      {{{"grp", false}, {"id", true}}, "5,3,1,6,4,2"},
      {{{"price", false}}, "3,5,1,4,2,6"},  // equal keys keep their order; NaN last
      {{{"price", true}}, "6,2,1,4,3,5"},   // reversed, NaN first; ties keep their order
      {{{"ok", false}, {"id", false}}, "2,4,6,1,3,5"},
      {{{"ok", true}, {"id", false}}, "2,4,6,1,3,5"},  // the flag is not applied to bool keys
      {{{"name", true}}, "3,1,5,2,4,6"},               // nor to text keys; a prefix sorts first
      {{{"nope", true}, {"id", true}}, "6,5,4,3,2,1"}, // names that are not fields are skipped
      {{{"nope", false}}, "1,2,3,4,5,6"},
  };
  for (const Case& c : cases) {
    TDBTable t("t", TDBKind::Game);
    Load(t,
         "id int\tgrp int\tprice float\tok bool\tname string 8\n"
         "1\t1\t2\tTRUE\tb\n"
         "2\t2\t5\tFALSE\tc\n"
         "3\t1\t1\tTRUE\ta\n"
         "4\t2\t2\tFALSE\tca\n"
         "5\t1\t1\tTRUE\tba\n"
         "6\t2\t0\tFALSE\tcb");
    t.SetFloatAt(5, 2, std::numeric_limits<Float>::quiet_NaN());
    t.SetRecNo(2);
    t.Sort(c.keys);
    std::string ids;
    for (int32_t r = 0; r < t.RecordCount(); ++r) {
      int32_t v = 0;
      t.GetIntAt(r, 0, v);
      ids += (r ? "," : "") + std::to_string(v);
    }
    EXPECT_EQ(ids, c.ids) << c.keys.size();
    EXPECT_EQ(t.RecNo(), 2);  // the index stays; the record under it may change
  }
}

// ---- the manager

TEST(TableManager, CreateDeleteAndActive) {
  TDBManager db;
  EXPECT_EQ(db.CreateTable("", TDBKind::Game), -1);
  EXPECT_EQ(db.CreateTable("items", TDBKind::Status), 0);
  Load(*db.ActiveTable(), "id int\n1");
  EXPECT_EQ(db.CreateTable("other", TDBKind::Game), 1);
  // Requested as a status table, an existing table keeps its content ...
  EXPECT_EQ(db.CreateTable("ITEMS", TDBKind::Status), 0);
  EXPECT_EQ(Rows(db.At(0)), "1");
  // ... as a game table it is emptied, whatever its own kind.
  EXPECT_EQ(db.CreateTable("items", TDBKind::Game), 0);
  EXPECT_EQ(db.At(0).FieldList().Count(), 0);
  EXPECT_EQ(db.At(0).Kind(), TDBKind::Status);
  EXPECT_EQ(db.ActiveIndex(), 0);

  EXPECT_FALSE(db.SetActiveTable("none"));
  EXPECT_EQ(db.ActiveIndex(), 0);
  EXPECT_TRUE(db.SetActiveTable("Other"));
  EXPECT_TRUE(db.DeleteTable("items"));
  EXPECT_EQ(db.ActiveIndex(), 0);  // still "other", now at index 0
  EXPECT_FALSE(db.DeleteTable("items"));
  EXPECT_TRUE(db.DeleteTable("other"));
  EXPECT_EQ(db.ActiveTable(), nullptr);
}

TEST(TableManager, ResetKeepsTheStatusTables) {
  TDBManager db;
  db.CreateTable("g1", TDBKind::Game);
  db.CreateTable("s1", TDBKind::Status);
  db.CreateTable("g2", TDBKind::Game);
  db.ResetGameTables();
  ASSERT_EQ(db.Count(), 1);
  EXPECT_EQ(db.At(0).Name(), "s1");
  EXPECT_EQ(db.ActiveIndex(), -1);
  db.ClearTables();
  EXPECT_EQ(db.Count(), 0);
}

TEST(TableManager, CopiesAndAppends) {
  TDBManager db;
  db.CreateTable("dst", TDBKind::Game);
  Load(*db.ActiveTable(), "x int");
  db.CreateTable("src", TDBKind::Game);
  Load(*db.ActiveTable(), "id int\tname string 6\n1\tone\n2\ttwo\n3\tthree");

  EXPECT_FALSE(db.CopyRecordsTo("src", {0}));  // not into the active table itself
  EXPECT_FALSE(db.CopyRecordsTo("none", {0}));
  EXPECT_TRUE(db.CopyRecordsTo("dst", {2, 0}));
  EXPECT_EQ(orvatest::Fields(db.At(0)), "id:1:4 name:4:6");
  EXPECT_EQ(Rows(db.At(0)), "3,three;1,one");
  EXPECT_EQ(db.At(0).RecNo(), 1);

  // Appending the active table to itself copies the images before the buffer grows.
  EXPECT_TRUE(db.AppendRecordsFrom("src", {0, 1, 2}));
  EXPECT_EQ(Rows(db.At(1)), "1,one;2,two;3,three;1,one;2,two;3,three");
  EXPECT_EQ(db.At(1).RecNo(), 5);
  EXPECT_TRUE(db.AppendRecordsFrom("dst", {0}));
  EXPECT_EQ(db.At(1).RecordCount(), 7);
  // Records of a table without fields are records too.
  db.CreateTable("bare", TDBKind::Game);
  db.ActiveTable()->InsertRecord();
  EXPECT_TRUE(db.AppendRecordsFrom("bare", {0}));
  EXPECT_EQ(db.ActiveTable()->RecordCount(), 2);
  db.SetActiveTable("src");

  // Field lists must agree by name (case-sensitive), type and size.
  db.CreateTable("odd", TDBKind::Game);
  Load(*db.ActiveTable(), "ID int\tname string 6");
  db.SetActiveTable("src");
  EXPECT_FALSE(db.AppendRecordsFrom("odd", {}));
  EXPECT_FALSE(db.AppendRecordsFrom("none", {}));
}

TEST(TableManager, DirectAccessChangesNoCurrentRecord) {
  TDBManager db;
  db.CreateTable("a", TDBKind::Game);
  Load(*db.ActiveTable(), "id int\tname string 8\tprice float\n1\tone\t1.5\n2\ttwo\t2.5\n3\tTwo\t1E20");
  db.ActiveTable()->SetRecNo(0);
  db.CreateTable("b", TDBKind::Game);
  Load(*db.ActiveTable(), "z int\n7");

  TDBManager::Direct d{"A", {Key("name", "TWO")}, true, false, "id"};
  int32_t v = 0;
  EXPECT_TRUE(db.DirectGetInt(d, v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(db.DirectSetStr(d, "22"));
  EXPECT_TRUE(db.DirectGetInt(d, v));
  EXPECT_EQ(v, 22);
  d.field = "price";
  d.keys = {Key("name", "Two")};
  d.caseInsensitive = false;
  EXPECT_FALSE(db.DirectGetInt(d, v));  // 1E20 has no int
  EXPECT_FALSE(db.DirectSetInt({"a", {Key("name", "none")}, false, false, "id"}, 1));
  EXPECT_FALSE(db.DirectSetInt({"a", {Key("name", "one")}, false, false, "nope"}, 1));
  EXPECT_FALSE(db.DirectSetInt({"none", {}, false, false, "id"}, 1));
  EXPECT_EQ(db.ActiveTable()->Name(), "b");
  EXPECT_EQ(db.At(0).RecNo(), 0);
  EXPECT_EQ(db.At(1).RecNo(), 0);
  EXPECT_EQ(Rows(db.At(0)), "1,one,1.5;22,two,2.5;3,Two,1E20");
}

}  // namespace
