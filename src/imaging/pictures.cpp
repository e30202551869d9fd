// Plain picture files: BMP by hand, PNG through libpng, JPEG through
// libjpeg-turbo, GIF through giflib. Every size is checked against the data
// before anything is allocated.
#include "imaging/pictures.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "common/cp932.h"
#include "common/errors.h"
#include "imaging/pixelops.h"

namespace orva {

using namespace pixelops;

void ThrowBrokenFile() { throw OrvaError(Sys("ファイルが破壊されています")); }

PictureKind SniffPicture(std::span<const uint8_t> d) {
  if (d.size() >= 2 && d[0] == 'B' && d[1] == 'M') return PictureKind::Bmp;
  if (d.size() >= 4 && d[1] == 'P' && d[2] == 'N' && d[3] == 'G') return PictureKind::Png;
  if (d.size() >= 4 && std::memcmp(d.data(), "Vorn", 4) == 0) return PictureKind::Vorn;
  if (d.size() >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return PictureKind::Jpeg;
  if (d.size() >= 6 && (std::memcmp(d.data(), "GIF87a", 6) == 0 || std::memcmp(d.data(), "GIF89a", 6) == 0))
    return PictureKind::Gif;
  return PictureKind::Unknown;
}

namespace {

// Refuses pictures whose pixels could not fit any surface before a decoder
// allocates for them.
void CheckDimensions(int64_t w, int64_t h, int bits) {
  if (w <= 0 || h <= 0 || w > kMaxSurfaceSide || h > kMaxSurfaceSide) ThrowBrokenFile();
  if (int64_t{TDIBX::RowBytes(static_cast<int>(w), bits == 15 ? 16 : bits)} * h > SurfaceByteLimit())
    ThrowBrokenFile();
}

uint32_t Le32(const uint8_t* p) { return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Splits a 32-bit picture into 24-bit colour and (when used) its fourth byte
// as the alpha plane.
void SplitAlpha32(TPicture& pic, TDIBX& src32) {
  const int w = src32.Width(), h = src32.Height();
  pic.color = std::make_unique<TDIBX>(w, h, 24);
  bool anyAlpha = false;
  for (int y = 0; y < h && !anyAlpha; ++y)
    for (int x = 0; x < w; ++x)
      if (src32.Row(y)[4 * x + 3] != 0) {
        anyAlpha = true;
        break;
      }
  if (anyAlpha) pic.alpha = std::make_unique<TDIBX>(w, h, 8);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = src32.Row(y);
    uint8_t* c = pic.color->Row(y);
    for (int x = 0; x < w; ++x) {
      Px24::Set(c, x, Px32::Get(s, x) & 0xFFFFFF);
      if (anyAlpha) pic.alpha->Row(y)[x] = s[4 * x + 3];
    }
  }
}

}  // namespace

// --- BMP ------------------------------------------------------------------------

TPicture DecodeBmp(std::span<const uint8_t> d) {
  if (d.size() < 14 + 12 || d[0] != 'B' || d[1] != 'M') ThrowBrokenFile();
  const uint32_t dataOffset = Le32(&d[10]);
  const uint32_t infoSize = Le32(&d[14]);
  if (infoSize < 12 || infoSize > d.size() - 14) ThrowBrokenFile();
  int64_t w, h;
  int bits;
  uint32_t compression = 0, colorsUsed = 0;
  uint32_t masks[3] = {0, 0, 0};
  int paletteEntrySize = 4;
  if (infoSize == 12) {
    w = Le16(&d[18]);
    h = static_cast<int16_t>(Le16(&d[20]));
    bits = Le16(&d[24]);
    paletteEntrySize = 3;
  } else {
    if (infoSize < 40) ThrowBrokenFile();
    w = static_cast<int32_t>(Le32(&d[18]));
    h = static_cast<int32_t>(Le32(&d[22]));
    bits = Le16(&d[28]);
    compression = Le32(&d[30]);
    colorsUsed = Le32(&d[46]);
    if (compression == 3) {
      const size_t at = infoSize >= 52 ? 54 : 14 + infoSize;
      if (at + 12 > d.size()) ThrowBrokenFile();
      for (int i = 0; i < 3; ++i) masks[i] = Le32(&d[at + 4 * i]);
    }
  }
  const bool topDown = h < 0;
  if (topDown) h = -h;
  if (compression != 0 && compression != 3) ThrowBrokenFile();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ThrowBrokenFile();
  // 16-bit pixels are 5-5-5 unless the masks say 5-6-5.
  int surfaceBits = bits;
  if (bits == 16) surfaceBits = (compression == 3 && masks[1] == 0x07E0) ? 16 : 15;
  if (compression == 3 && bits == 32 && !(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF))
    ThrowBrokenFile();
  CheckDimensions(w, h, surfaceBits);
  const int64_t stride = TDIBX::RowBytes(static_cast<int>(w), bits);
  if (dataOffset > d.size() || stride * h > static_cast<int64_t>(d.size() - dataOffset)) ThrowBrokenFile();

  TDIBX raw(static_cast<int>(w), static_cast<int>(h), surfaceBits);
  if (bits <= 8) {
    const uint32_t maxEntries = 1u << bits;
    const uint32_t n = (colorsUsed == 0 || colorsUsed > maxEntries) ? maxEntries : colorsUsed;
    const size_t palAt = 14 + infoSize + (compression == 3 && infoSize < 52 ? 12 : 0);
    uint32_t pal[256] = {};
    for (uint32_t i = 0; i < n; ++i) {
      const size_t at = palAt + static_cast<size_t>(i) * paletteEntrySize;
      if (at + 3 > d.size()) ThrowBrokenFile();
      pal[i] = d[at] | (uint32_t{d[at + 1]} << 8) | (uint32_t{d[at + 2]} << 16);
    }
    raw.SetPalette(pal);
  }
  const size_t copyBytes = static_cast<size_t>(TDIBX::RowBytes(static_cast<int>(w), bits));
  for (int64_t y = 0; y < h; ++y) {
    const uint8_t* src = d.data() + dataOffset + static_cast<size_t>(stride * y);
    std::memcpy(raw.Row(static_cast<int>(topDown ? y : h - 1 - y)), src, copyBytes);
  }
  TPicture pic;
  if (bits == 32) {
    SplitAlpha32(pic, raw);
  } else {
    pic.color = std::make_unique<TDIBX>();
    pic.color->SetSize(1, 1, surfaceBits);
    CopyConvert(*pic.color, raw);
  }
  return pic;
}

std::vector<uint8_t> EncodeBmp24(TCustomDIBX& s) {
  const int w = s.Width(), h = s.Height();
  const int stride = TDIBX::RowBytes(w, 24);
  const uint32_t dataSize = static_cast<uint32_t>(stride) * static_cast<uint32_t>(h);
  std::vector<uint8_t> out(54 + dataSize, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, 54 + dataSize);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  out[26] = 1;
  out[28] = 24;
  put32(34, dataSize);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = out.data() + 54 + static_cast<size_t>(stride) * (h - 1 - y);
    for (int x = 0; x < w; ++x) Px24::Set(row, x, s.PixelToRgb(s.GetPixel(x, y)));
  }
  return out;
}

// --- PNG ------------------------------------------------------------------------

namespace {

struct PngRead {
  std::span<const uint8_t> data;
  size_t pos = 0;
  std::jmp_buf jump;
};

void PngReadFn(png_structp png, png_bytep out, png_size_t n) {
  auto* r = static_cast<PngRead*>(png_get_io_ptr(png));
  if (n > r->data.size() - r->pos) png_error(png, "truncated");
  std::memcpy(out, r->data.data() + r->pos, n);
  r->pos += n;
}

void PngErrorFn(png_structp png, png_const_charp) {
  auto* r = static_cast<PngRead*>(png_get_error_ptr(png));
  std::longjmp(r->jump, 1);
}
void PngWarningFn(png_structp, png_const_charp) {}

// Everything the decoder fills lives here so that nothing with a destructor
// is skipped by libpng's error jump.
struct PngState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<uint8_t> pixels;
  std::vector<png_bytep> rows;
  ~PngState() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

bool DecodePngInto(PngRead& io, PngState& st, TPicture& pic) {
  if (setjmp(io.jump)) return false;
  png_set_read_fn(st.png, &io, PngReadFn);
  png_set_user_limits(st.png, kMaxSurfaceSide, kMaxSurfaceSide);
  png_read_info(st.png, st.info);
  png_uint_32 w = 0, h = 0;
  int depth = 0, colorType = 0;
  png_get_IHDR(st.png, st.info, &w, &h, &depth, &colorType, nullptr, nullptr, nullptr);
  CheckDimensions(w, h, 32);
  int32_t trans = -1;
  bool keepIndexed = false;
  uint32_t pal[256] = {};
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp plte = nullptr;
    int n = 0;
    png_get_PLTE(st.png, st.info, &plte, &n);
    for (int i = 0; i < n && i < 256; ++i)
      pal[i] = (uint32_t{plte[i].red} << 16) | (uint32_t{plte[i].green} << 8) | plte[i].blue;
    // One fully transparent entry (and no partial ones) is a colour key;
    // anything else becomes an alpha channel.
    keepIndexed = true;
    png_bytep alphas = nullptr;
    int nTrans = 0;
    if (png_get_tRNS(st.png, st.info, &alphas, &nTrans, nullptr) && nTrans > 0) {
      int zero = -1;
      for (int i = 0; i < nTrans; ++i) {
        if (alphas[i] == 0 && zero < 0) zero = i;
        else if (alphas[i] != 255) keepIndexed = false;
      }
      if (keepIndexed) trans = zero;
    }
    if (keepIndexed) {
      png_set_packing(st.png);
    } else {
      png_set_palette_to_rgb(st.png);
      png_set_tRNS_to_alpha(st.png);
    }
  } else {
    png_color_16p tc = nullptr;
    if (png_get_tRNS(st.png, st.info, nullptr, nullptr, &tc) && tc) {
      auto scale = [&](int v) { return depth == 16 ? v >> 8 : (colorType & PNG_COLOR_MASK_COLOR ? v : v * 255 / ((1 << depth) - 1)); };
      if (colorType == PNG_COLOR_TYPE_GRAY) {
        const uint32_t g = static_cast<uint32_t>(scale(tc->gray)) & 0xFF;
        trans = static_cast<int32_t>(g * 0x010101u);
      } else {
        trans = static_cast<int32_t>((uint32_t(scale(tc->red) & 0xFF) << 16) | (uint32_t(scale(tc->green) & 0xFF) << 8) |
                                     uint32_t(scale(tc->blue) & 0xFF));
      }
    }
    if (depth == 16) png_set_strip_16(st.png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
      if (depth < 8) png_set_expand_gray_1_2_4_to_8(st.png);
      png_set_gray_to_rgb(st.png);
    }
  }
  const bool withAlpha = !keepIndexed && (colorType & PNG_COLOR_MASK_ALPHA || colorType == PNG_COLOR_TYPE_PALETTE);
  if (!keepIndexed && !withAlpha) png_set_filler(st.png, 0, PNG_FILLER_AFTER);
  png_set_bgr(st.png);
  png_set_interlace_handling(st.png);
  png_read_update_info(st.png, st.info);
  const size_t rowBytes = png_get_rowbytes(st.png, st.info);
  const size_t expect = keepIndexed ? w : size_t{w} * 4;
  if (rowBytes != expect) png_error(st.png, "unexpected row layout");
  st.pixels.resize(rowBytes * h);
  st.rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) st.rows[y] = st.pixels.data() + rowBytes * y;
  png_read_image(st.png, st.rows.data());
  png_read_end(st.png, nullptr);

