#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "common/streams.h"
#include "media/wavdevices.h"
#include "media/wavouts.h"

namespace orva::media {
namespace {

// A mixer on a queue device with a clock the test moves.
struct Rig {
  explicit Rig(int32_t delay = 100) : mixer(delay, device, [this] { return now; }, TWavOut::Driver::Caller) {
    mixer.OpenDevice();
  }
  // Plays every queued block (the device marks them done).
  void Drain() {
    std::vector<int16_t> s(static_cast<size_t>(mixer.BlockBytes()) / 2 * 2);
    while (device.Queued() > 0) device.Pull(s.data(), mixer.BlockBytes() / kOutBlockAlign);
  }
  std::vector<int16_t> Mix() {
    std::vector<int16_t> block(static_cast<size_t>(mixer.BlockBytes() / 2));
    mixer.MixAll(block.data());
    return block;
  }
  int64_t now = 1000;
  TWaveDevice device;
  TWavOut mixer;
};

std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> b(samples.size() * 2);
  std::memcpy(b.data(), samples.data(), b.size());
  return b;
}

TEST(WavOut, BlockSizeIsWholeFramesInMultiplesOfEightBytes) {
  const struct {
    int32_t delay, bytes;
  } cases[] = {{100, 17640}, {200, 35280}, {300, 52920}, {500, 88200}, {20, 3528}, {15, 2640}, {1, 176}};
  for (const auto& c : cases) {
    EXPECT_EQ(BlockBytesForDelay(c.delay), c.bytes) << c.delay;
    EXPECT_EQ(BlockBytesForDelay(c.delay) % 8, 0);
  }
}

TEST(WavOut, PositionsConvertThroughFramesWithoutDrift) {
  const auto stereo = TWaveFormat::Output();
  EXPECT_EQ(MsToBytes(60000, stereo), 10584000);  // 176.4 bytes a ms, not 176
  EXPECT_EQ(BytesToMs(10584000, stereo), 60000);
  const auto mono8 = TWaveFormat::Pcm(22050, 1, 8);
  EXPECT_EQ(MsToBytes(1000, mono8), 22050);
  EXPECT_EQ(MsToBytes(1, TWaveFormat::Pcm(44100, 2, 16)), 176);  // 44 whole frames
  EXPECT_EQ(BytesToMs(3, TWaveFormat::Pcm(44100, 2, 16)), 0);
}

// Each source format fills one whole output block, read from a fraction of
// the block; the samples are converted exactly.
TEST(WavOut, TheEightFormatsConvertExactlyAndOthersAreSilent) {
  const struct {
    int rate, channels, bits, factor;
  } cases[] = {{44100, 2, 16, 1}, {44100, 1, 16, 2}, {22050, 2, 16, 2}, {44100, 2, 8, 2}, {44100, 1, 8, 4},
               {22050, 2, 8, 4},  {22050, 1, 16, 4}, {22050, 1, 8, 8},  {48000, 2, 16, 0}, {44100, 3, 16, 0},
               {11025, 1, 8, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << "/" << c.channels << "/" << c.bits);
    Rig rig;
    const int frameBytes = c.channels * c.bits / 8;
    const int64_t frames = 44100;
    std::vector<uint8_t> data(static_cast<size_t>(frames * frameBytes));
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    TMxMemoryStream source(data);
    TWavBuffer* b = rig.mixer.AddBuffer(TWaveFormat::Pcm(c.rate, c.channels, c.bits), &source);
    b->StartBuffer();
    auto out = rig.Mix();
    if (c.factor == 0) {
      EXPECT_EQ(b->ReadPosition(), 0);
      EXPECT_EQ(out, std::vector<int16_t>(out.size(), 0));
      continue;
    }
    const int64_t read = rig.mixer.BlockBytes() / c.factor;
    EXPECT_EQ(b->ReadPosition(), read);
    const int repeat = c.rate == 22050 ? 2 : 1;
    for (size_t f = 0; f < out.size() / 2; ++f) {
      const size_t src = f / static_cast<size_t>(repeat) * static_cast<size_t>(frameBytes);
      auto sample = [&](int ch) -> int16_t {
        const size_t at = src + static_cast<size_t>(c.channels == 2 ? ch : 0) * static_cast<size_t>(c.bits / 8);
        if (c.bits == 8) return static_cast<int16_t>((data[at] - 128) * 256);
        return static_cast<int16_t>(data[at] | data[at + 1] << 8);
      };
      ASSERT_EQ(out[2 * f], sample(0)) << f;
      ASSERT_EQ(out[2 * f + 1], sample(1)) << f;
    }
  }
}

TEST(WavOut, VolumesAndSaturation) {
  const struct {
    int32_t volume;
    int16_t a, b, want;
  } cases[] = {
      {256, 30000, 30000, 32767},    {256, -30000, -30000, -32768}, {128, 1000, 0, 500}, {128, -1001, 0, -501},
      {255, 1234, 0, 1234},          {256, 1234, 0, 1234},          {0, 1234, 0, 0},     {64, 32767, 0, 8191},
      {300, 1234, 0, 1234},          {-5, 1234, 0, 0},  // out of range: clamped to 0 ... 256
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.volume);
    Rig rig;
    const size_t n = static_cast<size_t>(rig.mixer.BlockBytes() / 2);
    TMxMemoryStream s1(Bytes16(std::vector<int16_t>(n, c.a))), s2(Bytes16(std::vector<int16_t>(n, c.b)));
    TWavBuffer* b1 = rig.mixer.AddBuffer(TWaveFormat::Output(), &s1);
    TWavBuffer* b2 = rig.mixer.AddBuffer(TWaveFormat::Output(), &s2);
    b1->SetBufferVolume(c.volume);
    b1->StartBuffer();
    b2->StartBuffer();
    auto out = rig.Mix();
    EXPECT_EQ(out.front(), c.want);
    EXPECT_EQ(out.back(), c.want);
  }
}

