// The wave device under the mixer, the game-time driver of headless runs and
// the wave file writer.
//
// TWaveDevice keeps the queue of output blocks. Its device side, Pull, is
// what the platform's audio output calls from its own thread (or what the
// game-time driver calls once per tick): it copies the next frames of the
// queued blocks, marks every block it finished done, and gives silence when
// nothing is queued. A tap, when set, receives every frame pulled
// (--audio-out).
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "media/wavouts.h"

namespace orva::media {

// A .wav file written as the samples come; the header's sizes are filled in
// by Finish (or the destructor).
class TWaveFileWriter {
 public:
  // Throws OrvaError when the file cannot be created.
  TWaveFileWriter(const std::string& path, const TWaveFormat& format);
  ~TWaveFileWriter();
  TWaveFileWriter(const TWaveFileWriter&) = delete;
  TWaveFileWriter& operator=(const TWaveFileWriter&) = delete;

  void Write(const void* data, size_t bytes);
  void Finish();
  uint64_t DataBytes() const { return dataBytes_; }

 private:
  FILE* file_ = nullptr;
  TWaveFormat format_;
  uint64_t dataBytes_ = 0;
};

// A whole .wav file in memory (tests, fixtures, tools).
std::vector<uint8_t> MakeWaveFile(const TWaveFormat& format, const void* data, size_t bytes);

class TWaveDevice : public IWaveDevice {
 public:
  bool Open() override;
  void Close() override;
  bool IsOpen() const override;
  void Prepare(TWaveBlockHeader& block) override;
  void Unprepare(TWaveBlockHeader& block) override;
  void Write(TWaveBlockHeader& block) override;
  void Reset() override;

  // The device side: fills `frames` stereo frames.
  void Pull(int16_t* samples, int frames);
  using Tap = std::function<void(const int16_t* samples, int frames)>;
  void SetTap(Tap tap);
  int64_t FramesPulled() const;
  size_t Queued() const;

 private:
  mutable std::mutex mutex_;
  bool open_ = false;
  std::deque<TWaveBlockHeader*> queue_;
  uint32_t offset_ = 0;  // bytes of the front block already played
  Tap tap_;
  int64_t pulled_ = 0;
};

// Headless runs have no mixing thread and no device clock: the device plays
// game time (t x 44.1 frames, fractions carried) and the mixer ticks on the
// main thread at each delay / 4 boundary of game time, its clock being game
// time, so that two runs give the same sound.
class TGameTimeDriver {
 public:
  explicit TGameTimeDriver(TWaveDevice& device) : device_(device) {}
  // The mixer's first tick is at the current game time.
  void SetMixer(TWavOut* mixer) {
    mixer_ = mixer;
    nextBoundary_ = now_;
  }
  // The mixer's clock.
  int64_t Now() const { return now_; }
  // Plays and mixes up to game time t (ms).
  void AdvanceTo(int64_t t);

 private:
  void PullTo(int64_t t);

  TWaveDevice& device_;
  TWavOut* mixer_ = nullptr;
  int64_t now_ = 0;
  int64_t nextBoundary_ = 0;
  int64_t framesDone_ = 0;
  std::vector<int16_t> scratch_;
};

}  // namespace orva::media
