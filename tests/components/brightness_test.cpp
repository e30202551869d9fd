// Brightness copies of cached frames: the grey shift, its limits, and
// transparency kept exactly where the frame has it.
#include <gtest/gtest.h>

#include "components/brightness.h"

namespace orva {
namespace {

TVornItemFrame Frame(std::vector<uint32_t> pixels, int32_t key, bool mask) {
  TVornItemFrame f;
  f.picture = std::make_unique<TDIBX>(static_cast<int>(pixels.size()), 1, 32);
  for (size_t x = 0; x < pixels.size(); ++x) f.picture->SetPixel(static_cast<int>(x), 0, pixels[x]);
  f.picture->TransparentColor = key;
  f.transparentColor = key;
  if (mask) {
    f.mask = std::make_unique<TDIBX>(static_cast<int>(pixels.size()), 1, 8);
    f.mask->Clear(200);
  }
  return f;
}

TEST(Brightness, ShiftsEveryChannelWithinLimits) {
  const TVornItemFrame f = Frame({0x102030, 0xF0F0F0}, -1, false);
  struct Case {
    int brightness, stored;
    uint32_t first, second;
  } cases[] = {{50, 50, 0x425262, 0xFFFFFF}, {-32, -32, 0x000010, 0xD0D0D0},
               {300, 255, 0xFFFFFF, 0xFFFFFF}, {-1000, -255, 0x000000, 0x000000}};
  for (const Case& c : cases) {
    const TBrightnessCopy copy = MakeBrightnessCopy(f, c.brightness);
    ASSERT_NE(copy.picture, nullptr);
    EXPECT_EQ(copy.brightness, c.stored);
    EXPECT_EQ(copy.picture->GetPixel(0, 0), c.first) << c.brightness;
    EXPECT_EQ(copy.picture->GetPixel(1, 0), c.second) << c.brightness;
    EXPECT_EQ(copy.mask, nullptr);
  }
  EXPECT_EQ(MakeBrightnessCopy(f, 0).picture, nullptr);  // drawn as it is
}

TEST(Brightness, TransparencyStaysWhereTheFrameHasIt) {
  // Darkened by 100, the visible 0x64FF64 becomes the key colour 0x009B00,
  // and the keyed pixel becomes something else: the copy keeps neither key
  // but a mask made from the frame's key.
  const TVornItemFrame keyed = Frame({0x64FF64, 0x009B00}, 0x009B00, false);
  const TBrightnessCopy dark = MakeBrightnessCopy(keyed, -100);
  EXPECT_EQ(dark.picture->GetPixel(0, 0), 0x009B00u);
  EXPECT_EQ(dark.picture->TransparentColor, -1);
  ASSERT_NE(dark.mask, nullptr);
  EXPECT_EQ(dark.mask, dark.ownMask.get());
  EXPECT_EQ(dark.mask->GetPixel(0, 0), 255u);
  EXPECT_EQ(dark.mask->GetPixel(1, 0), 0u);

  // A masked frame's own mask serves the copy.
  const TVornItemFrame masked = Frame({0x808080}, -1, true);
  const TBrightnessCopy light = MakeBrightnessCopy(masked, 10);
  EXPECT_EQ(light.mask, masked.mask.get());
  EXPECT_EQ(light.ownMask, nullptr);
}

}  // namespace
}  // namespace orva
