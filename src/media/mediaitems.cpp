#include "media/mediaitems.h"

#include <algorithm>
#include <exception>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/paths.h"
#include "media/mediamanagers.h"
#include "storage/bigstreams.h"
#include "storage/vrfiles.h"

namespace orva::media {

namespace {

bool IsDiskName(const std::string& name) {
  return (!name.empty() && paths::IsDelimiterAt(name, 0)) || (name.size() > 1 && name[1] == ':');
}

// A disk name as a host path: UTF-8, "/" separated. Drive-letter names have
// no host equivalent and stay as they are (they are not found).
std::string HostPathOf(const std::string& name) {
  std::string path = cp932::ToUtf8(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

}  // namespace

std::unique_ptr<TStream> OpenMediaStream(const TMediaContext& context, const std::string& name) {
  try {
    if (IsDiskName(name)) return std::make_unique<TFileRangeStream>(HostPathOf(name), 0, TRangeStream::kToEnd);
    if (!context.files) return nullptr;
    return context.files->OpenRangeStream(name);
  } catch (const std::exception& e) {
    MediaLog(std::string("cannot open ") + cp932::ToUtf8(name) + ": " + e.what());
    return nullptr;
  }
}

bool LoadMediaBytes(const TMediaContext& context, const std::string& name, std::vector<uint8_t>& bytes) {
  auto stream = OpenMediaStream(context, name);
  if (!stream) return false;
  try {
    const int64_t size = stream->GetSize();
    if (size < 0) return false;
    bytes.resize(static_cast<size_t>(size));
    stream->SetPosition(0);
    stream->ReadExact(bytes.data(), size);
    return true;
  } catch (const std::exception& e) {
    MediaLog(std::string("cannot read ") + cp932::ToUtf8(name) + ": " + e.what());
    return false;
  }
}

// --- TDMediaItem -----------------------------------------------------------

void TDMediaItem::SetPosition(int32_t ms) {
  endAcknowledged_ = false;
  DoSetPosition(std::max(ms, 0));
}

bool TDMediaItem::IsEnd() {
  const bool end = KindEnd();
  if (!end) endAcknowledged_ = false;
  return end && !endAcknowledged_;
}

void TDMediaItem::Play() {
  if (!manager_.Enabled()) {
    suspendMark = true;
    return;
  }
  DoPlay();
  if (!KindEnd()) endAcknowledged_ = false;
}

// --- TOggStream ------------------------------------------------------------

TOggStream::TOggStream(IMediaBackend& backend, std::unique_ptr<TStream> file, bool isOgg) : backend_(backend) {
  handle_ = backend_.AddPcmStream(std::move(file), isOgg);
  PcmFormat f;
  if (handle_ == kNoMedia || !backend_.GetPcmFormat(handle_, f)) {
    if (handle_ != kNoMedia) backend_.DeletePcmStream(handle_);
    throw OrvaError::Utf8(kBadSoundData);
  }
  format_ = TWaveFormat::Pcm(f.sampleRate, f.channels, f.bitsPerSample);
}

TOggStream::~TOggStream() { backend_.DeletePcmStream(handle_); }

void TOggStream::SetPosition(int64_t pos) { backend_.PcmSetPos(handle_, std::clamp<int64_t>(pos, 0, GetSize())); }

// --- TOggWaveItem ----------------------------------------------------------

TOggWaveItem::TOggWaveItem(TMediaManager& manager, TWavOut& mixer, std::unique_ptr<TOggStream> stream)
    : TDMediaItem(manager), mixer_(mixer), stream_(std::move(stream)) {
  buffer_ = mixer_.AddBuffer(stream_->Format(), stream_.get());
}

TOggWaveItem::~TOggWaveItem() { mixer_.RemoveBuffer(buffer_); }

bool TOggWaveItem::GetAutoRepeat() { return buffer_->Loop(); }

void TOggWaveItem::SetAutoRepeat(bool repeat) { buffer_->SetLoop(repeat); }

void TOggWaveItem::SetRepeatPos(int32_t ms) {
  repeatPos_ = std::max(ms, 0);
  buffer_->SetLoopStart(MsToBytes(repeatPos_, buffer_->Format()));
}

void TOggWaveItem::SetPan(int32_t pan) {
  pan_ = std::clamp(pan, -kMaxPan, kMaxPan);
  buffer_->SetChannelGains(GainsFromDecibels(0, pan_));
}

void TOggWaveItem::SetVolume(int32_t volume) {
  volume_ = std::clamp(volume, kSilentDb, 0);
  buffer_->SetBufferVolume((std::max(volume_, -5000) + 5000) * kMaxBufferVolume / 5000);
}

int32_t TOggWaveItem::GetPosition() {
  return static_cast<int32_t>(BytesToMs(buffer_->GetPlayPosition(), buffer_->Format()));
}

int32_t TOggWaveItem::GetLength() {
  std::lock_guard hold(mixer_.Lock());
  return stream_->LengthMs();
}

bool TOggWaveItem::IsPlaying() {
  std::lock_guard hold(mixer_.Lock());
  return buffer_->IsStarted() && !buffer_->IsPaused() && !buffer_->IsFinished();
}

bool TOggWaveItem::IsPaused() { return buffer_->IsPaused(); }

void TOggWaveItem::Pause() { buffer_->PauseBuffer(); }

bool TOggWaveItem::KindEnd() {
  std::lock_guard hold(mixer_.Lock());
  return buffer_->IsStarted() && buffer_->IsFinished();
}

void TOggWaveItem::DoPlay() { buffer_->StartBuffer(); }

void TOggWaveItem::DoSetPosition(int32_t ms) { buffer_->SetReadPosition(MsToBytes(ms, buffer_->Format())); }

}  // namespace orva::media
