// Transitions: the factory, exact pixels of the transitions whose output is
// fixed by their formulas, rule images, and a run of the whole catalogue at
// awkward sizes, depths and parameters (under the sanitizers this is what
// shows a read or write outside the surfaces).
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "imaging/pictures.h"
#include "storage/rands.h"
#include "storage/vrfiles.h"
#include "testsupport.h"
#include "transitions/wipes.h"

namespace {

using orva::TDIBX;

// Position-coded pictures: every pixel of each differs from its neighbours
// and from the other picture.
uint32_t OldRgb(int x, int y) { return uint32_t(0x20 + x % 64) << 16 | uint32_t(0x40 + y % 64) << 8 | 0x60; }
uint32_t NewRgb(int x, int y) { return uint32_t(0xC0 - x % 64) << 16 | uint32_t(0x80 - y % 64) << 8 | 0x40; }

void Paint(TDIBX& s, uint32_t (*rgb)(int, int)) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) s.SetPixel(x, y, s.RgbToPixel(rgb(x, y)));
}

struct Pictures {
  TDIBX from, to, dest;
  Pictures(int w, int h, int bits = 32) : from(w, h, bits), to(w, h, bits), dest(w, h, bits) {
    Paint(from, OldRgb);
    Paint(to, NewRgb);
    dest.Clear(0);
  }
  bool Equal(TDIBX& a, TDIBX& b) {
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x)
        if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
    return true;
  }
};

// Per channel, the formulas the transitions are defined with.
uint32_t PerChannel(uint32_t a, uint32_t b, const std::function<int(int, int)>& f) {
  uint32_t out = 0;
  for (int shift : {16, 8, 0}) out |= uint32_t(f(int(a >> shift & 255), int(b >> shift & 255))) << shift;
  return out;
}
uint32_t Mix(uint32_t n, uint32_t o, int m) {
  return PerChannel(n, o, [m](int nc, int oc) { return (nc * m + oc * (255 - m)) >> 8; });
}
uint32_t AddGrey(uint32_t p, int g) {
  return PerChannel(p, 0, [g](int c, int) { return std::min(c + g, 255); });
}
uint32_t SubGrey(uint32_t p, int g) {
  return PerChannel(p, 0, [g](int c, int) { return std::max(c - g, 0); });
}

// --- factory ---------------------------------------------------------------

TEST(WipeFactory, UnknownTypesCreateNothing) {
  Pictures p(4, 4);
  for (int type : {0, -1, 39, 1000}) EXPECT_EQ(orva::CreateWipe(type, p.dest, p.from, p.to), nullptr) << type;
}

TEST(WipeFactory, DefaultParametersPassThroughSetParam) {
  struct Case {
    int type;
    int32_t p0, p1;
  };
  // Mask transitions raise parameter 0 to 2 and 1 to 1; curtains only to 1;
  // the angle and block transitions keep theirs.
  const Case cases[] = {{1, 0, 0},   {2, 20, 1},  {4, 30, 1},  {8, 80, 30}, {11, 2, 1},  {19, 2, 1},
                        {24, 5, 0},  {29, 64, 3}, {31, 0, 0},  {34, 0, 0},  {36, 2, 1},  {37, 60, 0},
                        {38, 60, 0}};
  Pictures p(4, 4);
  for (const Case& c : cases) {
    auto wipe = orva::CreateWipe(c.type, p.dest, p.from, p.to);
    ASSERT_NE(wipe, nullptr) << c.type;
    EXPECT_EQ(wipe->GetParam(0), c.p0) << orva::WipeClassName(c.type);
    EXPECT_EQ(wipe->GetParam(1), c.p1) << orva::WipeClassName(c.type);
  }
  auto blind = orva::CreateWipe(2, p.dest, p.from, p.to);
  blind->SetParam(0, 1);
  blind->SetParam(1, 0);
  EXPECT_EQ(blind->GetParam(0), 2);
  EXPECT_EQ(blind->GetParam(1), 1);
  auto curtain = orva::CreateWipe(4, p.dest, p.from, p.to);
  curtain->SetParam(0, -5);
  EXPECT_EQ(curtain->GetParam(0), 1);
}

