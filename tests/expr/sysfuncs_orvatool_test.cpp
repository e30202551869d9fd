// orvatool expr run calls the value library.
#include <gtest/gtest.h>

#include "testsupport.h"

namespace {

std::string ToolRun(const std::string& args) {
  std::string out;
  orvatest::RunCommand(std::string(ORVATOOL_PATH) + " expr run " + args + " 2>&1", &out);
  return out;
}

TEST(OrvatoolSysFuncs, RunEvaluatesLibraryCalls) {
  EXPECT_EQ(ToolRun("'JCopy(\"日本語\", 2, 1) ++ IntToStr(7, 3)'"), "result: str:\"本007\"\n");
  EXPECT_EQ(ToolRun("'StringToArray(\"a,b\", s, \",\")' --var s=str:"), "result: int:0\ns = str[2]:[\"a\", \"b\"]\n");
  EXPECT_EQ(ToolRun("'Exists(\"x\")'"), "result: none\nerror: Exists:未実装の関数です\n");
}

}  // namespace
