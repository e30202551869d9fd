// "install.dat" of every version; what reads must write back and read again
// to the same fields.
#include <cstddef>
#include <cstdint>

#include "common/errors.h"
#include "storage/installsets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orva::TMxMemoryStream s(std::vector<uint8_t>(data, data + size));
  orva::TOrvaInstallSet set;
  try {
    set.Read(s);
  } catch (const orva::OrvaError&) {
    return 0;
  }
  orva::TMxMemoryStream out;
  set.Write(out);
  orva::TOrvaInstallSet again;
  again.Read(out);
  if (again.setName != set.setName || again.diskNumber != set.diskNumber ||
      again.contentComplete != set.contentComplete || again.records != set.records)
    __builtin_trap();
  return 0;
}
