#include "media/wavouts.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>

#include "common/log.h"

namespace orva::media {

namespace {

constexpr int64_t kNeverMixed = std::numeric_limits<int64_t>::min() / 4;
// Pool entries made when the device opens.
constexpr size_t kInitialPool = 4;
// Blocks queued on the device at most.
constexpr size_t kMaxQueued = 2;

// Output bytes per source byte of the formats mixed by conversion; 0 for
// every other format (it contributes nothing).
int FormatFactor(const TWaveFormat& f) {
  struct Row {
    uint32_t rate;
    uint16_t channels, bits;
    int factor;
  };
  static constexpr Row kRows[] = {
      {44100, 2, 16, 1}, {44100, 1, 16, 2}, {22050, 2, 16, 2}, {44100, 2, 8, 2},
      {44100, 1, 8, 4},  {22050, 2, 8, 4},  {22050, 1, 16, 4}, {22050, 1, 8, 8},
  };
  for (const Row& r : kRows)
    if (r.rate == f.samplesPerSec && r.channels == f.channels && r.bits == f.bitsPerSample) return r.factor;
  return 0;
}

int FrameBytes(const TWaveFormat& f) { return std::max(1, f.channels * f.bitsPerSample / 8); }

// Converts `frames` source frames at the start of the work area, in place,
// to 16-bit stereo at 44100 Hz: 8-bit u becomes (u - 128) * 256, mono is
// copied to both channels, a 22050 Hz frame is repeated. Works from the last
// frame down, so nothing is overwritten before it is read.
void Expand(int16_t* work, int64_t frames, int channels, int bits, int repeat) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(work);
  for (int64_t f = frames - 1; f >= 0; --f) {
    int16_t l, r;
    if (bits == 8) {
      l = static_cast<int16_t>((bytes[f * channels] - 128) * 256);
      r = channels == 2 ? static_cast<int16_t>((bytes[f * channels + 1] - 128) * 256) : l;
    } else {
      l = work[f * channels];
      r = channels == 2 ? work[f * channels + 1] : l;
    }
    for (int k = repeat - 1; k >= 0; --k) {
      work[(f * repeat + k) * 2] = l;
      work[(f * repeat + k) * 2 + 1] = r;
    }
  }
}

void ApplyVolume(int16_t* s, int64_t count, int32_t volume) {
  for (int64_t i = 0; i < count; ++i) s[i] = static_cast<int16_t>((s[i] * volume) >> 8);
}

void ApplyGains(int16_t* s, int64_t frames, TChannelGains g) {
  for (int64_t f = 0; f < frames; ++f) {
    s[2 * f] = static_cast<int16_t>((s[2 * f] * g.left + 32768) >> 16);
    s[2 * f + 1] = static_cast<int16_t>((s[2 * f + 1] * g.right + 32768) >> 16);
  }
}

void AddSaturating(int16_t* dest, const int16_t* src, int64_t count) {
  for (int64_t i = 0; i < count; ++i)
    dest[i] = static_cast<int16_t>(std::clamp(dest[i] + src[i], -32768, 32767));
}

int32_t GainOfDb(int32_t db) {
  if (db <= kSilentDb) return 0;
  if (db >= 0) return kUnityGain;
  return static_cast<int32_t>(std::lround(kUnityGain * std::pow(10.0, db / 2000.0)));
}

}  // namespace

TWaveFormat TWaveFormat::Pcm(int rate, int channels, int bits) {
  TWaveFormat f;
  f.channels = static_cast<uint16_t>(channels);
  f.samplesPerSec = static_cast<uint32_t>(rate);
  f.bitsPerSample = static_cast<uint16_t>(bits);
  f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
  f.avgBytesPerSec = f.samplesPerSec * f.blockAlign;
  return f;
}

int32_t BlockBytesForDelay(int32_t delayMs) {
  const int64_t frames = static_cast<int64_t>(std::max(delayMs, 1)) * kOutRate / 1000;
  return static_cast<int32_t>(std::max<int64_t>(8, frames * kOutBlockAlign / 8 * 8));
}

int64_t MsToBytes(int64_t ms, const TWaveFormat& format) {
  return ms * static_cast<int64_t>(format.samplesPerSec) / 1000 * FrameBytes(format);
}

int64_t BytesToMs(int64_t bytes, const TWaveFormat& format) {
  if (format.samplesPerSec == 0) return 0;
  return bytes / FrameBytes(format) * 1000 / static_cast<int64_t>(format.samplesPerSec);
}

TChannelGains GainsFromDecibels(int32_t volumeDb, int32_t pan) {
  volumeDb = std::clamp(volumeDb, kSilentDb, 0);
  pan = std::clamp(pan, -kMaxPan, kMaxPan);
  TChannelGains g;
  g.left = GainOfDb(volumeDb - std::max(pan, 0));
  g.right = GainOfDb(volumeDb - std::max(-pan, 0));
  return g;
}

