// The drawing operations that read a source surface: copies, blends, masks,
// stretches, tiles, rotation and indexed drawing. Every one of them maps each
// destination column and row to a source column and row (after clipping) and
// runs one row loop specialised per pixel format and operation.
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "imaging/dibx.h"
#include "imaging/dibxkit.h"
#include "imaging/pixelops.h"
#include "imaging/rows32.h"

namespace orva {

using namespace pixelops;
using namespace dibxkit;

// Source index for each destination index along one axis.
struct AxisMap {
  int dst0 = 0;               // first destination coordinate
  std::vector<int32_t> src;   // source coordinate per destination coordinate
  bool Empty() const { return src.empty(); }
  int Count() const { return static_cast<int>(src.size()); }
  // True when src[i] = src[0] + i.
  bool Linear() const { return !src.empty() && src.back() - src.front() == Count() - 1; }
};

namespace {

// A copy of srcLen source pixels starting at srcLo (flipped: read from the
// end) to destination position pos, cut to [clipLo, clipHi) and to the
// source's own extent [0, srcSize).
AxisMap MapCopy(int64_t pos, int64_t srcLo, int64_t srcHi, int64_t srcSize, int64_t clipLo, int64_t clipHi,
                bool flip) {
  AxisMap m;
  const int64_t len = srcHi - srcLo;
  if (len <= 0) return m;
  const int64_t validLo = std::max<int64_t>(srcLo, 0), validHi = std::min<int64_t>(srcHi, srcSize);
  if (validLo >= validHi) return m;
  int64_t lo = std::max<int64_t>(0, clipLo - pos), hi = std::min<int64_t>(len, clipHi - pos);
  if (flip) {
    lo = std::max(lo, srcHi - validHi);
    hi = std::min(hi, srcHi - validLo);
  } else {
    lo = std::max(lo, validLo - srcLo);
    hi = std::min(hi, validHi - srcLo);
  }
  if (lo >= hi) return m;
  m.dst0 = static_cast<int>(pos + lo);
  m.src.resize(static_cast<size_t>(hi - lo));
  for (int64_t i = lo; i < hi; ++i)
    m.src[static_cast<size_t>(i - lo)] = static_cast<int32_t>(flip ? srcHi - 1 - i : srcLo + i);
  return m;
}

// Nearest-neighbour scaling of [srcLo, srcHi) onto [destLo, destHi): 16.16
// steps srcLen/destLen; a clipped start of k pixels moves the source by
// trunc(k * ratio) and keeps the fraction as the starting sub-pixel offset.
AxisMap MapStretch(int64_t destLo, int64_t destHi, int64_t srcLo, int64_t srcHi, int64_t srcSize, int64_t clipLo,
                   int64_t clipHi, bool flip) {
  AxisMap m;
  const int64_t dLen = destHi - destLo, sLen = srcHi - srcLo;
  if (dLen <= 0 || sLen <= 0) return m;
  const int64_t a = std::max(destLo, clipLo), b = std::min(destHi, clipHi);
  if (a >= b) return m;
  const double ratio = static_cast<double>(sLen) / static_cast<double>(dLen);
  const double kr = static_cast<double>(a - destLo) * ratio;
  const int64_t base = static_cast<int64_t>(kr);
  const int64_t start = static_cast<int64_t>((kr - static_cast<double>(base)) * 65536.0);
  const int64_t step = (sLen << 16) / dLen;
  int64_t first = -1, last = -1;
  std::vector<int32_t> src(static_cast<size_t>(b - a));
  for (int64_t j = 0; j < b - a; ++j) {
    int64_t off = base + ((start + j * step) >> 16);
    if (off >= sLen) off = sLen - 1;
    const int64_t sc = flip ? srcHi - 1 - off : srcLo + off;
    src[static_cast<size_t>(j)] = static_cast<int32_t>(sc);
    if (sc >= 0 && sc < srcSize) {
      if (first < 0) first = j;
      last = j;
    }
  }
  if (first < 0) return m;
  m.dst0 = static_cast<int>(a + first);
  m.src.assign(src.begin() + first, src.begin() + last + 1);
  return m;
}

// Both axes of a copy of rect (in src) to (x, y) under the clip.
struct AxisMaps {
  AxisMap xs, ys;
  bool Empty() const { return xs.Empty() || ys.Empty(); }
};
AxisMaps MapCopyRect(int x, int y, const TRect& rect, const TCustomDIBX& src, const TRect& clip, bool flipH,
                     bool flipV) {
  return {MapCopy(x, rect.Left, rect.Right, src.Width(), clip.Left, clip.Right, flipH),
          MapCopy(y, rect.Top, rect.Bottom, src.Height(), clip.Top, clip.Bottom, flipV)};
}

}  // namespace

struct TCustomDIBX::Blit {
  Mode mode = Mode::Copy;
  uint32_t alpha = 255;
  bool key = false;
  uint32_t keyValue = 0;
  uint8_t* dst = nullptr;
  ptrdiff_t dstPitch = 0;
  const uint8_t* src = nullptr;
  ptrdiff_t srcPitch = 0;
  const uint8_t* mask = nullptr;
  ptrdiff_t maskPitch = 0;
  const AxisMap* xs = nullptr;
  const AxisMap* ys = nullptr;
  Chan chan;
  int storageBits = 32;
};

namespace {

template <class Px, int kMode, bool kKey, bool kMask, bool kLinear, class B>
void BlitRows(const B& b) {
  const int w = b.xs->Count(), h = b.ys->Count();
  const int dx0 = b.xs->dst0;
  const int32_t* xs = b.xs->src.data();
  const int32_t sx0 = xs[0];
  const uint32_t alpha = b.alpha;
  for (int j = 0; j < h; ++j) {
    uint8_t* drow = b.dst + b.dstPitch * (b.ys->dst0 + j);
    const int32_t sy = b.ys->src[static_cast<size_t>(j)];
    const uint8_t* srow = b.src + b.srcPitch * sy;
    const uint8_t* mrow = kMask ? b.mask + b.maskPitch * sy : nullptr;
    if constexpr (kMode == 0 && !kKey && kLinear && Px::kBits >= 8) {
      std::memcpy(drow + static_cast<ptrdiff_t>(dx0) * (Px::kBits / 8), srow + static_cast<ptrdiff_t>(sx0) * (Px::kBits / 8),
                  static_cast<size_t>(w) * (Px::kBits / 8));
      continue;
    }
    if constexpr (kMode == 0 && !kKey && Px::kBits >= 8) {
      // A scaled copy repeats source rows: the previous destination row is
      // already the answer.
      if (j > 0 && sy == b.ys->src[static_cast<size_t>(j - 1)]) {
        std::memcpy(drow + static_cast<ptrdiff_t>(dx0) * (Px::kBits / 8),
                    drow - b.dstPitch + static_cast<ptrdiff_t>(dx0) * (Px::kBits / 8),
                    static_cast<size_t>(w) * (Px::kBits / 8));
        continue;
      }
    }
    if constexpr (Px::kBits == 32 && kLinear) {
      uint8_t* dp = drow + 4 * static_cast<ptrdiff_t>(dx0);
      const uint8_t* sp = srow + 4 * static_cast<ptrdiff_t>(sx0);
      if constexpr (kMode == 1 && !kMask && !kKey) {
        if (alpha > 0 && alpha < 255) {
          rows32::BlendRow(dp, sp, w, alpha);
          continue;
        }
      } else if constexpr (kMode == 2 && !kMask) {
        rows32::AddRow(dp, sp, w, alpha, kKey, b.keyValue);
        continue;
      } else if constexpr (kMode == 1 && kMask) {
        rows32::MaskRow(dp, sp, mrow + sx0, w, alpha);
        continue;
      }
    }
    for (int i = 0; i < w; ++i) {
      const int sx = kLinear ? sx0 + i : xs[i];
      const uint32_t s = Px::Get(srow, sx);
      if constexpr (kKey) {
        if (s == b.keyValue) continue;
      }
      uint32_t a = alpha;
      if constexpr (kMask) {
        const uint32_t m = mrow[sx];
        if (m == 0) continue;
        a = MaskAlpha(alpha, m);
      }
      const int x = dx0 + i;
      if constexpr (kMode == 0) {
        Px::Set(drow, x, s);
      } else if constexpr (kMode == 1) {
        if (a == 0) continue;
        if (a >= 255) {
          Px::Set(drow, x, s);
          continue;
        }
        const uint32_t d = Px::Get(drow, x);
        if (d != s) Px::Set(drow, x, Blend<Px>(s, d, a, b.chan));
      } else {
        Px::Set(drow, x, Add<Px>(s, Px::Get(drow, x), a, b.chan));
      }
    }
  }
}

template <class Px, int kMode, class B>
void BlitVariants(const B& b) {
  const bool linear = b.xs->Linear();
  if (b.mask) {
    if (linear) BlitRows<Px, kMode, false, true, true>(b);
    else BlitRows<Px, kMode, false, true, false>(b);
  } else if (b.key) {
    if (linear) BlitRows<Px, kMode, true, false, true>(b);
    else BlitRows<Px, kMode, true, false, false>(b);
  } else {
    if (linear) BlitRows<Px, kMode, false, false, true>(b);
    else BlitRows<Px, kMode, false, false, false>(b);
  }
}

}  // namespace

void TCustomDIBX::RunBlit(const Blit& b) {
  WithFormat(b.storageBits, [&](auto px) {
    using Px = decltype(px);
    switch (b.mode) {
      case Mode::Copy: BlitVariants<Px, 0>(b); break;
      case Mode::Blend: BlitVariants<Px, 1>(b); break;
      case Mode::Add: BlitVariants<Px, 2>(b); break;
    }
  });
}

void TCustomDIBX::BlitMapped(const AxisMap& xs, const AxisMap& ys, TCustomDIBX& src, Mode mode, int alpha,
                             TCustomDIBX* mask, bool key) {
  const bool useKey = key && src.TransparentColor != -1;
  Locked locked(*this, src, mask);
  if (!locked.Ok()) return;
  Blit b;
  b.mode = mode;
  b.alpha = static_cast<uint32_t>(std::min(alpha, 255));
  b.key = useKey;
  b.keyValue = useKey ? locked.source.Key(src) : 0;
  b.dst = locked.dst.Base();
  b.dstPitch = Pitch();
  b.src = locked.source.Base();
  b.srcPitch = locked.source.Pitch();
  b.mask = locked.MaskBase();
  b.maskPitch = mask ? mask->Pitch() : 0;
  b.xs = &xs;
  b.ys = &ys;
  b.chan = ChannelsOf(BitCount());
  b.storageBits = StorageBitCount();
  RunBlit(b);
}

namespace {
// The part of srcRect that the mask covers (the mask is aligned with src).
TRect LimitToMask(const TRect& srcRect, TCustomDIBX* mask) {
  return mask ? Intersect(srcRect, mask->BoundsRect()) : srcRect;
}
}  // namespace

void TCustomDIBX::CopyRect(int x, int y, TCustomDIBX& src, const TRect& srcRectIn, Mode mode, int alpha,
                           TCustomDIBX* mask, bool flipH, bool flipV, bool key) {
  if (mode != Mode::Copy && alpha <= 0) return;
  if (mask && mask->BitCount() != 8) return;
  // A limited rectangle keeps its alignment: cut pieces shift x and y.
  TRect srcRect = srcRectIn;
  if (mask) {
    const TRect lim = LimitToMask(srcRectIn, mask);
    if (lim.Empty()) return;
    x += flipH ? srcRectIn.Right - lim.Right : lim.Left - srcRectIn.Left;
    y += flipV ? srcRectIn.Bottom - lim.Bottom : lim.Top - srcRectIn.Top;
    srcRect = lim;
  }
  const AxisMaps maps = MapCopyRect(x, y, srcRect, src, Intersect(ClipRect(), BoundsRect()), flipH, flipV);
  if (maps.Empty()) return;
  BlitMapped(maps.xs, maps.ys, src, mode, alpha, mask, key);
}

void TCustomDIBX::Assign(TCustomDIBX& src) { Draw(0, 0, src, src.BoundsRect()); }

void TCustomDIBX::Draw(int x, int y, TCustomDIBX& src, const TRect& srcRect, bool flipH, bool flipV,
                       bool transparent) {
  CopyRect(x, y, src, srcRect, Mode::Copy, 255, nullptr, flipH, flipV, transparent);
}

void TCustomDIBX::DrawMask(int x, int y, TCustomDIBX& src, const TRect& srcRect, TCustomDIBX& mask, bool flipH,
                           bool flipV) {
  CopyRect(x, y, src, srcRect, Mode::Blend, 255, &mask, flipH, flipV, false);
}

void TCustomDIBX::DrawAlpha(int x, int y, TCustomDIBX& src, const TRect& srcRect, int alpha, bool flipH, bool flipV,
                            bool transparent) {
  if (alpha <= 0) return;
  CopyRect(x, y, src, srcRect, alpha >= 255 ? Mode::Copy : Mode::Blend, alpha, nullptr, flipH, flipV, transparent);
}

void TCustomDIBX::DrawAlphaMask(int x, int y, TCustomDIBX& src, const TRect& srcRect, int alpha, TCustomDIBX& mask,
                                bool flipH, bool flipV) {
  CopyRect(x, y, src, srcRect, Mode::Blend, alpha, &mask, flipH, flipV, false);
}

void TCustomDIBX::DrawAdd(int x, int y, TCustomDIBX& src, const TRect& srcRect, int alpha, bool flipH, bool flipV,
                          bool) {
  CopyRect(x, y, src, srcRect, Mode::Add, alpha, nullptr, flipH, flipV, true);
}

void TCustomDIBX::DrawAddMask(int x, int y, TCustomDIBX& src, const TRect& srcRect, int alpha, TCustomDIBX& mask,
                              bool flipH, bool flipV) {
  CopyRect(x, y, src, srcRect, Mode::Add, alpha, &mask, flipH, flipV, false);
}

void TCustomDIBX::DrawColorMask(int x, int y, int alpha, uint32_t value, TCustomDIBX& mask, const TRect& maskRect,
                                bool flipH, bool flipV) {
  if (alpha <= 0 || mask.BitCount() != 8) return;
  const AxisMaps maps = MapCopyRect(x, y, maskRect, mask, Intersect(ClipRect(), BoundsRect()), flipH, flipV);
  if (maps.Empty()) return;
  const AxisMap& xs = maps.xs;
  const AxisMap& ys = maps.ys;
  LockGuard dst(*this);
  LockGuard m(mask);
  if (!dst.Base() || !m.Base()) return;
  const Chan c = ChannelsOf(BitCount());
  const uint32_t a0 = static_cast<uint32_t>(std::min(alpha, 255));
  WithFormat(StorageBitCount(), [&](auto px) {
    using Px = decltype(px);
    for (int j = 0; j < ys.Count(); ++j) {
      uint8_t* drow = dst.Base() + static_cast<ptrdiff_t>(Pitch()) * (ys.dst0 + j);
      const uint8_t* mrow = m.Base() + static_cast<ptrdiff_t>(mask.Pitch()) * ys.src[static_cast<size_t>(j)];
      for (int i = 0; i < xs.Count(); ++i) {
        const uint32_t mv = mrow[xs.src[static_cast<size_t>(i)]];
        if (mv == 0) continue;
        const uint32_t a = MaskAlpha(a0, mv);
        if (a == 0) continue;
        const int dx = xs.dst0 + i;
        if (a >= 255) {
          Px::Set(drow, dx, value);
          continue;
        }
        const uint32_t d = Px::Get(drow, dx);
        if (d != value) Px::Set(drow, dx, Blend<Px>(value, d, a, c));
      }
    }
  });
}

// --- stretching -----------------------------------------------------------------

void TCustomDIBX::StretchRect(const TRect& destRect, TCustomDIBX& src, const TRect& srcRectIn, Mode mode, int alpha,
                              TCustomDIBX* mask, bool flipH, bool flipV, bool key) {
  if (mode != Mode::Copy && alpha <= 0) return;
  if (mask && mask->BitCount() != 8) return;
  // Mask samples are only read inside the mask; the source rectangle itself
  // keeps the scale.
  const TRect srcRect = srcRectIn;
  const TRect clip = Intersect(ClipRect(), BoundsRect());
  const int limW = mask ? std::min(src.Width(), mask->Width()) : src.Width();
  const int limH = mask ? std::min(src.Height(), mask->Height()) : src.Height();
  AxisMap xs = MapStretch(destRect.Left, destRect.Right, srcRect.Left, srcRect.Right, limW, clip.Left, clip.Right,
                          flipH);
  AxisMap ys = MapStretch(destRect.Top, destRect.Bottom, srcRect.Top, srcRect.Bottom, limH, clip.Top, clip.Bottom,
                          flipV);
  if (xs.Empty() || ys.Empty()) return;
  BlitMapped(xs, ys, src, mode, alpha, mask, key);
}

void TCustomDIBX::StretchDraw(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, int alpha, bool flipH,
                              bool flipV, bool transparent) {
  if (alpha <= 0) return;
  StretchRect(destRect, src, srcRect, alpha >= 255 ? Mode::Copy : Mode::Blend, alpha, nullptr, flipH, flipV,
              transparent);
}

void TCustomDIBX::StretchDrawMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, int alpha,
                                  TCustomDIBX& mask, bool flipH, bool flipV) {
  StretchRect(destRect, src, srcRect, Mode::Blend, alpha, &mask, flipH, flipV, false);
}

