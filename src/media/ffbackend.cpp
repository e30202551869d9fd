#include "media/ffbackend.h"

#include <algorithm>
#include <cstring>

#include "media/ffaudio.h"
#include "media/ffinputs.h"
#include "media/ffvideo.h"

namespace orva::media {

struct TFfMediaBackend::Item {
  MediaFamily family = MediaFamily::OggStream;
  std::unique_ptr<TFfAudioStream> sound;  // null for a video without sound
  TWavBuffer* buffer = nullptr;
  std::unique_ptr<TFfVideo> video;
  bool playing = false, paused = false, ended = false, repeat = false, visible = true;
  int32_t volume = 0, pan = 0, repeatPos = 0, length = 0;
  bool linear = false;
  TChannelGains linearGains;
  // The play clock of a video without sound: ms of video time at clockStart.
  int64_t clockBase = 0, clockStart = 0;
  int64_t shownMs = 0;
  bool pictureDue = false;
};

TFfMediaBackend::TFfMediaBackend(TWavOut& mixer) : mixer_(mixer) {}

TFfMediaBackend::~TFfMediaBackend() { Final(); }

void TFfMediaBackend::Init() {
  RouteFfLog();
  MediaLog("FFmpeg back end, mixer delay " + std::to_string(mixer_.DelayMs()) + " ms");
}

void TFfMediaBackend::Final() {
  std::lock_guard hold(mixer_.Lock());
  for (auto& [h, it] : items_)
    if (it->buffer) mixer_.RemoveBuffer(it->buffer);
  items_.clear();
  pcm_.clear();
}

size_t TFfMediaBackend::ItemCount() const {
  std::lock_guard hold(mixer_.Lock());
  return items_.size() + pcm_.size();
}

MediaHandle TFfMediaBackend::NextHandle() {
  MediaHandle h = next_++;
  if (next_ == kNoMedia) next_ = 1;
  return h;
}

TFfMediaBackend::Item* TFfMediaBackend::Find(MediaHandle h) {
  auto it = items_.find(h);
  return it == items_.end() ? nullptr : it->second.get();
}

TFfAudioStream* TFfMediaBackend::FindPcm(MediaHandle h) {
  auto it = pcm_.find(h);
  return it == pcm_.end() ? nullptr : it->second.get();
}

MediaHandle TFfMediaBackend::AddSound(MediaFamily family, std::shared_ptr<TStream> source) {
  std::string why;
  auto sound = TFfAudioStream::Open(std::move(source), PcmLayout::Mixer, &why);
  if (!sound) {
    MediaLog("not a sound that can be played: " + why);
    return kNoMedia;
  }
  std::lock_guard hold(mixer_.Lock());
  auto it = std::make_unique<Item>();
  it->family = family;
  it->length = sound->LengthMs();
  it->buffer = mixer_.AddBuffer(sound->Format(), sound.get());
  it->sound = std::move(sound);
  const MediaHandle h = NextHandle();
  items_.emplace(h, std::move(it));
  return h;
}

MediaHandle TFfMediaBackend::AddWindowsMediaAudio(std::vector<uint8_t> bytes) {
  return AddSound(MediaFamily::WindowsMediaAudio, std::make_shared<TMxMemoryStream>(std::move(bytes)));
}

MediaHandle TFfMediaBackend::AddOgg(std::unique_ptr<TStream> stream, bool) {
  // FFmpeg recognises Ogg and wave data by their contents.
  return AddSound(MediaFamily::OggStream, std::shared_ptr<TStream>(std::move(stream)));
}

MediaHandle TFfMediaBackend::AddVideo(const std::string&, std::unique_ptr<TStream> stream, int) {
  std::shared_ptr<TStream> source(std::move(stream));
  std::string why;
  auto video = TFfVideo::Open(source, &why);
  std::string soundWhy;
  auto sound = TFfAudioStream::Open(source, PcmLayout::Mixer, &soundWhy);
  if (!video && !sound) {
    MediaLog("not a video that can be played: " + why);
    return kNoMedia;
  }
  std::lock_guard hold(mixer_.Lock());
  auto it = std::make_unique<Item>();
  it->family = MediaFamily::Video;
  it->length = std::max(video ? video->LengthMs() : 0, sound ? sound->LengthMs() : 0);
  if (sound) it->buffer = mixer_.AddBuffer(sound->Format(), sound.get());
  it->sound = std::move(sound);
  it->video = std::move(video);
  it->pictureDue = it->video != nullptr;
  const MediaHandle h = NextHandle();
  items_.emplace(h, std::move(it));
  return h;
}

void TFfMediaBackend::Delete(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  auto found = items_.find(item);
  if (found == items_.end()) return;
  if (found->second->buffer) mixer_.RemoveBuffer(found->second->buffer);
  items_.erase(found);
}

int64_t TFfMediaBackend::ClockMs(Item& it) {
  if (it.buffer) return BytesToMs(it.buffer->GetPlayPosition(), it.buffer->Format());
  if (!it.playing) return it.clockBase;
  return it.clockBase + std::max<int64_t>(0, mixer_.Now() - it.clockStart);
}

void TFfMediaBackend::Update(Item& it) {
  if (!it.playing) return;
  // A repeating sound loops in the mixer and finishes only when its loop
  // start lies at or past its end.
  const bool soundDone = !it.buffer || it.buffer->IsFinished();
  const int64_t clock = ClockMs(it);
  const bool picturesDone = !it.video || it.buffer || clock >= it.length;
  if (!soundDone || !picturesDone) return;
  if (it.repeat && !it.buffer) {
    it.clockBase = 0;
    it.clockStart = mixer_.Now();
    if (it.video) it.video->SeekTo(0);
    it.shownMs = 0;
    return;
  }
  it.ended = true;
  it.playing = false;
  if (it.buffer) it.buffer->PauseBuffer();
}

void TFfMediaBackend::Play(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it || it->ended || it->playing) return;
  it->playing = true;
  it->paused = false;
  it->clockStart = mixer_.Now();
  if (it->buffer) it->buffer->StartBuffer();
}