TChannelGains GainsFromLinear(int64_t numerator, int64_t denominator) {
  if (denominator <= 0) return {};
  const int64_t n = std::clamp<int64_t>(numerator, 0, denominator);
  const auto g = static_cast<int32_t>(n * kUnityGain / denominator);
  return {g, g};
}

// --- TWavBuffer ------------------------------------------------------------

TWavBuffer::TWavBuffer(TWavOut& owner, const TWaveFormat& format, TStream* stream, IWavRenderer* renderer)
    : owner_(owner),
      format_(format),
      stream_(stream),
      renderer_(renderer),
      work_(static_cast<size_t>(owner.BlockBytes() / 2)),
      factor_(renderer ? 1 : FormatFactor(format)),
      lastMix_(kNeverMixed) {}

TWavBuffer::~TWavBuffer() { owner_.Deactivate(this); }

void TWavBuffer::StartBuffer() {
  std::lock_guard hold(owner_.lock_);
  started_ = true;
  paused_ = false;
  reachedEnd_ = false;
  owner_.Activate(this);
}

void TWavBuffer::PauseBuffer() {
  std::lock_guard hold(owner_.lock_);
  paused_ = true;
  owner_.Deactivate(this);
}

void TWavBuffer::SetReadPosition(int64_t bytes) {
  std::lock_guard hold(owner_.lock_);
  readPos_ = std::max<int64_t>(0, bytes) / FrameBytes(format_) * FrameBytes(format_);
  // A new position is no longer the end, and nothing from it is queued yet:
  // the next mix says both.
  reachedEnd_ = false;
  lastMix_ = kNeverMixed;
}

int64_t TWavBuffer::ReadPosition() const {
  std::lock_guard hold(owner_.lock_);
  return readPos_;
}

void TWavBuffer::SetBufferVolume(int32_t volume) {
  std::lock_guard hold(owner_.lock_);
  volume_ = std::clamp(volume, 0, kMaxBufferVolume);
}

int32_t TWavBuffer::BufferVolume() const {
  std::lock_guard hold(owner_.lock_);
  return volume_;
}

void TWavBuffer::SetChannelGains(TChannelGains gains) {
  std::lock_guard hold(owner_.lock_);
  gains_.left = std::clamp(gains.left, 0, kUnityGain);
  gains_.right = std::clamp(gains.right, 0, kUnityGain);
}

void TWavBuffer::SetLoop(bool loop) {
  std::lock_guard hold(owner_.lock_);
  loop_ = loop;
}

bool TWavBuffer::Loop() const {
  std::lock_guard hold(owner_.lock_);
  return loop_;
}

void TWavBuffer::SetLoopStart(int64_t bytes) {
  std::lock_guard hold(owner_.lock_);
  loopStart_ = std::max<int64_t>(0, bytes) / FrameBytes(format_) * FrameBytes(format_);
}

int64_t TWavBuffer::LoopStart() const {
  std::lock_guard hold(owner_.lock_);
  return loopStart_;
}

bool TWavBuffer::IsStarted() const {
  std::lock_guard hold(owner_.lock_);
  return started_;
}

bool TWavBuffer::IsPaused() const {
  std::lock_guard hold(owner_.lock_);
  return paused_;
}

bool TWavBuffer::ReachedEnd() const {
  std::lock_guard hold(owner_.lock_);
  return reachedEnd_;
}

bool TWavBuffer::IsFinished() const {
  std::lock_guard hold(owner_.lock_);
  return reachedEnd_ && owner_.Now() - lastMix_ > 2 * static_cast<int64_t>(owner_.DelayMs()) + 10;
}

int64_t TWavBuffer::GetPlayPosition() const {
  std::lock_guard hold(owner_.lock_);
  const int64_t elapsed = std::max<int64_t>(0, owner_.Now() - lastMix_);
  if (elapsed > 2 * static_cast<int64_t>(owner_.DelayMs())) return readPos_;
  const int64_t size = const_cast<TWavBuffer*>(this)->StreamSizeLocked();
  const int64_t pos = readPos_ - MsToBytes(owner_.DelayMs(), format_) + MsToBytes(elapsed, format_);
  return std::clamp<int64_t>(pos, 0, std::max<int64_t>(0, size));
}

int64_t TWavBuffer::SourceSize() const {
  std::lock_guard hold(owner_.lock_);
  return const_cast<TWavBuffer*>(this)->StreamSizeLocked();
}

int64_t TWavBuffer::StreamSizeLocked() {
  if (!stream_) return 0;
  int64_t size = 0;
  try {
    size = stream_->GetSize();
  } catch (const std::exception&) {
    size = 0;
  }
  if (cutSize_ >= 0) size = std::min(size, cutSize_);
  return std::max<int64_t>(0, size) / FrameBytes(format_) * FrameBytes(format_);
}