void TCustomDIBX::StretchDrawAdd(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, int alpha, bool flipH,
                                 bool flipV, bool) {
  StretchRect(destRect, src, srcRect, Mode::Add, alpha, nullptr, flipH, flipV, true);
}

void TCustomDIBX::StretchDrawAddMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, int alpha,
                                     TCustomDIBX& mask, bool flipH, bool flipV) {
  StretchRect(destRect, src, srcRect, Mode::Add, alpha, &mask, flipH, flipV, false);
}

// --- rotation ---------------------------------------------------------------------

void TCustomDIBX::DrawRotate(int x, int y, TCustomDIBX& src, int alpha, bool flipH, bool flipV, bool transparent,
                             double angle, int pivotX, int pivotY, double scaleX, double scaleY) {
  DrawRotateRect(x, y, src, src.BoundsRect(), alpha, flipH, flipV, transparent, angle, pivotX, pivotY, scaleX, scaleY);
}

void TCustomDIBX::DrawRotateRect(int x, int y, TCustomDIBX& src, const TRect& srcRect, int alpha, bool flipH,
                                 bool flipV, bool transparent, double angle, int pivotX, int pivotY, double scaleX,
                                 double scaleY) {
  RotateRect(x, y, src, srcRect, nullptr, alpha, flipH, flipV, transparent, angle, pivotX, pivotY, scaleX, scaleY);
}

