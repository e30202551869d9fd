// The smooth (bilinear) scaled and rotated draw. Each destination pixel
// centre is mapped back into the source; the four nearest source pixels are
// weighted by their distance and by their own coverage (mask value, colour
// key, inside the source rectangle), so a picture's outline fades over one
// pixel. Weights are 8-bit fractions: when the mapping hits pixel centres
// exactly (unscaled, unrotated) one sample carries the whole weight and the
// result is that of the plain draws.
#include <algorithm>
#include <cmath>

#include "imaging/dibx.h"
#include "imaging/dibxkit.h"
#include "imaging/pixelops.h"

namespace orva {

using namespace pixelops;
using namespace dibxkit;

namespace {

uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }
uint32_t Expand6(uint32_t v) { return (v << 2) | (v >> 4); }

// Native pixel <-> 8-bit channels for the colour formats.
struct Channels {
  uint32_t r, g, b;
};
Channels Unpack(uint32_t p, int bits) {
  switch (bits) {
    case 15: return {Expand5((p >> 10) & 31), Expand5((p >> 5) & 31), Expand5(p & 31)};
    case 16: return {Expand5((p >> 11) & 31), Expand6((p >> 5) & 63), Expand5(p & 31)};
    default: return {(p >> 16) & 255, (p >> 8) & 255, p & 255};
  }
}
uint32_t Pack(const Channels& c, int bits) {
  switch (bits) {
    case 15: return (c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3);
    case 16: return (c.r >> 3) << 11 | (c.g >> 2) << 5 | (c.b >> 3);
    default: return c.r << 16 | c.g << 8 | c.b;
  }
}

// A 16.16 value from a real, held far inside 64 bits.
int64_t Fixed(double v) {
  constexpr double kLimit = 1099511627776.0;  // 2^40
  return std::llround(std::clamp(v * 65536.0, -kLimit, kLimit));
}

int32_t ClampToInt(double v) { return static_cast<int32_t>(std::clamp(v, -1.0e9, 1.0e9)); }

}  // namespace

