// Surface storage, clip, colour conversion and fills.
#include "imaging/dibx.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "common/errors.h"
#include "imaging/pixelops.h"

namespace orva {

using namespace pixelops;

// --- format -----------------------------------------------------------------

uint32_t TCustomDIBX::RedMask() const { return BitCount() <= 8 ? 0 : ChannelsOf(BitCount()).r; }
uint32_t TCustomDIBX::GreenMask() const { return BitCount() <= 8 ? 0 : ChannelsOf(BitCount()).g; }
uint32_t TCustomDIBX::BlueMask() const { return BitCount() <= 8 ? 0 : ChannelsOf(BitCount()).b; }
int TCustomDIBX::GreenShift() const {
  switch (BitCount()) {
    case 15:
    case 16: return 5;
    case 24:
    case 32: return 8;
    default: return 0;
  }
}
int TCustomDIBX::RedShift() const {
  switch (BitCount()) {
    case 15: return 10;
    case 16: return 11;
    case 24:
    case 32: return 16;
    default: return 0;
  }
}

uint32_t TCustomDIBX::GetPixel(int x, int y) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
  uint8_t* row = Lock(0, y);
  if (!row) return 0;
  const uint32_t v = WithFormat(StorageBitCount(), [&](auto px) { return decltype(px)::Get(row, x); });
  Unlock();
  return v;
}

void TCustomDIBX::SetPixel(int x, int y, uint32_t value) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
  uint8_t* row = Lock(0, y);
  if (!row) return;
  WithFormat(StorageBitCount(), [&](auto px) { decltype(px)::Set(row, x, value); });
  Unlock();
}

// --- clip -----------------------------------------------------------------

void TCustomDIBX::AddClipRect(const TRect& rect) {
  const TRect clamped = Intersect(rect, BoundsRect());
  if (!hasClip_) {
    hasClip_ = true;
    clip_ = clamped.Empty() ? TRect{} : clamped;
    return;
  }
  clip_ = Union(clip_, clamped.Empty() ? TRect{} : clamped);
}

// --- colours ----------------------------------------------------------------

uint32_t TCustomDIBX::ColorToPixel(int32_t color) const {
  if (color < 0) return 0xFFFFFFFFu;
  const uint32_t c = static_cast<uint32_t>(color);
  const uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  switch (BitCount()) {
    case 15: return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    case 16: return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    case 32: return r << 16 | g << 8 | b;
    default: return c;
  }
}

namespace {
uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }
uint32_t Expand6(uint32_t v) { return (v << 2) | (v >> 4); }
}  // namespace

uint32_t TCustomDIBX::PixelToRgb(uint32_t p) const {
  switch (BitCount()) {
    case 15: return Expand5((p >> 10) & 31) << 16 | Expand5((p >> 5) & 31) << 8 | Expand5(p & 31);
    case 16: return Expand5((p >> 11) & 31) << 16 | Expand6((p >> 5) & 63) << 8 | Expand5(p & 31);
    case 24:
    case 32: return p & 0xFFFFFF;
    default: {
      const uint32_t* pal = Palette();
      return pal ? pal[p & 0xFF] & 0xFFFFFF : (p & 0xFF) * 0x010101u;
    }
  }
}

uint32_t TCustomDIBX::RgbToPixel(uint32_t rgb) const {
  const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  switch (BitCount()) {
    case 15: return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    case 16: return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    case 24:
    case 32: return rgb & 0xFFFFFF;
    default: {
      const uint32_t* pal = Palette();
      if (!pal) return (r * 77 + g * 150 + b * 29) >> 8;
      const int n = 1 << BitCount();
      int best = 0;
      int64_t bestDist = INT64_MAX;
      for (int i = 0; i < n; ++i) {
        const int dr = static_cast<int>((pal[i] >> 16) & 0xFF) - static_cast<int>(r);
        const int dg = static_cast<int>((pal[i] >> 8) & 0xFF) - static_cast<int>(g);
        const int db = static_cast<int>(pal[i] & 0xFF) - static_cast<int>(b);
        const int64_t dist = int64_t{dr} * dr + int64_t{dg} * dg + int64_t{db} * db;
        if (dist < bestDist) {
          bestDist = dist;
          best = i;
          if (dist == 0) break;
        }
      }
      return static_cast<uint32_t>(best);
    }
  }
}

// --- fills ------------------------------------------------------------------

