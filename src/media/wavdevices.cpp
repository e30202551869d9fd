#include "media/wavdevices.h"

#include <algorithm>
#include <cstring>

#include "common/errors.h"

namespace orva::media {

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

// RIFF header, "fmt " chunk (16 bytes of PCM format) and the "data" chunk
// header of a file with `dataBytes` of samples.
std::vector<uint8_t> WaveHeader(const TWaveFormat& f, uint64_t dataBytes) {
  const auto data = static_cast<uint32_t>(std::min<uint64_t>(dataBytes, 0xFFFFFFFFu - 36));
  std::vector<uint8_t> h;
  h.insert(h.end(), {'R', 'I', 'F', 'F'});
  PutU32(h, 36 + data);
  h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutU32(h, 16);
  PutU16(h, f.formatTag);
  PutU16(h, f.channels);
  PutU32(h, f.samplesPerSec);
  PutU32(h, f.avgBytesPerSec);
  PutU16(h, f.blockAlign);
  PutU16(h, f.bitsPerSample);
  h.insert(h.end(), {'d', 'a', 't', 'a'});
  PutU32(h, data);
  return h;
}

}  // namespace

// --- TWaveFileWriter -------------------------------------------------------

TWaveFileWriter::TWaveFileWriter(const std::string& path, const TWaveFormat& format) : format_(format) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) throw OrvaError::Utf8("cannot create the wave file " + path);
  const auto header = WaveHeader(format_, 0);
  std::fwrite(header.data(), 1, header.size(), file_);
}

TWaveFileWriter::~TWaveFileWriter() { Finish(); }

void TWaveFileWriter::Write(const void* data, size_t bytes) {
  if (!file_ || bytes == 0) return;
  std::fwrite(data, 1, bytes, file_);
  dataBytes_ += bytes;
}

void TWaveFileWriter::Finish() {
  if (!file_) return;
  const auto header = WaveHeader(format_, dataBytes_);
  std::fseek(file_, 0, SEEK_SET);
  std::fwrite(header.data(), 1, header.size(), file_);
  std::fclose(file_);
  file_ = nullptr;
}

std::vector<uint8_t> MakeWaveFile(const TWaveFormat& format, const void* data, size_t bytes) {
  std::vector<uint8_t> file = WaveHeader(format, bytes);
  const auto* p = static_cast<const uint8_t*>(data);
  file.insert(file.end(), p, p + bytes);
  return file;
}

// --- TWaveDevice -----------------------------------------------------------

bool TWaveDevice::Open() {
  std::lock_guard hold(mutex_);
  open_ = true;
  return true;
}

void TWaveDevice::Close() {
  Reset();
  std::lock_guard hold(mutex_);
  open_ = false;
}

bool TWaveDevice::IsOpen() const {
  std::lock_guard hold(mutex_);
  return open_;
}

void TWaveDevice::Prepare(TWaveBlockHeader& block) { block.flags.fetch_or(TWaveBlockHeader::kPrepared); }

void TWaveDevice::Unprepare(TWaveBlockHeader& block) { block.flags.fetch_and(~uint32_t{TWaveBlockHeader::kPrepared}); }

void TWaveDevice::Write(TWaveBlockHeader& block) {
  std::lock_guard hold(mutex_);
  if (!open_) {
    block.flags.fetch_or(TWaveBlockHeader::kDone);
    return;
  }
  block.flags.fetch_and(~uint32_t{TWaveBlockHeader::kDone});
  block.flags.fetch_or(TWaveBlockHeader::kInQueue);
  queue_.push_back(&block);
}

void TWaveDevice::Reset() {
  std::lock_guard hold(mutex_);
  for (TWaveBlockHeader* b : queue_) {
    b->flags.fetch_and(~uint32_t{TWaveBlockHeader::kInQueue});
    b->flags.fetch_or(TWaveBlockHeader::kDone);
  }
  queue_.clear();
  offset_ = 0;
}

void TWaveDevice::Pull(int16_t* samples, int frames) {
  if (frames <= 0) return;
  std::lock_guard hold(mutex_);
  auto* out = reinterpret_cast<uint8_t*>(samples);
  size_t want = static_cast<size_t>(frames) * kOutBlockAlign;
  size_t done = 0;
  while (done < want && !queue_.empty()) {
    TWaveBlockHeader* b = queue_.front();
    const size_t take = std::min<size_t>(want - done, b->length - offset_);
    std::memcpy(out + done, b->data + offset_, take);
    done += take;
    offset_ += static_cast<uint32_t>(take);
    if (offset_ >= b->length) {
      queue_.pop_front();
      offset_ = 0;
      b->flags.fetch_and(~uint32_t{TWaveBlockHeader::kInQueue});
      b->flags.fetch_or(TWaveBlockHeader::kDone);
    }
  }
  std::memset(out + done, 0, want - done);
  pulled_ += frames;
  if (tap_) tap_(samples, frames);
}

void TWaveDevice::SetTap(Tap tap) {
  std::lock_guard hold(mutex_);
  tap_ = std::move(tap);
}

int64_t TWaveDevice::FramesPulled() const {
  std::lock_guard hold(mutex_);
  return pulled_;
}

size_t TWaveDevice::Queued() const {
  std::lock_guard hold(mutex_);
  return queue_.size();
}

// --- TGameTimeDriver -------------------------------------------------------

void TGameTimeDriver::PullTo(int64_t t) {
  const int64_t target = t * kOutRate / 1000;
  while (framesDone_ < target) {
    const int n = static_cast<int>(std::min<int64_t>(target - framesDone_, 4096));
    scratch_.resize(static_cast<size_t>(n) * kOutChannels);
    device_.Pull(scratch_.data(), n);
    framesDone_ += n;
  }
}

void TGameTimeDriver::AdvanceTo(int64_t t) {
  if (t < now_) return;
  const int64_t period = mixer_ ? std::max(1, mixer_->DelayMs() / 4) : 0;
  while (mixer_ && nextBoundary_ <= t) {
    PullTo(nextBoundary_);
    now_ = nextBoundary_;
    nextBoundary_ += period;
    mixer_->MixTick();
  }
  PullTo(t);
  now_ = t;
}

}  // namespace orva::media
