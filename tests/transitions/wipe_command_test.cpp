// orvatool wipe: single frames and series on real files, and its errors.
#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/pictures.h"
#include "testsupport.h"

namespace orva {
namespace {

std::string Tool(const std::string& args, int* status) {
  std::string out;
  *status = orvatest::RunCommand(std::string(ORVATOOL_PATH) + " wipe " + args + " 2>&1", &out);
  return out;
}

std::unique_ptr<TDIBX> ReadPng(const std::string& path) {
  const std::string png = orvatest::ReadFile(path);
  return std::move(DecodePng(std::vector<uint8_t>(png.begin(), png.end())).color);
}

struct WipeCommand : testing::Test {
  orvatest::TempDir dir;
  TDIBX from{12, 8, 24}, to{12, 8, 24};
  void SetUp() override {
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 12; ++x) {
        from.SetPixel(x, y, static_cast<uint32_t>(x * 0x100000 + y * 0x1000 + 0x20));
        to.SetPixel(x, y, static_cast<uint32_t>(0xF00000 - x * 0x100000 + 0x8000 + y * 3));
      }
    orvatest::WriteFile(dir / "old.png", EncodePng(from, nullptr));
    orvatest::WriteFile(dir / "new.png", EncodePng(to, nullptr));
  }
  std::string Pictures() const { return (dir / "old.png") + " " + (dir / "new.png") + " "; }
  static bool Same(TDIBX& a, TDIBX& b) {
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x)
        if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
    return a.Width() == b.Width() && a.Height() == b.Height();
  }
};

TEST_F(WipeCommand, RendersTheFirstFrameMidwayAndTheEnd) {
  int rc = -1;
  Tool("6 " + Pictures() + (dir / "start.png") + " --time 0 --duration 100", &rc);
  ASSERT_EQ(rc, 0);
  EXPECT_TRUE(Same(*ReadPng(dir / "start.png"), from));
  Tool("6 " + Pictures() + (dir / "end.png") + " --time 100 --duration 100", &rc);
  ASSERT_EQ(rc, 0);
  EXPECT_TRUE(Same(*ReadPng(dir / "end.png"), to));
  // ScrollH reversed at a quarter: the old picture moved right by 3.
  Tool("6 " + Pictures() + (dir / "mid.png") + " --time 25 --duration 100 --reverse", &rc);
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(ReadPng(dir / "mid.png")->GetPixel(3, 2), from.GetPixel(0, 2));
  EXPECT_EQ(ReadPng(dir / "mid.png")->GetPixel(2, 2), to.GetPixel(11, 2));
}

TEST_F(WipeCommand, SeriesWritesEveryStepUpToTheEnd) {
  int rc = -1;
  const std::string out = Tool("8 " + Pictures() + "--series " + (dir / "run") +
                                   " --step 30 --duration 100 --param0 4 --param1 2 --bits 16",
                               &rc);
  ASSERT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("5 frames"), std::string::npos) << out;  // 0, 30, 60, 90, 120
  EXPECT_TRUE(std::filesystem::exists(dir / "run/frame_000004.png"));
  EXPECT_FALSE(std::filesystem::exists(dir / "run/frame_000005.png"));
  // The last frame is the new picture at the 5-6-5 depth it was run at.
  TDIBX narrow(1, 1, 16), wide(1, 1, 24);
  CopyConvert(narrow, to);
  CopyConvert(wide, narrow);
  EXPECT_TRUE(Same(*ReadPng(dir / "run/frame_000004.png"), wide));
}

TEST_F(WipeCommand, RuleImageComesFromTheRootFolder) {
  TDIBX rule(2, 1, 24);
  rule.SetPixel(1, 0, 0xFFFFFF);
  orvatest::WriteFile(dir / "rule.png", EncodePng(rule, nullptr));
  int rc = -1;
  Tool("19 " + Pictures() + (dir / "r.png") + " --time 50 --duration 100 --text rule.png --root " + dir.path(), &rc);
  ASSERT_EQ(rc, 0);
  auto frame = ReadPng(dir / "r.png");
  EXPECT_EQ(frame->GetPixel(4, 3), from.GetPixel(4, 3));
  EXPECT_EQ(frame->GetPixel(5, 3), to.GetPixel(5, 3));
}

TEST_F(WipeCommand, BadArgumentsFail) {
  struct Case {
    std::string args;
    int status;
  };
  const Case cases[] = {
      {"39 " + Pictures() + (dir / "x.png") + " --time 0 --duration 10", 1},   // unknown type
      {"1 " + Pictures() + (dir / "x.png") + " --duration 10", 1},             // no time
      {"1 " + Pictures() + "--series " + (dir / "s") + " --duration 10", 1},  // no step
      {"1 " + Pictures() + (dir / "x.png") + " --time 0 --duration 10 --bits 8", 1},
      {"1 " + Pictures() + (dir / "x.png") + " --time zero --duration 10", 1},
      {"1 " + (dir / "missing.png") + " " + (dir / "new.png") + " " + (dir / "x.png") + " --time 0 --duration 9", 1},
      {"1 " + (dir / "old.png") + " " + (dir / "old.png") + " " + (dir / "x.png") + " --time 0 --duration 9 --what", 1},
      {"", 2},
  };
  for (const Case& c : cases) {
    int rc = -1;
    const std::string out = Tool(c.args, &rc);
    EXPECT_EQ(rc, c.status) << c.args << "\n" << out;
  }
  int rc = -1;
  EXPECT_NE(Tool("--list", &rc).find("38 TWipeBlockRandom"), std::string::npos);
  EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace orva