TEST(WipeFactory, ZeroDurationIsDoneAtOnceAndDrawsNothing) {
  for (int type = 1; type <= orva::kWipeTypeCount; ++type) {
    Pictures p(8, 8);
    auto wipe = orva::CreateWipe(type, p.dest, p.from, p.to);
    wipe->Duration = 0;
    wipe->Prepare();
    EXPECT_TRUE(wipe->Step()) << orva::WipeClassName(type);
    EXPECT_EQ(p.dest.GetPixel(3, 3), 0u) << orva::WipeClassName(type);
  }
}

TEST(WipeFactory, StepDrawsTheWholeDestinationAndAddsItToTheClip) {
  Pictures p(10, 6);
  auto wipe = orva::CreateWipe(6, p.dest, p.from, p.to);
  wipe->Duration = 100;
  wipe->Prepare();
  p.dest.SetClipRect({2, 2, 3, 3});
  wipe->Position = 0;
  ASSERT_FALSE(wipe->Step());
  EXPECT_EQ(wipe->Area, p.dest.BoundsRect());
  EXPECT_EQ(p.dest.ClipRect(), p.dest.BoundsRect());
  EXPECT_TRUE(p.Equal(p.dest, p.from));
}

// --- exact pixels --------------------------------------------------------------

enum class Show { Old, New, MixNew, OldPlus, NewPlus, OldMinus, Black };
struct PixelCase {
  const char* name;
  int type, w, h;
  int32_t p0, p1;
  bool reverse;
  int32_t duration, time;
  int x, y;        // destination pixel
  Show show;
  int sx, sy;      // source pixel of the picture the case names (the new one for a mix)
  int value;       // mask value or grey
};

uint32_t Expected(const PixelCase& c) {
  const uint32_t o = OldRgb(c.sx, c.sy), n = NewRgb(c.sx, c.sy);
  switch (c.show) {
    case Show::Old: return o;
    case Show::New: return n;
    case Show::MixNew: return Mix(n, OldRgb(c.x, c.y), c.value);  // old never moves under a mix
    case Show::OldPlus: return AddGrey(o, c.value);
    case Show::NewPlus: return AddGrey(n, c.value);
    case Show::OldMinus: return SubGrey(o, c.value);
    case Show::Black: return 0;
  }
  return 0;
}

class WipePixels : public testing::TestWithParam<PixelCase> {};

TEST_P(WipePixels, MatchTheFormula) {
  const PixelCase& c = GetParam();
  Pictures p(c.w, c.h);
  auto wipe = orva::CreateWipe(c.type, p.dest, p.from, p.to);
  ASSERT_NE(wipe, nullptr);
  wipe->Duration = c.duration;
  wipe->SetReverse(c.reverse ? 1 : 0);
  wipe->SetParam(0, c.p0);
  wipe->SetParam(1, c.p1);
  wipe->Prepare();
  ASSERT_FALSE(orva::RenderWipeFrame(*wipe, c.time));
  EXPECT_EQ(p.dest.GetPixel(c.x, c.y), Expected(c)) << std::hex << "got " << p.dest.GetPixel(c.x, c.y);
}

