// The bitmap reader, and a surface loading the result.
#include <cstdint>
#include <span>

#include "common/errors.h"
#include "imaging/pictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool limited = (orva::SetSurfaceByteLimit(int64_t{16} << 20), true);
  (void)limited;
  try {
    orva::TPicture pic = orva::DecodeBmp(std::span<const uint8_t>(data, size));
    orva::TDIBX target(1, 1, 16);
    orva::CopyConvert(target, *pic.color);
  } catch (const orva::OrvaError&) {
  }
  return 0;
}
