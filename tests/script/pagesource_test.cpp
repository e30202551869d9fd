#include <gtest/gtest.h>

#include "common/cp932.h"
#include "common/errors.h"
#include "script/pagesource.h"

namespace orva {
namespace {

TEST(PageSource, IndentLineNumbersAndFlags) {
  auto p = AssemblePage("# a comment\nIf {a == 1}\n  Calc {b = 2} runon\nElse\n  Calc {b = 3} disabled line=99\n", "x.osb");
  auto& c = p->Commands();
  ASSERT_EQ(c.Count(), 4);
  EXPECT_EQ(c.At(0).indentLevel, 0);
  EXPECT_EQ(c.At(1).indentLevel, 1);
  EXPECT_EQ(c.At(0).lineNumber, 2);
  EXPECT_TRUE(c.At(1).runOnFlag);
  EXPECT_TRUE(c.At(3).disabledFlag);
  EXPECT_EQ(c.At(3).lineNumber, 99);
}

TEST(PageSource, LoopTargetsAreResolvedFromTheStructure) {
  auto p = AssemblePage(
      "WhileInit {i = 0}\n"       // 0
      "While {i < 10}\n"          // 1
      "  If {i == 5}\n"           // 2
      "    Break\n"               // 3
      "  Calc {i = i + 1}\n"      // 4
      "  Continue {i == 2}\n"     // 5
      "WhileLoop {i = i + 1}\n"   // 6
      "Label after\n",            // 7
      "loop.osb");
  auto& c = p->Commands();
  EXPECT_EQ(c.At(1).Number(1), 7);  // While: past the loop
  EXPECT_EQ(c.At(6).Number(1), 1);  // WhileLoop: back to the While
  EXPECT_EQ(c.At(3).Number(1), 7);  // Break: past the loop
  EXPECT_EQ(c.At(5).Number(1), 6);  // Continue: to the step
}

TEST(PageSource, LabelsAndDefaultConditions) {
  auto p = AssemblePage("Jump x.osb @there\nLabel there\nCall sub.osb result=r args=[{1} {\"a\"}]\n", "x.osb");
  auto& c = p->Commands();
  EXPECT_EQ(c.At(0).Number(1), 1);
  EXPECT_GT(c.At(0).Expr(2)->StepCount(), 0);  // omitted condition: TRUE
  EXPECT_EQ(c.At(2).fields[4].list.size(), 2u);
  // A label of another page comes from the resolver.
  PageAsmOptions o;
  o.resolveLabel = [](const std::string& page, const std::string& label) -> std::optional<int32_t> {
    if (page == "other.osb" && label == "far") return 42;
    return std::nullopt;
  };
  auto q = AssemblePage("Call other.osb @far\n", "y.osb", o);
  EXPECT_EQ(q->Commands().At(0).Number(1), 42);
  EXPECT_THROW(AssemblePage("Call other.osb @nowhere\n", "y.osb", o), OrvaError);
}

TEST(PageSource, ErrorsNameTheLine) {
  struct Case { const char* source; const char* message; };
  const Case cases[] = {
      {"Calc {a = 1}\nFrobnicate\n", "bad.osb:2: unknown command \"Frobnicate\""},
      {"Calc {a = }\n", "bad.osb:1: 構文エラー"},
      {"   Calc {a = 1}\n", "bad.osb:1: indentation must be a multiple of two spaces"},
      {"Calc {a = 1\n", "bad.osb:1: \"}\" is missing"},
      {"VarNew name=x type=banana\n", "bad.osb:1: field \"type\" takes a number"},
      {"Calc {1} {2}\n", "bad.osb:1: too many values for Calc"},
  };
  for (const auto& c : cases) {
    try {
      AssemblePage(c.source, "bad.osb");
      ADD_FAILURE() << c.source;
    } catch (const OrvaError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(PageSource, TextsKeepEveryByte) {
  // 0x5C as a trail byte, CR LF, and bytes that are not CP932 at all.
  const std::string text = "\x83\x5c\r\n\xff\x80";
  TPage page("t.osb");
  auto cmd = CreateCommand(27);
  cmd->fields[0].text = text;
  page.Commands().Add(std::move(cmd));
  auto back = AssemblePage(DisassemblePage(page), "t.osb");
  EXPECT_EQ(back->Commands().At(0).Text(0), text);
}

}  // namespace
}  // namespace orva
