// The expression compiler and evaluator.
#include <gtest/gtest.h>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "exprtest.h"
#include "expr/paramcollection.h"
#include "expr/parser.h"
#include "expr/sysfuncs.h"

namespace orva {
namespace {

std::string CompileError(const std::string& text) {
  try {
    TBuildOrvaParser b;
    b.Compile(text);
    TMxMemoryStream ms;
    b.SaveToStream(ms);
  } catch (const OrvaError& e) {
    return e.what();
  }
  return "";
}

// Steps as "op result <- operands" lines.
std::string Dump(const TBuildOrvaParser& b) {
  std::string out;
  for (const auto& s : b.Steps()) {
    out += OpeCodeName(s.op) + " " + s.result + " <-";
    for (const auto& o : s.operands) out += " " + o;
    out += "\n";
  }
  return out;
}

std::string Compiled(const std::string& text) {
  TBuildOrvaParser b;
  b.Compile(text);
  return Dump(b);
}

class Expr : public ::testing::Test {
 protected:
  Expr() {
    for (const char* name : {"Max", "Min", "Abs"}) {
      funcs.Register(name, [this, name](TSysFuncCall& c) {
        calls += std::string(name) + ";";
        c.result.SetInt(c.args.empty() ? 0 : c.args[0]->GetInt());
      });
    }
  }

  // Compiles through the stream form and runs; the result as "type:text",
  // or "none".
  std::string Eval(const std::string& text) {
    TOrvaParser p;
    orvatest::LoadCompiled(Sys(text), p);
    p.Execute(vars, funcs);
    lastError = cp932::ToUtf8(p.LastError());
    if (!p.Result()) return "none";
    return std::to_string(p.Result()->GetParamType()) + ":" + cp932::ToUtf8(p.Result()->GetStr());
  }

  TSystemVarSource source;
  TParamCollection vars{&source};
  TSysFuncMan funcs;
  // Runs each text and checks that it ends with the message and no result.
  struct ErrorCase {
    const char* text;
    const char* error;
  };
  void ExpectErrors(std::initializer_list<ErrorCase> cases) {
    for (const auto& c : cases) {
      EXPECT_EQ(Eval(c.text), "none") << c.text;
      EXPECT_EQ(lastError, c.error) << c.text;
    }
  }