TEST(WavOut, DecibelGainAndPan) {
  const struct {
    int32_t db, pan;
    int16_t left, right;
  } cases[] = {
      {0, 0, 10000, 10000},  {-10000, 0, 0, 0},         {-2000, 0, 1000, 1000}, {0, 2000, 1000, 10000},
      {0, -2000, 10000, 1000}, {-2000, 2000, 100, 1000}, {0, 10000, 0, 10000},  {5, 20000, 0, 10000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.db << " " << c.pan);
    Rig rig;
    const size_t n = static_cast<size_t>(rig.mixer.BlockBytes() / 2);
    TMxMemoryStream s(Bytes16(std::vector<int16_t>(n, 10000)));
    TWavBuffer* b = rig.mixer.AddBuffer(TWaveFormat::Output(), &s);
    b->SetChannelGains(GainsFromDecibels(c.db, c.pan));
    b->StartBuffer();
    auto out = rig.Mix();
    EXPECT_EQ(out[0], c.left);
    EXPECT_EQ(out[1], c.right);
  }
  EXPECT_EQ(GainsFromDecibels(0, 0), TChannelGains{});
  EXPECT_EQ(GainsFromLinear(5000, 5000), TChannelGains{});
  EXPECT_EQ(GainsFromLinear(2500, 5000).left, kUnityGain / 2);
}

TEST(WavOut, ABufferNeverStartedIsNotHeard) {
  Rig rig;
  const size_t n = static_cast<size_t>(rig.mixer.BlockBytes() / 2);
  TMxMemoryStream loud(Bytes16(std::vector<int16_t>(n, 9999))), quiet(Bytes16(std::vector<int16_t>(n, 5)));
  rig.mixer.AddBuffer(TWaveFormat::Output(), &loud);
  rig.mixer.AddBuffer(TWaveFormat::Output(), &quiet)->StartBuffer();
  EXPECT_EQ(rig.Mix(), std::vector<int16_t>(n, 5));
}

TEST(WavOut, ALoopFromTheStartIsSeamlessWithinOneBlock) {
  Rig rig;
  std::vector<int16_t> ramp;
  for (int f = 0; f < 1000; ++f) ramp.insert(ramp.end(), {static_cast<int16_t>(f), static_cast<int16_t>(-f)});
  TMxMemoryStream s(Bytes16(ramp));
  TWavBuffer* b = rig.mixer.AddBuffer(TWaveFormat::Output(), &s);
  b->SetLoop(true);
  b->StartBuffer();
  auto out = rig.Mix();
  for (size_t f = 0; f < out.size() / 2; ++f) {
    ASSERT_EQ(out[2 * f], static_cast<int16_t>(f % 1000)) << f;
    ASSERT_EQ(out[2 * f + 1], static_cast<int16_t>(-static_cast<int>(f % 1000))) << f;
  }
  EXPECT_FALSE(b->ReachedEnd());
  // A loop start at or past the end stops the fill: the rest is silent.
  b->SetLoopStart(4000);
  b->SetReadPosition(3996);
  out = rig.Mix();
  EXPECT_EQ(out[0], 999);
  EXPECT_EQ(out[2], 0);
  EXPECT_TRUE(b->ReachedEnd());
}

