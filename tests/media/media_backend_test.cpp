#include <gtest/gtest.h>

#include <thread>

#include "common/errors.h"
#include "common/streams.h"
#include "media/lockedstreams.h"
#include "media/null_media.h"

namespace orva::media {
namespace {

// The contract every back end keeps, checked on the null one (whose items
// are 1000 ms long and whose time moves only when told).
class NullBackendContract : public ::testing::Test {
 protected:
  NullBackendContract() : backend(1000) { backend.Init(); }
  MediaHandle Ogg() { return backend.AddOgg(std::make_unique<TMxMemoryStream>(), true); }
  NullMediaBackend backend;
};

TEST_F(NullBackendContract, HandlesAreNonZeroDistinctAndDieWithDelete) {
  MediaHandle a = Ogg(), b = backend.AddWindowsMediaAudio({1, 2, 3}), c = backend.AddVideo("", nullptr, 0);
  MediaHandle p = backend.AddPcmStream(std::make_unique<TMxMemoryStream>(), true);
  for (MediaHandle h : {a, b, c, p}) EXPECT_NE(h, kNoMedia);
  EXPECT_EQ(std::set<MediaHandle>({a, b, c, p}).size(), 4u);
  EXPECT_EQ(backend.ItemCount(), 4u);
  backend.Delete(a);
  backend.DeletePcmStream(p);
  EXPECT_EQ(backend.ItemCount(), 2u);
  // A deleted or unknown handle is harmless and answers 0.
  for (MediaHandle h : {a, kNoMedia, MediaHandle{12345}}) {
    backend.Play(h);
    backend.SetVol(h, 5);
    EXPECT_FALSE(backend.IsPlaying(h));
    EXPECT_FALSE(backend.IsEnd(h));
    EXPECT_EQ(backend.GetLen(h), 0);
    EXPECT_EQ(backend.GetVol(h), 0);
  }
}

TEST_F(NullBackendContract, PlayAfterPauseResumesWhereItPaused) {
  MediaHandle h = Ogg();
  EXPECT_EQ(backend.GetLen(h), 1000);
  backend.Play(h);
  backend.Advance(300);
  backend.Pause(h);
  EXPECT_TRUE(backend.IsPaused(h));
  EXPECT_FALSE(backend.IsPlaying(h));
  backend.Advance(500);  // paused: time does not move it
  EXPECT_EQ(backend.GetPosition(h), 300);
  backend.Play(h);
  EXPECT_TRUE(backend.IsPlaying(h));
  EXPECT_FALSE(backend.IsPaused(h));
  backend.Advance(100);
  EXPECT_EQ(backend.GetPosition(h), 400);
}

TEST_F(NullBackendContract, IsEndTurnsTrueAtTheEndAndStaysUntilSetPosition) {
  MediaHandle h = Ogg();
  backend.Play(h);
  backend.Advance(999);
  EXPECT_FALSE(backend.IsEnd(h));
  backend.Advance(1);
  EXPECT_TRUE(backend.IsEnd(h));
  EXPECT_FALSE(backend.IsPlaying(h));
  EXPECT_EQ(backend.GetPosition(h), 1000);
  backend.Play(h);
  EXPECT_TRUE(backend.IsEnd(h));
  backend.SetPosition(h, 0);
  EXPECT_FALSE(backend.IsEnd(h));
  backend.Play(h);
  EXPECT_TRUE(backend.IsPlaying(h));
}

TEST_F(NullBackendContract, RepeatingItemsLoopFromTheirRepeatPosition) {
  MediaHandle h = Ogg();
  backend.SetAutoRepeat(h, true);
  backend.SetRepeatPos(h, 200);
  EXPECT_EQ(backend.GetRepeatPos(h), 200);
  backend.Play(h);
  backend.Advance(1100);  // 1000 is the end, 100 more from 200
  EXPECT_TRUE(backend.IsPlaying(h));
  EXPECT_FALSE(backend.IsEnd(h));
  EXPECT_EQ(backend.GetPosition(h), 300);
  // Only Ogg items have a loop start.
  MediaHandle w = backend.AddWindowsMediaAudio({});
  backend.SetRepeatPos(w, 200);
  EXPECT_EQ(backend.GetRepeatPos(w), 0);
}

TEST(NullBackend, ItemsWithoutLengthEndAtOnce) {
  NullMediaBackend backend;  // nothing is decoded: length 0
  MediaHandle h = backend.AddOgg(nullptr, false);
  backend.Play(h);
  EXPECT_TRUE(backend.IsEnd(h));
  EXPECT_FALSE(backend.IsPlaying(h));
  PcmFormat f;
  EXPECT_FALSE(backend.GetPcmFormat(backend.AddPcmStream(nullptr, true), f));
}

// A stream that fails as a damaged file would.
class BrokenStream : public TStream {
 public:
  int64_t GetSize() override { throw OrvaError::Utf8("broken"); }
  int64_t GetPosition() override { throw OrvaError::Utf8("broken"); }
  void SetPosition(int64_t) override { throw OrvaError::Utf8("broken"); }
  int64_t Read(void*, int64_t) override { throw OrvaError::Utf8("broken"); }
  int64_t Write(const void*, int64_t) override { return 0; }
};

TEST(LockedStreams, NullAndBrokenStreamsAnswerZero) {
  char buf[4];
  BrokenStream broken;
  for (TStream* s : {static_cast<TStream*>(nullptr), static_cast<TStream*>(&broken)}) {
    EXPECT_EQ(StreamSize(s), 0);
    EXPECT_EQ(StreamRead(s, buf, 4), 0);
    EXPECT_EQ(StreamGetPosition(s), 0);
    EXPECT_EQ(StreamSetPosition(s, 2), 0);
  }
}

TEST(LockedStreams, ThreadsSeekAndReadOneStreamSafely) {
  TMxMemoryStream data;
  std::vector<uint8_t> bytes(4096);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i / 16);
  data.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(StreamSize(&data), 4096);
  EXPECT_EQ(StreamSetPosition(&data, 32), 32);
  uint8_t two[2];
  EXPECT_EQ(StreamRead(&data, two, 2), 2);
  EXPECT_EQ(two[0], 2);
  EXPECT_EQ(StreamGetPosition(&data), 34);

  // Each thread seeks and reads under the lock as one step and checks what it got.
  auto worker = [&](int seed, bool* ok) {
    *ok = true;
    for (int i = 0; i < 2000; ++i) {
      const int64_t at = ((seed * 7919 + i * 31) % 256) * 16;
      uint8_t got[16];
      std::lock_guard<std::mutex> hold(StreamLock());
      data.SetPosition(at);
      if (data.Read(got, 16) != 16 || got[0] != at / 16 || got[15] != at / 16) *ok = false;
    }
  };
  bool ok[4];
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(worker, t, &ok[t]);
  for (auto& t : threads) t.join();
  for (bool b : ok) EXPECT_TRUE(b);
}

}  // namespace
}  // namespace orva::media