void TCustomDIBX::DrawRotateMaskRect(int x, int y, TCustomDIBX& src, const TRect& srcRect, TCustomDIBX& mask,
                                     int alpha, bool flipH, bool flipV, double angle, int pivotX, int pivotY,
                                     double scaleX, double scaleY) {
  if (mask.BitCount() != 8) return;
  RotateRect(x, y, src, srcRect, &mask, alpha, flipH, flipV, false, angle, pivotX, pivotY, scaleX, scaleY);
}

namespace {

struct RotateArgs {
  int64_t duDx, dvDx, duDy, dvDy;
  int64_t u0, v0;  // source position (16.16) of destination (x, y)
  int x, y;
  TRect box;       // destination pixels to visit
  TRect srcRect;   // samples used (whole-source coordinates, within the source)
  int srcW, srcH;
  bool flipH, flipV;
};

// Visits every destination pixel of the box whose sample lies inside
// srcRect, calling f(drow, dx, sx, sy). Along a row the samples move
// linearly, so the pixels inside form one run that is found up front.
template <class F>
void ForEachRotatedPixel(const RotateArgs& r, uint8_t* dst, ptrdiff_t pitch, F f) {
  // Raw sample coordinates (before mirroring) that land inside srcRect.
  const int64_t uLo = r.flipH ? r.srcW - r.srcRect.Right : r.srcRect.Left;
  const int64_t uHi = r.flipH ? r.srcW - r.srcRect.Left : r.srcRect.Right;
  const int64_t vLo = r.flipV ? r.srcH - r.srcRect.Bottom : r.srcRect.Top;
  const int64_t vHi = r.flipV ? r.srcH - r.srcRect.Top : r.srcRect.Bottom;
  auto inside = [&](int64_t u, int64_t v) {
    return u >= 0 && v >= 0 && (u >> 16) >= uLo && (u >> 16) < uHi && (v >> 16) >= vLo && (v >> 16) < vHi;
  };
  for (int py = r.box.Top; py < r.box.Bottom; ++py) {
    uint8_t* drow = dst + pitch * py;
    // Row starts far outside the source (huge offsets times huge steps)
    // cannot come back within one row.
    const __int128 wideU = __int128{r.u0} + __int128{r.box.Left - r.x} * r.duDx + __int128{py - r.y} * r.duDy;
    const __int128 wideV = __int128{r.v0} + __int128{r.box.Left - r.x} * r.dvDx + __int128{py - r.y} * r.dvDy;
    constexpr __int128 kFar = __int128{1} << 60;
    if (wideU > kFar || wideU < -kFar || wideV > kFar || wideV < -kFar) continue;
    const int64_t u0 = static_cast<int64_t>(wideU), v0 = static_cast<int64_t>(wideV);
    int64_t k0 = 0, k1 = r.box.Width();
    NarrowToRange(u0, r.duDx, uLo << 16, uHi << 16, k0, k1);
    NarrowToRange(v0, r.dvDx, vLo << 16, vHi << 16, k0, k1);
    while (k0 < k1 && !inside(u0 + k0 * r.duDx, v0 + k0 * r.dvDx)) ++k0;
    while (k1 > k0 && !inside(u0 + (k1 - 1) * r.duDx, v0 + (k1 - 1) * r.dvDx)) --k1;
    int64_t u = u0 + k0 * r.duDx, v = v0 + k0 * r.dvDx;
    // Mirroring without branches: size - 1 - c == (c ^ -1) + size.
    const int fh = r.flipH ? -1 : 0, fv = r.flipV ? -1 : 0;
    const int addH = fh & r.srcW, addV = fv & r.srcH;
    for (int64_t k = k0; k < k1; ++k, u += r.duDx, v += r.dvDx)
      f(drow, static_cast<int>(r.box.Left + k), (static_cast<int>(u >> 16) ^ fh) + addH,
        (static_cast<int>(v >> 16) ^ fv) + addV);
  }
}

}  // namespace

