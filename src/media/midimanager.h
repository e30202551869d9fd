// MIDI items and their manager. The manager owns the ports and one
// sequencer for the whole run; the item that plays loads its file into it
// and becomes the current one, so starting another MIDI item stops the
// one before. The manager also keeps the port list that scripts read and
// select from.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/mediamanagers.h"
#include "media/midiplayv.h"
#include "media/midiports.h"

namespace orva::media {

class TMidiItem;

class TMidiManager : public TMediaManager {
 public:
  TMidiManager(TMediaContext& context, std::unique_ptr<IMidiSystem> system);
  ~TMidiManager() override;

  TDMediaItem* Add(const std::string& name) override;
  void Restore() override {}

  TMidiPlayV& Player() { return *player_; }
  TMidiItem* Current() const { return current_; }
  // True while the program shuts down: a play then only prepares the port.
  void SetTerminatingQuery(std::function<bool()> terminating) { terminating_ = std::move(terminating); }

  // "MIDIマッパー", then each device's name (CP932).
  const std::vector<std::string>& PortNames() const { return portNames_; }
  int PortIndex() const { return portIndex_; }
  std::string PortName() const { return portNames_[static_cast<size_t>(portIndex_)]; }
  // Index limited to 0 ... count - 1. A running song moves to the new port
  // where it was.
  void SelectPort(int index);
  // Names compare ignoring the case of ASCII letters; unknown names select
  // entry 0.
  void SelectPortByName(const std::string& name);

  // Around a screen switch: an open port closes first (a running song
  // remembers where it was) and opens again after, with General MIDI on and
  // the song going on from there.
  void CloseForScreenSwitch();
  void ReopenAfterScreenSwitch();

 private:
  friend class TMidiItem;
  bool OpenSelectedPort();
  bool Terminating() const { return terminating_ && terminating_(); }

  std::unique_ptr<IMidiSystem> system_;
  std::unique_ptr<TMidiPlayV> player_;
  std::vector<std::string> portNames_;
  int portIndex_ = 0;
  TMidiItem* current_ = nullptr;
  std::function<bool()> terminating_;
  bool switchWasOpen_ = false, switchWasRunning_ = false;
  int32_t switchTime_ = 0;
};

class TMidiItem : public TDMediaItem {
 public:
  TMidiItem(TMidiManager& manager, std::string name);
  ~TMidiItem() override;

  bool GetAutoRepeat() override;
  void SetAutoRepeat(bool repeat) override;
  int32_t GetRepeatPos() override { return 0; }
  void SetRepeatPos(int32_t) override {}
  int32_t GetPan() override { return pan_; }
  int32_t GetVolume() override { return volume_; }
  void SetPan(int32_t pan) override { pan_ = pan; }
  // -10000 ... 0 hundredths of a dB: controller 7 at v / 100 + 100 percent
  // of the song's own values.
  void SetVolume(int32_t volume) override;
  int32_t GetPosition() override;
  // Measured once, by reading the file apart from the sequencer.
  int32_t GetLength() override;
  bool IsPlaying() override;
  bool IsPaused() override { return paused_; }
  void Pause() override;
  bool IsMidi() const override { return true; }
  const std::string& Name() const { return name_; }

 protected:
  bool KindEnd() override;
  void DoPlay() override;
  void DoSetPosition(int32_t ms) override;

 private:
  bool IsCurrent() const;
  // The file's bytes; empty when it cannot be read.
  std::vector<uint8_t> ReadFile() const;
  void ApplyVolume();

  TMidiManager& midi_;
  std::string name_;
  int32_t volume_ = 0, pan_ = 0;
  int32_t position_ = 0;  // where the next play starts
  int32_t length_ = -1;   // not measured yet
  bool loop_ = false, paused_ = false;
};

}  // namespace orva::media
