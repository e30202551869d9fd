// The table block of game saves and the status save: its exact layout,
// round trips of both parts, the active-table rules, and damaged blocks
// that must change nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "common/errors.h"
#include "common/streams.h"
#include "tables/dbdump.h"
#include "tables/dbs.h"
#include "tabletest.h"

namespace {

using namespace orva;
using orvatest::Load;

std::string Block(const TDBManager& db, TDBKind kind) {
  TMxMemoryStream m;
  db.SaveTableBlock(m, kind);
  return m.AsString();
}

void LoadBlock(TDBManager& db, const std::string& bytes, TDBKind kind) {
  TMxMemoryStream m(bytes);
  db.LoadTableBlock(m, kind);
}

std::string Int32(int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
  return s;
}
std::string Str(const std::string& s) { return Int32(static_cast<int32_t>(s.size())) + s; }

// Game table "t" (field id int, one record 5, current 0), active.
TDBManager Tiny() {
  TDBManager db;
  db.CreateTable("t", TDBKind::Game);
  Load(*db.ActiveTable(), "id int\n5");
  return db;
}

TEST(TableBlock, ExactLayout) {
  const std::string want = Int32(100) + Int32(1) + std::string(1, '\0') + Str("t") + std::string(1, '\0') + Int32(1) +
                           Int32(4) + Str("id") + std::string(1, '\1') + Int32(1) + Int32(5) + Int32(0) + Str("t");
  EXPECT_EQ(Block(Tiny(), TDBKind::Game), want);
  // The status part has no active name, and only the tables of its kind.
  EXPECT_EQ(Block(Tiny(), TDBKind::Status), Int32(100) + Int32(0));
}

TDBManager Sample() {
  TDBManager db;
  db.CreateTable("g1", TDBKind::Game);
  Load(*db.ActiveTable(), "id int\tp float\tok bool\tname string 9\n1\t0.5\tTRUE\tソ表\n2\t-3\tFALSE\tx");
  db.ActiveTable()->SetRecNo(0);
  db.CreateTable("s1", TDBKind::Status);
  Load(*db.ActiveTable(), "k string 3\nabc");
  db.CreateTable("g2", TDBKind::Game);
  db.CreateTable("s2", TDBKind::Status);
  db.ActiveTable()->InsertRecord();
  db.SetActiveTable("s1");
  return db;
}

TEST(TableBlock, BothPartsRoundTrip) {
  const TDBManager src = Sample();
  const std::string game = Block(src, TDBKind::Game);
  const std::string status = Block(src, TDBKind::Status);

  TDBManager db;
  LoadBlock(db, status, TDBKind::Status);
  EXPECT_EQ(db.ActiveTable()->Name(), "s2");  // the last table read stays active
  LoadBlock(db, game, TDBKind::Game);
  EXPECT_EQ(db.ActiveTable()->Name(), "s1");  // the saved name, found among all tables
  EXPECT_EQ(Block(db, TDBKind::Game), game);
  EXPECT_EQ(Block(db, TDBKind::Status), status);
  EXPECT_EQ(db.FindTable("g1")->RecNo(), 0);
  EXPECT_EQ(orvatest::Rows(*db.FindTable("g1")), "1,0.5,TRUE,ソ表;2,-3,FALSE,x");

  // Loading a game part again replaces only the game tables.
  db.CreateTable("g3", TDBKind::Game);
  LoadBlock(db, game, TDBKind::Game);
  EXPECT_EQ(db.Count(), 4);
  EXPECT_EQ(db.FindTable("g3"), nullptr);
}

TEST(TableBlock, ActiveTableRules) {
  TDBManager db = Sample();
  // A status part without tables leaves no active table.
  db.ClearTables();
  const std::string empty = Block(db, TDBKind::Status);
  EXPECT_EQ(empty, Int32(100) + Int32(0));
  TDBManager other = Sample();
  other.SetActiveTable("g1");
  LoadBlock(other, empty, TDBKind::Status);
  EXPECT_EQ(other.ActiveIndex(), -1);
  EXPECT_EQ(other.Count(), 2);
  // A game part whose active name is no table's leaves none active.
  TDBManager none;
  none.CreateTable("x", TDBKind::Game);
  none.ClearTables();
  LoadBlock(none, Block(none, TDBKind::Game), TDBKind::Game);
  EXPECT_EQ(none.ActiveIndex(), -1);
}

std::string Patch(std::string block, size_t at, const std::string& bytes) {
  return block.replace(at, bytes.size(), bytes);
}

TEST(TableBlock, DamagedBlocksChangeNothing) {
  const std::string good = Block(Tiny(), TDBKind::Game);
  std::vector<std::pair<std::string, std::string>> bad;
  for (size_t n = 0; n < good.size(); ++n) bad.emplace_back("cut at " + std::to_string(n), good.substr(0, n));
  const struct {
    const char* what;
    size_t at;
    std::string bytes;
  } patches[] = {
      {"table count past the end", 4, Int32(0x7FFFFFFF)},
      {"negative table count", 4, Int32(-1)},
      {"table name length", 9, Int32(0x7FFFFFFF)},
      {"table name past the end", 9, Int32(5000)},
      {"table kind", 14, std::string(1, '\2')},
      {"a status table in the game part", 14, std::string(1, '\1')},
      {"negative field count", 15, Int32(-1)},
      {"field count past the end", 15, Int32(0x10000000)},
      {"int field of 5 bytes", 19, Int32(5)},
      {"field type 0", 29, std::string(1, '\0')},
      {"field type 5", 29, std::string(1, '\5')},
      {"string field of 0 bytes", 19, Int32(0) + Str("id") + std::string(1, '\4')},
      {"string field past the size bound", 19, Int32(10485762) + Str("id") + std::string(1, '\4')},
      {"negative record count", 30, Int32(-1)},
      {"record count past the end", 30, Int32(1000)},
      {"active name length", 42, Int32(10485761)},
  };
  for (const auto& p : patches) bad.emplace_back(p.what, Patch(good, p.at, p.bytes));
  // Two fields whose names differ only in case.
  TDBManager two;
  two.CreateTable("t", TDBKind::Game);
  Load(*two.ActiveTable(), "ab int\tcd int");
  std::string dup = Block(two, TDBKind::Game);
  dup.replace(dup.find("cd"), 2, "AB");
  bad.emplace_back("repeated field name", dup);

  for (const auto& [what, bytes] : bad) {
    TDBManager db = Sample();
    const std::string before = TablesToJson(db);
    EXPECT_THROW(LoadBlock(db, bytes, TDBKind::Game), OrvaError) << what;
    EXPECT_EQ(TablesToJson(db), before) << what;
  }
}

TEST(TableBlock, LoadedValuesAreReadSafely) {
  // A current index outside the records reads as none.
  TDBManager db;
  LoadBlock(db, Patch(Block(Tiny(), TDBKind::Game), 38, Int32(7)), TDBKind::Game);
  EXPECT_EQ(db.ActiveTable()->RecNo(), -1);
  // A text without its terminator stops at the field's end.
  TDBManager src;
  src.CreateTable("t", TDBKind::Game);
  Load(*src.ActiveTable(), "s string 3\tn int\nabc\t1094795585");  // n holds the bytes "AAAA"
  std::string block = Block(src, TDBKind::Game);
  block[block.find("abc") + 3] = 'd';
  TDBManager back;
  LoadBlock(back, block, TDBKind::Game);
  std::string text;
  ASSERT_TRUE(back.ActiveTable()->GetStrAt(0, 0, text));
  EXPECT_EQ(text, "abcd");
}

}  // namespace
