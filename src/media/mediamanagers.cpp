#include "media/mediamanagers.h"

#include <algorithm>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/log.h"
#include "common/paths.h"

namespace orva::media {

namespace {

std::string LowerExt(const std::string& name) {
  std::string ext = paths::ExtractFileExt(name);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return ext;
}

void NoItem(const std::string& name) {
  log::Warning("cannot play " + cp932::ToUtf8(name) + ": no sound or video in it");
}

}  // namespace

TMediaKind MediaKindOf(const std::string& name) {
  if (name.size() >= 3 && cp932::SameTextCI(std::string_view(name).substr(0, 3), "CD_")) return TMediaKind::Cdda;
  const std::string ext = LowerExt(name);
  if (ext == ".mid" || ext == ".sgt") return TMediaKind::Midi;
  if (ext == ".wma" || ext == ".asf" || ext == ".wmv" || ext == ".mp3") return TMediaKind::WindowsMedia;
  if (ext == ".ogg" || ext == ".wav") return TMediaKind::Ogg;
  return TMediaKind::None;
}

// --- TMediaManager ---------------------------------------------------------

TDMediaItem* TMediaManager::Append(std::unique_ptr<TDMediaItem> item) {
  items_.push_back(std::move(item));
  return items_.back().get();
}

void TMediaManager::Remove(TDMediaItem* item) {
  auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& p) { return p.get() == item; });
  if (it != items_.end()) items_.erase(it);
}

void TMediaManager::Suspend() {
  if (suspended_ || !enabled_) return;
  suspended_ = true;
  for (auto& item : items_) {
    if (item->IsPlaying() && !item->IsPaused() && !item->IsEnd()) {
      item->Pause();
      item->suspendMark = true;
    } else {
      item->suspendMark = false;
    }
  }
}

void TMediaManager::Resume() {
  if (!suspended_ || !enabled_) return;
  suspended_ = false;
  for (auto& item : items_) {
    if (!item->suspendMark) continue;
    item->suspendMark = false;
    item->Play();
  }
}

void TMediaManager::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  if (!enabled) {
    Suspend();
    enabled_ = false;
  } else {
    enabled_ = true;
    Resume();
  }
}

// --- the managers ----------------------------------------------------------

TDMediaItem* TWmpManager::Add(const std::string& name) {
  std::vector<uint8_t> bytes;
  if (!LoadMediaBytes(context_, name, bytes)) return nullptr;
  const MediaHandle h = context_.backend->AddWindowsMediaAudio(std::move(bytes));
  if (h == kNoMedia) {
    NoItem(name);
    return nullptr;
  }
  return Append(std::make_unique<TWmpItem>(*this, *context_.backend, h));
}

void TWmpManager::Restore() { context_.backend->Restore(); }

TDMediaItem* TOggManager::Add(const std::string& name) {
  auto stream = OpenMediaStream(context_, name);
  if (!stream) return nullptr;
  const bool isOgg = LowerExt(name) == ".ogg";
  if (context_.settings.directSound || !context_.mixer) {
    const MediaHandle h = context_.backend->AddOgg(std::move(stream), isOgg);
    if (h == kNoMedia) throw OrvaError::Utf8(kBadSoundData);
    return Append(std::make_unique<TOggItem>(*this, *context_.backend, h));
  }
  // The wave output opens with the first sound it plays.
  context_.mixer->OpenDevice();
  auto pcm = std::make_unique<TOggStream>(*context_.backend, std::move(stream), isOgg);
  return Append(std::make_unique<TOggWaveItem>(*this, *context_.mixer, std::move(pcm)));
}

void TOggManager::Restore() { context_.backend->Restore(); }

TVideoItem* TVideoManager::AddVideo(const std::string& name, bool flag) {
  auto stream = OpenMediaStream(context_, name);
  if (!stream) return nullptr;
  const MediaHandle h = context_.backend->AddVideo(cp932::ToUtf8(name), std::move(stream), flag ? 1 : 0);
  if (h == kNoMedia) {
    NoItem(name);
    return nullptr;
  }
  return static_cast<TVideoItem*>(Append(std::make_unique<TDsVideoItem>(*this, *context_.backend, h)));
}

}  // namespace orva::media
