// The one software mixer. Every playing sound is a TWavBuffer that reads PCM
// from a stream (or renders it, for a synthesizer); TWavOut mixes all of them
// into 44100 Hz 16-bit stereo blocks and queues at most two blocks on a wave
// device. The block length is the mixer's delay, which is also the unit of
// the output latency.
//
// Threads: the main thread (items starting, pausing, seeking, changing
// volume, being created and destroyed) and whoever runs MixTick (the mixing
// thread, or the frame tick when the mixer follows game time). One recursive
// lock guards the mixer, its buffers and every source stream they read:
// decoders are only ever called under it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/streams.h"

namespace orva::media {

// The output format.
inline constexpr int kOutRate = 44100;
inline constexpr int kOutChannels = 2;
inline constexpr int kOutBlockAlign = 4;  // bytes of one stereo 16-bit frame

// Buffer volume (linear, 256 = unchanged), decibel volume (hundredths of a
// dB) and pan ranges.
inline constexpr int32_t kMaxBufferVolume = 256;
inline constexpr int32_t kSilentDb = -10000;
inline constexpr int32_t kMaxPan = 10000;
// Channel gains are 16.16 fixed point: kUnityGain leaves samples unchanged.
inline constexpr int32_t kUnityGain = 65536;

// The 18-byte wave format record of a PCM source.
struct TWaveFormat {
  uint16_t formatTag = 1;  // PCM
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;

  static TWaveFormat Pcm(int rate, int channels, int bits);
  static TWaveFormat Output() { return Pcm(kOutRate, kOutChannels, 16); }
  bool operator==(const TWaveFormat&) const = default;
};

// Block size in bytes of a mixer with the given delay: whole output frames,
// rounded down to a multiple of 8 bytes so that the half, quarter and eighth
// reads of the smaller formats are whole frames too (17640 for 100 ms, 88200
// for 500 ms, 3528 for 20 ms).
int32_t BlockBytesForDelay(int32_t delayMs);

// Byte positions of a PCM source are whole frames. Conversions go through
// frames (ms x rate / 1000 in 64 bits), so they do not drift.
int64_t MsToBytes(int64_t ms, const TWaveFormat& format);
int64_t BytesToMs(int64_t bytes, const TWaveFormat& format);

// Channel gains of a decibel volume (-10000 silent ... 0) and a pan (-10000
// left ... 10000 right; |pan| hundredths of a dB come off the other channel).
// 0 dB and pan 0 give exactly kUnityGain on both.
struct TChannelGains {
  int32_t left = kUnityGain;
  int32_t right = kUnityGain;
  bool operator==(const TChannelGains&) const = default;
};
TChannelGains GainsFromDecibels(int32_t volumeDb, int32_t pan);
// A linear gain numerator / denominator (0 ... 1) on both channels.
TChannelGains GainsFromLinear(int64_t numerator, int64_t denominator);

// One block of output as the wave device sees it: the data, its length and
// the device's flags.
struct TWaveBlockHeader {
  enum Flag : uint32_t { kPrepared = 1, kDone = 2, kInQueue = 4 };
  uint8_t* data = nullptr;
  uint32_t length = 0;
  uint32_t loops = 1;
  std::atomic<uint32_t> flags{0};
};

// The system's wave output: 44100 Hz 16-bit stereo, blocks queued in order,
// each marked done by the device once played; reset returns every queued
// block as done.
class IWaveDevice {
 public:
  virtual ~IWaveDevice() = default;
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual void Prepare(TWaveBlockHeader& block) = 0;
  virtual void Unprepare(TWaveBlockHeader& block) = 0;
  virtual void Write(TWaveBlockHeader& block) = 0;
  virtual void Reset() = 0;
};

// Renders output-format audio on demand (a synthesizer). Render fills up to
// `frames` stereo frames and returns how many it filled; 0 means it has
// nothing to contribute this block.
class IWavRenderer {
 public:
  virtual ~IWavRenderer() = default;
  virtual int Render(int16_t* samples, int frames) = 0;
};

class TWavOut;

class TWavBuffer {
 public:
  ~TWavBuffer();
  TWavBuffer(const TWavBuffer&) = delete;
  TWavBuffer& operator=(const TWavBuffer&) = delete;

  void StartBuffer();
  void PauseBuffer();
  void SetReadPosition(int64_t bytes);
  int64_t ReadPosition() const;
  // 0 ... 256 (256 and 255 leave the samples unchanged).
  void SetBufferVolume(int32_t volume);
  int32_t BufferVolume() const;
  // Per-channel gains applied after the buffer volume.
  void SetChannelGains(TChannelGains gains);
  void SetLoop(bool loop);
  bool Loop() const;
  void SetLoopStart(int64_t bytes);
  int64_t LoopStart() const;

