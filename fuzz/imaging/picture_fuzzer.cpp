// The PNG, JPEG and GIF decoders, chosen by the first bytes as loading
// does; anything else goes to the PNG reader's signature check.
#include <cstdint>
#include <span>

#include "common/errors.h"
#include "imaging/pictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool limited = (orva::SetSurfaceByteLimit(int64_t{16} << 20), true);
  (void)limited;
  const std::span<const uint8_t> bytes(data, size);
  try {
    switch (orva::SniffPicture(bytes)) {
      case orva::PictureKind::Png: orva::DecodePng(bytes); break;
      case orva::PictureKind::Jpeg: orva::DecodeJpeg(bytes); break;
      case orva::PictureKind::Gif: orva::DecodeGif(bytes); break;
      default:
        orva::DecodePng(bytes);
        break;
    }
  } catch (const orva::OrvaError&) {
  }
  return 0;
}
