// orvatool expr end to end.
#include <gtest/gtest.h>

#include "testsupport.h"

namespace {

std::string Tool(const std::string& args, int* status = nullptr) {
  std::string out;
  int rc = orvatest::RunCommand(std::string(ORVATOOL_PATH) + " expr " + args + " 2>&1", &out);
  if (status) *status = rc;
  return out;
}

TEST(OrvatoolExpr, CompilePrintsTheStreamInHex) {
  EXPECT_EQ(Tool("compile 'a = 1'"), "01 00 00 00 01 01 00 00 00 61 01 00 00 00 01 01 00 00 00\n");
}

TEST(OrvatoolExpr, DumpShowsStepsWithOperandKinds) {
  EXPECT_EQ(Tool("dump 's = Copy(\"表示\", 2) ++ 1.5'"),
            "0: ocTo ____0 <- \"表示\"\n"
            "1: ocFunc ____1 <- Copy#7 ____0 2\n"
            "2: ocComboStr ____2 <- ____1 1.5\n"
            "3: ocTo s <- ____2\n");
}

TEST(OrvatoolExpr, RunPrintsResultAndChangedVariables) {
  EXPECT_EQ(Tool("run '(1+2)*3'"), "result: int:9\n");
  EXPECT_EQ(Tool("run 'a = a ++ b' --var a=str:x --var b=int:4 --var c=flag:TRUE"), "result: none\na = str:\"x4\"\n");
  EXPECT_EQ(Tool("run '@TextDelay = 10'"), "result: none\n@TextDelay = int:10\n");
  EXPECT_EQ(Tool("run 'a = 1 / 0' --var a=float:2"), "result: none\nerror: Division by zero\n");
}

TEST(OrvatoolExpr, ErrorsAreReported) {
  int rc = 0;
  EXPECT_EQ(Tool("compile 'a = = 1'", &rc), "orvatool expr: 構文エラー\n");
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(Tool("run 'x' --var y=blob:1", &rc), "orvatool expr: unknown variable type \"blob\" (int, float, flag, str)\n");
  EXPECT_EQ(rc, 1);
  Tool("frobnicate x", &rc);
  EXPECT_EQ(rc, 2);
}

}  // namespace
