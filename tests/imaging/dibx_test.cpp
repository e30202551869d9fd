// Drawing operations on small surfaces with exact expected pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/dibxwave.h"
#include "surfacetest.h"
#include "testsupport.h"

namespace orva {
namespace {

using namespace surfacetest;

TEST(Surface, ColorToPixelPerFormat) {
  struct Case {
    int bits;
    int32_t color;
    uint32_t pixel;
  } cases[] = {
      {16, 0x00FFFFFF, 0xFFFF}, {15, 0x00FFFFFF, 0x7FFF}, {32, 0x00123456, 0x00563412},
      {16, 0x000000FF, 0xF800}, {15, 0x0000FF00, 0x03E0}, {16, 0x00070707, 0x0020},
      {8, 0x00123456, 0x123456}, {24, 0x00123456, 0x123456}, {32, -1, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    TDIBX s(1, 1, c.bits);
    EXPECT_EQ(s.ColorToPixel(c.color), c.pixel) << c.bits << " " << std::hex << c.color;
  }
}

TEST(Surface, FormatsReportMasksShiftsAndPitch) {
  struct Case {
    int bits, storage, red, green;
    uint32_t redMask;
  } cases[] = {{15, 16, 10, 5, 0x7C00}, {16, 16, 11, 5, 0xF800}, {24, 24, 16, 8, 0xFF0000}, {32, 32, 16, 8, 0xFF0000}};
  for (const Case& c : cases) {
    TDIBX s(3, 2, c.bits);
    EXPECT_EQ(s.BitCount(), c.bits);
    EXPECT_EQ(s.StorageBitCount(), c.storage);
    EXPECT_EQ(s.RedShift(), c.red);
    EXPECT_EQ(s.GreenShift(), c.green);
    EXPECT_EQ(s.RedMask(), c.redMask);
    EXPECT_EQ(s.Pitch() % 4, 0);
    EXPECT_EQ(s.BytesPerPixel(), (c.bits + 7) / 8);
  }
  TDIBX fresh;
  EXPECT_TRUE(fresh.IsEmpty());
  EXPECT_EQ(fresh.Lock(0, 0), nullptr);
}

TEST(Surface, PackedFormatsKeepEveryPixel) {
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    const uint32_t maxV = bits >= 32 ? 0xFFFFFFFFu : bits == 24 ? 0xFFFFFF : bits == 15 ? 0x7FFF : (1u << bits) - 1;
    Pixels px;
    for (int i = 0; i < 15; ++i) px.push_back((0x9E3779B9u * (i + 1)) & maxV);
    auto s = Make(5, 3, bits, px);
    EXPECT_EQ(Read(*s), px) << bits;
  }
}

TEST(Surface, ClearWritesWholeStoreForSmallFormats) {
  auto one = Filled(9, 2, 1, 1);
  EXPECT_EQ(one->Row(0)[0], 0xFF);
  EXPECT_EQ(one->Row(1)[1], 0xFF);
  auto four = Filled(3, 1, 4, 0xA);
  EXPECT_EQ(four->Row(0)[0], 0xAA);
  EXPECT_EQ(four->GetPixel(2, 0), 0xAu);
  // The clip applies to 32-bit surfaces only.
  auto eight = Filled(4, 1, 8, 0);
  eight->SetClipRect({0, 0, 1, 1});
  eight->Clear(7);
  EXPECT_EQ(Read(*eight), (Pixels{7, 7, 7, 7}));
  auto wide = Filled(4, 1, 32, 0);
  wide->SetClipRect({1, 0, 2, 1});
  wide->Clear(7);
  EXPECT_EQ(Read(*wide), (Pixels{0, 7, 0, 0}));
}

TEST(Surface, BlendMatchesFormulaInEveryColourFormat) {
  const uint32_t samples[][2] = {{0xFFFFFF, 0x000000}, {0x123456, 0xFEDCBA}, {0x00FF00, 0xFF00FF}, {0x7F807F, 0x01FE02}};
  for (int bits : {15, 16, 24, 32}) {
    for (const auto& pair : samples) {
      for (uint32_t a : {1u, 64u, 128u, 200u, 254u}) {
        TDIBX probe(1, 1, bits);
        const uint32_t s = probe.RgbToPixel(pair[0]), d = probe.RgbToPixel(pair[1]);
        auto src = Make(1, 1, bits, {s});
        auto dst = Make(1, 1, bits, {d});
        dst->DrawAlpha(0, 0, *src, src->BoundsRect(), static_cast<int>(a));
        EXPECT_EQ(dst->GetPixel(0, 0), RefBlend(bits, s, d, a)) << bits << " a=" << a;
        auto fill = Make(1, 1, bits, {d});
        fill->FillRectAlpha(fill->BoundsRect(), s, static_cast<int>(a));
        EXPECT_EQ(fill->GetPixel(0, 0), RefBlend(bits, s, d, a));
      }
    }
  }
}

TEST(Surface, OpacityEndpointsAndEqualPixels) {
  // White over black at 128: (255 * 128) >> 8 = 127 per channel.
  auto src = Make(2, 1, 32, {0xFFFFFF, 0x102030});
  auto dst = Make(2, 1, 32, {0x000000, 0x102030});
  dst->DrawAlpha(0, 0, *src, src->BoundsRect(), 128);
  EXPECT_EQ(Read(*dst), (Pixels{0x7F7F7F, 0x102030}));
  // Alpha 0 draws nothing; 255 is a plain copy (the unused top byte too).
  auto top = Make(1, 1, 32, {0xFF123456});
  auto under = Make(1, 1, 32, {0x00ABCDEF});
  under->DrawAlpha(0, 0, *top, top->BoundsRect(), 0);
  under->FillRectAlpha(under->BoundsRect(), 0, 0);
  EXPECT_EQ(under->GetPixel(0, 0), 0x00ABCDEFu);
  under->DrawAlpha(0, 0, *top, top->BoundsRect(), 255);
  EXPECT_EQ(under->GetPixel(0, 0), 0xFF123456u);
}

TEST(Surface, AdditiveAndSubtractiveArithmetic) {
  for (int bits : {8, 15, 16, 24, 32}) {
    TDIBX probe(1, 1, bits);
    const uint32_t s = bits == 8 ? 200 : probe.RgbToPixel(0xC08040);
    const uint32_t d = bits == 8 ? 100 : probe.RgbToPixel(0x70F010);
    for (uint32_t a : {0u, 100u, 255u}) {
      auto src = Make(1, 1, bits, {s});
      auto dst = Make(1, 1, bits, {d});
      dst->DrawAdd(0, 0, *src, src->BoundsRect(), static_cast<int>(a));
      EXPECT_EQ(dst->GetPixel(0, 0), RefAdd(bits, s, d, a)) << bits << " a=" << a;
    }
  }
  auto dst = Make(1, 1, 32, {0x80F010});
  dst->FillRectAdd(dst->BoundsRect(), 0x902020);
  EXPECT_EQ(dst->GetPixel(0, 0), 0xFFFF30u);
  dst->FillRectSub(dst->BoundsRect(), 0xF01040);
  EXPECT_EQ(dst->GetPixel(0, 0), 0x0FEF00u);
}

TEST(Surface, ColourKeyRules) {
  auto src = Make(3, 1, 32, {5, 0x101010, 5});
  src->TransparentColor = 5;
  auto plain = Filled(3, 1, 32, 0x202020);
  plain->Draw(0, 0, *src, src->BoundsRect());
  EXPECT_EQ(Read(*plain), (Pixels{5, 0x101010, 5}));
  auto keyed = Filled(3, 1, 32, 0x202020);
  keyed->Draw(0, 0, *src, src->BoundsRect(), false, false, true);
  EXPECT_EQ(Read(*keyed), (Pixels{0x202020, 0x101010, 0x202020}));
  // DrawAdd keys even when not asked to.
  auto added = Filled(3, 1, 32, 0x202020);
  added->DrawAdd(0, 0, *src, src->BoundsRect(), 255, false, false, false);
  EXPECT_EQ(Read(*added), (Pixels{0x202020, 0x2F2F2F, 0x202020}));
  // -1 keys nothing, even a pixel whose bits are all set.
  auto ones = Make(1, 1, 32, {0xFFFFFFFF});
  auto target = Filled(1, 1, 32, 0);
  target->Draw(0, 0, *ones, ones->BoundsRect(), false, false, true);
  EXPECT_EQ(target->GetPixel(0, 0), 0xFFFFFFFFu);
}

// Source 3x2: 1 2 3 / 4 5 6, drawn at (1, 1) on 5x4 with a clip.
struct FlipCase {
  bool flipH, flipV;
  TRect clip;
  Pixels expected;
};
class SurfaceFlipClip : public ::testing::TestWithParam<FlipCase> {};

TEST_P(SurfaceFlipClip, KeepsSourceAndDestinationAligned) {
  const FlipCase& c = GetParam();
  auto src = Make(3, 2, 32, {1, 2, 3, 4, 5, 6});
  auto dst = Filled(5, 4, 32, 0);
  dst->SetClipRect(c.clip);
  dst->Draw(1, 1, *src, src->BoundsRect(), c.flipH, c.flipV);
  EXPECT_EQ(Read(*dst), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SurfaceFlipClip,
    ::testing::Values(FlipCase{false, false, {0, 0, 5, 4}, {0, 0, 0, 0, 0, 0, 1, 2, 3, 0, 0, 4, 5, 6, 0, 0, 0, 0, 0, 0}},
                      FlipCase{true, false, {0, 0, 5, 4}, {0, 0, 0, 0, 0, 0, 3, 2, 1, 0, 0, 6, 5, 4, 0, 0, 0, 0, 0, 0}},
                      FlipCase{false, true, {0, 0, 5, 4}, {0, 0, 0, 0, 0, 0, 4, 5, 6, 0, 0, 1, 2, 3, 0, 0, 0, 0, 0, 0}},
                      // Cut on the left and top: the source start moves with the cut.
                      FlipCase{false, false, {2, 2, 5, 4}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 6, 0, 0, 0, 0, 0, 0}},
                      // The same cut under flips moves the source end instead.
                      FlipCase{true, true, {2, 2, 5, 4}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 0, 0}},
                      FlipCase{true, false, {0, 0, 3, 2}, {0, 0, 0, 0, 0, 0, 3, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                      // An explicit empty clip at x = 0 draws nothing.
                      FlipCase{false, false, {0, 0, 0, 4}, Pixels(20, 0)}));

TEST(Surface, SourceRectOutsideSourceIsCut) {
  auto src = Make(2, 1, 32, {7, 8});
  auto dst = Filled(4, 1, 32, 0);
  dst->Draw(0, 0, *src, {-1, 0, 3, 1});
  EXPECT_EQ(Read(*dst), (Pixels{0, 7, 8, 0}));
  auto flipped = Filled(4, 1, 32, 0);
  flipped->Draw(0, 0, *src, {-1, 0, 3, 1}, true, false);
  EXPECT_EQ(Read(*flipped), (Pixels{0, 8, 7, 0}));
}

TEST(Surface, ClipAccumulatesAsBoundingBox) {
  TDIBX s(10, 10, 32);
  EXPECT_EQ(s.ClipRect(), (TRect{0, 0, 10, 10}));
  s.AddClipRect({2, 2, 4, 4});
  EXPECT_EQ(s.ClipRect(), (TRect{2, 2, 4, 4}));
  s.AddClipRect({6, 1, 20, 3});
  EXPECT_EQ(s.ClipRect(), (TRect{2, 1, 10, 4}));
  s.ResetClip();
  EXPECT_FALSE(s.HasClip());
  s.AddClipRect({-5, -5, 0, 0});  // nothing of it lies on the surface
  s.FillRect(s.BoundsRect(), 9);
  EXPECT_EQ(s.GetPixel(0, 0), 0u);
}

TEST(Surface, MaskOperations) {
  auto src = Make(4, 1, 32, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF});
  auto mask = Make(4, 1, 8, {0, 255, 128, 64});
  auto masked = Filled(4, 1, 32, 0);
  masked->DrawMask(0, 0, *src, src->BoundsRect(), *mask);
  EXPECT_EQ(Read(*masked), (Pixels{0, 0xFFFFFF, 0x7F7F7F, 0x3F3F3F}));
  // With opacity: a' = (alpha * m) >> 8.
  auto alphaMasked = Filled(4, 1, 32, 0);
  alphaMasked->DrawAlphaMask(0, 0, *src, src->BoundsRect(), 128, *mask);
  const uint32_t a2 = (128 * 128) >> 8, a3 = (128 * 64) >> 8;
  EXPECT_EQ(Read(*alphaMasked),
            (Pixels{0, RefBlend(32, 0xFFFFFF, 0, 127), RefBlend(32, 0xFFFFFF, 0, a2), RefBlend(32, 0xFFFFFF, 0, a3)}));
  auto addMasked = Filled(4, 1, 32, 0x101010);
  addMasked->DrawAddMask(0, 0, *src, src->BoundsRect(), 128, *mask);
  EXPECT_EQ(Read(*addMasked), (Pixels{0x101010, RefAdd(32, 0xFFFFFF, 0x101010, 127),
                                      RefAdd(32, 0xFFFFFF, 0x101010, a2), RefAdd(32, 0xFFFFFF, 0x101010, a3)}));
  // A solid colour through the mask.
  auto glyph = Filled(4, 1, 32, 0);
  glyph->DrawColorMask(0, 0, 255, 0x00FF00, *mask, mask->BoundsRect());
  EXPECT_EQ(Read(*glyph), (Pixels{0, 0x00FF00, 0x007F00, 0x003F00}));
  auto none = Filled(4, 1, 32, 0);
  none->DrawColorMask(0, 0, 0, 0x00FF00, *mask, mask->BoundsRect());
  EXPECT_EQ(Read(*none), Pixels(4, 0));
}

TEST(Surface, FrameRectDrawsFourBands) {
  auto s = Filled(4, 4, 8, 0);
  s->FrameRect({0, 0, 4, 4}, 1, 9);
  EXPECT_EQ(Read(*s), (Pixels{9, 9, 9, 9, 9, 0, 0, 9, 9, 0, 0, 9, 9, 9, 9, 9}));
  // Inner height <= 0: only the top and bottom bands.
  auto flat = Filled(3, 2, 8, 0);
  flat->FrameRect({0, 0, 3, 2}, 1, 5);
  EXPECT_EQ(Read(*flat), (Pixels{5, 5, 5, 5, 5, 5}));
}

struct StretchCase {
  int srcW;
  TRect dest;
  TRect clip;
  bool flipH;
  Pixels expected;  // one row of 6
};
class SurfaceStretch : public ::testing::TestWithParam<StretchCase> {};

TEST_P(SurfaceStretch, NearestNeighbourWithSubPixelClip) {
  const StretchCase& c = GetParam();
  Pixels row;
  for (int i = 0; i < c.srcW; ++i) row.push_back(static_cast<uint32_t>(i + 1));
  auto src = Make(c.srcW, 1, 32, row);
  auto dst = Filled(6, 1, 32, 0);
  dst->SetClipRect(c.clip);
  dst->StretchDraw(c.dest, *src, src->BoundsRect(), 255, c.flipH);
  EXPECT_EQ(Read(*dst), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SurfaceStretch,
                         ::testing::Values(StretchCase{2, {0, 0, 4, 1}, {0, 0, 6, 1}, false, {1, 1, 2, 2, 0, 0}},
                                           StretchCase{4, {0, 0, 2, 1}, {0, 0, 6, 1}, false, {1, 3, 0, 0, 0, 0}},
                                           StretchCase{2, {0, 0, 4, 1}, {0, 0, 6, 1}, true, {2, 2, 1, 1, 0, 0}},
                                           // 3 -> 5: cutting 2 pixels moves the source by
                                           // trunc(1.2) and keeps 0.2 as the start offset.
                                           StretchCase{3, {0, 0, 5, 1}, {0, 0, 6, 1}, false, {1, 1, 2, 2, 3, 0}},
                                           StretchCase{3, {0, 0, 5, 1}, {2, 0, 6, 1}, false, {0, 0, 2, 2, 3, 0}},
                                           StretchCase{3, {-2, 0, 3, 1}, {0, 0, 6, 1}, false, {2, 2, 3, 0, 0, 0}}));

TEST(Surface, StretchVariants) {
  auto src = Make(1, 1, 32, {0x808080});
  auto mask = Make(1, 1, 8, {128});
  auto blended = Filled(2, 1, 32, 0);
  blended->StretchDraw({0, 0, 2, 1}, *src, src->BoundsRect(), 128);
  EXPECT_EQ(Read(*blended), (Pixels{RefBlend(32, 0x808080, 0, 128), RefBlend(32, 0x808080, 0, 128)}));
  auto added = Filled(2, 1, 32, 0x010101);
  added->StretchDrawAdd({0, 0, 2, 1}, *src, src->BoundsRect(), 255);
  EXPECT_EQ(added->GetPixel(1, 0), RefAdd(32, 0x808080, 0x010101, 255));
  auto masked = Filled(2, 1, 32, 0);
  masked->StretchDrawMask({0, 0, 2, 1}, *src, src->BoundsRect(), 255, *mask);
  EXPECT_EQ(masked->GetPixel(0, 0), RefBlend(32, 0x808080, 0, 128));
  auto addMasked = Filled(2, 1, 32, 0);
  addMasked->StretchDrawAddMask({0, 0, 2, 1}, *src, src->BoundsRect(), 255, *mask);
  EXPECT_EQ(addMasked->GetPixel(1, 0), RefAdd(32, 0x808080, 0, 128));
}

struct TileCase {
  int offsetX, gapX;
  Pixels expected;  // one row of 7
};
class SurfaceTile : public ::testing::TestWithParam<TileCase> {};

TEST_P(SurfaceTile, PhaseAndGaps) {
  const TileCase& c = GetParam();
  auto src = Make(3, 1, 32, {1, 2, 3});
  auto dst = Filled(7, 1, 32, 0);
  dst->TileDraw({0, 0, 7, 1}, *src, src->BoundsRect(), {c.gapX, 0, c.offsetX, 0});
  EXPECT_EQ(Read(*dst), c.expected);
  EXPECT_FALSE(dst->HasClip());  // the narrowed clip is restored
}

INSTANTIATE_TEST_SUITE_P(Cases, SurfaceTile,
                         ::testing::Values(TileCase{0, 0, {1, 2, 3, 1, 2, 3, 1}}, TileCase{1, 0, {2, 3, 1, 2, 3, 1, 2}},
                                           TileCase{-1, 0, {3, 1, 2, 3, 1, 2, 3}},
                                           // A negative multiple of the width starts with a whole tile.
                                           TileCase{-6, 0, {1, 2, 3, 1, 2, 3, 1}},
                                           TileCase{0, 1, {1, 2, 3, 0, 1, 2, 3}},
                                           // Spaced tiles scroll over the whole period, one pixel per step.
                                           TileCase{3, 1, {0, 1, 2, 3, 0, 1, 2}},
                                           TileCase{4, 1, {1, 2, 3, 0, 1, 2, 3}},
                                           // Overlapping tiles: each later one covers the one before.
                                           TileCase{1, -1, {2, 1, 2, 1, 2, 1, 2}}));

TEST(Surface, TileVariantsStayInsideDestRect) {
  auto src = Make(2, 1, 32, {0x808080, 0x404040});
  auto mask = Make(2, 1, 8, {255, 0});
  auto dst = Filled(6, 1, 32, 0);
  dst->TileDrawMask({1, 0, 5, 1}, *src, src->BoundsRect(), {}, *mask);
  EXPECT_EQ(Read(*dst), (Pixels{0, 0x808080, 0, 0x808080, 0, 0}));
  auto alpha = Filled(4, 1, 32, 0);
  alpha->TileDrawAlpha({0, 0, 4, 1}, *src, src->BoundsRect(), {}, 128);
  EXPECT_EQ(alpha->GetPixel(2, 0), RefBlend(32, 0x808080, 0, 128));
  auto add = Filled(4, 1, 32, 0x010101);
  add->TileDrawAdd({0, 0, 4, 1}, *src, src->BoundsRect(), {}, 255);
  EXPECT_EQ(add->GetPixel(3, 0), RefAdd(32, 0x404040, 0x010101, 255));
  // An empty source tile draws nothing (and does not divide by zero).
  TDIBX empty;
  auto untouched = Filled(4, 1, 32, 7);
  untouched->TileDraw({0, 0, 4, 1}, empty, empty.BoundsRect(), {});
  untouched->TileFill({0, 0, 4, 1}, empty, false, false, 0, 0);
  untouched->TileStretchDraw({0, 0, 4, 1}, empty, empty.BoundsRect(), {}, 2.0, 2.0, 255);
  EXPECT_EQ(Read(*untouched), Pixels(4, 7));
}

TEST(Surface, TileFillScaledAndBorder) {
  auto src = Make(2, 1, 32, {1, 2});
  auto scaled = Filled(8, 1, 32, 0);
  scaled->TileFillScaled({0, 0, 8, 1}, *src, 255, false, false, 0, 0, 2.0, 1.0);
  EXPECT_EQ(Read(*scaled), (Pixels{1, 1, 2, 2, 1, 1, 2, 2}));
  auto flipped = Filled(4, 1, 32, 0);
  flipped->TileFill({0, 0, 4, 1}, *src, true, false, 0, 0);
  EXPECT_EQ(Read(*flipped), (Pixels{2, 1, 2, 1}));
  auto dot = Make(1, 1, 32, {5});
  auto border = Filled(3, 3, 32, 0);
  border->DrawBorderTiled({0, 0, 3, 3}, 1, *dot);
  EXPECT_EQ(Read(*border), (Pixels{5, 5, 5, 5, 0, 5, 5, 5, 5}));
}

TEST(Surface, ScaledTilesHonourTheKey) {
  auto src = Make(2, 1, 32, {9, 5});
  src->TransparentColor = 9;
  auto dst = Filled(4, 1, 32, 1);
  dst->TileFillScaled({0, 0, 4, 1}, *src, 255, false, false, 0, 0, 1.0, 1.0);
  EXPECT_EQ(Read(*dst), (Pixels{1, 5, 1, 5}));
}

TEST(Surface, PictureOpacityRegimes) {
  struct Case {
    int alpha;
    bool mask;
    uint32_t expected;  // 0x808080 drawn over 0x101010 through mask value 128 when masked
  } cases[] = {
      {0, false, 0x101010},
      {128, false, RefBlend(32, 0x808080, 0x101010, 128)},
      {255, false, 0x808080},
      {384, false, RefAdd(32, 0x808080, 0x101010, 128)},
      {512, false, RefAdd(32, 0x808080, 0x101010, 255)},
      {128, true, RefBlend(32, 0x808080, 0x101010, 64)},
      {255, true, RefBlend(32, 0x808080, 0x101010, 128)},
      {511, true, RefAdd(32, 0x808080, 0x101010, 128)},
  };
  auto src = Filled(2, 1, 32, 0x808080);
  auto mask = Filled(2, 1, 8, 128);
  for (const Case& c : cases) {
    auto copy = Filled(2, 1, 32, 0x101010), stretched = Filled(4, 1, 32, 0x101010);
    copy->DrawPicture(0, 0, *src, src->BoundsRect(), c.mask ? mask.get() : nullptr, c.alpha, false, false, false);
    stretched->StretchDrawPicture({0, 0, 4, 1}, *src, src->BoundsRect(), c.mask ? mask.get() : nullptr, c.alpha,
                                  false, false, false);
    EXPECT_EQ(Read(*copy), Pixels(2, c.expected)) << c.alpha << " " << c.mask;
    EXPECT_EQ(Read(*stretched), Pixels(4, c.expected)) << c.alpha << " " << c.mask;
  }
  // Keys: copies and blends only when asked, additions always.
  src->SetPixel(0, 0, 7);
  src->TransparentColor = 7;
  for (int alpha : {128, 255, 300}) {
    auto keyed = Filled(2, 1, 32, 0);
    keyed->DrawPicture(0, 0, *src, src->BoundsRect(), nullptr, alpha, false, false, alpha <= 255);
    EXPECT_EQ(keyed->GetPixel(0, 0), 0u) << alpha;
  }
}

TEST(Surface, ContentRectanglesAreDrawnOneByOne) {
  // A 4 x 1 picture whose visible parts are its first and last pixels.
  auto src = Make(4, 1, 32, {1, 2, 3, 4});
  src->ContentRects = {{0, 0, 1, 1}, {3, 0, 4, 1}, {9, 0, 12, 1}};
  auto dst = Filled(6, 1, 32, 7);
  dst->DrawPictureRects(1, 0, *src, nullptr, 255, false, false, false);
  EXPECT_EQ(Read(*dst), (Pixels{7, 1, 7, 7, 4, 7}));
  auto flipped = Filled(6, 1, 32, 7);
  flipped->DrawPictureRects(1, 0, *src, nullptr, 255, true, false, false);
  EXPECT_EQ(Read(*flipped), (Pixels{7, 4, 7, 7, 1, 7}));

  // Tiles every 5 pixels, scrolled by 6 (phase 1), each by its rectangles.
  auto tiled = Filled(11, 1, 32, 7);
  tiled->TileDrawRects({0, 0, 11, 1}, *src, nullptr, 5, 1, 6, 0, 255, false, false, false);
  EXPECT_EQ(Read(*tiled), (Pixels{7, 7, 4, 7, 1, 7, 7, 4, 7, 1, 7}));
  EXPECT_FALSE(tiled->HasClip());
  // A pitch below the picture size means the picture size.
  auto packed = Filled(8, 1, 32, 7);
  packed->TileDrawRects({0, 0, 8, 1}, *src, nullptr, 0, 0, 0, 0, 128, false, false, false);
  const uint32_t b1 = RefBlend(32, 1, 7, 128), b4 = RefBlend(32, 4, 7, 128);
  EXPECT_EQ(Read(*packed), (Pixels{b1, 7, 7, b4, b1, 7, 7, b4}));
}

TEST(Surface, RotationMapsThroughInverseFixedPoint) {
  auto src = Make(2, 2, 32, {1, 2, 3, 4});
  // Angle 0, scale 1, pivot at the origin: a plain copy.
  auto same = Filled(4, 4, 32, 0);
  same->DrawRotate(1, 1, *src, 255, false, false, false, 0.0, 0, 0, 1.0, 1.0);
  EXPECT_EQ(Read(*same), (Pixels{0, 0, 0, 0, 0, 1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 0}));
  // A quarter turn about the source's top-left pixel placed at (2, 1).
  auto quarter = Filled(4, 4, 32, 0);
  quarter->DrawRotate(2, 1, *src, 255, false, false, false, std::numbers::pi / 2, 0, 0, 1.0, 1.0);
  EXPECT_EQ(Read(*quarter), (Pixels{0, 0, 0, 0, 0, 3, 1, 0, 0, 4, 2, 0, 0, 0, 0, 0}));
  // Doubling, mirrored: every sample comes from srcW - 1 - u.
  auto doubled = Filled(4, 2, 32, 0);
  doubled->DrawRotate(0, 0, *src, 255, true, false, false, 0.0, 0, 0, 2.0, 2.0);
  EXPECT_EQ(Read(*doubled), (Pixels{2, 2, 1, 1, 2, 2, 1, 1}));
  // Above 255 adds with strength alpha - 256; a zero scale draws nothing.
  auto added = Filled(2, 2, 32, 0x000010);
  added->DrawRotate(0, 0, *src, 256 + 255, false, false, false, 0.0, 0, 0, 1.0, 1.0);
  EXPECT_EQ(added->GetPixel(1, 1), RefAdd(32, 4, 0x10, 255));
  added->DrawRotate(0, 0, *src, 255, false, false, false, 0.0, 0, 0, 0.0, 1.0);
  EXPECT_EQ(added->GetPixel(1, 1), RefAdd(32, 4, 0x10, 255));
  // Extreme scales and positions stay within the arithmetic (the sanitizers
  // watch for overflow) and draw only where samples exist.
  auto far = Filled(4, 4, 32, 0);
  far->DrawRotate(-2000000000, 2000000000, *src, 255, false, false, false, 0.7, 1, 1, 1e-12, 1e-12);
  far->DrawRotate(2000000000, -5, *src, 255, true, true, false, 2.0, 0, 0, 1e12, 1e-9);
  EXPECT_EQ(Read(*far), Pixels(16, 0));
  far->DrawRotate(0, 0, *src, 255, false, false, false, 0.0, 0, 0, 1e9, 1e9);
  EXPECT_EQ(Read(*far), Pixels(16, 1));  // one source pixel covers everything
}

TEST(Surface, RotationKeyMaskAndSourceRect) {
  auto src = Make(2, 1, 32, {9, 0x808080});
  src->TransparentColor = 9;
  auto keyed = Filled(2, 1, 32, 1);
  keyed->DrawRotate(0, 0, *src, 255, false, false, true, 0.0, 0, 0, 1.0, 1.0);
  EXPECT_EQ(Read(*keyed), (Pixels{1, 0x808080}));
  auto part = Filled(2, 1, 32, 1);
  part->DrawRotateRect(0, 0, *src, {1, 0, 2, 1}, 255, false, false, false, 0.0, 0, 0, 1.0, 1.0);
  EXPECT_EQ(Read(*part), (Pixels{1, 0x808080}));
  auto mask = Make(2, 1, 8, {0, 128});
  auto masked = Filled(2, 1, 32, 0);
  masked->DrawRotateMaskRect(0, 0, *src, src->BoundsRect(), *mask, 255, false, false, 0.0, 0, 0, 1.0, 1.0);
  EXPECT_EQ(Read(*masked), (Pixels{0, RefBlend(32, 0x808080, 0, 128)}));
  auto halfMasked = Filled(2, 1, 32, 0);
  halfMasked->DrawRotateMaskRect(0, 0, *src, src->BoundsRect(), *mask, 128, false, false, 0.0, 0, 0, 1.0, 1.0);
  EXPECT_EQ(halfMasked->GetPixel(1, 0), RefBlend(32, 0x808080, 0, (128 * 128) >> 8));
}

TEST(Surface, IndexedDrawingAddsMappedColours) {
  auto src = Make(3, 1, 8, {0, 16, 17});
  std::vector<uint32_t> table(256);
  for (uint32_t i = 0; i < 256; ++i) table[i] = i * 0x010000;
  auto dst = Filled(3, 1, 32, 0x000001);
  dst->DrawIndexed8(0, 0, table, 255, false, false, 17, src->BoundsRect(), *src);
  EXPECT_EQ(Read(*dst), (Pixels{1, 1, RefAdd(32, 17 * 0x010000, 1, 255)}));
  auto word = Filled(2, 1, 16, 0);
  std::vector<uint32_t> table16(256, 0xFFFFF800);  // only the low 16 bits count
  word->StretchDrawIndexed({0, 0, 2, 1}, *src, table16, 255, false, false, 17, {2, 0, 3, 1});
  EXPECT_EQ(Read(*word), (Pixels{RefAdd(16, 0xF800, 0, 255), RefAdd(16, 0xF800, 0, 255)}));
}

TEST(Surface, MixedFormatsConvertThroughRgb) {
  auto src = Make(1, 1, 24, {0xFF8000});
  auto dst = Filled(1, 1, 16, 0);
  dst->Draw(0, 0, *src, src->BoundsRect());
  EXPECT_EQ(dst->GetPixel(0, 0), dst->ColorToPixel(0x0080FF));
  // Drawing a surface onto itself reads the pixels as they were.
  auto self = Make(3, 1, 32, {1, 2, 3});
  self->Draw(1, 0, *self, {0, 0, 2, 1});
  EXPECT_EQ(Read(*self), (Pixels{1, 1, 2}));
}

TEST(Surface, WaveDrawsRunsAtTheirOffsets) {
  auto target = Filled(6, 4, 32, 0);
  TDIBXWave wave(target.get());
  wave.SetSize(6, 3, 32);
  wave.FirstRow = 1;
  wave.Offsets = {0, 2, 2};
  auto src = Filled(2, 4, 32, 7);
  wave.Draw(0, 0, *src, src->BoundsRect(), false, false, false);
  EXPECT_EQ(Read(*target), (Pixels{0, 0, 0, 0, 0, 0,  // row 0 is outside the offsets
                                   7, 7, 0, 0, 0, 0,  //
                                   0, 0, 7, 7, 0, 0,  //
                                   0, 0, 7, 7, 0, 0}));
  EXPECT_FALSE(target->HasClip());
  EXPECT_EQ(wave.InnerSurface(), target.get());
  EXPECT_EQ(wave.GetPixel(2, 3), 7u);
}

TEST(Surface, BmpFilesRoundTripAt24Bits) {
  orvatest::TempDir dir;
  auto s = Make(3, 2, 32, {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x000001});
  s->SaveToFile(dir / "pic.BMP");
  s->SaveToFile(dir / "pic.png");  // other extensions are ignored
  EXPECT_EQ(orvatest::ReadFile(dir / "pic.BMP").substr(0, 2), "BM");
  TDIBX back(1, 1, 32);
  back.LoadFromFile(dir / "pic.BMP");
  EXPECT_EQ(Read(back), Read(*s));
  back.LoadFromFile(dir / "missing.bmp");
  EXPECT_EQ(back.Width(), 3);
}

}  // namespace
}  // namespace orva

namespace orva {
namespace {

using namespace surfacetest;

TEST(SurfaceExactness, RowPathsMatchThePerPixelFormulas) {
  // Widths that leave a tail after groups of four pixels.
  for (int w : {1, 4, 7, 13}) {
    auto src = Noise(w, 3, 32, 1);
    auto mask = Noise(w, 3, 8, 2);
    for (int y = 0; y < 3; ++y) mask->SetPixel(0, y, y == 0 ? 0 : 255);
    for (int alpha : {1, 77, 128, 254, 255}) {
      auto blend = Noise(w, 3, 32, 3), add = Noise(w, 3, 32, 3), masked = Noise(w, 3, 32, 3);
      auto before = Noise(w, 3, 32, 3);
      blend->DrawAlpha(0, 0, *src, src->BoundsRect(), alpha);
      add->DrawAdd(0, 0, *src, src->BoundsRect(), alpha);
      masked->DrawAlphaMask(0, 0, *src, src->BoundsRect(), alpha, *mask);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < w; ++x) {
          const uint32_t s = src->GetPixel(x, y), d = before->GetPixel(x, y), m = mask->GetPixel(x, y);
          const uint32_t blended = alpha == 255 ? s : (s == d ? d : RefBlend(32, s, d, static_cast<uint32_t>(alpha)));
          EXPECT_EQ(blend->GetPixel(x, y), blended) << w << " " << alpha << " " << x;
          EXPECT_EQ(add->GetPixel(x, y), RefAdd(32, s, d, static_cast<uint32_t>(alpha)));
          const uint32_t a = alpha == 255 ? m : (static_cast<uint32_t>(alpha) * m) >> 8;
          const uint32_t viaMask = a == 0 ? d : a == 255 ? s : s == d ? d : RefBlend(32, s, d, a);
          EXPECT_EQ(masked->GetPixel(x, y), viaMask) << w << " " << alpha << " " << x;
        }
    }
  }
}

// The rotation as the formulas state it, one destination pixel at a time.
void ReferenceRotate(TDIBX& dst, TDIBX& src, double angle, int x, int y, int pivotX, int pivotY, double sx,
                     double sy, bool flipH, bool flipV) {
  auto fix = [](double v) { return static_cast<int64_t>(v * 65536.0); };
  const int64_t duDx = fix(std::cos(-angle) / sx), dvDx = fix(std::sin(-angle) / sy);
  const int64_t duDy = fix(-std::sin(-angle) / sx), dvDy = fix(std::cos(-angle) / sy);
  // Only the box around the rotated corners of the scaled source is visited.
  double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
  for (double cx : {-pivotX * sx, src.Width() * sx - pivotX * sx - 1})
    for (double cy : {-pivotY * sy, src.Height() * sy - pivotY * sy - 1}) {
      const double rx = cx * std::cos(angle) - cy * std::sin(angle), ry = cx * std::sin(angle) + cy * std::cos(angle);
      minX = std::min(minX, rx), maxX = std::max(maxX, rx), minY = std::min(minY, ry), maxY = std::max(maxY, ry);
    }
  for (int py = std::max(0, static_cast<int>(std::floor(y + minY)));
       py < std::min(dst.Height(), static_cast<int>(std::floor(y + maxY)) + 1); ++py)
    for (int px = std::max(0, static_cast<int>(std::floor(x + minX)));
         px < std::min(dst.Width(), static_cast<int>(std::floor(x + maxX)) + 1); ++px) {
      const int64_t u = int64_t{pivotX} * 65536 + (px - x) * duDx + (py - y) * duDy;
      const int64_t v = int64_t{pivotY} * 65536 + (px - x) * dvDx + (py - y) * dvDy;
      if (u < 0 || v < 0) continue;
      int64_t su = u >> 16, sv = v >> 16;
      if (flipH) su = src.Width() - 1 - su;
      if (flipV) sv = src.Height() - 1 - sv;
      if (su < 0 || sv < 0 || su >= src.Width() || sv >= src.Height()) continue;
      dst.SetPixel(px, py, src.GetPixel(static_cast<int>(su), static_cast<int>(sv)));
    }
}

TEST(SurfaceExactness, RotationMatchesThePerPixelMapping) {
  auto src = Noise(9, 7, 32, 4);
  struct Case {
    double angle, sx, sy;
    int pivotX, pivotY;
    bool flipH, flipV;
  } cases[] = {{0.3, 1.0, 1.0, 4, 3, false, false}, {2.5, 1.5, 0.75, 0, 0, true, false},
               {-1.2, 2.0, 2.0, 8, 6, false, true}, {3.14159, 0.5, 1.25, 2, 5, true, true},
               {1.5707963, 1.0, 1.0, 4, 3, false, false}};
  for (const Case& c : cases) {
    auto fast = Filled(24, 20, 32, 0x010203), slow = Filled(24, 20, 32, 0x010203);
    fast->DrawRotate(12, 10, *src, 255, c.flipH, c.flipV, false, c.angle, c.pivotX, c.pivotY, c.sx, c.sy);
    ReferenceRotate(*slow, *src, c.angle, 12, 10, c.pivotX, c.pivotY, c.sx, c.sy, c.flipH, c.flipV);
    EXPECT_EQ(Read(*fast), Read(*slow)) << c.angle;
  }
}

}  // namespace
}  // namespace orva