void TCustomDIBX::RotateRect(int x, int y, TCustomDIBX& src, const TRect& srcRectIn, TCustomDIBX* mask, int alpha,
                             bool flipH, bool flipV, bool key, double angle, int pivotX, int pivotY, double scaleX,
                             double scaleY) {
  if (alpha <= 0 || !(scaleX > 0) || !(scaleY > 0) || !std::isfinite(angle)) return;
  RotateArgs r{};
  r.srcW = src.Width();
  r.srcH = src.Height();
  r.srcRect = Intersect(srcRectIn, src.BoundsRect());
  if (mask) r.srcRect = Intersect(r.srcRect, mask->BoundsRect());
  if (r.srcRect.Empty()) return;
  r.flipH = flipH;
  r.flipV = flipV;
  r.x = x;
  r.y = y;
  const double c = std::cos(-angle), s = std::sin(-angle);
  // Steps are kept within 2^40 so that a row's walk (at most 2^15 steps)
  // stays far inside 64 bits; a larger step leaves the source after one
  // pixel either way.
  auto fix = [](double v) {
    constexpr double kLimit = 1099511627776.0;
    return static_cast<int64_t>(std::clamp(v * 65536.0, -kLimit, kLimit));
  };
  r.duDx = fix(c / scaleX);
  r.dvDx = fix(s / scaleY);
  r.duDy = fix(-s / scaleX);
  r.dvDy = fix(c / scaleY);
  r.u0 = int64_t{pivotX} * 65536;
  r.v0 = int64_t{pivotY} * 65536;
  // Destination box: the scaled source corners placed with the pivot on
  // (x, y), rotated by the angle.
  const double x0 = -pivotX * scaleX, y0 = -pivotY * scaleY;
  const double x1 = r.srcW * scaleX - pivotX * scaleX - 1, y1 = r.srcH * scaleY - pivotY * scaleY - 1;
  const double ca = std::cos(angle), sa = std::sin(angle);
  double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  for (double cx : {x0, x1}) {
    for (double cy : {y0, y1}) {
      const double rx = cx * ca - cy * sa, ry = cx * sa + cy * ca;
      minX = std::min(minX, rx);
      maxX = std::max(maxX, rx);
      minY = std::min(minY, ry);
      maxY = std::max(maxY, ry);
    }
  }
  const TRect clip = Intersect(ClipRect(), BoundsRect());
  auto clampI = [](double v) { return static_cast<int32_t>(std::clamp(v, -1.0e9, 1.0e9)); };
  r.box = Intersect(TRect{clampI(std::floor(x + minX)), clampI(std::floor(y + minY)), clampI(std::floor(x + maxX)) + 1,
                          clampI(std::floor(y + maxY)) + 1},
                    clip);
  if (r.box.Empty()) return;
  Locked locked(*this, src, mask);
  if (!locked.Ok()) return;
  const SourceView& sv = locked.source;
  LockGuard& dst = locked.dst;
  const uint8_t* sbase = sv.Base();
  const ptrdiff_t spitch = sv.Pitch();
  const uint8_t* mbase = locked.MaskBase();
  const ptrdiff_t mpitch = mask ? mask->Pitch() : 0;
  const bool useKey = key && src.TransparentColor != -1;
  const uint32_t keyValue = useKey ? sv.Key(src) : 0;
  const Chan ch = ChannelsOf(BitCount());
  const bool additive = alpha > 255;
  const uint32_t a8 = static_cast<uint32_t>(alpha) & 255u;
  WithFormat(StorageBitCount(), [&](auto px) {
    using Px = decltype(px);
    if (!mbase && !useKey && alpha == 255) {
      ForEachRotatedPixel(r, dst.Base(), Pitch(), [&](uint8_t* drow, int dx, int sx, int sy) {
        Px::Set(drow, dx, Px::Get(sbase + spitch * sy, sx));
      });
      return;
    }
    ForEachRotatedPixel(r, dst.Base(), Pitch(), [&](uint8_t* drow, int dx, int sx, int sy) {
      const uint32_t sp = Px::Get(sbase + spitch * sy, sx);
      uint32_t a;
      if (mbase) {
        const uint32_t m = mbase[mpitch * sy + sx];
        if (m == 0) return;
        a = MaskAlpha(a8, m);
      } else {
        if (useKey && sp == keyValue) return;
        a = additive ? a8 : static_cast<uint32_t>(std::min(alpha, 255));
      }
      PutPixel<Px>(drow, dx, sp, a, additive, ch);
    });
  });
}