const PixelCase kPixelCases[] = {
    // Fade: opacity t * 256 / T; the slide offset round(p0 (T - t - 1) / T).
    {"FadeHalf", 1, 8, 4, 0, 0, false, 100, 50, 3, 1, Show::MixNew, 3, 1, 128},
    {"FadeLast", 1, 8, 4, 0, 0, false, 100, 99, 3, 1, Show::MixNew, 3, 1, 253},
    {"FadeSlideLeftOfNew", 1, 8, 4, 8, 0, false, 100, 50, 3, 0, Show::Old, 3, 0, 0},
    {"FadeSlideNewShifted", 1, 8, 4, 8, 0, false, 100, 50, 4, 0, Show::MixNew, 0, 0, 128},
    // BlindH p0 = 4, p1 = 4 at half time: b = 5; orders 0, 2, 4, 6.
    {"BlindOrder0", 2, 8, 4, 4, 4, false, 100, 50, 0, 0, Show::New, 0, 0, 0},
    {"BlindOrder2", 2, 8, 4, 4, 4, false, 100, 50, 1, 2, Show::MixNew, 1, 2, 191},
    {"BlindOrder4", 2, 8, 4, 4, 4, false, 100, 50, 6, 3, Show::MixNew, 6, 3, 63},
    {"BlindOrder6", 2, 8, 4, 4, 4, false, 100, 50, 3, 1, Show::Old, 3, 1, 0},
    {"BlindReversed", 2, 8, 4, 4, 4, true, 100, 50, 7, 1, Show::New, 7, 1, 0},
    {"BlindReversedLast", 2, 8, 4, 4, 4, true, 100, 50, 0, 1, Show::Old, 0, 1, 0},
    // Width 1 becomes 2 and softness 0 becomes 1: b = 1, a hard edge.
    {"BlindThinEven", 2, 8, 4, 1, 0, false, 100, 50, 2, 0, Show::New, 2, 0, 0},
    {"BlindThinOdd", 2, 8, 4, 1, 0, false, 100, 50, 3, 0, Show::Old, 3, 0, 0},
    {"BlindV", 3, 4, 8, 4, 4, false, 100, 50, 2, 5, Show::MixNew, 2, 5, 191},
    // CurtainH p0 = 2, p1 = 16, W = 8: b = 40, orders (x/2 + x%2) * 16.
    {"CurtainFirst", 4, 8, 2, 2, 16, false, 100, 50, 1, 0, Show::New, 1, 0, 0},
    {"CurtainEdge", 4, 8, 2, 2, 16, false, 100, 50, 4, 1, Show::MixNew, 4, 1, 127},
    {"CurtainLate", 4, 8, 2, 2, 16, false, 100, 50, 5, 0, Show::Old, 5, 0, 0},
    {"CurtainReversed", 4, 8, 2, 2, 16, true, 100, 50, 2, 0, Show::Old, 2, 0, 0},
    {"CurtainV", 5, 2, 8, 2, 16, false, 100, 50, 1, 3, Show::MixNew, 1, 3, 127},
    // ScrollH: a = W t / T = 2.
    {"ScrollOld", 6, 8, 2, 0, 0, false, 100, 25, 0, 1, Show::Old, 2, 1, 0},
    {"ScrollNew", 6, 8, 2, 0, 0, false, 100, 25, 6, 1, Show::New, 0, 1, 0},
    {"ScrollReversedOld", 6, 8, 2, 0, 0, true, 100, 25, 2, 0, Show::Old, 0, 0, 0},
    {"ScrollReversedNew", 6, 8, 2, 0, 0, true, 100, 25, 1, 0, Show::New, 7, 0, 0},
    {"ScrollV", 7, 2, 8, 0, 0, false, 100, 25, 1, 7, Show::New, 1, 1, 0},
    // Through white / black: a = t * 511 / T.
    {"WhiteRising", 12, 4, 4, 0, 0, false, 100, 25, 1, 2, Show::OldPlus, 1, 2, 127},
    {"WhiteFalling", 12, 4, 4, 0, 0, false, 100, 75, 1, 2, Show::NewPlus, 1, 2, 128},
    {"Black", 13, 4, 4, 0, 0, false, 100, 25, 1, 2, Show::OldMinus, 1, 2, 127},
    {"Flash", 14, 4, 4, 0, 0, false, 100, 50, 3, 0, Show::NewPlus, 3, 0, 128},
    // Spot on 8 x 8: centre (4, 4), b = t * (6 + 512) / T.
    {"SpotCentreEarly", 18, 8, 8, 0, 0, false, 100, 10, 4, 4, Show::OldPlus, 4, 4, 51},
    {"SpotCornerEarly", 18, 8, 8, 0, 0, false, 100, 10, 0, 0, Show::OldPlus, 0, 0, 45},
    {"SpotCentreLate", 18, 8, 8, 0, 0, false, 100, 60, 4, 4, Show::NewPlus, 4, 4, 201},
    {"SpotCentreDone", 18, 8, 8, 0, 0, false, 100, 99, 4, 4, Show::New, 4, 4, 0},
    {"SpotReversed", 18, 8, 8, 0, 0, true, 100, 10, 0, 0, Show::OldPlus, 0, 0, 51},
    // Rolled blind, W = 8: x = 15 t / T.
    {"SudareStretched", 16, 8, 2, 0, 0, false, 100, 25, 0, 1, Show::Old, 3, 1, 0},
    {"SudareBeside", 16, 8, 2, 0, 0, false, 100, 25, 5, 1, Show::Old, 5, 1, 0},
    {"SudareReversed", 16, 8, 2, 0, 0, true, 100, 25, 7, 0, Show::Old, 4, 0, 0},
    {"SudareSecondHalf", 16, 8, 2, 0, 0, false, 100, 75, 0, 0, Show::New, 4, 0, 0},
    {"SudareV", 17, 2, 8, 0, 0, false, 100, 25, 1, 0, Show::Old, 1, 3, 0},
    // TwistV, 8 x 4 at half time: column 0 turned past its edge (new, 3 rows
    // high from the top), column 4 edge-on, column 7 old squeezed to 2 rows.
    {"TwistNewFace", 28, 8, 4, 0, 0, false, 100, 50, 0, 1, Show::New, 0, 1, 0},
    {"TwistNewFaceEnd", 28, 8, 4, 0, 0, false, 100, 50, 0, 3, Show::Black, 0, 0, 0},
    {"TwistEdgeOn", 28, 8, 4, 0, 0, false, 100, 50, 4, 1, Show::Black, 0, 0, 0},
    {"TwistOldFace", 28, 8, 4, 0, 0, false, 100, 50, 7, 2, Show::Old, 7, 2, 0},
    {"TwistOldFaceAbove", 28, 8, 4, 0, 0, false, 100, 50, 7, 0, Show::Black, 0, 0, 0},
    {"TwistH", 27, 4, 8, 0, 0, false, 100, 50, 2, 7, Show::Old, 2, 7, 0},
    // Ripple on 30 x 30 with p0 = 5: a ring of n = 10, sawtooth 0, 2, 0, 2,
    // ...; at half time the front is at 15: inside d < 6 is new, beyond 15
    // old, and between the new picture is sampled at radius d + table[j].
    {"RippleAhead", 24, 30, 30, 5, 0, false, 100, 50, 0, 0, Show::Old, 0, 0, 0},
    {"RippleBehind", 24, 30, 30, 5, 0, false, 100, 50, 15, 15, Show::New, 15, 15, 0},
    {"RippleFlat", 24, 30, 30, 5, 0, false, 100, 50, 25, 15, Show::New, 25, 15, 0},
    {"RippleDisplaced", 24, 30, 30, 5, 0, false, 100, 50, 26, 15, Show::New, 28, 15, 0},
    // Zoom into (0, 0): at t = T/4 a 4 x 4 window at (0, 0) fills 8 x 8.
    {"ZoominCorner", 30, 8, 8, 0, 0, false, 100, 25, 7, 7, Show::Old, 3, 3, 0},
    {"ZoominOrigin", 30, 8, 8, 0, 0, false, 100, 25, 1, 1, Show::Old, 0, 0, 0},
    // Circle on 9 x 9 at half time: radius round(6.36 / 2) = 3.
    {"CircleCentre", 36, 9, 9, 0, 0, false, 100, 50, 4, 4, Show::New, 4, 4, 0},
    {"CircleRim", 36, 9, 9, 0, 0, false, 100, 50, 4, 1, Show::New, 4, 1, 0},
    {"CircleOutside", 36, 9, 9, 0, 0, false, 100, 50, 4, 0, Show::Old, 4, 0, 0},
    {"CircleReversed", 36, 9, 9, 0, 0, true, 100, 50, 4, 0, Show::New, 4, 0, 0},
    // Clockhand from 12 o'clock over a quarter turn.
    {"ClockhandSwept", 31, 9, 9, 0, 0, false, 100, 25, 6, 2, Show::New, 6, 2, 0},
    {"ClockhandBefore", 31, 9, 9, 0, 0, false, 100, 25, 2, 2, Show::Old, 2, 2, 0},
    {"ClockhandAfter", 31, 9, 9, 0, 0, false, 100, 25, 6, 6, Show::Old, 6, 6, 0},
    {"ClockhandReversed", 31, 9, 9, 0, 0, true, 100, 25, 2, 2, Show::New, 2, 2, 0},
    {"ClockhandStart90", 31, 9, 9, 90, 0, false, 100, 25, 6, 6, Show::New, 6, 6, 0},
    // Fan at 3 o'clock open by a quarter turn to both sides; WFan at 12.
    {"FanRight", 34, 9, 9, 90, 0, false, 100, 50, 8, 4, Show::New, 8, 4, 0},
    {"FanLeft", 34, 9, 9, 90, 0, false, 100, 50, 0, 4, Show::Old, 0, 4, 0},
    {"WFanTop", 35, 9, 9, 0, 0, false, 100, 50, 4, 0, Show::New, 4, 0, 0},
    {"WFanBottom", 35, 9, 9, 0, 0, false, 100, 50, 4, 8, Show::New, 4, 8, 0},
    {"WFanSide", 35, 9, 9, 0, 0, false, 100, 50, 0, 4, Show::Old, 0, 4, 0},
    // BlockCoil: 3 x 3 squares of 10; squares 0..4 (the top row, then down
    // the right side) at t = T/2.
    {"CoilRightSide", 37, 30, 30, 10, 0, false, 80, 40, 25, 25, Show::New, 25, 25, 0},
    {"CoilBottomMiddle", 37, 30, 30, 10, 0, false, 80, 40, 15, 25, Show::Old, 15, 25, 0},
    {"CoilCentre", 37, 30, 30, 10, 0, false, 80, 40, 15, 15, Show::Old, 15, 15, 0},
    {"CoilReversedCentre", 37, 30, 30, 10, 0, true, 80, 40, 15, 15, Show::New, 15, 15, 0},
    {"CoilReversedFirst", 37, 30, 30, 10, 0, true, 80, 40, 5, 5, Show::Old, 5, 5, 0},
};

