// Functions on the variable table and the call stack: existence, the @Temp
// alias, the PushVar / PopVar snapshots, removing a call frame, and running
// an expression given as text.
#include "common/errors.h"
#include "expr/paramcollection.h"
#include "expr/parser.h"
#include "expr/sysfuncs_args.h"

namespace orva::sysfuncs {

namespace {

// Calc may run text that calls Calc again; a text that ends up running
// itself would otherwise recurse until the stack is exhausted.
constexpr int kMaxCalcDepth = 32;
int calcDepth = 0;

void Calc(TSysFuncCall& c, const TSysFuncMan& man) {
  std::string text = StrArg(c, 0);
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  if (b == e) return;
  if (calcDepth >= kMaxCalcDepth) throw OrvaError::Utf8("Calc:入れ子が深すぎます");
  // Compile errors (syntax, unknown function, argument count) end the
  // calling expression; errors while running end only the text's own run.
  TOrvaParser parser;
  LoadStatement(text.substr(b, e - b), parser);
  struct Depth {
    Depth() { ++calcDepth; }
    ~Depth() { --calcDepth; }
  } depth;
  parser.Execute(c.vars, man);
  c.result.SetFlag(true);
}

}  // namespace

void RegisterVariableFunctions(TSysFuncMan& man) {
  man.Register("VarExists", [](TSysFuncCall& c) { c.result.SetFlag(c.vars.FindVariable(StrArg(c, 0)) != nullptr); });
  man.Register("AssignTemp", [](TSysFuncCall& c) {
    std::string name = StrArg(c, 0);
    bool found = c.vars.FindVariable(name) != nullptr;
    if (found) c.vars.tempAlias = name;
    c.result.SetFlag(found);
  });
  man.Register("PushVar", [](TSysFuncCall& c) {
    std::vector<std::string> names;
    for (const TCustomParam* a : c.args) names.push_back(a->GetStr());
    c.vars.PushVariables(names);
    c.result.SetFlag(true);
  });
  man.Register("PopVar", [](TSysFuncCall& c) {
    c.vars.PopVariables();
    c.result.SetFlag(true);
  });
  man.Register("DeleteStack", [](TSysFuncCall& c) {
    TSystemVarSource& stack = c.vars.Source();
    int32_t n = IntArg(c, 0);
    bool inRange = n >= 0 && n < stack.StackCount();
    if (inRange) {
      c.vars.FreeScope(n);
      stack.RemoveStackFrame(n);
      c.vars.LowerScopesAbove(n);
      // The current scope number stays the number of frames, so that the
      // running call's local variables (now one scope lower) stay visible.
      c.vars.SetCurrentScope(stack.StackCount());
    }
    c.result.SetFlag(inRange);
  });
  // Calc runs its text with the dispatcher that called it.
  const TSysFuncMan* self = &man;
  man.Register("Calc", [self](TSysFuncCall& c) { Calc(c, *self); });
}

}  // namespace orva::sysfuncs
