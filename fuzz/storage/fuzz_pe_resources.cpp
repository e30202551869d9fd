// The resource reader of Windows program files.
#include <cstddef>
#include <cstdint>

#include "common/errors.h"
#include "storage/peresources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orva::TMxMemoryStream s(std::vector<uint8_t>(data, data + size));
  try {
    auto loc = orva::FindPeResource(s, "DUMMY", "BINTYPE");
    if (loc && (loc->offset < 0 || loc->offset + loc->size > static_cast<int64_t>(size)) && loc->size != 0)
      __builtin_trap();
  } catch (const orva::OrvaError&) {
  }
  return 0;
}