  const int iw = static_cast<int>(w), ih = static_cast<int>(h);
  if (keepIndexed) {
    pic.color = std::make_unique<TDIBX>(iw, ih, 8);
    pic.color->SetPalette(pal);
    for (int y = 0; y < ih; ++y) std::memcpy(pic.color->Row(y), st.rows[static_cast<size_t>(y)], w);
    pic.transColor = trans;
    return true;
  }
  pic.color = std::make_unique<TDIBX>(iw, ih, 24);
  if (withAlpha) pic.alpha = std::make_unique<TDIBX>(iw, ih, 8);
  for (int y = 0; y < ih; ++y) {
    const uint8_t* s = st.rows[static_cast<size_t>(y)];
    for (int x = 0; x < iw; ++x) {
      Px24::Set(pic.color->Row(y), x, Px32::Get(s, x) & 0xFFFFFF);
      if (withAlpha) pic.alpha->Row(y)[x] = s[4 * x + 3];
    }
  }
  pic.transColor = trans;
  return true;
}

}  // namespace

TPicture DecodePng(std::span<const uint8_t> data) {
  if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0) ThrowBrokenFile();
  PngRead io;
  io.data = data;
  PngState st;
  st.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, PngErrorFn, PngWarningFn);
  if (!st.png) ThrowBrokenFile();
  st.info = png_create_info_struct(st.png);
  if (!st.info) ThrowBrokenFile();
  TPicture pic;
  bool ok = false;
  try {
    ok = DecodePngInto(io, st, pic);
  } catch (const OrvaError&) {
    ok = false;
  }
  if (!ok) ThrowBrokenFile();
  return pic;
}