void TFfMediaBackend::Pause(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it || !it->playing) return;
  it->clockBase = ClockMs(*it);
  it->playing = false;
  it->paused = true;
  if (it->buffer) it->buffer->PauseBuffer();
}

bool TFfMediaBackend::IsPlaying(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it) return false;
  Update(*it);
  return it->playing;
}

bool TFfMediaBackend::IsPaused(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  return it && it->paused;
}

bool TFfMediaBackend::IsEnd(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it) return false;
  Update(*it);
  return it->ended;
}

int32_t TFfMediaBackend::GetLen(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  return it ? it->length : 0;
}

int32_t TFfMediaBackend::GetPosition(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it) return 0;
  Update(*it);
  if (it->ended) return it->length;
  return static_cast<int32_t>(std::clamp<int64_t>(ClockMs(*it), 0, it->length));
}

void TFfMediaBackend::SetPosition(MediaHandle item, int32_t ms) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it) return;
  const int32_t to = std::clamp(ms, 0, it->length);
  if (it->buffer) it->buffer->SetReadPosition(MsToBytes(to, it->buffer->Format()));
  it->clockBase = to;
  it->clockStart = mixer_.Now();
  if (it->video) {
    it->video->SeekTo(to);
    it->shownMs = to;
    it->pictureDue = it->video->AdvanceTo(to) || it->pictureDue;
  }
  it->ended = false;
}

int32_t TFfMediaBackend::GetVol(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  return it ? it->volume : 0;
}

void TFfMediaBackend::SetVol(MediaHandle item, int32_t volume) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it) return;
  it->volume = std::clamp(volume, kSilentDb, 0);
  it->linear = false;
  if (it->buffer) it->buffer->SetChannelGains(GainsFromDecibels(it->volume, it->pan));
}

int32_t TFfMediaBackend::GetPan(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  return it ? it->pan : 0;
}

void TFfMediaBackend::SetPan(MediaHandle item, int32_t pan) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it) return;
  it->pan = std::clamp(pan, -kMaxPan, kMaxPan);
  if (it->buffer && !it->linear) it->buffer->SetChannelGains(GainsFromDecibels(it->volume, it->pan));
}

void TFfMediaBackend::SetLinearGain(MediaHandle item, int32_t numerator, int32_t denominator) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it) return;
  it->linear = true;
  it->linearGains = GainsFromLinear(numerator, denominator);
  if (it->buffer) it->buffer->SetChannelGains(it->linearGains);
}

bool TFfMediaBackend::GetAutoRepeat(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  return it && it->repeat;
}

void TFfMediaBackend::SetAutoRepeat(MediaHandle item, bool repeat) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it) return;
  it->repeat = repeat;
  if (it->buffer) {
    it->buffer->SetLoop(repeat);
    it->buffer->SetLoopStart(MsToBytes(it->repeatPos, it->buffer->Format()));
    // A sound that reached its end and is still being heard goes on looping.
    if (repeat && it->playing && it->buffer->ReachedEnd()) {
      it->buffer->SetReadPosition(it->buffer->LoopStart());
      it->buffer->StartBuffer();
    }
  }
}

