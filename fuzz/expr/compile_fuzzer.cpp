// The compiler on arbitrary text: it may only raise its own compile errors;
// whatever compiles must load and run.
#include <cstdlib>
#include <string>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "expr/paramcollection.h"
#include "expr/parser.h"
#include "expr/sysfuncs.h"

using namespace orva;

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsCompileError(const std::string& m) {
  static const std::string syntax = Sys("構文エラー");
  static const std::string index = Sys("配列の添え字が不正です");
  static const std::string func = Sys("\" 関数名がありません");
  static const std::string args = Sys(" 引数の数が不正です");
  return m == syntax || m == index || EndsWith(m, func) || EndsWith(m, args);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  TBuildOrvaParser build;
  TMxMemoryStream ms;
  try {
    build.Compile(text);
    build.SaveToStream(ms);
  } catch (const OrvaError& e) {
    if (!IsCompileError(e.message())) std::abort();
    return 0;
  }
  ms.SetPosition(0);
  TOrvaParser parser;
  parser.LoadFromStream(ms);
  TSystemVarSource source;
  TParamCollection vars(&source);
  vars.Declare("a", PT_INT).Value()->SetDims({3});
  vars.Declare("b", PT_STR);
  TSysFuncMan funcs;
  parser.Execute(vars, funcs);
  return 0;
}