int64_t TWavBuffer::Fill(int64_t wanted) {
  auto* into = reinterpret_cast<uint8_t*>(work_.data());
  int64_t total = 0;
  try {
    stream_->SetPosition(readPos_);
    while (total < wanted) {
      const int64_t size = StreamSizeLocked();
      int64_t pos = stream_->GetPosition();
      if (pos >= size) {
        if (!loop_ || loopStart_ >= size) break;
        stream_->SetPosition(loopStart_);
        pos = stream_->GetPosition();
        if (pos >= size) break;
      }
      const int64_t got = stream_->Read(into + total, std::min(wanted - total, size - pos));
      if (got <= 0) {
        // The data ends before its stated size (a truncated file): it ends
        // here, so that the sound still comes to an end.
        cutSize_ = pos / FrameBytes(format_) * FrameBytes(format_);
        log::Warning("a sound's data ends early, at byte " + std::to_string(pos) + " of " + std::to_string(size));
        continue;
      }
      total += got;
    }
    readPos_ = stream_->GetPosition();
  } catch (const std::exception& e) {
    // Damage found while playing ends the sound where it was found.
    cutSize_ = readPos_ + total;
    readPos_ = cutSize_;
    log::Warning(std::string("a sound stopped on damaged data: ") + e.what());
  }
  return total / FrameBytes(format_) * FrameBytes(format_);
}

bool TWavBuffer::MixInto(int16_t* dest) {
  const int64_t blockFrames = owner_.BlockBytes() / kOutBlockAlign;
  int64_t outFrames = 0;
  if (renderer_) {
    outFrames = std::clamp<int64_t>(renderer_->Render(work_.data(), static_cast<int>(blockFrames)), 0, blockFrames);
  } else {
    const int64_t size = StreamSizeLocked();
    if (size <= 0 || factor_ == 0) return false;
    const int64_t got = Fill(owner_.BlockBytes() / factor_);
    const int repeat = format_.samplesPerSec == 22050 ? 2 : 1;
    const int64_t srcFrames = got / FrameBytes(format_);
    if (factor_ != 1) Expand(work_.data(), srcFrames, format_.channels, format_.bitsPerSample, repeat);
    outFrames = srcFrames * repeat;
    reachedEnd_ = readPos_ >= StreamSizeLocked();
  }
  lastMix_ = owner_.Now();
  if (outFrames <= 0) return false;
  if (volume_ < 255) ApplyVolume(work_.data(), outFrames * 2, volume_);
  if (gains_ != TChannelGains{}) ApplyGains(work_.data(), outFrames, gains_);
  AddSaturating(dest, work_.data(), outFrames * 2);
  return true;
}

// --- blocks ----------------------------------------------------------------

TWaveBlockHeader& TWavPrimary::Header() { return memory->header; }

// --- TWavOutThread ---------------------------------------------------------

TWavOutThread::TWavOutThread(TWavOut& owner) : owner_(owner), thread_([this] { Run(); }) {}

TWavOutThread::~TWavOutThread() { Stop(); }