void TCustomDIBX::DrawSmooth(int x, int y, TCustomDIBX& src, const TRect& srcRectIn, TCustomDIBX* mask, int alpha,
                             bool flipH, bool flipV, bool transparent, double angle, int pivotX, int pivotY,
                             double scaleX, double scaleY) {
  if (alpha <= 0 || !(scaleX > 0) || !(scaleY > 0) || !std::isfinite(angle) || !std::isfinite(scaleX) ||
      !std::isfinite(scaleY))
    return;
  if (mask && mask->BitCount() != 8) return;
  if (BitCount() <= 8) {
    // Indices and alpha planes do not mix: the nearest sample is taken.
    if (mask) DrawRotateMaskRect(x, y, src, srcRectIn, *mask, alpha, flipH, flipV, angle, pivotX, pivotY, scaleX, scaleY);
    else DrawRotateRect(x, y, src, srcRectIn, alpha, flipH, flipV, transparent, angle, pivotX, pivotY, scaleX, scaleY);
    return;
  }
  TRect rect = Intersect(srcRectIn, src.BoundsRect());
  if (mask) rect = Intersect(rect, mask->BoundsRect());
  if (rect.Empty()) return;
  const int srcW = src.Width(), srcH = src.Height();
  // Sample indices before mirroring that fall inside rect.
  const int64_t uLo = flipH ? srcW - rect.Right : rect.Left, uHi = flipH ? srcW - rect.Left : rect.Right;
  const int64_t vLo = flipV ? srcH - rect.Bottom : rect.Top, vHi = flipV ? srcH - rect.Top : rect.Bottom;

  // Destination point (rx, ry) relative to (x, y) maps to source point
  // (pivot + ((rx c - ry s) / scaleX, (rx s + ry c) / scaleY)).
  const double c = std::cos(-angle), s = std::sin(-angle);
  double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  for (double a : {static_cast<double>(uLo - pivotX), static_cast<double>(uHi - pivotX)})
    for (double b : {static_cast<double>(vLo - pivotY), static_cast<double>(vHi - pivotY)}) {
      const double rx = a * scaleX * c + b * scaleY * s, ry = -a * scaleX * s + b * scaleY * c;
      minX = std::min(minX, rx);
      maxX = std::max(maxX, rx);
      minY = std::min(minY, ry);
      maxY = std::max(maxY, ry);
    }
  // One more pixel around the covered area for the fading edge.
  const TRect box = Intersect(TRect{ClampToInt(std::floor(x + minX)) - 1, ClampToInt(std::floor(y + minY)) - 1,
                                    ClampToInt(std::ceil(x + maxX)) + 1, ClampToInt(std::ceil(y + maxY)) + 1},
                              Intersect(ClipRect(), BoundsRect()));
  if (box.Empty()) return;

  Locked locked(*this, src, mask);
  if (!locked.Ok()) return;
  const uint8_t* sbase = locked.source.Base();
  const ptrdiff_t spitch = locked.source.Pitch();
  const uint8_t* mbase = locked.MaskBase();
  const ptrdiff_t mpitch = mask ? mask->Pitch() : 0;
  uint8_t* dbase = locked.dst.Base();
  const ptrdiff_t dpitch = Pitch();
  const bool useKey = transparent && !mask && src.TransparentColor != -1;
  const uint32_t keyValue = useKey ? locked.source.Key(src) : 0;
  const int bits = BitCount();
  const Chan ch = ChannelsOf(bits);
  const bool additive = alpha > 255;
  const uint32_t whole = additive ? static_cast<uint32_t>(alpha) & 255u : static_cast<uint32_t>(std::min(alpha, 255));

  // Steps of the sample position (16.16, relative to pixel centres).
  const int64_t duDx = Fixed(c / scaleX), dvDx = Fixed(s / scaleY);
  WithFormat(StorageBitCount(), [&](auto px) {
    using Px = decltype(px);
    for (int py = box.Top; py < box.Bottom; ++py) {
      const double rx = box.Left + 0.5 - x, ry = py + 0.5 - y;
      const double u = pivotX + (rx * c - ry * s) / scaleX - 0.5;
      const double v = pivotY + (rx * s + ry * c) / scaleY - 0.5;
      if (!(std::fabs(u) < 1e9 && std::fabs(v) < 1e9)) continue;
      const int64_t u0 = Fixed(u), v0 = Fixed(v);
      // The run of pixels whose samples touch the rectangle: the lower
      // neighbour may lie one index before it.
      int64_t k0 = 0, k1 = box.Width();
      NarrowToRange(u0, duDx, (uLo - 1) * 65536, uHi * 65536, k0, k1);
      NarrowToRange(v0, dvDx, (vLo - 1) * 65536, vHi * 65536, k0, k1);
      uint8_t* drow = dbase + dpitch * py;
      int64_t uf = u0 + k0 * duDx, vf = v0 + k0 * dvDx;
      for (int64_t k = k0; k < k1; ++k, uf += duDx, vf += dvDx) {
        const int64_t i0 = uf >> 16, j0 = vf >> 16;
        const uint32_t fx = static_cast<uint32_t>(uf >> 8) & 255u, fy = static_cast<uint32_t>(vf >> 8) & 255u;
        const uint32_t weights[4] = {(256 - fx) * (256 - fy), fx * (256 - fy), (256 - fx) * fy, fx * fy};
        uint32_t cover = 0, sumR = 0, sumG = 0, sumB = 0, only = 0;
        for (int n = 0; n < 4; ++n) {
          if (weights[n] == 0) continue;
          const int64_t i = i0 + (n & 1), j = j0 + (n >> 1);
          if (i < uLo || i >= uHi || j < vLo || j >= vHi) continue;
          const int si = static_cast<int>(flipH ? srcW - 1 - i : i), sj = static_cast<int>(flipV ? srcH - 1 - j : j);
          const uint32_t p = Px::Get(sbase + spitch * sj, si);
          uint32_t m = 255;
          if (mbase) m = mbase[mpitch * sj + si];
          else if (useKey && p == keyValue) m = 0;
          if (m == 0) continue;
          only = p;  // the pixel itself when it carries all the weight
          const uint32_t w = weights[n] * m >> 8;
          const Channels sc = Unpack(p, bits);
          cover += w;
          sumR += w * sc.r;
          sumG += w * sc.g;
          sumB += w * sc.b;
        }
        if (cover == 0) continue;
        const uint32_t cover8 = (cover + 128) >> 8;
        const uint32_t half = cover / 2;
        const uint32_t sp = (fx == 0 && fy == 0)
                                ? only
                                : Pack({(sumR + half) / cover, (sumG + half) / cover, (sumB + half) / cover}, bits);
        // Fully covered unmasked pixels take the opacity as the plain
        // draws do; everything else scales it by the coverage.
        const uint32_t a = (!mbase && cover8 >= 255) ? whole : MaskAlpha(static_cast<uint32_t>(alpha), cover8);
        PutPixel<Px>(drow, static_cast<int>(box.Left + k), sp, a, additive, ch);
      }
    }
  });
}

}  // namespace orva
