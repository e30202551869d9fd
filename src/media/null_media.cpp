#include "media/null_media.h"

#include <algorithm>

#include "common/log.h"

namespace orva::media {

void MediaLog(std::string_view line) { log::TraceLine(std::string("[media] ") + std::string(line)); }

void NullMediaBackend::Init() {
  initialized_ = true;
  MediaLog("null back end: no sound or video output");
}

void NullMediaBackend::Final() {
  items_.clear();
  pcm_.clear();
  initialized_ = false;
}

NullMediaBackend::Item* NullMediaBackend::Find(MediaHandle h) {
  auto it = items_.find(h);
  return it == items_.end() ? nullptr : &it->second;
}

MediaHandle NullMediaBackend::Add(Item item) {
  item.length = itemLength_;
  MediaHandle h = next_++;
  if (next_ == kNoMedia) next_ = 1;  // handles are never 0
  items_.emplace(h, std::move(item));
  return h;
}

MediaHandle NullMediaBackend::AddWindowsMediaAudio(std::vector<uint8_t>) {
  return Add(Item{MediaFamily::WindowsMediaAudio, nullptr});
}

MediaHandle NullMediaBackend::AddOgg(std::unique_ptr<TStream> stream, bool) {
  return Add(Item{MediaFamily::OggStream, std::move(stream)});
}

MediaHandle NullMediaBackend::AddVideo(const std::string&, std::unique_ptr<TStream> stream, int) {
  return Add(Item{MediaFamily::Video, std::move(stream)});
}

void NullMediaBackend::Delete(MediaHandle item) { items_.erase(item); }

void NullMediaBackend::Advance(int32_t ms) {
  if (ms <= 0) return;
  for (auto& [h, it] : items_) {
    if (!it.playing) continue;
    int64_t pos = static_cast<int64_t>(it.position) + ms;
    if (pos < it.length) {
      it.position = static_cast<int32_t>(pos);
    } else if (it.repeat && it.length > it.repeatPos) {
      const int64_t loop = it.length - it.repeatPos;
      it.position = static_cast<int32_t>(it.repeatPos + (pos - it.length) % loop);
    } else {
      it.position = it.length;
      it.playing = false;
      it.ended = !it.repeat;
    }
  }
}

void NullMediaBackend::Play(MediaHandle item) {
  Item* it = Find(item);
  if (!it) return;
  if (it->ended) return;  // stays at its end until SetPosition
  it->paused = false;
  it->playing = true;
  if (it->length == 0 && !it->repeat) {
    it->playing = false;
    it->ended = true;
  }
}

void NullMediaBackend::Pause(MediaHandle item) {
  if (Item* it = Find(item); it && it->playing) {
    it->playing = false;
    it->paused = true;
  }
}

bool NullMediaBackend::IsPlaying(MediaHandle item) {
  Item* it = Find(item);
  return it && it->playing;
}
bool NullMediaBackend::IsPaused(MediaHandle item) {
  Item* it = Find(item);
  return it && it->paused;
}
bool NullMediaBackend::IsEnd(MediaHandle item) {
  Item* it = Find(item);
  return it && it->ended;
}
int32_t NullMediaBackend::GetLen(MediaHandle item) {
  Item* it = Find(item);
  return it ? it->length : 0;
}
int32_t NullMediaBackend::GetPosition(MediaHandle item) {
  Item* it = Find(item);
  return it ? it->position : 0;
}
void NullMediaBackend::SetPosition(MediaHandle item, int32_t ms) {
  if (Item* it = Find(item)) {
    it->position = std::clamp(ms, 0, it->length);
    it->ended = false;
  }
}
int32_t NullMediaBackend::GetVol(MediaHandle item) {
  Item* it = Find(item);
  return it ? it->volume : 0;
}
void NullMediaBackend::SetVol(MediaHandle item, int32_t volume) {
  if (Item* it = Find(item)) it->volume = volume;
}
int32_t NullMediaBackend::GetPan(MediaHandle item) {
  Item* it = Find(item);
  return it ? it->pan : 0;
}
void NullMediaBackend::SetPan(MediaHandle item, int32_t pan) {
  if (Item* it = Find(item)) it->pan = pan;
}
void NullMediaBackend::SetLinearGain(MediaHandle, int32_t, int32_t) {}
bool NullMediaBackend::GetAutoRepeat(MediaHandle item) {
  Item* it = Find(item);
  return it && it->repeat;
}
void NullMediaBackend::SetAutoRepeat(MediaHandle item, bool repeat) {
  if (Item* it = Find(item)) it->repeat = repeat;
}
int32_t NullMediaBackend::GetRepeatPos(MediaHandle item) {
  Item* it = Find(item);
  return it && it->family == MediaFamily::OggStream ? it->repeatPos : 0;
}
void NullMediaBackend::SetRepeatPos(MediaHandle item, int32_t ms) {
  if (Item* it = Find(item); it && it->family == MediaFamily::OggStream) it->repeatPos = std::clamp(ms, 0, it->length);
}
bool NullMediaBackend::GetVisible(MediaHandle item) {
  Item* it = Find(item);
  return it && it->family == MediaFamily::Video && it->visible;
}
void NullMediaBackend::SetVisible(MediaHandle item, bool visible) {
  if (Item* it = Find(item)) it->visible = visible;
}
void NullMediaBackend::SetRect(MediaHandle, int, int) {}

MediaHandle NullMediaBackend::AddPcmStream(std::unique_ptr<TStream> stream, bool) {
  MediaHandle h = next_++;
  if (next_ == kNoMedia) next_ = 1;
  pcm_.emplace(h, std::move(stream));
  return h;
}

void NullMediaBackend::DeletePcmStream(MediaHandle stream) { pcm_.erase(stream); }

}  // namespace orva::media
