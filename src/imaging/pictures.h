// Single pictures: recognising BMP, PNG, JPEG, GIF and layered files by
// their first bytes, decoding the plain kinds into a colour surface plus an
// optional 8-bit alpha plane, and writing BMP, PNG and JPEG.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "imaging/dibx.h"

namespace orva {

enum class PictureKind { Unknown, Bmp, Png, Jpeg, Gif, Vorn };

PictureKind SniffPicture(std::span<const uint8_t> data);

// A decoded picture: colour (indexed 8 bits with its palette, or 24 bits)
// and, when the file carries per-pixel transparency, an alpha plane (255 =
// opaque). transColor is the native colour key (an index for indexed
// pictures), -1 for none.
struct TPicture {
  std::unique_ptr<TDIBX> color;
  std::unique_ptr<TDIBX> alpha;
  int32_t transColor = -1;
};

// Each decoder throws OrvaError "ファイルが破壊されています" on bad data.
// A 32-bit bitmap's fourth byte becomes the alpha plane (only when some
// pixel uses it; an all-zero fourth byte is the usual unused padding).
TPicture DecodeBmp(std::span<const uint8_t> data);
TPicture DecodePng(std::span<const uint8_t> data);
TPicture DecodeJpeg(std::span<const uint8_t> data);
// The first image; its transparent index becomes transColor.
TPicture DecodeGif(std::span<const uint8_t> data);
// Dispatches on SniffPicture (not for layered files).
TPicture DecodePicture(std::span<const uint8_t> data);

// 24-bit bottom-up BMP of the whole surface.
std::vector<uint8_t> EncodeBmp24(TCustomDIBX& surface);
// 8-bit RGB PNG, or RGBA when an alpha plane of the same size is given.
std::vector<uint8_t> EncodePng(TCustomDIBX& color, TCustomDIBX* alpha);
// Baseline JPEG of the colour pixels; quality 1..100.
std::vector<uint8_t> EncodeJpeg(TCustomDIBX& color, int quality);

// "ファイルが破壊されています"
[[noreturn]] void ThrowBrokenFile();

}  // namespace orva
