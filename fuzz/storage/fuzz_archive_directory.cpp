// Archive directories of any version, then every entry the directory names
// decoded from the same bytes.
#include <cstddef>
#include <cstdint>

#include "common/errors.h"
#include "storage/archives.h"
#include "storage/scrambles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orva::TMxMemoryStream s(std::vector<uint8_t>(data, data + size));
  try {
    auto dir = orva::ReadArchiveDirectory(s, s.GetSize(), "fuzz.dat");
    for (const auto& e : dir.entries) {
      if (e.offset < 0 || e.offset + e.size > static_cast<int64_t>(size)) __builtin_trap();
      orva::TMxMemoryStream entry(std::vector<uint8_t>(data + e.offset, data + e.offset + e.size));
      try {
        orva::DecodeEntryInPlace(entry, e.kind);
      } catch (const orva::OrvaError&) {
      }
    }
  } catch (const orva::OrvaError&) {
  }
  return 0;
}