int32_t TFfMediaBackend::GetRepeatPos(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  return it && it->family == MediaFamily::OggStream ? it->repeatPos : 0;
}

void TFfMediaBackend::SetRepeatPos(MediaHandle item, int32_t ms) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it || it->family != MediaFamily::OggStream) return;
  it->repeatPos = std::clamp(ms, 0, it->length);
  if (it->buffer) it->buffer->SetLoopStart(MsToBytes(it->repeatPos, it->buffer->Format()));
}

bool TFfMediaBackend::GetVisible(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  return it && it->family == MediaFamily::Video && it->visible;
}

void TFfMediaBackend::SetVisible(MediaHandle item, bool visible) {
  std::lock_guard hold(mixer_.Lock());
  if (Item* it = Find(item)) it->visible = visible;
}

void TFfMediaBackend::SetRect(MediaHandle, int, int) {}

int TFfMediaBackend::GetSourceWidth(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  return it && it->video ? it->video->Width() : 0;
}

int TFfMediaBackend::GetSourceHeight(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  return it && it->video ? it->video->Height() : 0;
}

bool TFfMediaBackend::NeedPaint(MediaHandle item) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it || !it->video) return false;
  Update(*it);
  const int64_t clock = it->ended ? it->length : ClockMs(*it);
  if (clock + 50 < it->shownMs) it->video->SeekTo(clock);  // looped back
  it->shownMs = clock;
  if (it->video->AdvanceTo(clock)) it->pictureDue = true;
  return it->pictureDue;
}

bool TFfMediaBackend::CopyFrame(MediaHandle item, uint8_t* pixels, int pitch, int width, int height) {
  std::lock_guard hold(mixer_.Lock());
  Item* it = Find(item);
  if (!it || !it->video || !it->video->HasPicture() || !pixels) return false;
  const int w = std::min(width, it->video->Width());
  const int h = std::min(height, it->video->Height());
  const auto& src = it->video->Pixels();
  for (int y = 0; y < h; ++y)
    std::memcpy(pixels + static_cast<ptrdiff_t>(y) * pitch, src.data() + static_cast<size_t>(y) * it->video->Width(),
                static_cast<size_t>(std::max(w, 0)) * 4);
  it->pictureDue = false;
  return true;
}

MediaHandle TFfMediaBackend::AddPcmStream(std::unique_ptr<TStream> stream, bool) {
  std::string why;
  auto pcm = TFfAudioStream::Open(std::shared_ptr<TStream>(std::move(stream)), PcmLayout::KeepMixable, &why);
  if (!pcm) {
    MediaLog("not sound data: " + why);
    return kNoMedia;
  }
  std::lock_guard hold(mixer_.Lock());
  const MediaHandle h = NextHandle();
  pcm_.emplace(h, std::move(pcm));
  return h;
}

void TFfMediaBackend::DeletePcmStream(MediaHandle stream) {
  std::lock_guard hold(mixer_.Lock());
  pcm_.erase(stream);
}

bool TFfMediaBackend::GetPcmFormat(MediaHandle stream, PcmFormat& format) {
  std::lock_guard hold(mixer_.Lock());
  TFfAudioStream* s = FindPcm(stream);
  if (!s) return false;
  format.sampleRate = static_cast<int>(s->Format().samplesPerSec);
  format.channels = s->Format().channels;
  format.bitsPerSample = s->Format().bitsPerSample;
  return true;
}

int64_t TFfMediaBackend::PcmRead(MediaHandle stream, void* buffer, int64_t count) {
  std::lock_guard hold(mixer_.Lock());
  TFfAudioStream* s = FindPcm(stream);
  return s && buffer && count > 0 ? s->Read(buffer, count) : 0;
}

int64_t TFfMediaBackend::PcmGetPos(MediaHandle stream) {
  std::lock_guard hold(mixer_.Lock());
  TFfAudioStream* s = FindPcm(stream);
  return s ? s->GetPosition() : 0;
}

void TFfMediaBackend::PcmSetPos(MediaHandle stream, int64_t bytePosition) {
  std::lock_guard hold(mixer_.Lock());
  if (TFfAudioStream* s = FindPcm(stream)) s->SetPosition(bytePosition);
}

int64_t TFfMediaBackend::PcmGetSize(MediaHandle stream) {
  std::lock_guard hold(mixer_.Lock());
  TFfAudioStream* s = FindPcm(stream);
  return s ? s->GetSize() : 0;
}

int32_t TFfMediaBackend::PcmGetLen(MediaHandle stream) {
  std::lock_guard hold(mixer_.Lock());
  TFfAudioStream* s = FindPcm(stream);
  return s ? s->LengthMs() : 0;
}

}  // namespace orva::media
