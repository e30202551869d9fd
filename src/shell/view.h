// The main window and the process around it: start-up in order, the frame
// loop with its one tick source, input forwarding, activation, the screen
// switch, the quit question and the orderly shutdown.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "shell/content.h"
#include "shell/framestate.h"
#include "shell/hooks.h"
#include "shell/options.h"

namespace orva {

class TVrFileManager;

// The toolbar and popup-menu actions. The speed and FPS items carry the
// value they set.
enum class TMenuAction { FullScreen, Quit, SpeedX1, SpeedX4, SpeedX8, SpeedNoWait, Fps1, Fps2, Fps4, Fps10, FpsAuto };

class TFormView {
 public:
  struct Config {
    TRunOptions options;
    TGameLocation game;
    bool japanese = false;  // the user's language, for the quit question
  };

  TFormView(platform::Platform& platform, TRuntimeHooks& hooks, Config config);
  ~TFormView();
  TFormView(const TFormView&) = delete;
  TFormView& operator=(const TFormView&) = delete;

  // Start-up up to the window (FormCreate). Afterwards Terminating tells
  // whether the start-up stopped.
  void FormCreate();
  // The deferred start-up: sound, media and screen, colours, the loop.
  void InitializeRuntime();
  // Runs the message loop until the window closes (or --frames ticks ran).
  // FormCreate must have run; InitializeRuntime runs first.
  void Run();

  // One frame tick, with FrameDelta already set.
  void FrameTick();
  // Handles one event of the window.
  void Dispatch(const platform::Event& e);
  void SetFullScreen(bool on);
  void MenuAction(TMenuAction action);
  // Asks whether to quit; Yes closes the window.
  void QuitDialog();
  // Closes the window: Terminating, shutdown in reverse order, "FormClose".
  void Close();
  bool Closed() const { return closed_; }

  // Asked between loop turns; true ends the run as if the window closed.
  void SetStopRequest(std::function<bool()> stop) { stopRequested_ = std::move(stop); }

  TFrameState& State() { return state_; }
  const TProjectSettings& Settings() const { return settings_; }
  bool Active() const { return active_; }
  long long TickCount() const { return ticks_; }
  long long RenderCount() const { return renders_; }
  bool KeyState(uint8_t vk) const { return keys_[vk]; }
  TVrFileManager& Files() { return *files_; }
  platform::Platform& Platform() { return platform_; }
  const TRunOptions& Options() const { return config_.options; }
  const std::string& GameFolder() const { return config_.game.gameFolder; }
  const std::string& SaveFolder() const { return saveFolder_; }
  // The clock's time when the first frame was presented (-1: none yet).
  int64_t FirstPresentAtMs() const { return firstPresentAt_; }

 private:
  void OnTickDue(int64_t now);
  void OpenAudio();
  void Render();
  void Shutdown();
  bool Shortcut(const platform::Event& e);
  std::string TitleUtf8() const;

  platform::Platform& platform_;
  TRuntimeHooks& hooks_;
  Config config_;
  std::unique_ptr<TVrFileManager> files_;
  TFrameState state_;
  TFrameTimer timer_;
  TProjectSettings settings_;
  std::string saveFolder_;

  bool active_ = true;
  bool runtimeReady_ = false;
  bool closed_ = false;
  int32_t renderPhase_ = 0;
  int32_t skipRender_ = 0;
  long long ticks_ = 0, idleSlots_ = 0, renders_ = 0;
  std::array<bool, 256> keys_{};
  std::function<bool()> stopRequested_;

  // What exists, so that shutdown frees only that, in reverse order.
  bool variablesMade_ = false, registryMade_ = false, projectMade_ = false, mediaMade_ = false;

  // FPS measurement.
  int64_t fpsStart_ = 0;
  int fpsPresents_ = 0;
  int64_t firstPresentAt_ = -1;
};

}  // namespace orva
