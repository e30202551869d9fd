// The MIDI sequencer: a loaded song (midiv.h) played to one output port.
// Every 10 ms a tick adds the elapsed time (at most 1000 ms) to the song
// time and sends the events that are due; the song's last event is never
// sent, and with the loop flag the song starts again after it.
//
// Threads: operations run on the main thread, the tick on the ticker's
// (the timer thread for external ports, the mixer's for the synthesizer).
// One lock guards the song position, the loop flag and the controller
// tables; operations that send to the port or change the song hold the
// ticker first, so the port is never used by two threads at once.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>

#include "media/midiports.h"
#include "media/miditimers.h"
#include "media/midiv.h"

namespace orva::media {

class TMidiPlayV : public TMidiV {
 public:
  // `system` may be null (no ports). The timer's clock is the system's
  // millisecond clock unless given.
  explicit TMidiPlayV(IMidiSystem* system, TMMTimer::Clock clock = SystemMilliseconds);
  ~TMidiPlayV() override;

  // Device number, kMidiMapper for the mapper. True when the port is open
  // (also when it already was).
  bool OpenPort(int device);
  void ClosePort();
  bool PortOpen() const;
  // Sends General MIDI system on (F0 7E 7F 09 01 F7).
  void SendSystemOn();
  // Plays from `ms`: the first event at or after it is the next one sent
  // (past the end: from the start). Everything before it except notes is
  // sent first, so controllers, programs and system-exclusive state are as
  // the song left them there.
  void PlayFrom(int32_t ms);
  void StopSong();
  // From PlayFrom until StopSong, also after the song has ended.
  bool IsRunning() const;
  bool IsSongEnd() const;
  int32_t SongTime() const;
  void SetSongTime(int32_t ms);
  void SetLoop(bool loop);
  bool GetLoop() const;
  // The scale (0 ... 100 %) of a controller on every channel; sent at once
  // while the song runs.
  void SetControllerScale(int controller, int percent);
  // Sends a controller's stored value times its scale.
  void SendController(int channel, int controller);

  const TMidiDevices& Devices() const { return devices_; }
  uint8_t ControllerValue(int channel, int controller) const;
  int ControllerScale(int channel, int controller) const;
  size_t CurrentIndex() const;
  // System-exclusive messages the port has not finished with.
  size_t PendingMessages();
  // One tick, as the ticker runs it.
  void Tick();

 protected:
  void BeforeLoad() override;
  void AfterLoad() override;

 private:
  void Send(const TMidiMsgEvent& e);
  void SendControllerLocked(int channel, int controller);
  void SendLong(std::span<const uint8_t> bytes);
  void AllNotesOff();
  void Chase(size_t target);
  void SwitchTicker(TMidiTicker* next);
  void PortDone(TMidiLongHeader* header);
  void ReleasePending();

  IMidiSystem* system_;
  TMidiDevices devices_;
  TMMTimer timer_;
  TMidiTicker* ticker_ = &timer_;
  TMidiTicker* loadHold_ = nullptr;
  IMidiOut* port_ = nullptr;
  bool opened_ = false;
  // The port's state was reset (opened, or General MIDI on): the next
  // PlayFrom replays from the start.
  bool portFresh_ = false;

  mutable std::recursive_mutex lock_;
  size_t current_ = 0;
  int64_t songTime_ = 0;
  int64_t lastTick_ = 0;
  bool loop_ = false;
  std::array<std::array<uint8_t, kMidiControllers>, kMidiChannels> values_{};
  std::array<std::array<uint8_t, kMidiControllers>, kMidiChannels> scales_{};

  std::mutex pendingLock_;
  std::list<std::unique_ptr<TMidiLongHeader>> pending_;
};

}  // namespace orva::media
