// Array functions: shapes, conversions, the sound handling of emptied and
// shrunk arrays, and the "must be a variable" errors.
#include "sysfuncs_fixture.h"

namespace orvatest {
namespace {

using orva::PT_BOOL;
using orva::PT_FLOAT;
using orva::PT_INT;
using orva::PT_STR;
using orva::Sys;

class ArrayFuncs : public SysFuncs {
 protected:
  // name := one-dimensional array of the texts, in the variable's own type.
  void Fill(const std::string& name, int type, std::vector<std::string> items) {
    orva::TParamCollectionItem* v = vars.FindVariable(Sys(name));
    orva::TCustomParam& p = v ? *v->Value() : Declare(name, type);
    p.SetDims({static_cast<int32_t>(items.size())});
    for (size_t i = 0; i < items.size(); ++i) p.SetStrAt(static_cast<int>(i), Sys(items[i]));
  }
};

// One call on prepared variables: the result and the shape of "a" after it.
struct ArrayCase {
  const char* call;
  const char* result;
  const char* after;  // Shape("a")
};

TEST_F(ArrayFuncs, OneDimensionalEdits) {
  const ArrayCase cases[] = {
      {"AddArray(a, b)", "1:4", "[4] 1,2,3,9"},
      {"AddArray(a, a)", "1:6", "[6] 1,2,3,1,2,3"},
      {"AddArray(a, \"7\")", "1:4", "[4] 1,2,3,7"},
      {"AddArray(a, m)", "1:3", "[3] 1,2,3"},
      {"InsertArray(a, 10, b)", "1:4", "[4] 1,2,3,9"},
      {"InsertArray(a, 0, b)", "1:4", "[4] 9,1,2,3"},
      {"InsertArray(a, -5, b)", "1:4", "[4] 9,1,2,3"},
      {"InsertArray(a, 1, a)", "1:6", "[6] 1,1,2,3,2,3"},
      {"InsertArray(a, 1, s)", "1:5", "[5] 1,0,5,2,3"},
      {"InsertArray(a, 1, m)", "1:3", "[3] 1,2,3"},
      {"DeleteArray(a, 1, 10)", "1:1", "[1] 1"},
      {"DeleteArray(a, 1, 1)", "1:2", "[2] 1,3"},
      {"DeleteArray(a, -3, 2)", "1:1", "[1] 3"},
      {"DeleteArray(a, 99, 1)", "1:2", "[2] 1,2"},
      {"DeleteArray(a, 1, 0)", "1:3", "[3] 1,2,3"},
      {"DeleteArray(a, 1, -2)", "1:3", "[3] 1,2,3"},
      {"UniqueArray(a)", "1:3", "[3] 1,2,3"},
      {"TrimArray(a, 2)", "1:2", "[2] 1,3"},
      {"TrimArray(a)", "1:3", "[3] 1,2,3"},
      {"SortStr(a, TRUE)", "1:0", "[3] 3,2,1"},
      {"CopyArray(a, s)", "3:TRUE", "[2] 0,5"},
      {"CopyArray(a, m)", "3:TRUE", "[2,2] 1,2,3,4"},
      {"CopyArray(a, 8)", "3:TRUE", "[1] 8"},
  };
  for (const auto& c : cases) {
    vars.ResetVariables();
    Fill("a", PT_INT, {"1", "2", "3"});
    Fill("b", PT_INT, {"9"});
    Fill("s", PT_STR, {"x", "5"});
    Fill("m", PT_INT, {"1", "2", "3", "4"});
    Value("m").SetDims({2, 2});
    EXPECT_EQ(Eval(c.call), c.result) << c.call << " " << lastError;
    EXPECT_EQ(Shape("a"), c.after) << c.call;
  }
}

TEST_F(ArrayFuncs, AScalarGrowsIntoAOneDimensionalArray) {
  Declare("a", PT_INT).SetInt(5);
  Fill("b", PT_INT, {"6", "7"});
  EXPECT_EQ(Eval("AddArray(a, b)"), "1:3");
  EXPECT_EQ(Shape("a"), "[3] 5,6,7");
}

TEST_F(ArrayFuncs, MultiDimensionalArraysAreLeftAlone) {
  Fill("m", PT_INT, {"1", "2", "2", "0", "5", "6"});
  Value("m").SetDims({2, 3});
  Fill("b", PT_INT, {"9"});
  for (const char* call : {"AddArray(m, b)", "InsertArray(m, 0, b)", "DeleteArray(m, 0, 1)", "UniqueArray(m)",
                           "TrimArray(m)", "AddArray(b, m)"}) {
    EXPECT_EQ(Eval(call), call[0] == 'A' && call[9] == 'b' ? "1:1" : "1:6") << call;
    EXPECT_EQ(Shape("m"), "[2,3] 1,2,2,0,5,6") << call;
    EXPECT_EQ(Shape("b"), "[1] 9") << call;
  }
}

// A failing DeleteArray changes nothing; emptied arrays keep one default
// element and one-dimensional dims follow the count.
TEST_F(ArrayFuncs, ShrinkingNeverLeavesAnEmptyOrMisshapenArray) {
  Fill("a", PT_INT, {"1", "2", "3", "4"});
  EXPECT_EQ(Eval("DeleteArray(a, 0, 4)"), "none");
  EXPECT_EQ(lastError, "配列の要素数[0]が不正です");
  EXPECT_EQ(Shape("a"), "[4] 1,2,3,4");

  const struct { int type; std::vector<std::string> items; const char* call; const char* result; const char* after; }
      cases[] = {
          {PT_INT, {"0", "0"}, "TrimArray(a)", "1:0", "[1] 0"},
          {PT_STR, {"", "x", ""}, "TrimArray(a)", "1:1", "[1] x"},
          {PT_STR, {"b", "a", "b"}, "TrimArray(a, \"b\")", "1:1", "[1] a"},
          {PT_STR, {"q", "q"}, "TrimArray(a, \"q\")", "1:0", "[1] "},
          {PT_BOOL, {"TRUE", "FALSE"}, "TrimArray(a)", "1:1", "[1] TRUE"},
          {PT_FLOAT, {"1.5", "1.5", "2"}, "UniqueArray(a)", "1:2", "[2] 1.5,2"},
          {PT_STR, {"a", "A", "a"}, "UniqueArray(a)", "1:2", "[2] a,A"},
      };
  for (const auto& c : cases) {
    vars.ResetVariables();
    Fill("a", c.type, c.items);
    EXPECT_EQ(Eval(c.call), c.result) << c.call << " " << lastError;
    EXPECT_EQ(Shape("a"), c.after) << c.call;
  }
  // A scalar stays a scalar.
  vars.ResetVariables();
  Declare("a", PT_STR);
  EXPECT_EQ(Eval("TrimArray(a)"), "1:0");
  EXPECT_EQ(Shape("a"), "");
  EXPECT_TRUE(Value("a").GetDims().empty());
}

TEST_F(ArrayFuncs, SizesDimsAndFilling) {
  orva::TCustomParam& a = Declare("a", PT_INT);
  EXPECT_EQ(Eval("SetArray(a, 2, 3)"), "1:0");
  EXPECT_EQ(Shape("a"), "[2,3] 0,0,0,0,0,0");
  const EvalCase sizes[] = {{"GetArraySize(a)", "1:6"}, {"GetArraySize(a, 0)", "1:3"},
                            {"GetArraySize(a, 1)", "1:2"}, {"GetArraySize(a, 5)", "1:1"},
                            {"GetArraySize(a, -1)", "1:1"}, {"GetArraySize(a, $80000000)", "1:1"}};
  for (const auto& c : sizes) EXPECT_EQ(Eval(c.text), c.result) << c.text;
  EXPECT_EQ(Eval("SetArray(a, 3, 0)"), "none");
  EXPECT_EQ(lastError, "配列の要素数[3,0]が不正です");
  EXPECT_EQ(a.GetCount(), 6);
  EXPECT_EQ(Eval("FillMem(a, \"7\")"), "1:0");
  EXPECT_EQ(Shape("a"), "[2,3] 7,7,7,7,7,7");
  Declare("s", PT_STR).SetDims({2});
  EXPECT_EQ(Eval("FillMem(s, 1.5)"), "1:0");
  EXPECT_EQ(Shape("s"), "[2] 1.5,1.5");
  Declare("b", PT_INT).SetInt(4);
  EXPECT_EQ(Eval("CopyMem(b, a)"), "1:0");
  EXPECT_EQ(Shape("b"), "[2,3] 7,7,7,7,7,7");
  EXPECT_EQ(Eval("CopyMem(b, s)"), "none");
  EXPECT_EQ(lastError, "CopyMem:変数の型があいません");
}

TEST_F(ArrayFuncs, MustBeAVariable) {
  Declare("a", PT_INT);
  const EvalCase cases[] = {
      {"GetArraySize(1)", "GetArraySize:変数が見つかりません"}, {"GetArraySize(1.5)", "GetArraySize:変数が見つかりません"},
      {"SetArray(1, 2)", "SetArray:変数が見つかりません"},       {"FillMem(TRUE, 1)", "FillMem:変数が見つかりません"},
      {"CopyMem(a, 1)", "CopyMem:変数が見つかりません"},         {"CopyMem(1, a)", "CopyMem:変数が見つかりません"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Eval(c.text), "none") << c.text;
    EXPECT_EQ(lastError, c.result) << c.text;
  }
}

TEST_F(ArrayFuncs, TextAndArrays) {
  Fill("a", PT_STR, {"x", "y", "表"});
  EXPECT_EQ(Eval("ArrayToString(a)"), "4:x\r\ny\r\n表");
  EXPECT_EQ(Eval("ArrayToString(a, \", \")"), "4:x, y, 表");
  EXPECT_EQ(Eval("ArrayToString(5)"), "4:5");
  Declare("s", PT_STR);
  Declare("n", PT_INT);
  const struct { const char* call; const char* var; const char* after; } splits[] = {
      {"StringToArray(\"a,b;c\", s, \",;\")", "s", "[3] a,b,c"},
      {"StringToArray(\"a,,b,\", s, \",\")", "s", "[4] a,,b,"},
      {"StringToArray(\"\", s)", "s", ""},
      {"StringToArray(\"\", s, \",\")", "s", ""},
      {"StringToArray(\"l1\\nl2\\n\", s)", "s", "[2] l1,l2"},
      {"StringToArray(\"one\", s)", "s", "[1] one"},
      {"StringToArray(\"a|ポ|表\\\\b\", s, \"|\\\\\")", "s", "[4] a,ポ,表,b"},
      {"StringToArray(\"1,x,3\", n, \",\")", "n", "[3] 1,0,3"},
  };
  for (const auto& c : splits) {
    EXPECT_EQ(Eval(c.call), "1:0") << c.call << " " << lastError;
    EXPECT_EQ(Shape(c.var), c.after) << c.call;
  }
  // Lines end at CR LF, CR or LF.
  SetBytes("t", "a\rb\nc\r\n\r\nd");
  EXPECT_EQ(Eval("StringToArray(t, s)"), "1:0");
  EXPECT_EQ(Shape("s"), "[5] a,b,c,,d");

  Fill("a", PT_STR, {"Apple", "banana", "APPLE"});
  const EvalCase finds[] = {
      {"IndexOfStr(a, \"apple\")", "1:-1"},          {"IndexOfStr(a, \"APPLE\")", "1:2"},
      {"IndexOfStr(a, \"apple\", FALSE)", "1:0"},    {"IndexOfStr(a, \"NAN\", FALSE, TRUE)", "1:1"},
      {"IndexOfStr(a, \"nan\", TRUE, TRUE)", "1:1"}, {"IndexOfStr(a, \"NAN\", TRUE, TRUE)", "1:-1"},
      {"IndexOfStr(a, \"pp\", TRUE, TRUE)", "1:0"},
  };
  for (const auto& c : finds) EXPECT_EQ(Eval(c.text), c.result) << c.text;
}

TEST_F(ArrayFuncs, SortStrOrders) {
  const struct { int type; std::vector<std::string> items; const char* call; const char* after; } cases[] = {
      {PT_STR, {"b", "A", "a", "C", "B"}, "SortStr(a)", "[5] a,A,b,B,C"},
      {PT_STR, {"b", "A", "a", "C", "B"}, "SortStr(a, TRUE)", "[5] C,B,b,A,a"},
      {PT_STR, {"10", "9", "1.5", "x"}, "SortStr(a, FALSE, TRUE)", "[4] x,1.5,9,10"},
      {PT_STR, {"10", "9", "1.5"}, "SortStr(a, TRUE, TRUE)", "[3] 10,9,1.5"},
      {PT_INT, {"10", "9", "100"}, "SortStr(a)", "[3] 10,100,9"},
      {PT_STR, {"い", "あ", "b", "ア"}, "SortStr(a)", "[4] b,あ,い,ア"},
      {PT_FLOAT, {"0.1", "-2", "1e300"}, "SortStr(a, FALSE, TRUE)", "[3] -2,0.1,1E300"},
  };
  for (const auto& c : cases) {
    vars.ResetVariables();
    Fill("a", c.type, c.items);
    EXPECT_EQ(Eval(c.call), "1:0") << c.call << " " << lastError;
    EXPECT_EQ(Shape("a"), c.after) << c.call;
  }
  // Sorting keeps values exactly (no round trip through text).
  vars.ResetVariables();
  orva::TCustomParam& f = Declare("f", PT_FLOAT);
  f.SetDims({2});
  f.SetFloatAt(0, 1.0L / 3);
  f.SetFloatAt(1, -1);
  EXPECT_EQ(Eval("SortStr(f, FALSE, TRUE)"), "1:0");
  EXPECT_EQ(f.GetFloatAt(1), 1.0L / 3);
}

TEST_F(ArrayFuncs, ALiteralArrayArgumentIsAThrowAwayCopy) {
  orva::TOrvaParser p;
  LoadCompiled(Sys("AddArray(5, 6)"), p);
  for (int run = 0; run < 2; ++run) {
    p.Execute(vars, funcs);
    ASSERT_TRUE(p.Result()) << run;
    EXPECT_EQ(p.Result()->GetInt(), 2) << run;
  }
}

}  // namespace
}  // namespace orvatest