INSTANTIATE_TEST_SUITE_P(Table, WipePixels, testing::ValuesIn(kPixelCases),
                         [](const testing::TestParamInfo<PixelCase>& i) { return std::string(i.param.name); });

TEST(WipeDither, TheFirstNDealtCellsOfTheRepeatedTileAreNew) {
  Pictures p(130, 70);
  auto wipe = orva::CreateWipe(11, p.dest, p.from, p.to);
  wipe->Duration = 4096;
  wipe->Prepare();
  for (int t : {0, 1, 1000, 2047, 2048, 3000, 4095}) {
    orva::RenderWipeFrame(*wipe, t);
    int fresh = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const uint32_t v = p.dest.GetPixel(x, y);
        ASSERT_TRUE(v == OldRgb(x, y) || v == NewRgb(x, y));
        const bool isNew = v == NewRgb(x, y);
        fresh += isNew;
        // The tile repeats both ways.
        ASSERT_EQ(p.dest.GetPixel(x + 64, y) == NewRgb(x + 64, y), isNew);
        if (y < 6) {
          ASSERT_EQ(p.dest.GetPixel(x, y + 64) == NewRgb(x, y + 64), isNew);
        }
      }
    EXPECT_EQ(fresh, t) << t;
  }
}

TEST(WipeMask, TheFrameIsComposedOnlyWhenTheStepValueChanges) {
  Pictures p(8, 2);
  auto wipe = orva::CreateWipe(2, p.dest, p.from, p.to);
  wipe->Duration = 1000;
  wipe->Prepare();
  orva::RenderWipeFrame(*wipe, 500);  // b = (1 + 40 - 2) * 500 / 1000 = 19
  p.dest.SetPixel(0, 0, 0x123456);
  orva::RenderWipeFrame(*wipe, 510);  // still 19
  EXPECT_EQ(p.dest.GetPixel(0, 0), 0x123456u);
  orva::RenderWipeFrame(*wipe, 520);  // 20
  EXPECT_NE(p.dest.GetPixel(0, 0), 0x123456u);
}

