// Compiled expression streams: loading must refuse damaged input with an
// OrvaError; what loads must write back identically and run without harm.
#include <cstdlib>

#include "common/errors.h"
#include "common/streams.h"
#include "expr/paramcollection.h"
#include "expr/parser.h"
#include "expr/sysfuncs.h"

using namespace orva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMxMemoryStream in(std::vector<uint8_t>(data, data + size));
  TOrvaParser parser;
  try {
    parser.LoadFromStream(in);
  } catch (const OrvaError&) {
    return 0;
  }
  TMxMemoryStream out;
  parser.SaveToStream(out);
  out.SetPosition(0);
  TOrvaParser again;
  again.LoadFromStream(out);
  TMxMemoryStream out2;
  again.SaveToStream(out2);
  if (out2.Bytes() != out.Bytes()) std::abort();

  TSystemVarSource source;
  TParamCollection vars(&source);
  vars.Declare("a", PT_INT).Value()->SetDims({2, 3});
  vars.Declare("s", PT_STR);
  vars.Declare("f", PT_FLOAT);
  TSysFuncMan funcs;
  funcs.Register("Max", [](TSysFuncCall& c) { c.result.SetInt(c.args.empty() ? 0 : c.args[0]->GetInt()); });
  parser.Execute(vars, funcs);
  parser.Execute(vars, funcs);
  return 0;
}