// --- tiling -----------------------------------------------------------------------

namespace {
int64_t PositiveMod(int64_t v, int64_t m) { return ((v % m) + m) % m; }
}  // namespace

template <class DrawTile>
void TCustomDIBX::TileLoop(const TRect& destRect, int tileW, int tileH, const TileLayout& tile, DrawTile drawTile) {
  if (tileW <= 0 || tileH <= 0) return;
  const TRect area = Intersect(destRect, Intersect(ClipRect(), BoundsRect()));
  if (area.Empty()) return;
  const int64_t stepX = std::max<int64_t>(1, int64_t{tileW} + tile.gapX);
  const int64_t stepY = std::max<int64_t>(1, int64_t{tileH} + tile.gapY);
  // The phase runs over a whole period (tile and gap), so that a scrolling
  // offset moves spaced tiles smoothly.
  // Overlapping tiles (a negative gap) also start further left and up.
  int64_t x0 = int64_t{destRect.Left} - PositiveMod(tile.offsetX, stepX) - (tileW - 1) / stepX * stepX;
  int64_t y0 = int64_t{destRect.Top} - PositiveMod(tile.offsetY, stepY) - (tileH - 1) / stepY * stepY;
  // Start at the first tile that reaches into the drawn area.
  if (x0 + tileW <= area.Left) x0 += (area.Left - x0 - tileW) / stepX * stepX;
  if (y0 + tileH <= area.Top) y0 += (area.Top - y0 - tileH) / stepY * stepY;
  const bool savedHas = hasClip_;
  const TRect savedClip = clip_;
  SetClipRect(area);
  for (int64_t ty = y0; ty < area.Bottom; ty += stepY) {
    if (ty + tileH <= area.Top) continue;
    for (int64_t tx = x0; tx < area.Right; tx += stepX) {
      if (tx + tileW <= area.Left) continue;
      drawTile(static_cast<int>(tx), static_cast<int>(ty));
    }
  }
  hasClip_ = savedHas;
  clip_ = savedClip;
}