void TWavOutThread::Stop() {
  {
    std::lock_guard hold(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TWavOutThread::Run() {
  const auto period = std::chrono::milliseconds(std::max(1, owner_.DelayMs() / 4));
  std::unique_lock lock(mutex_);
  while (!wake_.wait_for(lock, period, [this] { return stop_; })) {
    lock.unlock();
    owner_.MixTick();
    lock.lock();
  }
}

// --- TWavOut ---------------------------------------------------------------

TWavOut::TWavOut(int32_t delayMs, IWaveDevice& device, Clock clock, Driver driver)
    : delayMs_(std::max(delayMs, 1)),
      blockBytes_(BlockBytesForDelay(delayMs)),
      device_(device),
      clock_(std::move(clock)),
      driver_(driver) {}

TWavOut::~TWavOut() { CloseDevice(); }

bool TWavOut::OpenDevice() {
  std::lock_guard hold(lock_);
  if (open_) return false;
  if (!device_.Open()) return false;
  open_ = true;
  while (pool_.size() < kInitialPool) {
    auto m = std::make_unique<TMemData>();
    m->data.resize(static_cast<size_t>(blockBytes_ / 2));
    pool_.push_back(std::move(m));
  }
  if (driver_ == Driver::Thread) thread_ = std::make_unique<TWavOutThread>(*this);
  return true;
}

void TWavOut::CloseDevice() {
  // The thread is stopped before the lock is taken: a MixTick that is
  // waiting for the lock must be able to finish.
  if (thread_) {
    thread_->Stop();
    thread_.reset();
  }
  std::unique_lock hold(lock_);
  if (open_) device_.Reset();
  buffers_.clear();
  active_.clear();
  for (size_t i = blocks_.size(); i-- > 0;)
    if (!blocks_[i]->written) RemoveBlock(i);
  // A device that never returns its blocks must not hold the program: two
  // seconds at most.
  for (int waited = 0; !blocks_.empty(); ++waited) {
    RemoveDoneBlocks(!open_ || waited >= 200);
    if (blocks_.empty()) break;
    hold.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    hold.lock();
  }
  if (open_) device_.Close();
  open_ = false;
}

bool TWavOut::IsOpen() const {
  std::lock_guard hold(lock_);
  return open_;
}

TWavBuffer* TWavOut::AddBuffer(const TWaveFormat& format, TStream* stream) {
  std::lock_guard hold(lock_);
  buffers_.push_back(std::unique_ptr<TWavBuffer>(new TWavBuffer(*this, format, stream, nullptr)));
  return buffers_.back().get();
}

TWavBuffer* TWavOut::AddRenderer(IWavRenderer* renderer) {
  std::lock_guard hold(lock_);
  buffers_.push_back(std::unique_ptr<TWavBuffer>(new TWavBuffer(*this, TWaveFormat::Output(), nullptr, renderer)));
  return buffers_.back().get();
}

void TWavOut::RemoveBuffer(TWavBuffer* buffer) {
  std::lock_guard hold(lock_);
  auto it = std::find_if(buffers_.begin(), buffers_.end(), [&](const auto& b) { return b.get() == buffer; });
  if (it != buffers_.end()) buffers_.erase(it);
}

void TWavOut::Activate(TWavBuffer* buffer) {
  if (std::find(active_.begin(), active_.end(), buffer) == active_.end()) active_.push_back(buffer);
}

void TWavOut::Deactivate(TWavBuffer* buffer) {
  std::lock_guard hold(lock_);
  active_.erase(std::remove(active_.begin(), active_.end(), buffer), active_.end());
}

size_t TWavOut::QueuedBlocks() const {
  std::lock_guard hold(lock_);
  return blocks_.size();
}

size_t TWavOut::PoolSize() const {
  std::lock_guard hold(lock_);
  return pool_.size();
}

size_t TWavOut::BufferCount() const {
  std::lock_guard hold(lock_);
  return buffers_.size();
}

void TWavOut::RemoveBlock(size_t index) {
  TWavPrimary* p = blocks_[index].get();
  TWaveBlockHeader& h = p->Header();
  if (h.flags.load() & TWaveBlockHeader::kPrepared) device_.Unprepare(h);
  p->memory->user = nullptr;
  blocks_.erase(blocks_.begin() + static_cast<ptrdiff_t>(index));
}

void TWavOut::RemoveDoneBlocks(bool all) {
  for (size_t i = blocks_.size(); i-- > 0;) {
    if (all || (blocks_[i]->Header().flags.load() & TWaveBlockHeader::kDone)) RemoveBlock(i);
  }
}

TWavPrimary* TWavOut::NewBlock() {
  TMemData* memory = nullptr;
  for (auto& m : pool_) {
    if (!m->user) {
      memory = m.get();
      break;
    }
  }
  if (!memory) {
    auto m = std::make_unique<TMemData>();
    m->data.resize(static_cast<size_t>(blockBytes_ / 2));
    memory = m.get();
    pool_.push_back(std::move(m));
  }
  auto block = std::make_unique<TWavPrimary>();
  block->memory = memory;
  memory->user = block.get();
  TWaveBlockHeader& h = memory->header;
  h.flags.store(0);
  h.data = reinterpret_cast<uint8_t*>(memory->data.data());
  h.length = static_cast<uint32_t>(blockBytes_);
  h.loops = 1;
  if (open_) device_.Prepare(h);
  blocks_.push_back(std::move(block));
  return blocks_.back().get();
}

void TWavOut::MixTick() {
  std::lock_guard hold(lock_);
  RemoveDoneBlocks(!open_);
  for (int round = 0; round < 2; ++round) {
    if (blocks_.size() >= kMaxQueued || active_.empty()) break;
    TWavPrimary* block = NewBlock();
    if (MixAll(block->memory->data.data())) {
      block->written = true;
      if (block->Header().flags.load() & TWaveBlockHeader::kPrepared) device_.Write(block->Header());
    } else {
      RemoveBlock(blocks_.size() - 1);
    }
  }
}

bool TWavOut::MixAll(int16_t* dest) {
  std::lock_guard hold(lock_);
  std::memset(dest, 0, static_cast<size_t>(blockBytes_));
  bool mixed = false;
  for (auto& b : buffers_) {
    if (!b->started_ || b->paused_ || b->reachedEnd_) continue;
    mixed = b->MixInto(dest) || mixed;
  }
  return mixed;
}

}  // namespace orva::media