TEST(WavOut, PlayPositionAndFinishTiming) {
  Rig rig(500);
  std::vector<int16_t> silence(44100 * 2 * 3);  // 3 s
  TMxMemoryStream s(Bytes16(silence));
  TWavBuffer* b = rig.mixer.AddBuffer(TWaveFormat::Output(), &s);
  EXPECT_EQ(b->GetPlayPosition(), 0);
  b->StartBuffer();
  rig.Mix();
  EXPECT_EQ(b->ReadPosition(), 88200);
  EXPECT_EQ(b->GetPlayPosition(), 0);  // one block is queued ahead of the listener
  rig.Mix();
  EXPECT_EQ(b->GetPlayPosition(), 88200);
  rig.now += 100;
  EXPECT_EQ(b->GetPlayPosition(), 88200 + 17640);
  rig.now += 901;  // more than two delays since the last mix
  EXPECT_EQ(b->GetPlayPosition(), 176400);
  for (int i = 0; i < 10 && !b->ReachedEnd(); ++i) rig.Mix();
  ASSERT_TRUE(b->ReachedEnd());
  const int64_t endMix = rig.now;
  rig.now = endMix + 1010;
  EXPECT_FALSE(b->IsFinished());
  rig.now = endMix + 1011;
  EXPECT_TRUE(b->IsFinished());
}

// A source that states more bytes than it holds.
class ShortStream : public TStream {
 public:
  explicit ShortStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
  int64_t GetSize() override { return data_.GetSize() + 100000; }
  int64_t GetPosition() override { return data_.GetPosition(); }
  void SetPosition(int64_t pos) override { data_.SetPosition(pos); }
  int64_t Read(void* buffer, int64_t count) override { return data_.Read(buffer, count); }
  int64_t Write(const void*, int64_t) override { return 0; }

 private:
  TMxMemoryStream data_;
};

TEST(WavOut, TruncatedSourceEndsWhereItsDataEnds) {
  Rig rig;
  ShortStream s(Bytes16(std::vector<int16_t>(1000, 7)));
  TWavBuffer* b = rig.mixer.AddBuffer(TWaveFormat::Output(), &s);
  b->StartBuffer();
  auto out = rig.Mix();
  EXPECT_EQ(out[999], 7);
  EXPECT_EQ(out[1000], 0);
  EXPECT_TRUE(b->ReachedEnd());
  EXPECT_EQ(b->SourceSize(), 2000);
  rig.now += 1000;
  EXPECT_TRUE(b->IsFinished());
}

TEST(WavOut, MixTickQueuesTwoBlocksAndReusesThePool) {
  Rig rig;
  TMxMemoryStream s(Bytes16(std::vector<int16_t>(44100 * 2 * 10, 1)));
  TWavBuffer* b = rig.mixer.AddBuffer(TWaveFormat::Output(), &s);
  rig.mixer.MixTick();
  EXPECT_EQ(rig.mixer.QueuedBlocks(), 0u);  // nothing active
  b->StartBuffer();
  rig.mixer.MixTick();
  EXPECT_EQ(rig.mixer.QueuedBlocks(), 2u);
  EXPECT_EQ(rig.device.Queued(), 2u);
  rig.mixer.MixTick();
  EXPECT_EQ(b->ReadPosition(), 2 * 17640);  // nothing played yet: nothing new mixed
  for (int i = 0; i < 20; ++i) {
    rig.Drain();
    rig.mixer.MixTick();
  }
  EXPECT_EQ(rig.mixer.PoolSize(), 4u);
  b->PauseBuffer();
  rig.Drain();
  rig.mixer.MixTick();
  EXPECT_EQ(rig.mixer.QueuedBlocks(), 0u);
}

TEST(WavOut, CloseDeviceWithQueuedBlocks) {
  Rig rig;
  TMxMemoryStream s(Bytes16(std::vector<int16_t>(44100 * 2, 1)));
  rig.mixer.AddBuffer(TWaveFormat::Output(), &s)->StartBuffer();
  rig.mixer.MixTick();
  ASSERT_EQ(rig.device.Queued(), 2u);
  rig.mixer.CloseDevice();
  EXPECT_EQ(rig.mixer.QueuedBlocks(), 0u);
  EXPECT_EQ(rig.mixer.BufferCount(), 0u);
  EXPECT_EQ(rig.device.Queued(), 0u);
  EXPECT_FALSE(rig.device.IsOpen());
  EXPECT_FALSE(rig.mixer.IsOpen());
}

