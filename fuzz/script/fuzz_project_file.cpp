// "orva.opb" of every version: what reads must write back to the same bytes.
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
  const auto consumed = static_cast<size_t>(in.GetPosition());
  if (out.Bytes() != std::vector<uint8_t>(data, data + consumed)) __builtin_trap();
  return 0;
}
