// The media layer as the program starts, runs and stops it: the wave device,
// the one mixer, the back end and the managers, created in the start-up
// order and freed in reverse, and the program-wide events (window focus,
// screen switches, sound on and off, a lost sound device).
//
// The mixer runs on a thread of its own on the system clock, except when the
// run follows game time (headless, or no sound device): then the frame tick
// plays and mixes the time that passed, and runs are identical.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/cdda.h"
#include "media/mediamanagers.h"
#include "media/mediasettings.h"
#include "media/midimanager.h"
#include "media/wavdevices.h"
#include "media/wavouts.h"

namespace orva {
class TVrFileManager;
}

namespace orva::media {

class TMediaLayer {
 public:
  struct Config {
    TMediaSettings settings;
    TVrFileManager* files = nullptr;
    std::vector<std::string> cdFolders;
    std::string audioOut;  // a .wav file receiving every frame the device plays
    // Makes the back end; null: FFmpeg through the mixer.
    std::function<std::unique_ptr<IMediaBackend>(TWavOut&)> makeBackend;
    // MIDI: the General MIDI bank named by the user (ORVA_SOUNDFONT; before
    // the run configuration's and the installed ones), whether the desktop's
    // sequencer ports are listed (runs with a window), and whether the
    // program is shutting down.
    std::string soundFontOverride;
    bool desktopMidiPorts = false;
    std::function<bool()> terminating;
    // Makes the MIDI ports; null: the synthesizer into the mixer, and the
    // desktop's ports when asked for.
    std::function<std::unique_ptr<IMidiSystem>(TWavOut&)> makeMidiSystem;
  };

  explicit TMediaLayer(Config config);
  ~TMediaLayer();
  TMediaLayer(const TMediaLayer&) = delete;
  TMediaLayer& operator=(const TMediaLayer&) = delete;

  // The device side, for the platform's audio output (its pull callback)
  // and the largest pull it should make.
  void PullDevice(int16_t* samples, int frames) { device_.Pull(samples, frames); }
  int DeviceBufferFrames() const;

  // Start-up ("MediaInit:7" ... ":16"); the screen manager is made between
  // ":9" and ":10". `gameTime` drives the mixer when not null.
  void Init(const std::function<void()>& createScreen, std::function<int64_t()> gameTime);
  // Shutdown ("ScreenMan.Free" ... "orvaFinal").
  void Final(const std::function<void()>& freeScreen);
  bool Started() const { return started_; }

  // Once per frame tick: plays and mixes up to the game time (game-time
  // runs only).
  void UpdateStreams();
  // After the screen was presented.
  void AfterPresent();

  // The window lost or got the focus (when the project pauses while inactive).
  void Deactivate();
  void Activate();
  // Around a screen switch.
  void Suspend();
  void Resume();
  // Sound on and off: every sound manager.
  void SetSoundEnabled(bool on);
  // The sound device was lost and reopened: queued blocks are dropped and
  // the managers restore theirs.
  void DeviceRestored();

  // The managers that follow sound on and off.
  void AddSoundManager(TMediaManager* manager) { soundManagers_.push_back(manager); }
  // Around a screen switch: the MIDI port closes first and opens again
  // after, the song going on where it was.
  void CloseMidiForSwitch();
  void ReopenMidiAfterSwitch();

  TWmpManager* Wmp() { return wmp_.get(); }
  TOggManager* Ogg() { return ogg_.get(); }
  TCddaManager* Cdda() { return cdda_.get(); }
  TMidiManager* Midi() { return midi_.get(); }
  TVideoManager* Video() { return video_.get(); }
  TWavOut* Mixer() { return mixer_.get(); }
  IMediaBackend* Backend() { return backend_.get(); }
  TWaveDevice& Device() { return device_; }
  TMediaContext& Context() { return context_; }

 private:
  Config config_;
  TWaveDevice device_;
  std::unique_ptr<TWaveFileWriter> recorder_;
  std::unique_ptr<TGameTimeDriver> driver_;
  std::function<int64_t()> gameTime_;
  std::unique_ptr<TWavOut> mixer_;
  std::unique_ptr<IMediaBackend> backend_;
  TMediaContext context_;
  std::unique_ptr<TVideoManager> video_;
  std::unique_ptr<TWmpManager> wmp_;
  std::unique_ptr<TOggManager> ogg_;
  std::unique_ptr<TCddaManager> cdda_;
  std::unique_ptr<TMidiManager> midi_;
  std::vector<TMediaManager*> soundManagers_;
  bool started_ = false;
};

}  // namespace orva::media
