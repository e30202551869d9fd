// The smooth scaled and rotated draw: exact where it maps pixel to pixel,
// bilinear elsewhere, and never showing keyed or masked-out pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "imaging/dibx.h"
#include "imaging/dibxwave.h"
#include "surfacetest.h"

namespace orva {
namespace {

using namespace surfacetest;

enum class Kind { Plain, Keyed, Masked };

struct ExactCase {
  Kind kind;
  int alpha;
  bool flipH, flipV;
  TRect srcRect;
  int bits;
  double angle;
};

class SmoothExact : public ::testing::TestWithParam<ExactCase> {};

// Unscaled and unrotated, the smooth draw gives the plain draw's pixels.
TEST_P(SmoothExact, MatchesThePlainDraw) {
  const ExactCase& c = GetParam();
  auto src = Noise(7, 5, 32, 9);
  auto mask = Noise(7, 5, 8, 4);
  mask->SetPixel(2, 2, 0);
  mask->SetPixel(3, 2, 255);
  TDIBX source(1, 1, c.bits);
  CopyConvert(source, *src);
  // Every fourth pixel of Noise has this colour.
  source.TransparentColor = c.kind == Kind::Keyed ? static_cast<int32_t>(source.RgbToPixel(0x336699)) : -1;
  auto smooth = Noise(12, 9, c.bits, 3), plain = Noise(12, 9, c.bits, 3);
  const int x = 6, y = 4, pivotX = 3, pivotY = 2;
  smooth->DrawSmooth(x, y, source, c.srcRect, c.kind == Kind::Masked ? mask.get() : nullptr, c.alpha, c.flipH,
                     c.flipV, c.kind == Kind::Keyed, c.angle, pivotX, pivotY, 1.0, 1.0);
  // Where the plain draw puts srcRect so that source (pivotX, pivotY), mirrored
  // as the rotation mirrors, lands on (x, y).
  const int px = c.flipH ? x + source.Width() - pivotX - c.srcRect.Right : x + c.srcRect.Left - pivotX;
  const int py = c.flipV ? y + source.Height() - pivotY - c.srcRect.Bottom : y + c.srcRect.Top - pivotY;
  if (c.kind == Kind::Masked) {
    if (c.alpha > 255) plain->DrawAddMask(px, py, source, c.srcRect, c.alpha - 256, *mask, c.flipH, c.flipV);
    else plain->DrawAlphaMask(px, py, source, c.srcRect, c.alpha, *mask, c.flipH, c.flipV);
  } else {
    const bool key = c.kind == Kind::Keyed;
    if (c.alpha > 255) plain->DrawAdd(px, py, source, c.srcRect, c.alpha - 256, c.flipH, c.flipV, key);
    else plain->DrawAlpha(px, py, source, c.srcRect, c.alpha, c.flipH, c.flipV, key);
  }
  EXPECT_EQ(Read(*smooth), Read(*plain));
}

constexpr TRect kWhole{0, 0, 7, 5};
constexpr TRect kPart{1, 1, 6, 4};
INSTANTIATE_TEST_SUITE_P(
    Cases, SmoothExact,
    ::testing::Values(ExactCase{Kind::Plain, 255, false, false, kWhole, 32, 0.0},
                      ExactCase{Kind::Plain, 128, false, false, kWhole, 32, 0.0},
                      ExactCase{Kind::Plain, 384, false, false, kWhole, 32, 0.0},
                      ExactCase{Kind::Plain, 511, true, false, kPart, 32, 0.0},
                      ExactCase{Kind::Keyed, 255, false, true, kWhole, 32, 0.0},
                      ExactCase{Kind::Keyed, 77, true, true, kPart, 32, 0.0},
                      ExactCase{Kind::Masked, 255, false, false, kWhole, 32, 0.0},
                      ExactCase{Kind::Masked, 200, true, false, kPart, 32, 0.0},
                      ExactCase{Kind::Masked, 300, false, true, kWhole, 32, 0.0},
                      ExactCase{Kind::Plain, 255, false, false, kWhole, 32, 2 * std::numbers::pi},
                      ExactCase{Kind::Masked, 128, false, false, kPart, 32, -4 * std::numbers::pi},
                      ExactCase{Kind::Plain, 128, false, false, kWhole, 16, 0.0},
                      ExactCase{Kind::Keyed, 255, true, false, kWhole, 15, 0.0}));

TEST(Smooth, ScalingInterpolatesBetweenNeighbours) {
  auto src = Make(2, 1, 32, {0x000000, 0x0000FF});
  auto dst = Filled(4, 1, 32, 0);
  dst->DrawSmooth(0, 0, *src, src->BoundsRect(), nullptr, 255, false, false, false, 0.0, 0, 0, 2.0, 1.0);
  // Samples at -0.25, 0.25, 0.75 and 1.25: the outer two are three quarters
  // covered, the inner two mix the neighbours one to three.
  EXPECT_EQ(Read(*dst), (Pixels{0x000000, 0x000040, 0x0000BF, RefBlend(32, 0x0000FF, 0, 191)}));
}

TEST(Smooth, KeyedAndMaskedPixelsNeverShow) {
  // A green key between blue pixels, drawn doubled and turned: no green
  // reaches the destination; the same through a mask.
  auto src = Make(3, 2, 32, {0x00FF00, 0x0000FF, 0x00FF00, 0x0000FF, 0x00FF00, 0x0000FF});
  src->TransparentColor = 0x00FF00;
  auto mask = Make(3, 2, 8, {0, 255, 0, 255, 0, 255});
  for (bool masked : {false, true}) {
    auto dst = Filled(16, 16, 32, 0);
    dst->DrawSmooth(8, 8, *src, src->BoundsRect(), masked ? mask.get() : nullptr, 255, false, false, !masked, 0.6,
                    1, 1, 2.5, 2.5);
    bool drew = false;
    for (uint32_t p : Read(*dst)) {
      EXPECT_EQ(p & 0x00FF00, 0u);
      drew = drew || p != 0;
    }
    EXPECT_TRUE(drew);
  }
}

TEST(Smooth, RotationKeepsTheInsideAndFadesTheOutline) {
  auto src = Filled(8, 8, 32, 0x808080);
  auto dst = Filled(20, 20, 32, 0);
  dst->DrawSmooth(10, 10, *src, src->BoundsRect(), nullptr, 255, false, false, false, std::numbers::pi / 4, 4, 4,
                  1.0, 1.0);
  EXPECT_EQ(dst->GetPixel(10, 10), 0x808080u);
  EXPECT_EQ(dst->GetPixel(10, 7), 0x808080u);
  EXPECT_EQ(dst->GetPixel(0, 0), 0u);
  EXPECT_EQ(dst->GetPixel(15, 15), 0u);  // beyond the turned square's edge
  int partial = 0;
  for (uint32_t p : Read(*dst))
    if (p != 0 && p != 0x808080) ++partial;
  EXPECT_GT(partial, 0);
}

TEST(Smooth, DegenerateArgumentsDrawNothingAndExtremesStayInRange) {
  auto src = Filled(2, 2, 32, 0x123456);
  struct Case {
    int alpha;
    double angle, sx, sy;
    int x, y;
  } nothing[] = {{0, 0.0, 1.0, 1.0, 0, 0},          {255, 0.0, 0.0, 1.0, 0, 0},
                 {255, 0.0, 1.0, -2.0, 0, 0},       {255, NAN, 1.0, 1.0, 0, 0},
                 {255, 0.0, INFINITY, 1.0, 0, 0},   {255, 0.3, 1e-12, 1e-12, -2000000000, 2000000000},
                 {255, 2.0, 1e12, 1e-9, 2000000000, -5}};
  for (const Case& c : nothing) {
    auto dst = Filled(4, 4, 32, 0);
    dst->DrawSmooth(c.x, c.y, *src, src->BoundsRect(), nullptr, c.alpha, true, true, false, c.angle, 1, 1, c.sx,
                    c.sy);
    EXPECT_EQ(Read(*dst), Pixels(16, 0)) << c.alpha << " " << c.sx;
  }
  // One source pixel blown up over everything.
  auto big = Filled(4, 4, 32, 0);
  big->DrawSmooth(2, 2, *src, src->BoundsRect(), nullptr, 255, false, false, false, 0.0, 1, 1, 1e9, 1e9);
  EXPECT_EQ(Read(*big), Pixels(16, 0x123456));
}

TEST(Smooth, AlphaPlanesTakeTheNearestSampleAndWavesTheirOffsets) {
  auto src = Make(2, 2, 8, {1, 2, 3, 4});
  auto smooth = Filled(4, 4, 8, 0), nearest = Filled(4, 4, 8, 0);
  smooth->DrawSmooth(0, 0, *src, src->BoundsRect(), nullptr, 255, false, false, false, 0.0, 0, 0, 2.0, 2.0);
  nearest->DrawRotateRect(0, 0, *src, src->BoundsRect(), 255, false, false, false, 0.0, 0, 0, 2.0, 2.0);
  EXPECT_EQ(Read(*smooth), Read(*nearest));

  auto target = Filled(4, 2, 32, 0);
  TDIBXWave wave(target.get());
  wave.SetSize(4, 2, 32);
  wave.Offsets = {0, 2};
  auto dot = Filled(1, 2, 32, 9);
  wave.DrawSmooth(0, 0, *dot, dot->BoundsRect(), nullptr, 255, false, false, false, 0.0, 0, 0, 1.0, 1.0);
  EXPECT_EQ(Read(*target), (Pixels{9, 0, 0, 0, 0, 0, 9, 0}));
}

}  // namespace
}  // namespace orva