void TCustomDIBX::TileDraw(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile,
                           bool transparent) {
  TileLoop(destRect, srcRect.Width(), srcRect.Height(), tile,
           [&](int x, int y) { Draw(x, y, src, srcRect, false, false, transparent); });
}
void TCustomDIBX::TileDrawAlpha(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile,
                                int alpha, bool transparent) {
  if (alpha <= 0) return;
  TileLoop(destRect, srcRect.Width(), srcRect.Height(), tile,
           [&](int x, int y) { DrawAlpha(x, y, src, srcRect, alpha, false, false, transparent); });
}
void TCustomDIBX::TileDrawAdd(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile,
                              int alpha, bool transparent) {
  if (alpha <= 0) return;
  TileLoop(destRect, srcRect.Width(), srcRect.Height(), tile,
           [&](int x, int y) { DrawAdd(x, y, src, srcRect, alpha, false, false, transparent); });
}
void TCustomDIBX::TileDrawMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile,
                               TCustomDIBX& mask) {
  TileLoop(destRect, srcRect.Width(), srcRect.Height(), tile,
           [&](int x, int y) { DrawMask(x, y, src, srcRect, mask); });
}
void TCustomDIBX::TileDrawAlphaMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect,
                                    const TileLayout& tile, int alpha, TCustomDIBX& mask) {
  if (alpha <= 0) return;
  TileLoop(destRect, srcRect.Width(), srcRect.Height(), tile,
           [&](int x, int y) { DrawAlphaMask(x, y, src, srcRect, alpha, mask); });
}
void TCustomDIBX::TileDrawAddMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile,
                                  int alpha, TCustomDIBX& mask) {
  if (alpha <= 0) return;
  TileLoop(destRect, srcRect.Width(), srcRect.Height(), tile,
           [&](int x, int y) { DrawAddMask(x, y, src, srcRect, alpha, mask); });
}

