// The screen manager against a fake display.
#include <gtest/gtest.h>

#include "imaging/pictures.h"
#include "imaging/screens.h"
#include "testsupport.h"

namespace orva {
namespace {

class FakeDisplay : public platform::IDisplay {
 public:
  void Create(int, int, std::string_view) override {}
  void Present(const platform::FrameView& frame, std::span<const platform::Rect> dirty) override {
    frames.push_back(frame);
    lastDirty.assign(dirty.begin(), dirty.end());
    firstPixel = frame.pixels[0];
  }
  void SetFullScreen(bool on) override {
    full = on;
    ++switches;
  }
  bool IsFullScreen() const override { return full; }
  void SetTitle(std::string_view) override {}
  void SetCursorVisible(bool) override {}
  void SetScaleMode(platform::ScaleMode) override {}
  std::vector<platform::DisplayMode> DisplayModes() override { return modes; }

  std::vector<platform::DisplayMode> modes;
  std::vector<platform::FrameView> frames;
  std::vector<platform::Rect> lastDirty;
  uint32_t firstPixel = 0;
  bool full = false;
  int switches = 0;
};

TScreenManager::Options Opts(FakeDisplay* d, int fsMinWidth = 0, int fsHeight = 0) {
  TScreenManager::Options o;
  o.display = d;
  o.gameWidth = 640;
  o.gameHeight = 480;
  o.fullScreenMinWidth = fsMinWidth;
  o.fullScreenHeight = fsHeight;
  o.desktop = platform::DisplayMode{1920, 1080, 32, 60};
  return o;
}

TEST(ScreenManager, ModeListFiltersAndSorts) {
  FakeDisplay d;
  d.modes = {{1920, 1080, 32, 60}, {320, 240, 32, 60}, {800, 600, 8, 60},
             {800, 600, 16, 60},   {640, 480, 32, 75},  {640, 480, 32, 60}};
  TScreenManager sm(Opts(&d));
  ASSERT_EQ(sm.ModeCount(), 4);  // smaller than the game and 8-bit modes are never offered
  EXPECT_EQ(sm.Mode(0).Width, 640);
  EXPECT_EQ(sm.Mode(0).RefreshRate, 60);
  EXPECT_EQ(sm.Mode(2).Width, 1920);
  EXPECT_EQ(sm.Mode(3).BitDepth, 16);
  EXPECT_EQ(sm.FindMode(640, 480, 0, 32), 0);
  EXPECT_EQ(sm.FindMode(640, 480, 75, 32), 1);
  EXPECT_EQ(sm.FindMode(1024, 768, 0, 32), -1);
  // Without a mode of the full-screen height the first mode added stays.
  EXPECT_EQ(sm.Mode(sm.PreferredMode()).Width, 1920);
  EXPECT_EQ(sm.ModeIndex(), -1);
  EXPECT_EQ(sm.FrameBitCount(), 32);
}

TEST(ScreenManager, PreferredModeFollowsAspectDepthAndRate) {
  FakeDisplay d;
  d.modes = {{1024, 768, 32, 60}, {1280, 720, 32, 60}, {1280, 720, 16, 60}, {1280, 720, 32, 75}};
  TScreenManager sm(Opts(&d, 1000, 720));
  // 16:9 matches the desktop better than 4:3; then the desktop's depth and rate.
  const TScreenModeClass& p = sm.Mode(sm.PreferredMode());
  EXPECT_EQ(p.Width, 1280);
  EXPECT_EQ(p.BitDepth, 32);
  EXPECT_EQ(p.RefreshRate, 60);
}

TEST(ScreenManager, SwitchesAndPresentsDirtyRectangles) {
  FakeDisplay d;
  d.modes = {{1920, 1080, 32, 60}};
  TScreenManager sm(Opts(&d));
  sm.FrameBuffer().Clear(0x00ABCDEF);
  // The first present shows the whole frame.
  EXPECT_TRUE(sm.Present({}));
  ASSERT_EQ(d.lastDirty.size(), 1u);
  EXPECT_EQ(d.lastDirty[0].right, 640);
  EXPECT_EQ(d.firstPixel, 0x00ABCDEFu);
  EXPECT_EQ(d.frames.back().stride, 640);
  // Then only what changed, cut to the frame; nothing changed, nothing shown.
  const TRect dirty[] = {{10, 10, 20, 20}, {630, 470, 700, 500}, {5, 5, 5, 9}};
  EXPECT_TRUE(sm.Present(dirty));
  ASSERT_EQ(d.lastDirty.size(), 2u);
  EXPECT_EQ(d.lastDirty[1].right, 640);
  EXPECT_FALSE(sm.Present({}));
  EXPECT_EQ(sm.FrameCount(), 2u);
  sm.ToggleFullScreen();
  EXPECT_TRUE(d.full);
  EXPECT_TRUE(sm.FullScreenActive());
  EXPECT_EQ(sm.ModeIndex(), 0);
  sm.SetMode(0);  // unchanged: nothing happens
  EXPECT_EQ(d.switches, 1);
  EXPECT_TRUE(sm.Present({}));  // a switch shows the whole frame again
  sm.SetMode(7);                // unknown modes fall back to the window
  EXPECT_FALSE(d.full);
  sm.ReleaseAll();
  EXPECT_EQ(sm.ModeIndex(), -2);
  EXPECT_EQ(sm.FrameBuffer().Width(), 640);  // there is always a frame buffer
}

TEST(ScreenManager, FpsFromAnInjectedClock) {
  TScreenManager sm(Opts(nullptr));
  sm.UpdateFps(0);
  for (int i = 0; i < 30; ++i) sm.PresentAll();
  EXPECT_EQ(sm.UpdateFps(500), 0.0);
  EXPECT_EQ(sm.UpdateFps(1000), 30.0);
  EXPECT_EQ(sm.FrameCount(), 30u);  // counted without a display too
}

TEST(ScreenManager, ScreenshotsAreTheFrameBuffer) {
  orvatest::TempDir dir;
  TScreenManager::Options o = Opts(nullptr);
  o.gameWidth = 4;
  o.gameHeight = 2;
  TScreenManager sm(o);
  sm.FrameBuffer().Clear(0x00FF8000);
  sm.FrameBuffer().SetPixel(1, 1, 0x000000FF);
  sm.SaveScreenshotPng(dir / "shot.png");
  const std::string png = orvatest::ReadFile(dir / "shot.png");
  TPicture pic = DecodePng(std::vector<uint8_t>(png.begin(), png.end()));
  EXPECT_EQ(pic.color->Width(), 4);
  EXPECT_EQ(pic.color->GetPixel(0, 0), 0xFF8000u);
  EXPECT_EQ(pic.color->GetPixel(1, 1), 0x0000FFu);
  sm.SetScreenshotSeries(2, dir / "series");
  for (int i = 0; i < 5; ++i) sm.PresentAll();
  EXPECT_EQ(orvatest::ReadFile(dir / "series/frame_000002.png").substr(1, 3), "PNG");
  EXPECT_EQ(orvatest::ReadFile(dir / "series/frame_000004.png").substr(1, 3), "PNG");
  EXPECT_EQ(orvatest::RunCommand("test -e " + (dir / "series/frame_000003.png")), 1);
}

}  // namespace
}  // namespace orva