// A device whose reset takes longer than the mixing thread's period: a
// mixer that reset it under its lock before stopping the thread would find
// the thread waiting for that lock, and wait for the thread for ever.
class SlowResetDevice : public TWaveDevice {
 public:
  void Reset() override {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    TWaveDevice::Reset();
  }
};

TEST(WavOut, ClosingWhileTheMixingThreadRunsDoesNotDeadlock) {
  for (int round = 0; round < 3; ++round) {
    SlowResetDevice device;
    auto mixer = std::make_unique<TWavOut>(20, device, [] { return int64_t{0}; }, TWavOut::Driver::Thread);
    ASSERT_TRUE(mixer->OpenDevice());
    EXPECT_FALSE(mixer->OpenDevice());
    TMxMemoryStream s(Bytes16(std::vector<int16_t>(44100 * 2, 1)));
    mixer->AddBuffer(TWaveFormat::Output(), &s)->StartBuffer();
    std::this_thread::sleep_for(std::chrono::milliseconds(12));
    auto closed = std::async(std::launch::async, [&] { mixer->CloseDevice(); });
    ASSERT_EQ(closed.wait_for(std::chrono::seconds(10)), std::future_status::ready) << round;
    EXPECT_EQ(mixer->QueuedBlocks(), 0u);
  }
}

class CountingRenderer : public IWavRenderer {
 public:
  int Render(int16_t* samples, int frames) override {
    for (int i = 0; i < frames * 2; ++i) samples[i] = 3;
    return frames;
  }
};

TEST(WavOut, ARendererIsMixedLikeABuffer) {
  Rig rig;
  CountingRenderer synth;
  TWavBuffer* b = rig.mixer.AddRenderer(&synth);
  b->StartBuffer();
  b->SetBufferVolume(128);
  auto out = rig.Mix();
  EXPECT_EQ(out.front(), 1);
  EXPECT_EQ(out.back(), 1);
  EXPECT_FALSE(b->ReachedEnd());
}

TEST(WaveDevice, PullCopiesQueuedBlocksMarksThemDoneAndRecords) {
  TWaveDevice device;
  device.Open();
  std::vector<int16_t> a(8, 1), b(8, 2);
  TWaveBlockHeader ha, hb;
  ha.data = reinterpret_cast<uint8_t*>(a.data());
  ha.length = 16;
  hb.data = reinterpret_cast<uint8_t*>(b.data());
  hb.length = 16;
  device.Write(ha);
  device.Write(hb);
  std::vector<int16_t> out(12);
  device.Pull(out.data(), 6);
  EXPECT_TRUE(ha.flags.load() & TWaveBlockHeader::kDone);
  EXPECT_FALSE(hb.flags.load() & TWaveBlockHeader::kDone);
  EXPECT_EQ(out, std::vector<int16_t>({1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2}));
  device.Pull(out.data(), 6);
  EXPECT_EQ(out, std::vector<int16_t>({2, 2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(hb.flags.load() & TWaveBlockHeader::kDone);
  EXPECT_EQ(device.FramesPulled(), 12);
  std::vector<int16_t> tapped;
  device.SetTap([&](const int16_t* s, int frames) { tapped.assign(s, s + frames * 2); });
  device.Pull(out.data(), 2);
  EXPECT_EQ(tapped, std::vector<int16_t>(4, 0));
}

TEST(GameTimeDriver, ConsumesGameTimeAndTicksAtQuarterDelays) {
  TWaveDevice device;
  TGameTimeDriver driver(device);
  TWavOut mixer(20, device, [&] { return driver.Now(); }, TWavOut::Driver::Caller);
  driver.SetMixer(&mixer);
  mixer.OpenDevice();
  TMxMemoryStream s(Bytes16(std::vector<int16_t>(44100 * 2, 5)));
  TWavBuffer* b = mixer.AddBuffer(TWaveFormat::Output(), &s);
  b->StartBuffer();
  driver.AdvanceTo(16);  // ticks at 0, 5, 10, 15
  EXPECT_EQ(device.FramesPulled(), 705);  // 16 x 44.1
  driver.AdvanceTo(32);
  EXPECT_EQ(device.FramesPulled(), 1411);  // the fractions are carried
  EXPECT_EQ(driver.Now(), 32);
  // Blocks were queued at 0 and replaced as they were played.
  EXPECT_EQ(b->ReadPosition(), 3 * 3528);
}

}  // namespace
}  // namespace orva::media