void TCustomDIBX::Clear(uint32_t value) {
  const int bits = BitCount();
  if (bits == 24 || bits == 32) {
    FillRect(BoundsRect(), value);
    return;
  }
  if (IsEmpty()) return;
  uint8_t* base = Lock(0, 0);
  if (!base) return;
  const int rowBytes = TDIBX::RowBytes(Width(), StorageBitCount());
  for (int y = 0; y < Height(); ++y) {
    uint8_t* row = base + static_cast<ptrdiff_t>(Pitch()) * y;
    switch (bits) {
      case 1: std::memset(row, (value & 1) ? 0xFF : 0x00, static_cast<size_t>(rowBytes)); break;
      case 4: std::memset(row, static_cast<int>((value & 0xF) * 0x11), static_cast<size_t>(rowBytes)); break;
      case 8: std::memset(row, static_cast<int>(value & 0xFF), static_cast<size_t>(rowBytes)); break;
      default:
        for (int x = 0; x < Width(); ++x) Px16::Set(row, x, value);
        break;
    }
  }
  Unlock();
}

void TCustomDIBX::FillOp(const TRect& rect, uint32_t value, Mode mode, int alpha, bool subtract) {
  const TRect r = Intersect(rect, Intersect(ClipRect(), BoundsRect()));
  if (r.Empty()) return;
  if (mode == Mode::Blend && alpha <= 0) return;
  if (mode == Mode::Blend && alpha >= 255) mode = Mode::Copy;
  uint8_t* base = Lock(0, 0);
  if (!base) return;
  const Chan c = ChannelsOf(BitCount());
  const uint32_t a = static_cast<uint32_t>(alpha);
  WithFormat(StorageBitCount(), [&](auto px) {
    using Px = decltype(px);
    for (int y = r.Top; y < r.Bottom; ++y) {
      uint8_t* row = base + static_cast<ptrdiff_t>(Pitch()) * y;
      if (mode == Mode::Copy) {
        if constexpr (Px::kBits == 32) {
          std::fill_n(reinterpret_cast<uint32_t*>(row) + r.Left, r.Width(), value);
        } else {
          for (int x = r.Left; x < r.Right; ++x) Px::Set(row, x, value);
        }
      } else if (mode == Mode::Blend) {
        for (int x = r.Left; x < r.Right; ++x) {
          const uint32_t d = Px::Get(row, x);
          if (d != value) Px::Set(row, x, Blend<Px>(value, d, a, c));
        }
      } else {
        for (int x = r.Left; x < r.Right; ++x) {
          const uint32_t d = Px::Get(row, x);
          Px::Set(row, x, subtract ? SubFloor(value, d, c) : AddSat(value, d, c));
        }
      }
    }
  });
  Unlock();
}

void TCustomDIBX::FillRect(const TRect& rect, uint32_t value) { FillOp(rect, value, Mode::Copy, 255, false); }
void TCustomDIBX::FillRectAlpha(const TRect& rect, uint32_t value, int alpha) {
  FillOp(rect, value, Mode::Blend, alpha, false);
}
void TCustomDIBX::FillRectAdd(const TRect& rect, uint32_t value) { FillOp(rect, value, Mode::Add, 255, false); }
void TCustomDIBX::FillRectSub(const TRect& rect, uint32_t value) { FillOp(rect, value, Mode::Add, 255, true); }


void TCustomDIBX::FrameRect(const TRect& rect, int width, uint32_t value) {
  ForEachFrameBand(rect, width, [&](const TRect& r) { FillRect(r, value); });
}
void TCustomDIBX::FrameRectAlpha(const TRect& rect, int width, uint32_t value, int alpha) {
  ForEachFrameBand(rect, width, [&](const TRect& r) { FillRectAlpha(r, value, alpha); });
}
void TCustomDIBX::FrameRectAdd(const TRect& rect, int width, uint32_t value) {
  ForEachFrameBand(rect, width, [&](const TRect& r) { FillRectAdd(r, value); });
}

namespace {
int64_t g_surfaceByteLimit = int64_t{512} << 20;
}  // namespace

int64_t SurfaceByteLimit() { return g_surfaceByteLimit; }
void SetSurfaceByteLimit(int64_t bytes) { g_surfaceByteLimit = bytes; }

// --- TDIBX --------------------------------------------------------------------

TDIBX::TDIBX() : store_(4) {
  for (uint32_t i = 0; i < 256; ++i) palette_[i] = i * 0x010101u;
}

