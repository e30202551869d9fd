// orvatool table show prints what the player reads from a table file.
#include <gtest/gtest.h>

#include "common/cp932.h"
#include "testsupport.h"

namespace {

std::string Show(const std::string& path) {
  std::string out;
  orvatest::RunCommand(std::string(ORVATOOL_PATH) + " table show " + path + " 2>&1", &out);
  return out;
}

TEST(OrvatoolTable, ShowsFieldsRecordsAndWarnings) {
  orvatest::TempDir dir;
  orvatest::WriteFile(dir / "t.tsv", orva::cp932::FromUtf8("id int\tID float\tname string 4\tp float\r\n"
                                                           "1\tソ表\\\\\t2.5\r"
                                                           "2\tabcdef\t-1\n"));
  EXPECT_EQ(Show(dir / "t.tsv"),
            "fields: 3\n"
            "  id int\n"
            "  name string 4\n"
            "  p float\n"
            "records: 2\n"
            "  0: id=1 name=\"ソ表\" p=2.5\n"
            "  1: id=2 name=\"abcd\" p=-1\n"
            "warning: header cell 2 \"ID float\" skipped (a repeated name or a size out of range): later cells shift\n"
            "warning: line 2, field name: 5 bytes cut to 4\n"
            "warning: line 3, field name: 6 bytes cut to 4\n");
  orvatest::WriteFile(dir / "bad.tsv", "a int\t\tb int\n");
  EXPECT_NE(Show(dir / "bad.tsv").find("no field name"), std::string::npos);
}

}  // namespace
