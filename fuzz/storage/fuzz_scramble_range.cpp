// A chunk-scrambled range read piece by piece must give exactly what
// unscrambling the whole entry gives.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/errors.h"
#include "storage/bigstreams.h"
#include "storage/scrambles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int64_t step = 1 + data[0];
  orva::TMxMemoryStream holder(std::vector<uint8_t>(data + 1, data + size));
  std::vector<uint8_t> streamed;
  bool streamOk = true;
  try {
    orva::TScrambleRangeStream r(holder, 0, holder.GetSize());
    std::vector<uint8_t> buf(static_cast<size_t>(step));
    for (;;) {
      int64_t n = r.Read(buf.data(), step);
      if (n <= 0) break;
      streamed.insert(streamed.end(), buf.begin(), buf.begin() + n);
    }
  } catch (const orva::OrvaError&) {
    streamOk = false;
  }
  orva::TMxMemoryStream whole(std::vector<uint8_t>(data + 1, data + size));
  try {
    orva::UnscrambleChunks(whole);
    if (!streamOk || whole.Bytes() != streamed) __builtin_trap();
  } catch (const orva::OrvaError&) {
    if (streamOk) __builtin_trap();
  }
  return 0;
}