void TDIBX::SetSize(int width, int height, int bits) {
  if (bits != 1 && bits != 4 && bits != 8 && bits != 15 && bits != 16 && bits != 24) bits = 32;
  if (width < 0 || height < 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide)
    throw OrvaError::Utf8("surface size out of range");
  const int storage = bits == 15 ? 16 : bits;
  const int rowBytes = RowBytes(width, storage);
  const int64_t total = int64_t{rowBytes} * height;
  if (total > g_surfaceByteLimit) throw OrvaError::Utf8("surface too large");
  borrowed_ = nullptr;
  store_.assign(static_cast<size_t>(std::max<int64_t>(total, 4)), 0);
  width_ = width;
  height_ = height;
  bitCount_ = bits;
  pitch_ = rowBytes;
}

uint8_t* TDIBX::Lock(int x, int y) {
  if (width_ == 0 || height_ == 0 || x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
  return Row(y) + (static_cast<ptrdiff_t>(x) * StorageBitCount()) / 8;
}

void TDIBX::Release() {
  borrowed_ = nullptr;
  store_.assign(RowBytes(8, StorageBitCount()) * 8, 0);
  width_ = height_ = 0;
  pitch_ = RowBytes(8, StorageBitCount());
}

uint32_t TDIBX::GetPixel(int x, int y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const uint8_t* row = Row(y);
  return WithFormat(StorageBitCount(), [&](auto px) { return decltype(px)::Get(row, x); });
}

void TDIBX::SetPixel(int x, int y, uint32_t value) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  uint8_t* row = Row(y);
  WithFormat(StorageBitCount(), [&](auto px) { decltype(px)::Set(row, x, value); });
}

void TDIBX::Borrow(uint8_t* pixels, int width, int height, int bits, int pitch) {
  store_.assign(4, 0);
  borrowed_ = pixels;
  width_ = width;
  height_ = height;
  bitCount_ = bits;
  pitch_ = pitch;
}

void TDIBX::GetPaletteEntries(int first, int count, uint32_t* entries) const {
  for (int i = 0; i < count && first + i < 256; ++i)
    if (first + i >= 0) entries[i] = palette_[static_cast<size_t>(first + i)];
}

void TDIBX::SetPaletteEntries(int first, int count, const uint32_t* entries) {
  for (int i = 0; i < count && first + i < 256; ++i)
    if (first + i >= 0) palette_[static_cast<size_t>(first + i)] = entries[i];
}

// --- conversion -----------------------------------------------------------------

void CopyConvert(TCustomDIBX& dst, TCustomDIBX& src) {
  const int w = src.Width(), h = src.Height();
  const int dbits = dst.BitCount(), sbits = src.BitCount();
  if (&dst == &src) return;
  dst.SetSize(w, h, dbits);
  if (src.Palette()) dst.SetPaletteEntries(0, 256, src.Palette());
  if (w == 0 || h == 0) return;
  uint8_t* d = dst.Lock(0, 0);
  uint8_t* s = src.Lock(0, 0);
  if (!d || !s) {
    if (d) dst.Unlock();
    if (s) src.Unlock();
    return;
  }
  const int rowBytes = TDIBX::RowBytes(w, dst.StorageBitCount());
  for (int y = 0; y < h; ++y) {
    uint8_t* drow = d + static_cast<ptrdiff_t>(dst.Pitch()) * y;
    const uint8_t* srow = s + static_cast<ptrdiff_t>(src.Pitch()) * y;
    if (dbits == sbits) {
      std::memcpy(drow, srow, static_cast<size_t>(rowBytes));
    } else if (dbits == 32 && sbits == 24) {
      for (int x = 0; x < w; ++x) Px32::Set(drow, x, Px24::Get(srow, x));
    } else if (dbits == 24 && sbits == 32) {
      for (int x = 0; x < w; ++x) Px24::Set(drow, x, Px32::Get(srow, x) & 0xFFFFFF);
    } else {
      WithFormat(src.StorageBitCount(), [&](auto spx) {
        WithFormat(dst.StorageBitCount(), [&](auto dpx) {
          for (int x = 0; x < w; ++x)
            decltype(dpx)::Set(drow, x, dst.RgbToPixel(src.PixelToRgb(decltype(spx)::Get(srow, x))));
        });
      });
    }
  }
  dst.Unlock();
  src.Unlock();
}

}  // namespace orva
