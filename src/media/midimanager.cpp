#include "media/midimanager.h"

#include <algorithm>

#include "common/cp932.h"

namespace orva::media {

// --- TMidiManager -----------------------------------------------------------

TMidiManager::TMidiManager(TMediaContext& context, std::unique_ptr<IMidiSystem> system)
    : TMediaManager(context), system_(std::move(system)) {
  player_ = std::make_unique<TMidiPlayV>(system_.get());
  portNames_.push_back(Sys(kMidiMapperName));
  for (const TMidiDevice& d : player_->Devices()) portNames_.push_back(d.name);
}

TMidiManager::~TMidiManager() {
  // Items go first: the current one closes the port.
  RemoveAll();
  player_.reset();
  system_.reset();
}

TDMediaItem* TMidiManager::Add(const std::string& name) { return Append(std::make_unique<TMidiItem>(*this, name)); }

bool TMidiManager::OpenSelectedPort() { return player_->OpenPort(portIndex_ - 1); }

void TMidiManager::SelectPort(int index) {
  portIndex_ = std::clamp(index, 0, static_cast<int>(portNames_.size()) - 1);
  if (player_->IsRunning()) {
    const int32_t time = player_->SongTime();
    player_->StopSong();
    player_->ClosePort();
    OpenSelectedPort();
    player_->PlayFrom(time);
  } else if (player_->PortOpen()) {
    // A paused song plays on the new port when it resumes.
    player_->ClosePort();
  }
}

void TMidiManager::SelectPortByName(const std::string& name) {
  int index = 0;
  for (size_t i = 0; i < portNames_.size(); ++i) {
    if (cp932::SameTextCI(portNames_[i], name)) {
      index = static_cast<int>(i);
      break;
    }
  }
  SelectPort(index);
}

void TMidiManager::CloseForScreenSwitch() {
  switchWasOpen_ = player_->PortOpen();
  switchWasRunning_ = false;
  if (!switchWasOpen_) return;
  if (player_->IsRunning()) {
    switchWasRunning_ = true;
    switchTime_ = player_->SongTime();
    player_->StopSong();
  }
  player_->ClosePort();
}

void TMidiManager::ReopenAfterScreenSwitch() {
  if (!switchWasOpen_) return;
  switchWasOpen_ = false;
  OpenSelectedPort();
  player_->SendSystemOn();
  if (switchWasRunning_) player_->PlayFrom(switchTime_);
}

// --- TMidiItem -----------------------------------------------------------------

TMidiItem::TMidiItem(TMidiManager& manager, std::string name)
    : TDMediaItem(manager), midi_(manager), name_(std::move(name)) {}

TMidiItem::~TMidiItem() {
  if (!IsCurrent()) return;
  TMidiPlayV& player = midi_.Player();
  if (player.IsRunning()) player.StopSong();
  player.ClosePort();
  midi_.current_ = nullptr;
}

bool TMidiItem::IsCurrent() const { return midi_.current_ == this; }

std::vector<uint8_t> TMidiItem::ReadFile() const {
  std::vector<uint8_t> bytes;
  if (!LoadMediaBytes(midi_.Context(), name_, bytes)) bytes.clear();
  return bytes;
}

bool TMidiItem::GetAutoRepeat() { return IsCurrent() ? midi_.Player().GetLoop() : loop_; }

void TMidiItem::SetAutoRepeat(bool repeat) {
  loop_ = repeat;
  if (IsCurrent()) midi_.Player().SetLoop(repeat);
}

void TMidiItem::SetVolume(int32_t volume) {
  volume_ = std::clamp(volume, kSilentDb, 0);
  if (IsCurrent()) ApplyVolume();
}

void TMidiItem::ApplyVolume() { midi_.Player().SetControllerScale(kCcVolume, volume_ / 100 + 100); }

int32_t TMidiItem::GetPosition() { return IsCurrent() ? midi_.Player().SongTime() : 0; }

int32_t TMidiItem::GetLength() {
  if (length_ < 0) {
    TMidiV song;
    song.LoadSong(ReadFile());
    length_ = song.SongLength();
  }
  return length_;
}

bool TMidiItem::IsPlaying() { return IsCurrent() && midi_.Player().IsRunning(); }

bool TMidiItem::KindEnd() { return IsCurrent() && midi_.Player().IsSongEnd(); }

void TMidiItem::Pause() {
  paused_ = true;
  if (!IsCurrent()) return;
  position_ = midi_.Player().SongTime();
  midi_.Player().StopSong();
}

void TMidiItem::DoPlay() {
  TMidiPlayV& player = midi_.Player();
  if (!IsCurrent()) {
    player.StopSong();
    // A file that is missing or empty plays as an empty song: silent, and
    // never the song of the item before.
    player.LoadSong(ReadFile());
    player.SetLoop(loop_);
    midi_.current_ = this;
  }
  if (!player.PortOpen()) midi_.OpenSelectedPort();
  player.SendSystemOn();
  if (midi_.Terminating()) return;
  player.PlayFrom(position_);
  paused_ = false;
  ApplyVolume();
}

void TMidiItem::DoSetPosition(int32_t ms) {
  position_ = ms;
  if (IsCurrent() && !paused_) midi_.Player().PlayFrom(ms);
}

}  // namespace orva::media
