// The 40 table functions called from expressions, as pages call them.
#include "tables/dbfuncs.h"

#include <gtest/gtest.h>

#include "../expr/sysfuncs_fixture.h"
#include "storage/vrfiles.h"
#include "tables/dbs.h"
#include "testsupport.h"

namespace {

using namespace orva;
using orvatest::EvalCase;

class TableFuncs : public orvatest::SysFuncs {
 protected:
  TableFuncs() { RegisterTableFunctions(funcs, db, files); }

  // Runs the expressions in order; none may end with an error.
  void Run(const std::vector<EvalCase>& steps) {
    for (const EvalCase& s : steps) {
      EXPECT_EQ(Eval(s.text), s.result) << s.text;
      EXPECT_EQ(lastError, "") << s.text;
    }
  }

  orvatest::TempDir dir;
  TVrFileManager files{TVrFileManager::Options{std::vector<std::string>{}, dir.path(), nullptr}};
  TDBManager db;
};

TEST_F(TableFuncs, EveryTableFunctionHasItsBody) {
  for (int n = 87; n <= 124; ++n) EXPECT_TRUE(funcs.HasBody(n)) << SysFuncInfo(n).name;
  EXPECT_TRUE(funcs.HasBody(159));
  EXPECT_TRUE(funcs.HasBody(160));
}

TEST_F(TableFuncs, PreconditionsGiveTheFailureResults) {
  Run({{"DBAddField(\"a\", 1)", "3:FALSE"},
       {"DBSetRecNo(0)", "3:FALSE"},
       {"DBInsert(1)", "3:FALSE"},
       {"DBDelete()", "3:FALSE"},
       {"DBGetInt(\"a\")", "1:0"},
       {"DBGetFloat(\"a\")", "2:0"},
       {"DBGetBool(\"a\")", "3:FALSE"},
       {"DBGetStr(\"a\")", "4:"},
       {"DBSetInt(\"a\", 1)", "3:FALSE"},
       {"DBRecordCount()", "1:-1"},
       {"DBRecordCount(\"x\")", "1:-1"},
       {"DBFindFirst()", "3:FALSE"},
       {"DBLocate(\"a\", 1)", "3:FALSE"},
       {"DBLoadTsvFile(\"x.tsv\")", "3:FALSE"},
       {"DBCopyTable(\"x\")", "3:FALSE"},
       {"DBInsertTable(\"x\")", "3:FALSE"},
       {"DBCopy(\"x\")", "3:FALSE"},
       {"DBSort(\"a\", FALSE)", "3:FALSE"},
       {"DBGetActive()", "4:"},
       {"DBGetRecNo(1)", "1:-1"},
       {"DBClearRecord()", "3:FALSE"},
       {"DBDeleteTable()", "3:FALSE"},
       {"DBGetTableCount()", "1:0"},
       {"DBDirectGetInt(\"t\", \"a\", 1, FALSE, FALSE, \"a\", 9)", "1:9"},
       {"DBDirectGetStr(\"t\", \"a\", 1, FALSE, FALSE, \"a\", \"none\")", "4:none"},
       {"DBDirectSetInt(\"t\", \"a\", 1, FALSE, FALSE, \"a\", 9)", "3:FALSE"},
       {"DBCreateTable(\"\", FALSE)", "3:FALSE"},
       // An active table without a current record.
       {"DBCreateTable(\"t\", FALSE)", "3:TRUE"},
       {"DBAddField(\"a\", 1)", "3:TRUE"},
       {"DBSetInt(\"a\", 1)", "3:FALSE"},
       {"DBDelete()", "3:FALSE"},
       {"DBCopy(\"t\")", "3:FALSE"},
       // An argument that cannot be converted fails the call, not the expression.
       {"DBSetRecNo(1E20)", "3:FALSE"},
       {"DBDirectGetInt(\"t\", \"a\", 1, FALSE, FALSE, \"a\", 1E20)", "1:0"}});
}

TEST_F(TableFuncs, FieldsRecordsAndSearches) {
  Declare("keys", PT_STR);
  Declare("vals", PT_STR);
  Declare("names", PT_STR);
  Run({{"DBCreateTable(\"items\", FALSE)", "3:TRUE"},
       {"DBAddField(\"id\", 1)", "3:TRUE"},
       {"DBAddField(\"name\", 4, 8)", "3:TRUE"},
       {"DBAddField(\"price\", 2)", "3:TRUE"},
       {"DBAddField(\"ok\", 3)", "3:TRUE"},
       {"DBAddField(\"bad\", 4, -1)", "3:FALSE"},
       {"DBAddField(\"ID\", 1)", "3:FALSE"},
       // Each value through the setter of its own type; extra values are ignored.
       {"DBInsert(1, \"apple\", 2.5, TRUE)", "3:TRUE"},
       {"DBInsert(2.5, \"pear\")", "3:TRUE"},
       {"DBInsert(1E20, \"kiwi\", \"3.5\", FALSE, \"extra\")", "3:TRUE"},
       {"DBRecordCount()", "1:3"},
       {"DBRecordCount(\"ITEMS\")", "1:3"},
       {"DBGetRecNo()", "1:2"},
       {"DBGetInt(\"id\")", "1:0"},
       {"DBGetStr(\"name\")", "4:kiwi"},
       {"DBGetFloat(\"PRICE\")", "2:3.5"},
       {"DBSetInt(\"id\", 3)", "3:TRUE"},
       {"DBSetStr(\"name\", \"kiwifruit\")", "3:TRUE"},
       {"DBGetStr(\"name\")", "4:kiwifrui"},
       {"DBSetFloat(\"id\", 1E20)", "3:FALSE"},
       {"DBGetInt(\"id\")", "1:3"},
       {"DBSetBool(\"ok\", TRUE)", "3:TRUE"},
       {"DBGetBool(\"ok\")", "3:TRUE"},
       {"DBGetInt(\"nope\")", "1:0"},
       {"DBFindFirst()", "3:TRUE"},
       {"DBGetInt(\"id\")", "1:1"},
       {"DBFindPrior()", "3:FALSE"},
       {"DBFindNext()", "3:TRUE"},
       {"DBGetInt(\"id\")", "1:2"},
       {"DBFindLast()", "3:TRUE"},
       {"DBFindNext()", "3:FALSE"},
       {"DBSetRecNo(-5)", "3:TRUE"},
       {"DBGetRecNo()", "1:-1"},
       {"DBSetRecNo(3)", "3:FALSE"},
       {"DBLocate(\"name\", \"PEAR\", TRUE)", "3:TRUE"},
       {"DBGetRecNo()", "1:1"},
       {"DBLocate(\"nope\", \"apple\")", "3:FALSE"},
       {"DBLocate(\"name\", \"APPLE\")", "3:FALSE"},
       {"DBGetRecNo()", "1:1"},
       {"DBLocate(\"name\", \"PP\", TRUE, TRUE)", "3:TRUE"},
       {"DBGetRecNo()", "1:0"},
       {"DBLocate(\"price\", 3.5)", "3:TRUE"},
       {"DBGetRecNo()", "1:2"},
       // Key lists as arrays, and one element of an array as a single key.
       {"StringToArray(\"name,ok\", keys, \",\")", "1:0"},
       {"StringToArray(\"kiwifrui,TRUE\", vals, \",\")", "1:0"},
       {"DBFindFirst()", "3:TRUE"},
       {"DBLocate(keys, vals)", "3:TRUE"},
       {"DBGetRecNo()", "1:2"},
       {"StringToArray(\"apple,pear\", names, \",\")", "1:0"},
       {"DBLocate(\"name\", names[1])", "3:TRUE"},
       {"DBGetRecNo()", "1:1"},
       {"DBDelete()", "3:TRUE"},
       {"DBGetStr(\"name\")", "4:kiwifrui"},
       {"DBInsert(2, \"pear\", 0.5)", "3:TRUE"},
       // Sorting by several keys with their own directions.
       {"StringToArray(\"ok,price\", keys, \",\")", "1:0"},
       {"DBSort(keys, FALSE)", "3:TRUE"},
       {"DBSetRecNo(0)", "3:TRUE"},
       {"DBGetStr(\"name\")", "4:pear"},
       {"DBSort(\"price\", TRUE)", "3:TRUE"},
       {"DBGetStr(\"name\")", "4:kiwifrui"}});
}

TEST_F(TableFuncs, DirectAccessCopiesAndTheTableList) {
  Declare("tname", PT_STR);
  Declare("tkind", PT_BOOL);
  Run({{"DBCreateTable(\"items\", FALSE)", "3:TRUE"},
       {"DBAddField(\"id\", 1)", "3:TRUE"},
       {"DBAddField(\"name\", 4, 8)", "3:TRUE"},
       {"DBAddField(\"ok\", 3)", "3:TRUE"},
       {"DBInsert(1, \"apple\", TRUE)", "3:TRUE"},
       {"DBInsert(2, \"pear\", FALSE)", "3:TRUE"},
       {"DBInsert(3, \"plum\", TRUE)", "3:TRUE"},
       {"DBSetRecNo(1)", "3:TRUE"},
       {"DBDirectGetInt(\"ITEMS\", \"name\", \"APPLE\", TRUE, FALSE, \"id\", -1)", "1:1"},
       {"DBDirectGetInt(\"items\", \"name\", \"APPLE\", FALSE, FALSE, \"id\", -1)", "1:-1"},
       {"DBDirectGetInt(\"items\", \"name\", \"apple\", FALSE, FALSE, \"nope\", -1)", "1:-1"},
       {"DBDirectSetStr(\"items\", \"id\", 2, FALSE, FALSE, \"name\", \"PEAR\")", "3:TRUE"},
       {"DBDirectGetStr(\"items\", \"id\", 2, FALSE, FALSE, \"name\", \"?\")", "4:PEAR"},
       {"DBDirectSetFloat(\"items\", \"id\", 3, FALSE, FALSE, \"id\", 4.5)", "3:TRUE"},
       {"DBDirectGetFloat(\"items\", \"name\", \"plum\", FALSE, FALSE, \"id\", 0)", "2:4"},
       {"DBDirectSetBool(\"items\", \"name\", \"LU\", TRUE, TRUE, \"ok\", FALSE)", "3:TRUE"},
       {"DBDirectGetBool(\"items\", \"id\", 4, FALSE, FALSE, \"ok\", TRUE)", "3:FALSE"},
       {"DBDirectSetInt(\"items\", \"ok\", TRUE, FALSE, FALSE, \"id\", 10)", "3:TRUE"},
       {"DBDirectGetInt(\"items\", \"name\", \"apple\", FALSE, FALSE, \"id\", -1)", "1:10"},
       {"DBGetRecNo()", "1:1"},
       // Copies: into another table, never into the active one itself.
       {"DBCreateTable(\"copy\", TRUE)", "3:TRUE"},
       {"DBSetActive(\"items\")", "3:TRUE"},
       {"DBCopyTable(\"items\")", "3:FALSE"},
       {"DBCopyTable(\"copy\", \"id\", 2)", "3:TRUE"},
       {"DBRecordCount(\"copy\")", "1:1"},
       {"DBCopyTable(\"copy\")", "3:TRUE"},
       {"DBRecordCount(\"copy\")", "1:3"},
       {"DBCopyTable(\"none\")", "3:FALSE"},
       // Appending the active table to itself and duplicating the current record.
       {"DBInsertTable(\"items\", \"ok\", FALSE)", "3:TRUE"},
       {"DBRecordCount()", "1:5"},
       {"DBGetStr(\"name\")", "4:plum"},
       {"DBSetRecNo(0)", "3:TRUE"},
       {"DBCopy(\"items\")", "3:TRUE"},
       {"DBGetRecNo()", "1:5"},
       {"DBGetStr(\"name\")", "4:apple"},
       {"DBCopy(\"copy\")", "3:TRUE"},
       {"DBRecordCount(\"copy\")", "1:4"},
       {"DBInsertTable(\"none\")", "3:FALSE"},
       // The table list.
       {"DBGetTableCount()", "1:2"},
       {"DBGetTable(1, tname, tkind)", "3:TRUE"},
       {"tname ++ \"/\" ++ tkind", "4:copy/TRUE"},
       {"DBGetTable(0, \"literal\")", "3:TRUE"},
       {"DBGetTable(2, tname)", "3:FALSE"},
       {"DBGetTable(-1, tname)", "3:FALSE"},
       {"tname", "4:copy"},
       {"DBClearRecord(\"copy\")", "3:TRUE"},
       {"DBRecordCount(\"copy\")", "1:0"},
       {"DBClearRecord(\"none\")", "3:FALSE"},
       {"DBDeleteTable(\"copy\")", "3:TRUE"},
       {"DBGetActive()", "4:items"},
       {"DBDeleteTable()", "3:TRUE"},
       {"DBGetActive()", "4:"},
       {"DBCreateTable(\"s\", TRUE)", "3:TRUE"},
       {"DBClearTable()", "3:FALSE"},
       {"DBGetTableCount()", "1:0"}});
}

TEST_F(TableFuncs, LoadsTableFilesThroughTheFileSystem) {
  files.MemoryCollection().AddMemoryEntry("mem:t.tsv").WriteBytes(Sys("id int\tname string 8\r\n1\t表\r\n2\tソ\r\n"));
  files.MemoryCollection().AddMemoryEntry("mem:empty.tsv");
  Run({{"DBCreateTable(\"f\", FALSE)", "3:TRUE"},
       {"DBLoadTsvFile(\"MEM:T.TSV\")", "3:TRUE"},
       {"DBRecordCount()", "1:2"},
       {"DBGetStr(\"name\")", "4:ソ"},
       {"DBLoadTsvFile(\"mem:empty.tsv\")", "3:FALSE"},
       {"DBLoadTsvFile(\"missing.tsv\")", "3:FALSE"},
       {"DBRecordCount()", "1:2"}});
}

}  // namespace