// --- rule images ---------------------------------------------------------------

struct RuleFixture : testing::Test {
  orvatest::TempDir dir;
  orva::TVrFileManager files;
  void SetUp() override {
    // A 2 x 1 rule: black, white.
    TDIBX rule(2, 1, 32);
    rule.SetPixel(0, 0, 0x000000);
    rule.SetPixel(1, 0, 0xFFFFFF);
    orvatest::WriteFile(dir / "rule.png", orva::EncodePng(rule, nullptr));
    files.SetRootFolder(dir.path());
  }
  // Renders type at t of T = 100 on 4 x 2 with the rule.
  void Render(Pictures& p, int type, const std::string& rule, bool reverse, int t) {
    auto wipe = orva::CreateWipe(type, p.dest, p.from, p.to);
    wipe->Files = &files;
    wipe->Duration = 100;
    wipe->SetReverse(reverse ? 1 : 0);
    wipe->SetRuleName(rule);
    wipe->Prepare();
    ASSERT_FALSE(orva::RenderWipeFrame(*wipe, t));
  }
};

TEST_F(RuleFixture, ShadowTurnsPixelsInTheOrderOfTheTiledRule) {
  Pictures p(4, 2);
  Render(p, 19, "RULE.PNG", false, 50);  // mask = p at half time
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(p.dest.GetPixel(x, y), x % 2 ? NewRgb(x, y) : OldRgb(x, y)) << x << "," << y;
  Render(p, 19, "rule.png", true, 50);
  EXPECT_EQ(p.dest.GetPixel(0, 1), NewRgb(0, 1));
  EXPECT_EQ(p.dest.GetPixel(3, 1), OldRgb(3, 1));
  // Without the rule every value is 255: everything has turned by then.
  Render(p, 19, "missing.png", false, 50);
  EXPECT_EQ(p.dest.GetPixel(0, 0), NewRgb(0, 0));
  Render(p, 19, "missing.png", false, 0);
  EXPECT_EQ(p.dest.GetPixel(0, 0), OldRgb(0, 0));
}

