// Layered pictures of both generations, with and without an
// identification code, keeping layers and converting.
#include <cstdint>
#include <string_view>

#include "common/errors.h"
#include "common/streams.h"
#include "imaging/dibx.h"
#include "imaging/vorns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool limited = (orva::SetSurfaceByteLimit(int64_t{4} << 20), true);
  (void)limited;
  orva::TMxMemoryStream m(std::string_view(reinterpret_cast<const char*>(data), size));
  for (int32_t ident : {0, 12345}) {
    orva::TVornFrameList list(ident);
    try {
      list.LoadFromStream(m, false, ident != 0, ident != 0);
    } catch (const orva::OrvaError&) {
    }
  }
  try {
    orva::TVornFrameList::ReadHeader(m);
  } catch (const orva::OrvaError&) {
  }
  return 0;
}