namespace {
void PngWriteFn(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void PngFlushFn(png_structp) {}

struct PngWriteState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::jmp_buf jump;
  ~PngWriteState() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};
void PngWriteErrorFn(png_structp png, png_const_charp) {
  std::longjmp(static_cast<PngWriteState*>(png_get_error_ptr(png))->jump, 1);
}

bool EncodePngInto(PngWriteState& st, std::vector<uint8_t>& out, std::vector<png_bytep>& rows, int w, int h,
                   bool rgba) {
  if (setjmp(st.jump)) return false;
  png_set_write_fn(st.png, &out, PngWriteFn, PngFlushFn);
  png_set_IHDR(st.png, st.info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
               rgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(st.png, st.info);
  png_write_image(st.png, rows.data());
  png_write_end(st.png, nullptr);
  return true;
}
}  // namespace

std::vector<uint8_t> EncodePng(TCustomDIBX& color, TCustomDIBX* alpha) {
  const int w = color.Width(), h = color.Height();
  if (w <= 0 || h <= 0) throw OrvaError::Utf8("cannot write an empty picture");
  const bool rgba = alpha && alpha->BitCount() == 8 && alpha->Width() == w && alpha->Height() == h;
  const int channels = rgba ? 4 : 3;
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * channels);
  std::vector<png_bytep> rows(static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    uint8_t* row = pixels.data() + static_cast<size_t>(w) * channels * y;
    rows[static_cast<size_t>(y)] = row;
    for (int x = 0; x < w; ++x) {
      const uint32_t rgb = color.PixelToRgb(color.GetPixel(x, y));
      uint8_t* p = row + static_cast<size_t>(x) * channels;
      p[0] = static_cast<uint8_t>(rgb >> 16);
      p[1] = static_cast<uint8_t>(rgb >> 8);
      p[2] = static_cast<uint8_t>(rgb);
      if (rgba) p[3] = static_cast<uint8_t>(alpha->GetPixel(x, y));
    }
  }
  std::vector<uint8_t> out;
  PngWriteState st;
  st.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &st, PngWriteErrorFn, PngWarningFn);
  if (!st.png) throw OrvaError::Utf8("PNG writer failed to start");
  st.info = png_create_info_struct(st.png);
  if (!st.info || !EncodePngInto(st, out, rows, w, h, rgba)) throw OrvaError::Utf8("PNG writing failed");
  return out;
}

