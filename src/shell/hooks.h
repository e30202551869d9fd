// The calls the shell makes into the subsystems it drives: the variable
// table and function library, the object registry with its two bases, the
// project with its interpreter, the screen manager and the media managers.
// Every call does nothing by default; each subsystem fills its calls as it
// arrives. Tests override them to watch the order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/audio.h"
#include "platform/events.h"
#include "shell/screen.h"

namespace orva {

class TVrFileCollection;
class TFormView;

// What the shell reads from the project once it is created.
struct TProjectSettings {
  int width = 640;
  int height = 480;
  std::string title;              // CP932; empty: the game folder's name
  bool pauseWhenInactive = true;  // pause ticks and media while the window is inactive
  bool showToolbar = false;
  bool soundEnabled = true;       // open the sound device at start-up
};

class TRuntimeHooks {
 public:
  virtual ~TRuntimeHooks() = default;

  // The window the hooks serve, before anything else is called.
  virtual void Attach(TFormView& view) {}

  // Start-up, in this order.
  virtual void CollectionMounted(TVrFileCollection* collection) {}  // pixel-font packs of a new mount
  virtual void CreateVariables() {}   // variable table and function library
  virtual void CreateRegistry() {}    // object registry and its two bases
  // Loads the project and starts its start page; false stops the start-up.
  virtual bool CreateProject() { return true; }
  // Valid after CreateProject. `defaults` holds the size and title the
  // command line asked for.
  virtual TProjectSettings Project(const TProjectSettings& defaults) { return defaults; }
  virtual platform::AudioCallback Mixer() { return nullptr; }  // the sound mixer's pull callback, if any
  virtual int MixerBufferFrames() { return 1024; }              // the largest pull the device should make
  // The media layer; the screen manager is made in its course.
  virtual void InitMedia(int width, int height, const std::function<void()>& createScreen) { createScreen(); }
  virtual void InitColor() {}
  virtual void SetRegistrySize(int width, int height) {}
  virtual IShellScreen& Screen() { return screen_; }

  // One frame tick.
  virtual void RegistryInputUpkeep() {}
  virtual void RunInterpreter() {}
  virtual void UpdateStreams() {}  // media that follow game time play the time of this tick
  virtual void RegistryTick() {}
  // True once after a saved game was loaded: that tick is not drawn.
  virtual bool TakeGameLoaded() { return false; }
  virtual void Compose() {}       // registry redraws the dirty parts (and a running transition)
  virtual void AfterPresent() {}  // bases' post-present notification, video per-frame work

  // Input, in frame coordinates, only while the window is active.
  virtual void MouseDown(platform::MouseButton button, int x, int y) {}
  virtual void MouseUp(platform::MouseButton button, int x, int y) {}
  virtual void MouseMove(int x, int y) {}
  virtual void Wheel(int direction) {}  // +1 up, -1 down
  virtual void KeyDown(uint8_t vk) {}
  virtual void KeyUp(uint8_t vk) {}
  virtual void TextInput(const std::string& utf8) {}
  virtual void ReleaseKeys() {}

  // Activation and the screen switch.
  virtual void PauseMedia() {}
  virtual void ResumeMedia() {}
  virtual void FreeSurfaces() {}    // registry releases its surfaces
  virtual void ReloadSurfaces() {}  // registry recreates surfaces and reloads pictures
  virtual void SuspendMedia() {}
  virtual void ResumeSuspendedMedia() {}
  // The MIDI port closes before the screen switches (a playing song
  // remembers where it was) and opens again once the window has its new
  // bounds, the song going on from there.
  virtual void CloseMidiForSwitch() {}
  virtual void ReopenMidiAfterSwitch() {}
  // The sound device was lost and has been opened again.
  virtual void RestoreMedia() {}

  // Shutdown, in this order (the reverse of creation).
  virtual void FreeProject(bool fatalError) {}  // exit page and status save unless fatal
  virtual void FreeSysFuncs() {}
  virtual void FreeVariables() {}
  virtual void FinalizeRegistry() {}
  // The media layer; the screen manager is freed first, in its course.
  virtual void FinalizeMedia(const std::function<void()>& freeScreen) { freeScreen(); }

 private:
  TFrameScreen screen_;
};

}  // namespace orva