  std::string calls;
  std::string lastError;
};

struct EvalCase {
  const char* text;
  const char* result;  // "type:text"
};

class ExprValues : public Expr, public ::testing::WithParamInterface<EvalCase> {};

TEST_P(ExprValues, Evaluate) { EXPECT_EQ(Eval(GetParam().text), GetParam().result) << lastError; }

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, ExprValues,
    ::testing::Values(EvalCase{"1+2*3", "1:7"}, EvalCase{"(1+2)*3", "1:9"}, EvalCase{"10-4-3", "1:3"},
                      EvalCase{"7/2", "1:3"}, EvalCase{"-7/2", "1:-3"}, EvalCase{"-7%2", "1:-1"},
                      EvalCase{"7.0/2", "2:3.5"}, EvalCase{"2*-3", "1:-6"}, EvalCase{"- - 3", "1:3"},
                      EvalCase{"+5", "1:5"}, EvalCase{"1 + +2", "1:3"}, EvalCase{"2147483647+1", "1:-2147483648"},
                      EvalCase{"6|3", "1:7"}, EvalCase{"6&3", "1:2"}, EvalCase{"6^3", "1:5"},
                      EvalCase{"1|2&3", "1:3"}, EvalCase{"1<<33", "1:2"}, EvalCase{"-1>>28", "1:15"},
                      EvalCase{"1<<2+1", "1:8"}, EvalCase{"$10+x10", "1:32"}, EvalCase{"1.5e1*2", "2:30"},
                      EvalCase{"((2))", "1:2"}));

INSTANTIATE_TEST_SUITE_P(
    TextAndComparisons, ExprValues,
    ::testing::Values(EvalCase{"\"12\"+\"30\"", "4:42"}, EvalCase{"\"ab\"++\"cd\"", "4:abcd"},
                      EvalCase{"1++2", "4:12"}, EvalCase{"1.5++TRUE", "4:1.5TRUE"},
                      EvalCase{"\"a\\\"b\\\\c\"", "4:a\"b\\c"}, EvalCase{"\"x\\ny\"", "4:x\r\ny"},
                      EvalCase{"\"a+b(c)[d],e\"", "4:a+b(c)[d],e"}, EvalCase{"\"\"", "4:"},
                      EvalCase{"\"表示\"++\"\\q\"", "4:表示\\q"},
                      EvalCase{"\"10\"==10", "3:TRUE"}, EvalCase{"10==\"10\"", "3:TRUE"},
                      EvalCase{"\"10.0\"==10.0", "3:FALSE"}, EvalCase{"10.0==\"10\"", "3:TRUE"},
                      EvalCase{"\"b\">\"a\"", "3:TRUE"}, EvalCase{"\"B\">\"a\"", "3:FALSE"},
                      EvalCase{"1<>2", "3:TRUE"}, EvalCase{"2>=2", "3:TRUE"}, EvalCase{"2<=1", "3:FALSE"},
                      EvalCase{"-1<0", "3:TRUE"}, EvalCase{"TRUE>FALSE", "3:TRUE"},
                      EvalCase{"TRUE==\"TRUE\"", "3:TRUE"}, EvalCase{"1+1==2", "3:TRUE"},
                      EvalCase{"1==1++\"x\"", "4:TRUEx"}));

TEST_F(Expr, AssignmentsStoreThroughTheTargetsType) {
  vars.Declare("a", PT_INT);
  vars.Declare("f", PT_FLOAT);
  vars.Declare("s", PT_STR);
  vars.Declare("b", PT_BOOL);
  const struct { const char* text; const char* var; const char* value; } cases[] = {
      {"a = -3", "a", "-3"}, {"a = 2 * -3", "a", "-6"}, {"a = 3.9", "a", "3"}, {"a = \"12\"", "a", "12"},
      {"f = 7 / 2", "f", "3"}, {"f = 7.0 / 2", "f", "3.5"}, {"s = 1.25", "s", "1.25"},
      {"b = \"TRUE\"", "b", "TRUE"}, {"b = 2", "b", "TRUE"}, {"A = a + 1", "a", "13"},
      {"s = \"表\" ++ a", "s", "表13"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Eval(c.text), "none") << c.text;
    EXPECT_EQ(cp932::ToUtf8(vars.FindVariable(c.var)->Value()->GetStr()), c.value) << c.text;
  }
}

TEST_F(Expr, ArrayElements) {
  auto& a = vars.Declare("a", PT_INT);
  a.Value()->SetDims({2, 3});
  vars.Declare("i", PT_INT).Value()->SetInt(1);
  EXPECT_EQ(Eval("a[1,2] = 5"), "none");
  EXPECT_EQ(a.Value()->GetIntAt(5), 5);
  EXPECT_EQ(a.Value()->GetCount(), 6);  // element writes keep the shape
  EXPECT_EQ(Eval("a[i, i+1] * 2"), "1:10");
  EXPECT_EQ(Eval("a[0, (2+3)] + a[i,2]"), "1:10");
  EXPECT_EQ(Eval("a[i,1] = a[1,2] + 1"), "none");
  EXPECT_EQ(a.Value()->GetIntAt(4), 6);
  ExpectErrors({{"a[2,0]", "a[2,0]\r\n要素数を超えています"},
                {"a[1]", "a[1]\r\n添え字が不正です"},
                {"a[-1,0]", "[-3]:配列の添字が不正です"}});
  EXPECT_EQ(Eval("@KeyPush[257]"), "3:FALSE");
  EXPECT_EQ(Eval("a = 7"), "none");
  EXPECT_EQ(a.Value()->GetCount(), 1);  // a scalar write collapses the array
}

TEST_F(Expr, RunTimeErrorsEndTheRunAndKeepEarlierEffects) {
  vars.Declare("a", PT_INT);
  vars.Declare("f", PT_FLOAT);
  ExpectErrors({{"a = 1 + nothing", "\"nothing\" 変数がありません"},
                {"nothing = 1", "\"nothing\" 変数がありません"},
                {"a / 0", "Division by zero"},
                {"a % 0", "Division by zero"},
                {"(0-2147483647-1) / -1", "Integer overflow"},
                {"(0-2147483647-1) % -1", "Integer overflow"},
                {"a = 1e10", "Invalid floating point operation"},
                {"f / 0", "Floating point division by zero"},
                {"Max(1, 2) + Sin(1)", "Sin:未実装の関数です"}});
  vars.FindVariable("a")->Value()->SetInt(0);
  TBuildOrvaParser b;
  b.Compile("a = 5");
  b.Compile("a = a + missing");
  TMxMemoryStream ms;
  b.SaveToStream(ms);
  ms.SetPosition(0);
  TOrvaParser p;
  p.LoadFromStream(ms);
  p.Execute(vars, funcs);
  EXPECT_EQ(vars.FindVariable("a")->Value()->GetInt(), 5);
  EXPECT_EQ(p.Result(), nullptr);
}

TEST_F(Expr, CallsRunInnermostAndRightmostFirst) {
  EXPECT_EQ(Eval("Max(Min(1, 2), Abs(3))"), "1:1");
  EXPECT_EQ(calls, "Abs;Min;Max;");
  calls.clear();
  EXPECT_EQ(Eval("Max(Abs(Min(4, 0)) + 1, 0)"), "1:5");
  EXPECT_EQ(calls, "Min;Abs;Max;");
}

TEST_F(Expr, TemporariesLeaveTheTable) {
  int before = vars.Count();
  EXPECT_EQ(Eval("(1+2)*3"), "1:9");
  EXPECT_EQ(vars.Count(), before);
  EXPECT_EQ(vars.FindVariable("____arg"), nullptr);
  EXPECT_EQ(vars.FindVariable("____1"), nullptr);
}

TEST_F(Expr, NestedRunsKeepTheirOwnTemporaries) {
  // A function that compiles and runs another expression, as Calc does.
  funcs.Register("Calc", [this](TSysFuncCall& c) {
    TOrvaParser inner;
    orvatest::LoadCompiled(c.args[0]->GetStr(), inner);
    inner.Execute(c.vars, funcs);
    c.result.SetStr("TRUE");
  });
  vars.Declare("x", PT_INT);
  // The outer run holds its literals in ____0 and ____1 while the inner run
  // computes into temporaries of the same names.
  EXPECT_EQ(Eval("10*10 + (Calc(\"x = 7*3+1\") == \"TRUE\")"), "1:101");
  EXPECT_EQ(vars.FindVariable("x")->Value()->GetInt(), 22);
  EXPECT_EQ(Eval("(2*3) + Length(Calc(\"x = (5*5) + 1\"))"), "none");  // Length has no body yet
  EXPECT_EQ(vars.FindVariable("x")->Value()->GetInt(), 26);
}

TEST_F(Expr, PropertyNumbersAreChecked) {
  funcs.Register("GetProp", [](TSysFuncCall& c) { c.result.SetInt(c.args[1]->GetInt()); });
  funcs.propertyType = [](int n) { return n == 5 ? PT_INT : PT_STR; };
  EXPECT_EQ(Eval("GetProp(\"obj\", 5)"), "1:5");
  EXPECT_EQ(Eval("GetProp(\"obj\", 6)"), "4:6");
  ExpectErrors({{"GetProp(\"obj\", 173)", "GetPropの引数が違います"},
                {"GetProp(\"obj\", -1)", "GetPropの引数が違います"},
                {"GetCinemaProp(\"f\", \"p\", 101)", "GetCinemaPropの引数が違います"},
                {"GetCinemaProp(\"f\", \"p\", -1)", "GetCinemaPropの引数が違います"}});
}

TEST(Compile, StepListsAfterCopyElimination) {
  const struct { const char* text; const char* steps; } cases[] = {
      {"a = 1 + 2", "ocPlus ____0 <- 1 2\nocTo a <- ____0\n"},
      {"(1+2)*3", "ocPlus ____1 <- 1 2\nocMul ____2 <- ____1 3\nocTo ____arg <- ____2\n"},
      {"x", "ocTo ____arg <- x\n"},
      {"a = -3", "ocMinus ____0 <- 0 3\nocTo a <- ____0\n"},
      {"-a * 2", "ocMul ____0 <- a 2\nocMinus ____1 <- 0 ____0\nocTo ____arg <- ____1\n"},
      {"s = \"hi\"", "ocTo ____0 <- \"hi\"\nocTo s <- ____0\n"},
      {"f(g(1), h(2))", "ocFunc ____0 <- h 2\nocFunc ____1 <- g 1\nocFunc ____2 <- f ____1 ____0\n"
                        "ocTo ____arg <- ____2\n"},
      {"f(a+1, , b)", "ocPlus ____1 <- a 1\nocFunc ____2 <- f ____1  b\nocTo ____arg <- ____2\n"},
      {"f()", "ocFunc ____0 <- f\nocTo ____arg <- ____0\n"},
      {"f(((a)+(b)))", "ocTo ____1 <- b\nocTo ____2 <- a\nocPlus ____3 <- ____2 ____1\nocFunc ____4 <- f ____3\n"
                       "ocTo ____arg <- ____4\n"},
      {"a[i, j+1] = 2", "ocPlus ____1 <- j 1\nocDimTo ____d_2 <- a i ____1\nocTo ____d_2 <- 2\n"},
      {"a[b[1]]", "ocDimTo ____d_0 <- b 1\nocDimTo ____d_1 <- a ____d_0\nocTo ____arg <- ____d_1\n"},
      {"f(a[1,2])", "ocDimTo ____d_1 <- a 1 2\nocTo ____0 <- ____d_1\nocFunc ____2 <- f ____0\n"
                    "ocTo ____arg <- ____2\n"},
      {"a == b ++ c", "ocEqual ____0 <- a b\nocComboStr ____1 <- ____0 c\nocTo ____arg <- ____1\n"},
      {"a <- 1", "ocMinus ____0 <- 0 1\nocSmall ____1 <- a ____0\nocTo ____arg <- ____1\n"},
      {"1 2", "ocTo ____arg <- 1 2\n"},  // one operand text; fails when run
  };
  for (const auto& c : cases) EXPECT_EQ(Compiled(c.text), c.steps) << c.text;
}

TEST(Compile, DoubleByteCharactersNeverMatchDelimiters) {
  // 0x83 0x5B and 0x83 0x7C: trail bytes equal to "[" and "|".
  std::string name = "\x83\x5B\x83\x7C";
  EXPECT_EQ(Compiled(name + " = 1"), "ocTo " + name + " <- 1\n");
  // 0x95 0x5C: trail byte equal to "\" inside a literal.
  std::string lit = "\"\x95\x5C\"";
  EXPECT_EQ(Compiled("s = " + lit), "ocTo ____0 <- " + lit + "\nocTo s <- ____0\n");
  EXPECT_EQ(Compiled(name + "[1] = 2"), "ocDimTo ____d_0 <- " + name + " 1\nocTo ____d_0 <- 2\n");
}

TEST(Compile, Errors) {
  const struct { const char* text; const char* error; } cases[] = {
      {"a = b = 1", "構文エラー"}, {"a =", "構文エラー"}, {"= 1", "構文エラー"}, {"(1+2", "構文エラー"},
      {"1+2)", "構文エラー"}, {"a[1", "構文エラー"}, {"a]1", "構文エラー"}, {"+[1]", "構文エラー"},
      {"a, b", "構文エラー"}, {"* 2", "構文エラー"}, {"1 + * 2", "構文エラー"},
      {"\"open", "構文エラー"}, {"()", "構文エラー"}, {"f(a]", "構文エラー"},
      {"a[]", "配列の添え字が不正です"}, {"a[ ]", "配列の添え字が不正です"},
      {"Nope(1)", "\"Nope\" 関数名がありません"}, {"max(1, 2)", "\"max\" 関数名がありません"},
      {"Max(1)", "Max 引数の数が不正です"}, {"Max(1, 2, 3)", "Max 引数の数が不正です"},
      {"PopVar(1)", "PopVar 引数の数が不正です"}, {"SetArray(a)", "SetArray 引数の数が不正です"}};
  for (const auto& c : cases) EXPECT_EQ(CompileError(c.text), c.error) << c.text;
  EXPECT_EQ(CompileError("SetArray(a, 1, 2, 3, 4, 5, 6, 7)"), "");  // no maximum
  EXPECT_EQ(CompileError("PopVar()"), "");
  // Deep nesting compiles innermost first without deep recursion.
  std::string deep = std::string(3000, '(') + "f(a[(1)])" + std::string(3000, ')');
  EXPECT_EQ(CompileError(deep), "\"f\" 関数名がありません");
  EXPECT_EQ(CompileError(""), "");
}

TEST(Compile, OperandKindsInTheStream) {
  TBuildOrvaParser b;
  b.Compile("s = Copy(\"ab\", 2, $1) ++ 1.5 ++ TRUE ++ name");
  TMxMemoryStream ms;
  b.SaveToStream(ms);
  ms.SetPosition(0);
  TOrvaParser p;
  p.LoadFromStream(ms);
  ASSERT_EQ(p.StepCount(), 6);
  const TOpeData& call = p.Steps()[1];
  EXPECT_EQ(call.op, ocFunc);
  EXPECT_EQ(call.func, 7);  // Copy
  ASSERT_EQ(call.operands.size(), 3u);
  EXPECT_EQ(call.operands[0]->Kind(), ParamKind::Ref);  // the literal's temporary
  EXPECT_EQ(call.operands[1]->Kind(), ParamKind::Int);
  EXPECT_EQ(call.operands[2]->GetInt(), 1);
  const TOpeData& cat = p.Steps()[2];
  EXPECT_EQ(cat.operands[1]->Kind(), ParamKind::Float);
  EXPECT_EQ(p.Steps()[0].operands[0]->Kind(), ParamKind::Str);
  EXPECT_EQ(p.Steps()[0].operands[0]->GetStr(), "ab");
  EXPECT_EQ(p.Steps()[3].operands[1]->Kind(), ParamKind::Flag);
  EXPECT_EQ(p.Steps()[4].operands[1]->Kind(), ParamKind::Ref);

  // Written back byte for byte, also through Assign.
  TMxMemoryStream again;
  p.SaveToStream(again);
  EXPECT_EQ(again.Bytes(), ms.Bytes());
  TOrvaParser copy;
  copy.Assign(p);
  TMxMemoryStream third;
  copy.SaveToStream(third);
  EXPECT_EQ(third.Bytes(), ms.Bytes());
}

TEST(CompiledStream, ExactLayoutOfOneStep) {
  TBuildOrvaParser b;
  b.Compile("a = Abs(-2)");
  TMxMemoryStream ms;
  b.SaveToStream(ms);
  const std::vector<uint8_t> expected = {
      3, 0, 0, 0,                                                    // step count
      ocMinus, 5, 0, 0, 0, '_', '_', '_', '_', '1', 2, 0, 0, 0,      // ____1, two operands
      PT_INT, 0, 0, 0, 0, PT_INT, 2, 0, 0, 0,                        // 0, 2
      ocFunc, 5, 0, 0, 0, '_', '_', '_', '_', '2', 1, 0, 0, 0, 48,   // ____2, one argument, Abs
      PT_NONE, 5, 0, 0, 0, '_', '_', '_', '_', '1',                  // name ____1
      ocTo, 1, 0, 0, 0, 'a', 1, 0, 0, 0, PT_NONE, 5, 0, 0, 0, '_', '_', '_', '_', '2'};
  EXPECT_EQ(ms.Bytes(), expected);
}

TEST(CompiledStream, DamagedStreamsAreRefused) {
  TBuildOrvaParser b;
  b.Compile("a = Max(b, \"x\") + 1.5");
  TMxMemoryStream ms;
  b.SaveToStream(ms);
  const std::vector<uint8_t> good = ms.Bytes();

  std::vector<std::vector<uint8_t>> bad;
  for (size_t cut = 0; cut < good.size(); cut += 3) bad.emplace_back(good.begin(), good.begin() + static_cast<long>(cut));
  bad.push_back({0xFF, 0xFF, 0xFF, 0xFF});                            // negative step count
  bad.push_back({0xFF, 0xFF, 0xFF, 0x7F});                            // huge step count
  bad.push_back({1, 0, 0, 0, ocTo, 1, 0, 0, 0, 'a', 1, 0, 0, 0, 9, 0, 0, 0, 0});  // operand kind 9
  bad.push_back({1, 0, 0, 0, ocTo, 1, 0, 0, 0, 'a', 0xFF, 0xFF, 0xFF, 0x7F});  // huge operand count
  bad.push_back({1, 0, 0, 0, ocTo, 0xF0, 0xFF, 0xFF, 0xFF});                   // negative name length
  for (const auto& bytes : bad) {
    TOrvaParser p;
    TMxMemoryStream src(good);
    p.LoadFromStream(src);
    TMxMemoryStream in(bytes);
    EXPECT_THROW(p.LoadFromStream(in), OrvaError) << bytes.size();
    EXPECT_EQ(p.StepCount(), 4);  // the previous steps stay
  }
}

TEST_F(Expr, InvalidStepsEndTheRunWithTheirDescription) {
  TMxMemoryStream ms;
  ms.WriteInt32(1);
  ms.WriteByte(25);
  ms.WriteString("____0");
  ms.WriteInt32(2);
  ms.WriteByte(PT_INT);
  ms.WriteInt32(4);
  ms.WriteByte(PT_STR);
  ms.WriteString("s");
  ms.SetPosition(0);
  TOrvaParser p;
  p.LoadFromStream(ms);
  p.Execute(vars, funcs);
  EXPECT_EQ(cp932::ToUtf8(p.LastError()), "不正な式\r\n\r\n代入先:____0演算タイプ:25\r\n4\r\ns");

  // A step with too few operands is refused the same way, never read past.
  TMxMemoryStream ms2;
  ms2.WriteInt32(1);
  ms2.WriteByte(ocPlus);
  ms2.WriteString("____0");
  ms2.WriteInt32(1);
  ms2.WriteByte(PT_INT);
  ms2.WriteInt32(4);
  ms2.SetPosition(0);
  p.LoadFromStream(ms2);
  p.Execute(vars, funcs);
  EXPECT_EQ(cp932::ToUtf8(p.LastError()).substr(0, 12), "不正な式");
}

TEST_F(Expr, RunStatement) {
  auto& a = vars.Declare("a", PT_STR);
  a.Value()->SetDims({3});
  EXPECT_TRUE(RunStatement(" a[2] = \"done\" ", vars, funcs));
  EXPECT_EQ(a.Value()->GetStrAt(2), "done");
  EXPECT_FALSE(RunStatement("   ", vars, funcs));
  EXPECT_FALSE(RunStatement("a[2] = = 1", vars, funcs));
  EXPECT_TRUE(RunStatement("missing = 1", vars, funcs));  // run-time errors are silent
}

}  // namespace
}  // namespace orva

