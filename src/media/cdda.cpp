#include "media/cdda.h"

#include <algorithm>
#include <exception>

#include "common/cp932.h"
#include "common/paths.h"
#include "storage/bigstreams.h"

namespace orva::media {

std::optional<int> CdTrackNumber(const std::string& name) {
  if (name.size() < 4 || !cp932::SameTextCI(std::string_view(name).substr(0, 3), "CD_")) return std::nullopt;
  const std::string digits = name.substr(3);
  if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const int n = std::stoi(digits);
  if (n < 1) return std::nullopt;
  return n;
}

std::string FindCdTrackFile(int track, const std::vector<std::string>& folders) {
  std::string stem = std::to_string(track);
  if (stem.size() < 2) stem = "0" + stem;
  stem = "track" + stem;
  for (const std::string& folder : folders) {
    if (folder.empty() || !paths::IsDirectory(folder)) continue;
    for (const char* ext : {".ogg", ".flac", ".wav", ".mp3"}) {
      auto found = paths::ResolveCaseInsensitive(folder, stem + ext);
      if (found && paths::IsRegularFile(*found)) return *found;
    }
  }
  return {};
}

// --- TCdPlayer -------------------------------------------------------------

bool TCdPlayer::Load(TCddaItem* item, const std::string& path, bool loop) {
  if (current_ == item && handle_ != kNoMedia) return true;
  Stop();
  std::unique_ptr<TStream> stream;
  try {
    stream = std::make_unique<TFileRangeStream>(path, 0, TRangeStream::kToEnd);
  } catch (const std::exception& e) {
    MediaLog(std::string("cannot open the CD track ") + path + ": " + e.what());
    return false;
  }
  handle_ = context_.backend->AddOgg(std::move(stream), false);
  if (handle_ == kNoMedia) return false;
  current_ = item;
  context_.backend->SetAutoRepeat(handle_, loop);
  Touch();
  return true;
}

void TCdPlayer::Forget(TCddaItem* item) {
  if (current_ == item) Stop();
}

void TCdPlayer::Stop() {
  if (handle_ != kNoMedia) context_.backend->Delete(handle_);
  handle_ = kNoMedia;
  current_ = nullptr;
  mode_ = Mode::Stopped;
  polled_ = false;
}

TCdPlayer::Mode TCdPlayer::GetMode() {
  const int64_t now = context_.now ? context_.now() : 0;
  if (!polled_ || now - lastPoll_ >= kPollMs) {
    mode_ = handle_ != kNoMedia && context_.backend->IsPlaying(handle_) ? Mode::Playing : Mode::Stopped;
    lastPoll_ = now;
    polled_ = true;
  }
  return mode_;
}

// --- TCddaManager ----------------------------------------------------------

TCddaManager::~TCddaManager() {
  // The items leave the player first: it goes before the list does.
  RemoveAll();
  player_.Stop();
}

TDMediaItem* TCddaManager::Add(const std::string& name) {
  std::string path;
  int32_t length = 0;
  if (auto track = CdTrackNumber(name)) path = FindCdTrackFile(*track, context_.cdFolders);
  if (!path.empty()) {
    // The length through a player of its own, given back at once.
    MediaHandle probe = kNoMedia;
    try {
      probe = context_.backend->AddOgg(std::make_unique<TFileRangeStream>(path, 0, TRangeStream::kToEnd), false);
    } catch (const std::exception&) {
      probe = kNoMedia;
    }
    if (probe != kNoMedia) {
      length = context_.backend->GetLen(probe) / 1000 * 1000;
      context_.backend->Delete(probe);
    } else {
      path.clear();
    }
  }
  return Append(std::make_unique<TCddaItem>(*this, path, length));
}

// --- TCddaItem -------------------------------------------------------------

TCddaItem::TCddaItem(TCddaManager& manager, std::string path, int32_t lengthMs)
    : TDMediaItem(manager), player_(manager.Player()), path_(std::move(path)), length_(lengthMs) {}

TCddaItem::~TCddaItem() { player_.Forget(this); }

bool TCddaItem::IsCurrent() const { return player_.Current() == this && player_.Handle() != kNoMedia; }

void TCddaItem::ApplyVolume() {
  if (IsCurrent())
    Manager().Context().backend->SetLinearGain(player_.Handle(), std::max(volume_, -5000) + 5000, 5000);
}

void TCddaItem::SetVolume(int32_t volume) {
  volume_ = std::clamp(volume, kSilentDb, 0);
  ApplyVolume();
}

void TCddaItem::SetAutoRepeat(bool repeat) {
  loop_ = repeat;
  if (IsCurrent()) Manager().Context().backend->SetAutoRepeat(player_.Handle(), repeat);
}

void TCddaItem::PlayFrom(int32_t second) {
  IMediaBackend& backend = *Manager().Context().backend;
  backend.SetPosition(player_.Handle(), second * 1000);
  backend.Play(player_.Handle());
  player_.Touch();
}

void TCddaItem::DoPlay() {
  if (path_.empty()) return;  // no such track: silent
  if (!IsCurrent() && !player_.Load(this, path_, loop_)) return;
  PlayFrom(savedSecond_ > 0 ? savedSecond_ : 0);
  paused_ = false;
  started_ = true;
  ApplyVolume();
}

void TCddaItem::Pause() {
  if (!IsPlaying()) return;
  IMediaBackend& backend = *Manager().Context().backend;
  savedSecond_ = std::max(0, backend.GetPosition(player_.Handle()) / 1000 - 1);
  backend.Pause(player_.Handle());
  paused_ = true;
  player_.Touch();
}

bool TCddaItem::IsPlaying() { return IsCurrent() && player_.GetMode() == TCdPlayer::Mode::Playing; }

bool TCddaItem::KindEnd() {
  return IsCurrent() && started_ && !paused_ && player_.GetMode() == TCdPlayer::Mode::Stopped;
}

int32_t TCddaItem::GetPosition() {
  if (IsCurrent() && started_) return Manager().Context().backend->GetPosition(player_.Handle()) / 1000 * 1000;
  return savedSecond_ * 1000;
}

void TCddaItem::DoSetPosition(int32_t ms) {
  savedSecond_ = ms / 1000;
  if (IsCurrent() && started_ && !paused_) PlayFrom(savedSecond_);
}

}  // namespace orva::media