TEST_F(RuleFixture, ShadowWhiteAndBlackGlowInRuleOrder) {
  Pictures p(4, 2);
  Render(p, 20, "rule.png", false, 50);  // v = 384 + p
  EXPECT_EQ(p.dest.GetPixel(0, 0), AddGrey(OldRgb(0, 0), 128));
  EXPECT_EQ(p.dest.GetPixel(1, 0), AddGrey(NewRgb(1, 0), 128));
  Render(p, 21, "rule.png", false, 50);
  EXPECT_EQ(p.dest.GetPixel(2, 1), SubGrey(OldRgb(2, 1), 128));
  EXPECT_EQ(p.dest.GetPixel(3, 1), SubGrey(NewRgb(3, 1), 128));
}

// --- random orders ---------------------------------------------------------------

TEST(WipeRandom, TheSameSeedGivesTheSameRun) {
  for (int type : {29, 38}) {
    Pictures a(50, 40), b(50, 40);
    orva::TGetRandom ra(7), rb(7);
    auto wa = orva::CreateWipe(type, a.dest, a.from, a.to);
    auto wb = orva::CreateWipe(type, b.dest, b.from, b.to);
    wa->SetParam(0, 16);
    wb->SetParam(0, 16);
    wa->Random = &ra;
    wb->Random = &rb;
    wa->Duration = wb->Duration = 100;
    wa->Prepare();
    wb->Prepare();
    for (int t = 0; t < 100; t += 9) {
      orva::RenderWipeFrame(*wa, t);
      orva::RenderWipeFrame(*wb, t);
      ASSERT_TRUE(a.Equal(a.dest, b.dest)) << orva::WipeClassName(type) << " t=" << t;
    }
  }
}

TEST(WipeBlocks, SquaresAreOnlyEverAdded) {
  Pictures p(30, 30);
  auto wipe = orva::CreateWipe(38, p.dest, p.from, p.to);
  wipe->SetParam(0, 10);
  wipe->Duration = 90;
  wipe->Prepare();
  orva::RenderWipeFrame(*wipe, 80);
  int fresh = 0;
  for (int y = 0; y < 30; y += 10)
    for (int x = 0; x < 30; x += 10) fresh += p.dest.GetPixel(x, y) == NewRgb(x, y);
  EXPECT_EQ(fresh, 8);  // squares 0..(9 - 1) * 80 / 90 = 7
  orva::RenderWipeFrame(*wipe, 0);
  int still = 0;
  for (int y = 0; y < 30; y += 10)
    for (int x = 0; x < 30; x += 10) still += p.dest.GetPixel(x, y) == NewRgb(x, y);
  EXPECT_EQ(still, 8);
}

TEST(WipeCrack, DiffOnlyLeavesEqualTilesAlone) {
  // Old and new agree except in the top-left tile, which is white in the old
  // picture: every frame shows the new picture plus, wherever it has fallen
  // to, that white tile and nothing else.
  Pictures p(64, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      if (x < 16 && y < 16) p.from.SetPixel(x, y, 0xFFFFFF);
      else p.to.SetPixel(x, y, p.from.GetPixel(x, y));
    }
  auto wipe = orva::CreateWipe(29, p.dest, p.from, p.to);
  wipe->SetParam(0, 16);
  wipe->DiffOnly = 1;
  wipe->Duration = 100;
  wipe->Prepare();
  int whiteSeen = 0;
  for (int t = 0; t < 100; t += 5) {
    orva::RenderWipeFrame(*wipe, t);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x) {
        const uint32_t v = p.dest.GetPixel(x, y);
        whiteSeen += v == 0xFFFFFF;
        ASSERT_TRUE(v == p.to.GetPixel(x, y) || v == 0xFFFFFFu) << t << ": " << x << "," << y;
      }
  }
  EXPECT_GT(whiteSeen, 0);
}

