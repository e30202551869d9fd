#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/sdl_platform.h"

namespace orva::platform {
namespace {

// SDL's "dummy" sound driver pulls from the callback like a real device.
TEST(SdlAudio, PullsStereoFramesOnlyWhileUnpaused) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  auto out = MakeSdlAudioOutput();
  std::atomic<int> frames{0};
  std::atomic<bool> sizesOk{true};
  ASSERT_TRUE(out->Open([&](int16_t* samples, int n) {
    if (n <= 0) sizesOk = false;
    for (int i = 0; i < n * kAudioChannels; ++i) samples[i] = 0;
    frames += n;
  }, 512));
  EXPECT_TRUE(out->IsOpen());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(frames.load(), 0);  // opened paused
  out->SetPaused(false);
  for (int i = 0; i < 200 && frames.load() < kAudioRate / 10; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GE(frames.load(), kAudioRate / 10);
  EXPECT_TRUE(sizesOk.load());
  out->Close();
  EXPECT_FALSE(out->IsOpen());
}

}  // namespace
}  // namespace orva::platform