namespace orva {
namespace {

TEST_F(Expr, RepeatedRunsStartFromFreshTemporaries) {
  auto& x = vars.Declare("x", PT_INT);
  x.Value()->SetInt(5);
  TOrvaParser p;
  orvatest::LoadCompiled("(x)", p);
  p.Execute(vars, funcs);
  ASSERT_TRUE(p.Result());
  EXPECT_EQ(p.Result()->GetParamType(), PT_INT);
  EXPECT_EQ(p.Result()->GetInt(), 5);
  // The same steps now meet a string variable: the temporaries take its type.
  vars.DeleteVariable(x);
  vars.Declare("x", PT_STR).Value()->SetStr("hi");
  p.Execute(vars, funcs);
  ASSERT_TRUE(p.Result());
  EXPECT_EQ(p.Result()->GetParamType(), PT_STR);
  EXPECT_EQ(p.Result()->GetStr(), "hi");
  // And a run that fails leaves no result from the run before.
  vars.DeleteVariable(*vars.FindVariable("x"));
  p.Execute(vars, funcs);
  EXPECT_EQ(p.Result(), nullptr);
}

TEST_F(Expr, AParserRunFromInsideItselfGetsItsOwnTemporaries) {
  TOrvaParser p;
  std::string inner;
  int depth = 0;
  funcs.Register("Abs", [&](TSysFuncCall& c) {
    if (depth++ == 0) {
      p.Execute(c.vars, funcs);
      inner = p.Result() ? p.Result()->GetStr() : "none";
    }
    --depth;
    c.result.SetInt(depth == 0 ? 2 : 1);
  });
  orvatest::LoadCompiled("\"x\" ++ Abs(1) ++ \"y\"", p);
  p.Execute(vars, funcs);
  ASSERT_TRUE(p.Result());
  EXPECT_EQ(p.Result()->GetStr(), "x2y");
  EXPECT_EQ(inner, "x1y");
}

TEST_F(Expr, AVariableFreedDuringARunStaysReadableThroughItsReference) {
  auto& arr = vars.Declare("arr", PT_INT);
  arr.Value()->SetDims({3});
  arr.Value()->SetIntAt(1, 42);
  funcs.Register("Min", [](TSysFuncCall& c) { c.vars.DeleteVariable(*c.vars.FindVariable("arr")); });
  // ____d_0 -> arr[1]; Min frees arr; ____arg <- ____d_0.
  TMxMemoryStream ms;
  ms.WriteInt32(3);
  ms.WriteByte(ocDimTo);
  ms.WriteString("____d_0");
  ms.WriteInt32(2);
  ms.WriteByte(PT_NONE);
  ms.WriteString("arr");
  ms.WriteByte(PT_INT);
  ms.WriteInt32(1);
  ms.WriteByte(ocFunc);
  ms.WriteString("____1");
  ms.WriteInt32(0);
  ms.WriteByte(126);  // Min
  ms.WriteByte(ocTo);
  ms.WriteString(kArgName);
  ms.WriteInt32(1);
  ms.WriteByte(PT_NONE);
  ms.WriteString("____d_0");
  ms.SetPosition(0);
  TOrvaParser p;
  p.LoadFromStream(ms);
  p.Execute(vars, funcs);
  EXPECT_EQ(vars.FindVariable("arr"), nullptr);
  ASSERT_TRUE(p.Result()) << cp932::ToUtf8(p.LastError());
  EXPECT_EQ(p.Result()->GetInt(), 42);
}

}  // namespace
}  // namespace orva

namespace orva {
namespace {

TEST_F(Expr, FunctionBodiesReachVariableArguments) {
  funcs.Register("SetArray", [](TSysFuncCall& c) {
    Dims d;
    for (size_t i = 1; c.Has(i); ++i) d.push_back(c.args[i]->GetInt());
    c.VarArg(0).SetDims(d);
  });
  auto& a = vars.Declare("a", PT_STR);
  EXPECT_EQ(Eval("SetArray(a, 2, 1 + 2)"), "1:0");  // R is left at its initial value
  EXPECT_EQ(a.Value()->GetDims(), (Dims{2, 3}));
  // A string literal reaches the function as its temporary: a throw-away
  // variable, not an error.
  EXPECT_EQ(Eval("SetArray(\"a\", 2)"), "1:0");
  ExpectErrors({{"SetArray(5, 2)", "SetArray:変数が見つかりません"},
                {"SetArray(a, 0)", "配列の要素数[0]が不正です"}});
}

}  // namespace
}  // namespace orva
