// "orva.opb" of every version: what reads writes back in a form that reads
// and writes again to the same bytes (flag bytes other than 0 and 1 come back
// as 1, nothing else changes).
#include <cstddef>
#include <cstdint>

#include "common/errors.h"
#include "script/projectfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orva::TMxMemoryStream in(std::vector<uint8_t>(data, data + size));
  orva::TProjectFile p;
  try {
    p.Read(in);
  } catch (const orva::OrvaError&) {
    return 0;
  }
  orva::TMxMemoryStream out;
  p.Write(out);
  out.SetPosition(0);
  orva::TProjectFile again;
  again.Read(out);  // must not throw
  if (out.Remaining() != 0) __builtin_trap();
  orva::TMxMemoryStream out2;
  again.Write(out2);
  if (out2.Bytes() != out.Bytes()) __builtin_trap();
  return 0;
}