// --- JPEG -----------------------------------------------------------------------

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void JpegOutputMessage(j_common_ptr) {}

// Stops pathological progressive files (thousands of scans) early.
void JpegProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > 200) JpegErrorExit(cinfo);
  }
}

struct JpegDecodeState {
  jpeg_decompress_struct cinfo{};
  JpegError err{};
  jpeg_progress_mgr progress{};
  bool created = false;
  ~JpegDecodeState() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

bool DecodeJpegInto(JpegDecodeState& st, std::span<const uint8_t> data, TPicture& pic) {
  if (setjmp(st.err.jump)) return false;
  jpeg_create_decompress(&st.cinfo);
  st.created = true;
  st.progress.progress_monitor = JpegProgress;
  st.cinfo.progress = &st.progress;
  jpeg_mem_src(&st.cinfo, data.data(), static_cast<unsigned long>(data.size()));
  if (jpeg_read_header(&st.cinfo, TRUE) != JPEG_HEADER_OK) return false;
  const int64_t w = st.cinfo.image_width, h = st.cinfo.image_height;
  if (w <= 0 || h <= 0 || w > kMaxSurfaceSide || h > kMaxSurfaceSide ||
      int64_t{TDIBX::RowBytes(static_cast<int>(w), 24)} * h > SurfaceByteLimit())
    return false;
  st.cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&st.cinfo);
  if (st.cinfo.output_components != 3) return false;
  pic.color->SetSize(static_cast<int>(w), static_cast<int>(h), 24);
  while (st.cinfo.output_scanline < st.cinfo.output_height) {
    JSAMPROW row = pic.color->Row(static_cast<int>(st.cinfo.output_scanline));
    jpeg_read_scanlines(&st.cinfo, &row, 1);
  }
  jpeg_finish_decompress(&st.cinfo);
  return true;
}

