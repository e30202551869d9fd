// The interpreter's saved state: any bytes load or fail cleanly.
#include <cstddef>
#include <cstdint>

#include "common/errors.h"
#include "expr/paramcollection.h"
#include "expr/sysfuncs.h"
#include "objects/timerlists.h"
#include "script/callman.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orva::TFixedScriptHost host;
  orva::TParamCollection vars;
  orva::TSysFuncMan funcs;
  orva::TTimerList events;
  // Pages named by the state are never found: loading must fail cleanly.
  orva::TCallMan cm({vars, funcs, events, host, [](const std::string&) { return false; },
                     [](const std::string& n, orva::TMxMemoryStream&) {
                       throw orva::OrvaError::Format("%s:ファイルがありません", n);
                     }});
  orva::TMxMemoryStream in(std::vector<uint8_t>(data, data + size));
  try {
    cm.LoadState(in, size > 0 ? 110 + data[0] % 10 : 116);
  } catch (const orva::OrvaError&) {
  }
  return 0;
}
