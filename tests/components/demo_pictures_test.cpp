// The demo game's pictures, drawn and encoded by the build, load through the
// picture cache from the built game's archive.
#include <gtest/gtest.h>

#include <string>

#include "components/vorncollection.h"
#include "storage/vrfiles.h"

namespace orva {
namespace {

TEST(DemoPictures, LoadFromTheBuiltGame) {
  TVrFileManager::Options options;
  options.cdRoots = std::vector<std::string>{};
  TVrFileManager files(options);
  ASSERT_GE(files.MountArchive(std::string(DEMO_GAME) + "/game.dat"), 0);
  TVornCollection cache(files);
  int user = 0;
  const struct {
    const char* name;
    int width, height, frames, delay;
    bool mask;
  } pictures[] = {{"pictures\\still.vor", 200, 150, 1, 1, false},
                  {"pictures\\anim.vor", 64, 64, 8, 80, true},
                  {"pictures\\tile.vor", 32, 32, 1, 1, false},
                  {"pictures\\ball.vor", 48, 48, 1, 1, true}};
  for (const auto& p : pictures) {
    TVornHandle h(cache, &user, p.name, false, false);
    ASSERT_EQ(h->FrameCount(), p.frames) << p.name;
    EXPECT_EQ(h->Width(), p.width) << p.name;
    EXPECT_EQ(h->Height(), p.height) << p.name;
    EXPECT_EQ(h->Frame(0)->delay, p.delay) << p.name;
    EXPECT_EQ(h->Frame(0)->mask != nullptr, p.mask) << p.name;
    EXPECT_EQ(h->Frame(0)->transparentColor, -1) << p.name;
  }
  // The spinner moves: consecutive frames differ.
  TVornHandle anim(cache, &user, "pictures\\anim.vor", false, false);
  auto same = [&](int a, int b) {
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (anim->Frame(a)->picture->GetPixel(x, y) != anim->Frame(b)->picture->GetPixel(x, y)) return false;
    return true;
  };
  EXPECT_FALSE(same(0, 1));
  EXPECT_FALSE(same(3, 4));
}

}  // namespace
}  // namespace orva
