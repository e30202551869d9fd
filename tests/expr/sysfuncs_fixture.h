// A variable table, a call stack and the function library, with helpers
// that run expression text (UTF-8 in the test source) the way page files
// deliver it.
#pragma once

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/cp932.h"
#include "exprtest.h"
#include "expr/paramcollection.h"
#include "expr/parser.h"
#include "expr/sysfuncs.h"
#include "expr/sysfuncs_library.h"

namespace orvatest {

// A call stack of `frames` frames for DeleteStack.
class StackSource : public orva::TSystemVarSource {
 public:
  int StackCount() override { return static_cast<int>(frames.size()); }
  void RemoveStackFrame(int index) override { frames.erase(frames.begin() + index); }
  std::vector<std::string> frames;
};

class SysFuncs : public ::testing::Test {
 protected:
  SysFuncs() { orva::RegisterSystemFunctions(funcs); }

  // Runs text; the result as "type:text" (UTF-8), or "none". lastError
  // keeps the message that ended the run.
  std::string Eval(const std::string& text) {
    orva::TOrvaParser p;
    LoadCompiled(orva::Sys(text), p);
    p.Execute(vars, funcs);
    lastError = orva::cp932::ToUtf8(p.LastError());
    if (!p.Result()) return "none";
    return std::to_string(p.Result()->GetParamType()) + ":" + orva::cp932::ToUtf8(p.Result()->GetStr());
  }

  orva::TCustomParam& Declare(const std::string& name, int type) {
    return *vars.Declare(orva::Sys(name), type).Value();
  }
  // A string variable holding raw CP932 bytes.
  void SetBytes(const std::string& name, const std::string& bytes) {
    orva::TParamCollectionItem* v = vars.FindVariable(name);
    (v ? *v->Value() : Declare(name, orva::PT_STR)).SetStr(bytes);
  }
  orva::TCustomParam& Value(const std::string& name) {
    orva::TParamCollectionItem* v = vars.FindVariable(orva::Sys(name));
    if (!v) throw std::runtime_error("no variable " + name);
    return *v->Value();
  }
  // "[dims] e1,e2,..." for an array, the elements alone for a scalar (UTF-8).
  std::string Shape(const std::string& name) {
    const orva::TCustomParam& v = Value(name);
    std::string out;
    if (!v.GetDims().empty()) {
      out = "[";
      for (size_t i = 0; i < v.GetDims().size(); ++i) out += (i ? "," : "") + std::to_string(v.GetDims()[i]);
      out += "] ";
    }
    for (int i = 0; i < v.GetCount(); ++i) out += (i ? "," : "") + orva::cp932::ToUtf8(v.GetStrAt(i));
    return out;
  }

  StackSource source;
  orva::TParamCollection vars{&source};
  orva::TSysFuncMan funcs;
  std::string lastError;
};

// One expression and its expected "type:text".
struct EvalCase {
  const char* text;
  const char* result;
};

inline std::ostream& operator<<(std::ostream& os, const EvalCase& c) { return os << c.text; }

// Tables of EvalCase are instantiated against this in each topic's file
// (the test itself is in sysfuncs_values_test.cpp); "none" expects the run
// to end without a value.
class SysFuncValues : public SysFuncs, public ::testing::WithParamInterface<EvalCase> {};

}  // namespace orvatest