  bool IsStarted() const;
  bool IsPaused() const;
  bool ReachedEnd() const;
  // The end was reached and one queue length has passed since the last mix:
  // everything mixed has been heard.
  bool IsFinished() const;
  // Estimated position of what is heard now, in bytes of the source.
  int64_t GetPlayPosition() const;
  // The source's size in bytes (after a truncated source was cut short).
  int64_t SourceSize() const;
  const TWaveFormat& Format() const { return format_; }

 private:
  friend class TWavOut;
  TWavBuffer(TWavOut& owner, const TWaveFormat& format, TStream* stream, IWavRenderer* renderer);

  // Mixes one block of this buffer into dest; true when it contributed.
  bool MixInto(int16_t* dest);
  int64_t Fill(int64_t wanted);
  int64_t StreamSizeLocked();

  TWavOut& owner_;
  TWaveFormat format_;
  TStream* stream_;
  IWavRenderer* renderer_;
  std::vector<int16_t> work_;  // one block; source bytes are read into its start
  int factor_ = 0;  // output bytes per source byte; 0: a format that plays silence
  bool reachedEnd_ = false;
  int64_t lastMix_ = 0;
  int64_t readPos_ = 0;
  int32_t volume_ = kMaxBufferVolume;
  TChannelGains gains_;
  bool started_ = false, paused_ = false, loop_ = false;
  int64_t loopStart_ = 0;
  int64_t cutSize_ = -1;  // where a truncated source ended (-1: not cut)
};

// A queued output block and the pool entry that holds its header and data.
struct TMemData;
struct TWavPrimary {
  TMemData* memory = nullptr;
  bool written = false;
  TWaveBlockHeader& Header();
};
using TWavPrimaryList = std::vector<std::unique_ptr<TWavPrimary>>;

struct TMemData {
  TWaveBlockHeader header;
  std::vector<int16_t> data;
  TWavPrimary* user = nullptr;  // none when free
};
using TMemList = std::vector<std::unique_ptr<TMemData>>;

// The mixing thread: runs MixTick every delay / 4 ms until told to stop.
class TWavOutThread {
 public:
  explicit TWavOutThread(TWavOut& owner);
  ~TWavOutThread();
  // Sets the wake-up event and waits for the thread.
  void Stop();

 private:
  void Run();
  TWavOut& owner_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

class TWavOut {
 public:
  using Clock = std::function<int64_t()>;
  enum class Driver {
    Thread,  // a mixing thread on the real clock
    Caller,  // whoever owns the mixer calls MixTick (game time)
  };

  // The device is not owned and must outlive the mixer. The clock gives
  // milliseconds (system time, or game time for a mixer driven by the
  // caller).
  TWavOut(int32_t delayMs, IWaveDevice& device, Clock clock, Driver driver);
  ~TWavOut();
  TWavOut(const TWavOut&) = delete;
  TWavOut& operator=(const TWavOut&) = delete;

  // False when the device is already open or cannot be opened. Fills the
  // pool to four entries and starts the mixing thread.
  bool OpenDevice();
  void CloseDevice();
  bool IsOpen() const;

  TWavBuffer* AddBuffer(const TWaveFormat& format, TStream* stream);
  TWavBuffer* AddRenderer(IWavRenderer* renderer);
  void RemoveBuffer(TWavBuffer* buffer);

  void MixTick();
  // Zeroes dest (one block of BlockBytes() / 2 samples) and mixes every
  // started, unpaused buffer not at its end into it; true when one
  // contributed.
  bool MixAll(int16_t* dest);

  int32_t DelayMs() const { return delayMs_; }
  int32_t BlockBytes() const { return blockBytes_; }
  int64_t Now() const { return clock_(); }
  std::recursive_mutex& Lock() const { return lock_; }
  size_t QueuedBlocks() const;
  size_t PoolSize() const;
  size_t BufferCount() const;

 private:
  friend class TWavBuffer;
  void RemoveDoneBlocks(bool all);
  void RemoveBlock(size_t index);
  TWavPrimary* NewBlock();
  void Activate(TWavBuffer* buffer);
  void Deactivate(TWavBuffer* buffer);

  const int32_t delayMs_;
  const int32_t blockBytes_;
  IWaveDevice& device_;
  Clock clock_;
  Driver driver_;
  bool open_ = false;
  std::vector<std::unique_ptr<TWavBuffer>> buffers_;
  std::vector<TWavBuffer*> active_;
  TWavPrimaryList blocks_;
  TMemList pool_;
  mutable std::recursive_mutex lock_;
  std::unique_ptr<TWavOutThread> thread_;
};

}  // namespace orva::media
