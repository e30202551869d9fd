#include <gtest/gtest.h>

#include "common/cp932.h"
#include "common/log.h"
#include "scriptharness.h"
#include "script/controlcommands.h"

namespace orva {
namespace {

using orvatest::ScriptHarness;

struct IfCase {
  const char* condition;
  int x;
  int expected;
};

class IfChain : public ::testing::TestWithParam<IfCase> {};

TEST_P(IfChain, TakesExactlyOneBranch) {
  const IfCase c = GetParam();
  ScriptHarness h;
  h.AddPage("main.osb",
            "VarNew name=x type=int value={" + std::to_string(c.x) + "} runon\n"
            "VarNew name=r type=int value={0} runon\n"
            "If " + std::string(c.condition) + " runon\n"
            "  Calc {r = r + 10} runon\n"
            "Elseif {x == 2} runon\n"
            "  Calc {r = r + 20} runon\n"
            "Elseif {x == 3} runon\n"
            "  Calc {r = r + 30} runon\n"
            "Else runon\n"
            "  Calc {r = r + 40} runon\n"
            "Calc {r = r + 1}\n");
  h.Start("main.osb");
  h.Tick();
  EXPECT_EQ(h.Int("r"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Branches, IfChain,
                         ::testing::Values(IfCase{"{x == 1}", 1, 11}, IfCase{"{x == 1}", 2, 21},
                                           IfCase{"{x == 1}", 3, 31}, IfCase{"{x == 1}", 4, 41},
                                           IfCase{"{}", 1, 41} /* an empty condition never holds */));

TEST(Interpreter, WhileWithBreakAndContinueRunsInOneTick) {
  ScriptHarness h;
  h.AddPage("main.osb",
            "VarNew name=i type=int value={0} runon\n"
            "VarNew name=sum type=int value={0} runon\n"
            "While {i < 10} runon\n"
            "  Calc {i = i + 1} runon\n"
            "  Continue {i == 3} runon\n"
            "  Break {i == 8} runon\n"
            "  Calc {sum = sum + i} runon\n"
            "WhileLoop {} runon\n"
            "Calc {sum = sum * 10}\n");
  h.Start("main.osb");
  h.Tick();
  EXPECT_EQ(h.Int("sum"), (1 + 2 + 4 + 5 + 6 + 7) * 10);
  EXPECT_EQ(h.Int("i"), 8);
}

TEST(Interpreter, RunOnOffEndsTheTick) {
  ScriptHarness h;
  h.AddPage("main.osb", "VarNew name=n type=int value={0}\nCalc {n = 1}\nCalc {n = 2}\n");
  h.Start("main.osb");
  h.Tick();
  EXPECT_EQ(h.Int("n"), 0);
  h.Tick();
  EXPECT_EQ(h.Int("n"), 1);
  h.Tick(5);
  EXPECT_EQ(h.Int("n"), 2);
  EXPECT_FALSE(h.terminating);
}

TEST(Interpreter, CallPassesArgumentsAndStoresTheResult) {
  ScriptHarness h;
  h.AddPage("sub.osb",
            ".result int\n"
            "Label entry runon\n"
            "Calc {@Result = @ParamCount * 100 + @ParamStr[0]} runon\n");
  h.AddPage("main.osb",
            "VarNew name=r type=int value={0} runon\n"
            "Call sub.osb @entry result=r args=[{7} {} {\"x\"}] runon\n"
            "Call sub.osb result=arr[2] args=[{3}] runon\n"
            "Calc {after = 1}\n");
  h.Ints({"after", "arr"});
  h.vars.FindVariable("arr")->Value()->SetDims({4});
  h.Start("main.osb");
  h.Tick();
  EXPECT_EQ(h.Int("r"), 207);  // two arguments: the empty one is left out
  // Not a variable name: stored by an assignment of the value as text.
  EXPECT_EQ(h.vars.FindVariable("arr")->Value()->GetIntAt(2), 103);
  EXPECT_EQ(h.cm->FrameCount(), 0);
}

TEST(Interpreter, ResultIntoANewVariableKeepsQuotesAndBackslashes) {
  ScriptHarness h;
  h.AddPage("sub.osb", ".result string\nCalc {@Result = @ParamStr[0]} runon\n");
  h.AddPage("main.osb", "Call sub.osb result=arr[1] args=[{\"a\\\"b\\\\c\"}] runon\nCalc {x = 1}\n");
  h.Ints({"x"});
  h.Strs({"arr"});
  h.vars.FindVariable("arr")->Value()->SetDims({2});
  h.Start("main.osb");
  h.Tick();
  EXPECT_EQ(h.vars.FindVariable("arr")->Value()->GetStrAt(1), "a\"b\\c");
}

TEST(Interpreter, ExitReturnsFromThePage) {
  ScriptHarness h;
  h.AddPage("sub.osb", "Calc {a = 1} runon\nExit runon\nCalc {a = 2} runon\n");
  h.AddPage("main.osb", "Call sub.osb runon\nCalc {b = a}\n");
  h.Ints({"a", "b"});
  h.Start("main.osb");
  h.Tick();
  EXPECT_EQ(h.Int("b"), 1);
}

TEST(Interpreter, WaitOf100MsAt16MsEndsOnTheSeventhExecutionAfterItBegins) {
  ScriptHarness h;
  h.AddPage("main.osb", "VarNew name=done type=int value={0} runon\nWait time={100} runon\nCalc {done = 1}\n");
  h.Start("main.osb");
  h.Tick();  // the wait begins: this execution does not count
  for (int i = 1; i <= 6; ++i) {
    h.Tick();
    EXPECT_EQ(h.Int("done"), 0) << i;
  }
  h.Tick();  // 7th: 100 - 7 * 16 < 0, and the next command runs in the same tick
  EXPECT_EQ(h.Int("done"), 1);
}

TEST(Interpreter, HalfDoneWaitResumesFromItsSavedState) {
  ScriptHarness h;
  h.AddPage("main.osb", "VarNew name=done type=int value={0} runon\nWait time={100} runon\nCalc {done = 1}\n");
  h.Start("main.osb");
  h.Tick(4);
  TMxMemoryStream state;
  h.cm->SaveState(state);

  ScriptHarness again;
  again.AddPage("main.osb", "VarNew name=done type=int value={0} runon\nWait time={100} runon\nCalc {done = 1}\n");
  again.Start("main.osb");
  again.Tick();  // declares done
  state.SetPosition(0);
  again.cm->LoadState(state, 116);
  again.Tick(3);
  EXPECT_EQ(again.Int("done"), 0);
  again.Tick();
  EXPECT_EQ(again.Int("done"), 1);
}

TEST(Interpreter, EventsStartBetweenCommandsAndWaitingHandlersNest) {
  ScriptHarness h;
  h.AddPage("click.osb", "Calc {clicks = clicks + 1} runon\nWait time={32} runon\nCalc {clicked = @ParamStr[0]}\n");
  h.AddPage("inner.osb", "Calc {inner = @Sender}\n");
  h.AddPage("main.osb",
            "VarNew name=clicks type=int value={0} runon\n"
            "VarNew name=n type=int value={0} runon\n"
            "Label top\n"
            "Calc {n = n + 1}\n"
            "Jump main.osb @top\n");
  h.Strs({"inner", "clicked"});
  h.Start("main.osb");
  h.Tick(2);
  h.Queue("click.osd:", {"A"});  // the source name; the compiled page is ".osb"
  h.Tick();                     // the handler starts and yields in its Wait
  EXPECT_EQ(h.Int("clicks"), 1);
  const int n = h.Int("n");
  h.Queue("inner.osb", {}, 7);
  h.Tick();  // while the handler waits, another event runs nested
  EXPECT_EQ(h.Str("inner"), "obj7");
  h.Tick(4);
  EXPECT_EQ(h.Str("clicked"), "A");
  h.Tick(2);
  EXPECT_GT(h.Int("n"), n);  // the main script goes on
  EXPECT_EQ(h.events.Count(), 0);
}

TEST(Interpreter, WaitThatBlocksEventsHoldsThemQueued) {
  ScriptHarness h;
  h.AddPage("ev.osb", "Calc {ran = 1}\n");
  h.AddPage("main.osb", "VarNew name=ran type=int value={0} runon\nWait time={64} block={TRUE} runon\nCalc {x = ran}\n");
  h.Ints({"x"});
  h.Start("main.osb");
  h.Tick();
  h.Queue("ev.osb");
  h.Tick(3);
  EXPECT_EQ(h.Int("ran"), 0);
  h.Tick(3);
  EXPECT_EQ(h.Int("ran"), 1);
}

TEST(Interpreter, AFinishedMainScriptStillRunsEventsAndEndsItsTicks) {
  ScriptHarness h;
  h.AddPage("ev.osb", "Calc {count = count + 1} runon\n");
  h.AddPage("main.osb", "VarNew name=count type=int value={0}\n");
  h.Start("main.osb");
  h.Tick(2);
  EXPECT_EQ(h.cm->CurrentPage(), nullptr);
  h.Queue("ev.osb");
  h.Queue("ev.osb");
  h.Tick();  // must return: the main script stays finished
  EXPECT_EQ(h.Int("count"), 2);
  EXPECT_EQ(h.cm->CurrentPage(), nullptr);
  EXPECT_TRUE(h.errors.empty());
}

TEST(Interpreter, ACallInsideAHandlerReturnsIntoTheHandler) {
  ScriptHarness h;
  h.AddPage("sub.osb", "Calc {subRan = 1} runon\n");
  h.AddPage("ev.osb", "Call sub.osb runon\nCalc {afterCall = 1} runon\nDoEvent\nCalc {handlerEnd = 1}\n");
  h.AddPage("main.osb", "Label top\nCalc {n = n + 1}\nJump main.osb @top\n");
  h.Ints({"n", "subRan", "afterCall", "handlerEnd"});
  h.Start("main.osb");
  h.Tick();
  h.events.Queue(nullptr, "ev.osb", {}, 33);  // an event with no sender object
  h.Tick();
  EXPECT_EQ(h.Int("afterCall"), 1);
  h.Tick(2);
  EXPECT_EQ(h.Int("handlerEnd"), 1);
}

TEST(Interpreter, UnreachableEventPagesAreDroppedNotBlocking) {
  ScriptHarness h;
  h.AddPage("ok.osb", "Calc {ok = 1}\n");
  h.AddPage("main.osb", "Label top\nDoEvent\nJump main.osb @top\n");
  h.Ints({"ok"});
  h.Start("main.osb");
  h.Queue("missing.osb");
  h.Queue("ok.osb");
  h.Tick(3);
  EXPECT_EQ(h.Int("ok"), 1);
}

TEST(Interpreter, PCResetFromAHandlerLetsItFinishThenRedirectsTheMainScript) {
  ScriptHarness h;
  h.AddPage("main.osb",
            "Label first\nCalc {where = 1}\nJump main.osb @first\n"
            "Label second\nCalc {where = 2}\nJump main.osb @second\n");
  h.AddPage("ev.osb", "PCReset main.osb @second runon\nCalc {handlerDone = 1} runon\n");
  h.Ints({"where", "handlerDone"});
  h.Start("main.osb");
  h.Tick(2);
  h.Queue("ev.osb");
  h.Tick(3);
  EXPECT_EQ(h.Int("handlerDone"), 1);
  EXPECT_EQ(h.Int("where"), 2);
}

TEST(Interpreter, ResetStartsAfresh) {
  ScriptHarness h;
  h.AddPage("main.osb", "VarNew name=keep type=int value={5} scope=status runon\nVarNew name=tmp type=int value={1} runon\nReset main.osb @again\nLabel again\nVarNew name=second type=int value={1}\n");
  h.Start("main.osb");
  h.Tick(3);
  EXPECT_EQ(h.worldResets, 1);
  EXPECT_FALSE(h.Has("tmp"));       // ordinary variables are gone
  EXPECT_EQ(h.Int("keep"), 5);      // status variables stay
  EXPECT_EQ(h.Int("second"), 1);
}

TEST(Interpreter, VarNewOnAStatusVariableKeepsItsValue) {
  ScriptHarness h;
  h.AddPage("main.osb",
            "VarNew name=s type=int value={1} scope=status runon\nCalc {s = 9} runon\n"
            "VarNew name=s type=int value={1} scope=status runon\nVarNew name=g type=int value={1} runon\n"
            "Calc {g = 9} runon\nVarNew name=g type=int value={2}\n");
  h.Start("main.osb");
  h.Tick();
  EXPECT_EQ(h.Int("s"), 9);
  EXPECT_EQ(h.Int("g"), 2);
}

TEST(Interpreter, EmptyVarNewNameStopsTheScript) {
  ScriptHarness h;
  h.AddPage("main.osb", "VarNew name=\"\" type=int\n");
  h.Start("main.osb");
  h.Tick();
  EXPECT_TRUE(h.terminating);
  EXPECT_TRUE(h.fatal);
  ASSERT_EQ(h.errors.size(), 1u);
  EXPECT_EQ(cp932::ToUtf8(h.errors[0]), "変数名がありません");
}

TEST(Interpreter, CommandsOfLaterSubsystemsStopWithTheirName) {
  ScriptHarness h;
  h.AddPage("main.osb", "ClrHist\n");
  h.Start("main.osb");
  h.Tick();
  ASSERT_EQ(h.errors.size(), 1u);
  EXPECT_EQ(cp932::ToUtf8(h.errors[0]), "TComClrHist:未実装のコマンドです");
}

TEST(Interpreter, TerminateAsksToClose) {
  ScriptHarness h;
  h.AddPage("main.osb", "Terminate\nVarNew name=never type=int\n");
  h.Start("main.osb");
  h.Tick(2);
  EXPECT_TRUE(h.closeRequested);
  EXPECT_FALSE(h.Has("never"));
}

TEST(Interpreter, TheThirtyFirstPageEvictsTheLeastRecentlyUsed) {
  ScriptHarness h;
  std::string main;
  for (int i = 0; i < 31; ++i) {
    h.AddPage("p" + std::to_string(i) + ".osb", "Calc {x = " + std::to_string(i) + "} runon\n");
    main += "Call p" + std::to_string(i) + ".osb runon\n";
  }
  h.AddPage("main.osb", main + "Call p1.osb runon\nCalc {done = 1}\n");
  h.Ints({"x", "done"});
  h.vars.Declare("\x01p0.osb", 1);  // a variable owned by page p0
  h.Start("main.osb");
  h.Tick();
  EXPECT_EQ(h.Int("done"), 1);
  // p0 was used least recently when the cache overflowed: it went, and its
  // page-owned variable with it.
  EXPECT_FALSE(h.Has("\x01p0.osb"));
}

TEST(Interpreter, TraceLinesShowTimePageAndLine) {
  std::vector<std::string> lines;
  auto old = log::SetTraceSink([&](std::string_view l) { lines.emplace_back(l); });
  ScriptHarness h;
  h.AddPage("main.osb", "Calc {a = 1} runon\nWait time={40}\nCalc {b = 1}\n");
  h.Ints({"a", "b"});
  h.Start("main.osb");
  h.Tick(5);
  log::SetTraceSink(old);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "00000010 : main.osb(1)");
  EXPECT_EQ(lines[1], "00000010 : main.osb(2)");  // the wait is traced once
  EXPECT_EQ(lines[2].substr(11), "main.osb(3)");
}

}  // namespace
}  // namespace orva
