// Variable save and status blocks: damaged input is refused with an
// OrvaError and leaves a table that still saves and restores.
#include "common/errors.h"
#include "common/streams.h"
#include "expr/paramcollection.h"

using namespace orva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  bool status = data[0] & 1;
  int version = 100 + data[1] % 45;
  TMxMemoryStream in(std::vector<uint8_t>(data + 2, data + size));
  TSystemVarSource source;
  TParamCollection vars(&source);
  vars.Declare("kept", PT_INT);
  try {
    if (status)
      vars.LoadStatusVariables(in, version);
    else
      vars.LoadVariables(in, version);
  } catch (const OrvaError&) {
  }
  TMxMemoryStream out;
  vars.SaveVariables(out);
  vars.SaveStatusVariables(out);
  try {
    while (vars.SnapshotCount() > 0) vars.PopVariables();
  } catch (const OrvaError&) {
  }
  return 0;
}