template <class DrawTile>
void TCustomDIBX::TileStretchLoop(const TRect& destRect, int tileW, int tileH, const TileLayout& tile, double scaleX,
                                  double scaleY, DrawTile drawTile) {
  if (tileW <= 0 || tileH <= 0 || !(scaleX > 0) || !(scaleY > 0)) return;
  const TRect area = Intersect(destRect, Intersect(ClipRect(), BoundsRect()));
  if (area.Empty()) return;
  auto step16 = [](int size, double scale) {
    const double v = std::round(size * scale * 65536.0);
    return static_cast<int64_t>(std::clamp(v, 65536.0, 4.0e12));
  };
  const int64_t sx = step16(tileW, scaleX), sy = step16(tileH, scaleY);
  const int64_t stepX = sx + int64_t{std::max(tile.gapX, 0)} * 65536;
  const int64_t stepY = sy + int64_t{std::max(tile.gapY, 0)} * 65536;
  // The offset is in source pixels, scaled; the phase runs over a whole
  // period (scaled tile and gap).
  const int64_t phaseX = PositiveMod(int64_t{tile.offsetX} * sx / tileW, stepX);
  const int64_t phaseY = PositiveMod(int64_t{tile.offsetY} * sy / tileH, stepY);
  int64_t x0 = int64_t{destRect.Left} * 65536 - phaseX;
  int64_t y0 = int64_t{destRect.Top} * 65536 - phaseY;
  const int64_t areaL = int64_t{area.Left} * 65536, areaT = int64_t{area.Top} * 65536;
  if (x0 + sx <= areaL) x0 += (areaL - x0 - sx) / stepX * stepX;
  if (y0 + sy <= areaT) y0 += (areaT - y0 - sy) / stepY * stepY;
  const bool savedHas = hasClip_;
  const TRect savedClip = clip_;
  SetClipRect(area);
  for (int64_t ty = y0; (ty >> 16) < area.Bottom; ty += stepY) {
    for (int64_t tx = x0; (tx >> 16) < area.Right; tx += stepX) {
      const TRect r{static_cast<int32_t>(tx >> 16), static_cast<int32_t>(ty >> 16),
                    static_cast<int32_t>((tx + sx) >> 16), static_cast<int32_t>((ty + sy) >> 16)};
      if (r.Right <= area.Left || r.Bottom <= area.Top) continue;
      drawTile(r);
    }
  }
  hasClip_ = savedHas;
  clip_ = savedClip;
}

void TCustomDIBX::TileStretchDraw(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile,
                                  double scaleX, double scaleY, int alpha, bool flipH, bool flipV, bool transparent) {
  if (alpha <= 0) return;
  TileStretchLoop(destRect, srcRect.Width(), srcRect.Height(), tile, scaleX, scaleY, [&](const TRect& r) {
    if (alpha > 255) StretchDrawAdd(r, src, srcRect, alpha - 256, flipH, flipV, transparent);
    else StretchDraw(r, src, srcRect, alpha, flipH, flipV, transparent);
  });
}

void TCustomDIBX::TileStretchDrawMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect,
                                      const TileLayout& tile, double scaleX, double scaleY, int alpha, TCustomDIBX& mask,
                                      bool flipH, bool flipV) {
  if (alpha <= 0) return;
  TileStretchLoop(destRect, srcRect.Width(), srcRect.Height(), tile, scaleX, scaleY, [&](const TRect& r) {
    if (alpha > 255) StretchDrawAddMask(r, src, srcRect, alpha - 256, mask, flipH, flipV);
    else StretchDrawMask(r, src, srcRect, alpha, mask, flipH, flipV);
  });
}

void TCustomDIBX::TileFill(const TRect& destRect, TCustomDIBX& src, bool flipH, bool flipV, int offsetX,
                           int offsetY) {
  TileLayout tile;
  tile.offsetX = offsetX;
  tile.offsetY = offsetY;
  TileLoop(destRect, src.Width(), src.Height(), tile,
           [&](int x, int y) { Draw(x, y, src, src.BoundsRect(), flipH, flipV, false); });
}

void TCustomDIBX::TileFillScaled(const TRect& destRect, TCustomDIBX& src, int alpha, bool flipH, bool flipV,
                                 int offsetX, int offsetY, double scaleX, double scaleY) {
  TileStretchDraw(destRect, src, src.BoundsRect(), TileLayout{0, 0, offsetX, offsetY}, scaleX, scaleY, alpha, flipH,
                  flipV, true);
}

void TCustomDIBX::TileFillScaledMask(const TRect& destRect, TCustomDIBX& src, int alpha, bool flipH, bool flipV,
                                     int offsetX, int offsetY, double scaleX, double scaleY, TCustomDIBX& mask) {
  TileStretchDrawMask(destRect, src, src.BoundsRect(), TileLayout{0, 0, offsetX, offsetY}, scaleX, scaleY, alpha, mask,
                      flipH, flipV);
}

void TCustomDIBX::DrawBorderTiled(const TRect& r, int w, TCustomDIBX& src, bool flipH, bool flipV) {
  ForEachFrameBand(r, w, [&](const TRect& band) { TileFill(band, src, flipH, flipV, 0, 0); });
}

void TCustomDIBX::TileDrawRects(const TRect& destRect, TCustomDIBX& src, TCustomDIBX* mask, int pitchX, int pitchY,
                                int offsetX, int offsetY, int alpha, bool flipH, bool flipV, bool transparent) {
  if (alpha <= 0 || src.IsEmpty()) return;
  const int w = src.Width(), h = src.Height();
  TileLayout tile;
  tile.gapX = std::max(pitchX, w) - w;
  tile.gapY = std::max(pitchY, h) - h;
  tile.offsetX = offsetX;
  tile.offsetY = offsetY;
  TileLoop(destRect, w, h, tile,
           [&](int x, int y) { DrawPictureRects(x, y, src, mask, alpha, flipH, flipV, transparent); });
}

// --- pictures at the component opacities --------------------------------------------