struct JpegEncodeState {
  jpeg_compress_struct cinfo{};
  JpegError err{};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  bool created = false;
  ~JpegEncodeState() {
    if (created) jpeg_destroy_compress(&cinfo);
    std::free(buffer);
  }
};

bool EncodeJpegInto(JpegEncodeState& st, TDIBX& rgb, int quality) {
  if (setjmp(st.err.jump)) return false;
  jpeg_create_compress(&st.cinfo);
  st.created = true;
  jpeg_mem_dest(&st.cinfo, &st.buffer, &st.size);
  st.cinfo.image_width = static_cast<JDIMENSION>(rgb.Width());
  st.cinfo.image_height = static_cast<JDIMENSION>(rgb.Height());
  st.cinfo.input_components = 3;
  st.cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&st.cinfo);
  jpeg_set_quality(&st.cinfo, quality, TRUE);
  jpeg_start_compress(&st.cinfo, TRUE);
  while (st.cinfo.next_scanline < st.cinfo.image_height) {
    JSAMPROW row = rgb.Row(static_cast<int>(st.cinfo.next_scanline));
    jpeg_write_scanlines(&st.cinfo, &row, 1);
  }
  jpeg_finish_compress(&st.cinfo);
  return true;
}

}  // namespace

TPicture DecodeJpeg(std::span<const uint8_t> data) {
  if (data.size() < 4) ThrowBrokenFile();
  JpegDecodeState st;
  st.cinfo.err = jpeg_std_error(&st.err.mgr);
  st.err.mgr.error_exit = JpegErrorExit;
  st.err.mgr.output_message = JpegOutputMessage;
  TPicture pic;
  pic.color = std::make_unique<TDIBX>();
  if (!DecodeJpegInto(st, data, pic)) ThrowBrokenFile();
  return pic;
}

