// Variables and the call stack: existence, @Temp, snapshots, DeleteStack,
// Calc, how errors end an expression, and which functions have bodies.
#include <set>

#include "sysfuncs_fixture.h"

namespace orvatest {
namespace {

using orva::PT_INT;
using orva::PT_STR;
using orva::Sys;
using orva::VarScope;

TEST_F(SysFuncs, VarExistsAndAssignTemp) {
  Declare("a", PT_INT).SetInt(5);
  EXPECT_EQ(Eval("VarExists(\"a\")"), "3:TRUE");
  EXPECT_EQ(Eval("VarExists(\"A\")"), "3:TRUE");
  EXPECT_EQ(Eval("VarExists(\"nope\")"), "3:FALSE");
  EXPECT_EQ(Eval("VarExists(\"@Pi\")"), "3:TRUE");
  EXPECT_EQ(Eval("AssignTemp(\"a\")"), "3:TRUE");
  EXPECT_EQ(Eval("@Temp + 1"), "1:6");
  EXPECT_EQ(Eval("AssignTemp(\"nope\")"), "3:FALSE");
  EXPECT_EQ(Eval("@Temp"), "1:5") << "a failed AssignTemp keeps the alias";
}

TEST_F(SysFuncs, PushVarAndPopVarRestoreTheNamedVariables) {
  Declare("a", PT_INT).SetInt(1);
  Declare("s", PT_STR).SetStr("x");
  EXPECT_EQ(Eval("PushVar(\"a\", \"s\", \"missing\")"), "3:TRUE");
  EXPECT_EQ(vars.SnapshotCount(), 1);
  EXPECT_EQ(Eval("a = 2"), "none");
  Value("s").SetDims({3});
  EXPECT_EQ(Eval("PopVar()"), "3:TRUE");
  EXPECT_EQ(Shape("a") + " " + Shape("s"), "1 x");
  EXPECT_EQ(Eval("PopVar()"), "3:TRUE") << "an empty stack does nothing";
}

// Frames: main -> f1 -> f2, so the current scope is 2. v0 belongs to the
// main script's scope, v1 to f1's (frame 1 is where f1 continues), v2 to
// the running call f2.
class DeleteStackTest : public SysFuncs {
 protected:
  DeleteStackTest() {
    source.frames = {"main", "f1"};
    vars.SetCurrentScope(0);
    vars.Declare("v0", PT_INT, VarScope::AutoDiscard);
    vars.SetCurrentScope(1);
    vars.Declare("v1", PT_INT, VarScope::Local);
    vars.SetCurrentScope(2);
    vars.Declare("v2", PT_INT, VarScope::Local).Value()->SetInt(22);
    vars.Declare("g", PT_INT);
  }
  // Scope number of the variable of that name, visible or not (-2: none).
  int ScopeOf(const std::string& name) {
    for (int i = 0; i < vars.Count(); ++i)
      if (vars.At(i).Name() == name) return vars.At(i).scope;
    return -2;
  }
};

TEST_F(DeleteStackTest, RemovingACallersFrameKeepsTheRunningCallsLocalsVisible) {
  EXPECT_EQ(Eval("DeleteStack(1)"), "3:TRUE");
  EXPECT_EQ(source.frames, std::vector<std::string>{"main"});
  EXPECT_EQ(vars.CurrentScope(), 1);
  EXPECT_EQ(ScopeOf("v1"), -2);
  EXPECT_EQ(ScopeOf("v2"), 1);
  EXPECT_EQ(Eval("v2"), "1:22");
  EXPECT_EQ(Eval("@StackCount"), "1:1");
  // The call's end frees its scope and returns into main.
  vars.FreeScope(1);
  EXPECT_EQ(vars.FindVariable("v2"), nullptr);
  EXPECT_NE(vars.FindVariable("v0"), nullptr);
  EXPECT_NE(vars.FindVariable("g"), nullptr);
}

TEST_F(DeleteStackTest, OutOfRangeFramesChangeNothing) {
  for (const char* text : {"DeleteStack(2)", "DeleteStack(-1)", "DeleteStack(99)"}) {
    EXPECT_EQ(Eval(text), "3:FALSE") << text;
    EXPECT_EQ(source.frames.size(), 2u);
    EXPECT_EQ(vars.CurrentScope(), 2);
  }
  EXPECT_EQ(Eval("DeleteStack(0)"), "3:TRUE");
  EXPECT_EQ(source.frames, std::vector<std::string>{"f1"});
  EXPECT_EQ(ScopeOf("v0"), -2);
  EXPECT_EQ(ScopeOf("v1"), 0);
  EXPECT_EQ(Eval("v2"), "1:22");
}

TEST_F(SysFuncs, CalcRunsTextWithTheSameLibrary) {
  Declare("a", PT_INT);
  Declare("s", PT_STR).SetStr("a = Length(\"abc\") * 2");
  EXPECT_EQ(Eval("Calc(s)"), "4:TRUE");
  EXPECT_EQ(Shape("a"), "6");
  EXPECT_EQ(Eval("Calc(\"  \")"), "4:") << "empty text does nothing";
  // An error while the text runs ends only the text's run.
  EXPECT_EQ(Eval("Calc(\"a = 1, zzz\")"), "none") << "a syntax error ends the calling expression";
  EXPECT_EQ(lastError, "構文エラー");
  EXPECT_EQ(Eval("Calc(\"a = 7\") ++ Calc(\"a = zzz + 1\")"), "4:TRUETRUE");
  EXPECT_EQ(Shape("a"), "7");
  EXPECT_EQ(Eval("Calc(\"a = Nope(1)\")"), "none");
  EXPECT_EQ(lastError, "\"Nope\" 関数名がありません");
  // Text that runs itself stops at a depth limit instead of exhausting the
  // stack: the innermost Calc fails, and the 31 runs around it append.
  Declare("t", PT_STR);
  Value("s").SetStr("t = t ++ \"x\" ++ Calc(s)");
  EXPECT_EQ(Eval("Calc(s)"), "4:TRUE");
  EXPECT_EQ(Value("t").GetStr().size(), 31u * 5);
}

TEST_F(SysFuncs, AnErrorEndsTheExpressionAndKeepsEarlierSteps) {
  Declare("s", PT_STR).SetStr("abc");
  // The right-hand call runs first.
  EXPECT_EQ(Eval("GetArraySize(5) ++ Delete(s, 1, 1)"), "none");
  EXPECT_EQ(lastError, "GetArraySize:変数が見つかりません");
  EXPECT_EQ(Shape("s"), "bc");
}

// The value library has bodies for exactly its own functions; the
// component, file, desktop and table functions name themselves when called.
TEST_F(SysFuncs, EveryValueFunctionHasABodyAndTheOthersNameThemselves) {
  const std::set<std::string> library = {
      "IntToStr", "IntToHex", "Int", "Float", "Abs", "Fabs", "Min", "Max", "Fmin", "Fmax", "Random",
      "StrToIntDef", "StrToFloatDef", "Chr", "Ord", "Not", "GetVarType", "Sin", "Cos", "Tan", "ArcSin", "ArcCos",
      "ArcTan", "ArcTan2", "Hypot", "Length", "JLength", "Copy", "JCopy", "Delete", "JDelete", "Insert", "JInsert",
      "CompareStr", "CompareText", "Pos", "JPos", "Trim", "JTrim", "FixStr", "LowerCase", "UpperCase",
      "StringOfChar", "StringReplace", "HanToZen", "ZenToHan", "AddDelimiter", "ExtractFilePath",
      "ExtractFileName", "ExtractFileExt", "IsPathDelimiter", "AddBackSlash", "ChangeFileExt", "IsDelimiter",
      "EncodeDate", "EncodeTime", "DecodeDate", "DecodeTime", "GetYear", "GetMonth", "GetDay", "GetHour", "GetMin",
      "GetSec", "GetWeek", "GetWeekStr", "GetWeekJStr", "GetArraySize", "SetArray", "FillMem", "CopyMem",
      "CopyArray", "ArrayToString", "StringToArray", "IndexOfStr", "SortStr", "AddArray", "InsertArray",
      "DeleteArray", "UniqueArray", "TrimArray", "VarExists", "AssignTemp", "PushVar", "PopVar", "DeleteStack",
      "Calc"};
  ASSERT_EQ(library.size(), 87u);
  for (int n = 0; n < orva::kSysFuncCount; ++n) {
    std::string name = orva::SysFuncInfo(n).name;
    EXPECT_EQ(funcs.HasBody(n), library.count(name) == 1) << name;
  }
  EXPECT_EQ(Eval("Exists(\"x\")"), "none");
  EXPECT_EQ(lastError, "Exists:未実装の関数です");
  orva::TParamInt r;
  orva::TSysFuncArgs none;
  funcs.Execute(r, orva::kSysFuncCount, none, vars);
  funcs.Execute(r, 255, none, vars);
  EXPECT_EQ(r.GetInt(), 0);
}

}  // namespace
}  // namespace orvatest