// --- the whole catalogue ---------------------------------------------------------

// Transitions whose first frame is not the old picture: Flash starts white,
// Mosaic pixelated, Small already a little shrunk, Ripple disturbs the
// centre, BlockCoil shows its first square.
bool StartsWithOld(int type) {
  return type != 14 && type != 15 && type != 22 && type != 24 && type != 37 && type != 38;
}

struct RunCase {
  int w, h, bits;
};

class WipeCatalogue : public testing::TestWithParam<std::tuple<int, RunCase>> {};

TEST_P(WipeCatalogue, RunsFromOldToNewInsideTheSurfaces) {
  const int type = std::get<0>(GetParam());
  const RunCase rc = std::get<1>(GetParam());
  const std::pair<int32_t, int32_t> params[] = {
      {INT32_MIN, INT32_MIN}, {-1, -1}, {0, 0}, {1, 0}, {3, 7}, {1000, 1000}, {INT32_MAX, INT32_MAX}};
  for (bool reverse : {false, true}) {
    for (int variant = -1; variant < static_cast<int>(std::size(params)); ++variant) {
      for (int32_t duration : {1, 2, 37}) {
        Pictures p(rc.w, rc.h, rc.bits);
        orva::TGetRandom random(1);
        auto wipe = orva::CreateWipe(type, p.dest, p.from, p.to);
        ASSERT_NE(wipe, nullptr);
        wipe->Random = &random;
        wipe->Duration = duration;
        wipe->SetReverse(reverse ? 1 : 0);
        wipe->DiffOnly = variant % 2 == 0;
        if (variant >= 0) {
          wipe->SetParam(0, params[variant].first);
          wipe->SetParam(1, params[variant].second);
        }
        wipe->Prepare();
        const std::string what = std::string(orva::WipeClassName(type)) + " variant " + std::to_string(variant) +
                                 " T=" + std::to_string(duration) + (reverse ? " reversed" : "");
        for (int32_t t = 0; t < duration; t += duration > 5 ? 4 : 1) orva::RenderWipeFrame(*wipe, t);
        orva::RenderWipeFrame(*wipe, duration - 1);
        EXPECT_TRUE(orva::RenderWipeFrame(*wipe, duration)) << what;
        EXPECT_TRUE(p.Equal(p.dest, p.to)) << what;
        if (variant < 0 && StartsWithOld(type)) {
          // A fresh run: the first frame is the old picture (or the run is
          // already over for too small a picture).
          Pictures q(rc.w, rc.h, rc.bits);
          auto first = orva::CreateWipe(type, q.dest, q.from, q.to);
          first->Duration = 37;
          first->SetReverse(reverse ? 1 : 0);
          first->Prepare();
          if (!orva::RenderWipeFrame(*first, 0)) {
            EXPECT_TRUE(q.Equal(q.dest, q.from)) << what;
          }
        }
      }
    }
  }
}

const RunCase kRunCases[] = {{1, 1, 32}, {7, 5, 32}, {33, 17, 16}, {70, 66, 32}, {13, 90, 15}};

INSTANTIATE_TEST_SUITE_P(All, WipeCatalogue,
                         testing::Combine(testing::Range(1, orva::kWipeTypeCount + 1), testing::ValuesIn(kRunCases)),
                         [](const testing::TestParamInfo<std::tuple<int, RunCase>>& i) {
                           const RunCase& r = std::get<1>(i.param);
                           return std::string(orva::WipeClassName(std::get<0>(i.param))) + "_" +
                                  std::to_string(r.w) + "x" + std::to_string(r.h) + "_" + std::to_string(r.bits);
                         });

TEST(WipeSizes, PicturesOfAnotherSizeAreReadOnlyWhereTheyExist) {
  for (int type = 1; type <= orva::kWipeTypeCount; ++type) {
    TDIBX dest(20, 12, 32), from(5, 30, 32), to(31, 3, 16);
    Paint(from, OldRgb);
    Paint(to, NewRgb);
    auto wipe = orva::CreateWipe(type, dest, from, to);
    wipe->Duration = 20;
    wipe->Prepare();
    for (int t = 0; t < 20; t += 3) EXPECT_FALSE(orva::RenderWipeFrame(*wipe, t)) << orva::WipeClassName(type);
    EXPECT_TRUE(orva::RenderWipeFrame(*wipe, 20));
  }
}

}  // namespace