void TCustomDIBX::DrawPicture(int x, int y, TCustomDIBX& src, const TRect& srcRect, TCustomDIBX* mask, int alpha,
                              bool flipH, bool flipV, bool transparent) {
  if (alpha <= 0) return;
  if (alpha > 255) {
    if (mask) DrawAddMask(x, y, src, srcRect, alpha - 256, *mask, flipH, flipV);
    else DrawAdd(x, y, src, srcRect, alpha - 256, flipH, flipV, true);
  } else if (alpha == 255) {
    if (mask) DrawMask(x, y, src, srcRect, *mask, flipH, flipV);
    else Draw(x, y, src, srcRect, flipH, flipV, transparent);
  } else {
    if (mask) DrawAlphaMask(x, y, src, srcRect, alpha, *mask, flipH, flipV);
    else DrawAlpha(x, y, src, srcRect, alpha, flipH, flipV, transparent);
  }
}

void TCustomDIBX::DrawPictureRects(int x, int y, TCustomDIBX& src, TCustomDIBX* mask, int alpha, bool flipH,
                                   bool flipV, bool transparent) {
  const int w = src.Width(), h = src.Height();
  for (const TRect& r : src.ContentRects) {
    const TRect part = Intersect(r, src.BoundsRect());
    if (part.Empty()) continue;
    DrawPicture(x + (flipH ? w - part.Right : part.Left), y + (flipV ? h - part.Bottom : part.Top), src, part, mask,
                alpha, flipH, flipV, transparent);
  }
}

void TCustomDIBX::StretchDrawPicture(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, TCustomDIBX* mask,
                                     int alpha, bool flipH, bool flipV, bool transparent) {
  if (alpha <= 0) return;
  if (alpha > 255) {
    if (mask) StretchDrawAddMask(destRect, src, srcRect, alpha - 256, *mask, flipH, flipV);
    else StretchDrawAdd(destRect, src, srcRect, alpha - 256, flipH, flipV, true);
  } else if (mask) {
    StretchDrawMask(destRect, src, srcRect, alpha, *mask, flipH, flipV);
  } else {
    StretchDraw(destRect, src, srcRect, alpha, flipH, flipV, transparent);
  }
}

// --- indexed drawing ---------------------------------------------------------------

namespace {

template <class Px>
void IndexedRows(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, const AxisMap& xs,
                 const AxisMap& ys, std::span<const uint32_t> table, uint32_t alpha, int minIndex, const Chan& c) {
  const uint32_t valueMask = Px::kBits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
  const size_t tableSize = table.size();
  for (int j = 0; j < ys.Count(); ++j) {
    uint8_t* drow = dst + dstPitch * (ys.dst0 + j);
    const uint8_t* srow = src + srcPitch * ys.src[static_cast<size_t>(j)];
    for (int i = 0; i < xs.Count(); ++i) {
      const uint32_t idx = srow[xs.src[static_cast<size_t>(i)]];
      if (static_cast<int>(idx) < minIndex || idx >= tableSize) continue;
      const int x = xs.dst0 + i;
      Px::Set(drow, x, Add<Px>(table[idx] & valueMask, Px::Get(drow, x), alpha, c));
    }
  }
}

// Locks both surfaces and adds the mapped colours.
void RunIndexed(TCustomDIBX& dstSurface, TCustomDIBX& src, const AxisMap& xs, const AxisMap& ys,
                std::span<const uint32_t> table, int alpha, int minIndex) {
  if (xs.Empty() || ys.Empty()) return;
  LockGuard dst(dstSurface);
  LockGuard s(src);
  if (!dst.Base() || !s.Base()) return;
  const Chan c = ChannelsOf(dstSurface.BitCount());
  WithFormat(dstSurface.StorageBitCount(), [&](auto px) {
    IndexedRows<decltype(px)>(dst.Base(), dstSurface.Pitch(), s.Base(), src.Pitch(), xs, ys, table,
                              static_cast<uint32_t>(std::min(alpha, 255)), minIndex, c);
  });
}

}  // namespace

void TCustomDIBX::DrawIndexed8(int x, int y, std::span<const uint32_t> table, int alpha, bool flipH, bool flipV,
                               int minIndex, const TRect& srcRect, TCustomDIBX& src) {
  if (alpha <= 0 || src.BitCount() != 8) return;
  const AxisMaps maps = MapCopyRect(x, y, srcRect, src, Intersect(ClipRect(), BoundsRect()), flipH, flipV);
  RunIndexed(*this, src, maps.xs, maps.ys, table, alpha, minIndex);
}

void TCustomDIBX::StretchDrawIndexed(const TRect& destRect, TCustomDIBX& src, std::span<const uint32_t> table,
                                     int alpha, bool flipH, bool flipV, int minIndex, const TRect& srcRect) {
  if (alpha <= 0 || src.BitCount() != 8) return;
  const TRect clip = Intersect(ClipRect(), BoundsRect());
  const AxisMap xs = MapStretch(destRect.Left, destRect.Right, srcRect.Left, srcRect.Right, src.Width(), clip.Left,
                                clip.Right, flipH);
  const AxisMap ys = MapStretch(destRect.Top, destRect.Bottom, srcRect.Top, srcRect.Bottom, src.Height(), clip.Top,
                                clip.Bottom, flipV);
  RunIndexed(*this, src, xs, ys, table, alpha, minIndex);
}

}  // namespace orva
