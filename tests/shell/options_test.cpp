#include "shell/options.h"

#include <gtest/gtest.h>

#include "common/errors.h"

namespace orva {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, ReadsEveryOption) {
  auto o = ParseCommandLine({"--headless", "--frames", "120", "--fixed-delta=16", "--screenshot", "s.png", "--trace",
                             "t.txt", "--save-dir", "saves", "--fullscreen", "--scale", "smooth", "--size", "800x600",
                             "--audio-out", "a.wav", "--cd-dir=tracks", "/D3D", "game", "extra"});
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.frames, 120);
  EXPECT_EQ(o.fixedDelta, 16);
  EXPECT_EQ(o.screenshot, "s.png");
  EXPECT_EQ(o.trace, "t.txt");
  EXPECT_EQ(o.saveDir, "saves");
  EXPECT_TRUE(o.fullScreen);
  EXPECT_EQ(o.scale, platform::ScaleMode::Smooth);
  EXPECT_EQ(o.width, 800);
  EXPECT_EQ(o.height, 600);
  EXPECT_EQ(o.audioOut, "a.wav");
  EXPECT_EQ(o.cdDir, "tracks");
  EXPECT_EQ(o.games, (Args{"game", "extra"}));
  EXPECT_FALSE(o.configOnly);
}

TEST(CommandLine, DefaultsAndSpecialArguments) {
  auto o = ParseCommandLine({});
  EXPECT_FALSE(o.headless);
  EXPECT_FALSE(o.frames);
  EXPECT_FALSE(o.fixedDelta);
  EXPECT_EQ(o.width, 640);
  EXPECT_EQ(o.height, 480);
  EXPECT_EQ(o.scale, platform::ScaleMode::Nearest);

  EXPECT_TRUE(ParseCommandLine({"/Config"}).configOnly);
  // After "--" everything is a game argument, even what looks like an option.
  EXPECT_EQ(ParseCommandLine({"--", "--odd-folder-name"}).games, Args{"--odd-folder-name"});
}

TEST(CommandLine, RefusesBadArguments) {
  const std::vector<Args> bad = {
      {"--frames", "-1"},       {"--frames", "ten"},     {"--fixed-delta", "0"}, {"--fixed-delta", "301"},
      {"--scale", "blurry"},    {"--size", "640"},       {"--size", "0x480"},    {"--wat"},
      {"--trace"},              {"--audio-out"},         {"--cd-dir"},
  };
  for (const auto& args : bad)
    EXPECT_THROW(ParseCommandLine(args), OrvaError) << args[0] << " " << (args.size() > 1 ? args[1] : "");
}

}  // namespace
}  // namespace orva