std::vector<uint8_t> EncodeJpeg(TCustomDIBX& color, int quality) {
  if (color.IsEmpty()) throw OrvaError::Utf8("cannot write an empty picture");
  TDIBX rgb(1, 1, 24);
  CopyConvert(rgb, color);
  JpegEncodeState st;
  st.cinfo.err = jpeg_std_error(&st.err.mgr);
  st.err.mgr.error_exit = JpegErrorExit;
  st.err.mgr.output_message = JpegOutputMessage;
  if (!EncodeJpegInto(st, rgb, std::clamp(quality, 1, 100))) throw OrvaError::Utf8("JPEG writing failed");
  return std::vector<uint8_t>(st.buffer, st.buffer + st.size);
}

// --- GIF ------------------------------------------------------------------------

namespace {

struct GifRead {
  std::span<const uint8_t> data;
  size_t pos = 0;
};

int GifReadFn(GifFileType* gif, GifByteType* out, int n) {
  auto* r = static_cast<GifRead*>(gif->UserData);
  const size_t take = std::min<size_t>(static_cast<size_t>(std::max(n, 0)), r->data.size() - r->pos);
  std::memcpy(out, r->data.data() + r->pos, take);
  r->pos += take;
  return static_cast<int>(take);
}

struct GifCloser {
  void operator()(GifFileType* g) const {
    int err = 0;
    DGifCloseFile(g, &err);
  }
};

}  // namespace

TPicture DecodeGif(std::span<const uint8_t> data) {
  GifRead io{data, 0};
  int err = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&io, GifReadFn, &err));
  if (!gif) ThrowBrokenFile();
  int transIndex = -1;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) ThrowBrokenFile();
    if (type == TERMINATE_RECORD_TYPE) ThrowBrokenFile();
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR) ThrowBrokenFile();
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4 && (ext[1] & 1)) transIndex = ext[4];
      while (ext) {
        if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR) ThrowBrokenFile();
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) ThrowBrokenFile();
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* cmap = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!cmap) ThrowBrokenFile();
    // The first image at its place on the logical screen (background 0 or
    // the transparent index around it).
    const int64_t sw = std::max<int64_t>(gif->SWidth, desc.Left + int64_t{desc.Width});
    const int64_t sh = std::max<int64_t>(gif->SHeight, desc.Top + int64_t{desc.Height});
    CheckDimensions(sw, sh, 8);
    if (desc.Width <= 0 || desc.Height <= 0) ThrowBrokenFile();
    TPicture pic;
    pic.color = std::make_unique<TDIBX>(static_cast<int>(sw), static_cast<int>(sh), 8);
    uint32_t pal[256] = {};
    for (int i = 0; i < cmap->ColorCount && i < 256; ++i)
      pal[i] = (uint32_t{cmap->Colors[i].Red} << 16) | (uint32_t{cmap->Colors[i].Green} << 8) | cmap->Colors[i].Blue;
    pic.color->SetPalette(pal);
    pic.color->Clear(transIndex >= 0 ? static_cast<uint32_t>(transIndex) : static_cast<uint32_t>(gif->SBackGroundColor));
    std::vector<GifPixelType> line(static_cast<size_t>(desc.Width));
    auto readRow = [&](int y) {
      if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR) ThrowBrokenFile();
      std::memcpy(pic.color->Row(desc.Top + y) + desc.Left, line.data(), line.size());
    };
    if (desc.Interlace) {
      static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < desc.Height; y += kStep[pass]) readRow(y);
    } else {
      for (int y = 0; y < desc.Height; ++y) readRow(y);
    }
    pic.transColor = transIndex;
    return pic;
  }
}

TPicture DecodePicture(std::span<const uint8_t> data) {
  switch (SniffPicture(data)) {
    case PictureKind::Bmp: return DecodeBmp(data);
    case PictureKind::Png: return DecodePng(data);
    case PictureKind::Jpeg: return DecodeJpeg(data);
    case PictureKind::Gif: return DecodeGif(data);
    default: throw OrvaError(Sys("読み込めないファイル形式です"));
  }
}

}  // namespace orva
