#include "shell/view.h"

#include <algorithm>
#include <exception>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/log.h"
#include "platform/keys.h"
#include "storage/vrfiles.h"

namespace orva {

namespace {

constexpr const char* kInfoCaption = "情報";

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  size_t at = text.find(what);
  if (at != std::string::npos) text.replace(at, what.size(), with);
  return text;
}

// Runs one shutdown step; a failing step is reported and the next still runs.
template <typename F>
void Step(const char* name, F&& f) {
  log::StepMarker(name);
  try {
    f();
  } catch (const std::exception& e) {
    log::Warning(std::string(name) + ": " + e.what());
  }
}

}  // namespace

TFormView::TFormView(platform::Platform& platform, TRuntimeHooks& hooks, Config config)
    : platform_(platform),
      hooks_(hooks),
      config_(std::move(config)),
      timer_(config_.options.fixedDelta.value_or(TFrameTimer::kDefaultPeriodMs)) {
  TVrFileManager::Options fo;
  fo.messageBox = platform_.messageBox.get();
  files_ = std::make_unique<TVrFileManager>(std::move(fo));
  hooks_.Attach(*this);
}

TFormView::~TFormView() {
  Close();
  // Work files go with the file manager.
  log::StepMarker("FileManager.Free");
  files_.reset();
}

std::string TFormView::TitleUtf8() const {
  if (!settings_.title.empty()) return cp932::ToUtf8(settings_.title);
  const std::string& folder = config_.game.gameFolder;
  size_t slash = folder.rfind('/');
  std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
  return name.empty() ? "OrvaPlayer" : name;
}

void TFormView::FormCreate() {
  log::StepMarker("FormCreate");
  state_.terminating = false;
  files_->onMounted = [this](TVrFileCollection* c) { hooks_.CollectionMounted(c); };
  try {
    MountGame(config_.game, *files_);
    log::StepMarker("TBasePanel.Create");
    variablesMade_ = true;
    hooks_.CreateVariables();
    log::StepMarker("OrvaInitialize");
    registryMade_ = true;
    hooks_.CreateRegistry();
    log::StepMarker("TProject.Create");
    projectMade_ = true;
    if (!hooks_.CreateProject()) state_.terminating = true;
    if (state_.terminating) return;

    TProjectSettings defaults;
    defaults.width = config_.options.width;
    defaults.height = config_.options.height;
    settings_ = hooks_.Project(defaults);
    settings_.width = std::max(1, settings_.width);
    settings_.height = std::max(1, settings_.height);
    saveFolder_ = SaveFolderFor(config_.game.gameFolder, settings_.title, config_.options.saveDir,
                                platform::FindKnownFolders(platform::ProcessEnvironment()));
    platform_.display->SetScaleMode(config_.options.scale);
    platform_.display->Create(settings_.width, settings_.height, TitleUtf8());
  } catch (const std::exception& e) {
    state_.terminating = true;
    state_.fatalError = true;
    platform_.messageBox->Show(e.what(), kInfoCaption, platform::MessageButtons::Ok, platform::MessageIcon::Information);
  }
}

void TFormView::InitializeRuntime() {
  try {
    log::StepMarker("DXSound.Initialize");
    if (settings_.soundEnabled) OpenAudio();
    log::StepMarker("MediaInit");
    mediaMade_ = true;
    hooks_.InitMedia(settings_.width, settings_.height, [this] {
      if (config_.options.screenshotEvery > 0)
        hooks_.Screen().SetScreenshotSeries(config_.options.screenshotEvery, config_.options.screenshotDir);
      hooks_.Screen().Create(platform_.display.get(), settings_.width, settings_.height);
    });
    log::StepMarker("OrvaInitColor");
    hooks_.InitColor();
    hooks_.SetRegistrySize(settings_.width, settings_.height);
    const int64_t now = platform_.clock->NowMs();
    timer_.Reset(now);
    fpsStart_ = now;
    runtimeReady_ = true;
  } catch (const std::exception& e) {
    state_.terminating = true;
    state_.fatalError = true;
    platform_.messageBox->Show(e.what(), kInfoCaption, platform::MessageButtons::Ok, platform::MessageIcon::Information);
  }
}

void TFormView::OpenAudio() {
  // A machine without a sound device plays silent.
  if (auto mixer = hooks_.Mixer(); mixer && platform_.audio->Open(std::move(mixer), hooks_.MixerBufferFrames()))
    platform_.audio->SetPaused(false);
}

void TFormView::Run() {
  if (!state_.terminating && !runtimeReady_ && !closed_) InitializeRuntime();
  if (state_.terminating) {
    Close();
    return;
  }
  if (config_.options.fullScreen) SetFullScreen(true);
  const auto& frames = config_.options.frames;
  platform::Event e;
  while (!closed_) {
    if ((stopRequested_ && stopRequested_()) || (frames && ticks_ + idleSlots_ >= *frames)) {
      Close();
      break;
    }
    const int64_t now = platform_.clock->NowMs();
    if (active_) {
      const int64_t due = timer_.NextDue();
      if (now >= due) {
        OnTickDue(now);
        continue;
      }
      if (platform_.events->Wait(e, static_cast<int>(std::min<int64_t>(due - now, 1000)))) {
        Dispatch(e);
        continue;
      }
      platform_.clock->SleepUntil(due);
    } else if (platform_.events->Wait(e, platform_.interactive ? 1000 : 0)) {
      Dispatch(e);
    } else if (!platform_.interactive) {
      // Nobody will activate a window that does not exist: let the time of
      // one tick pass, so that --frames still ends the run.
      platform_.clock->SleepUntil(now + timer_.Period());
      ++idleSlots_;
    }
  }
}

void TFormView::OnTickDue(int64_t now) {
  if (!timer_.Advance(now, state_)) return;
  ++ticks_;
  FrameTick();
  if (now - fpsStart_ >= 2000) {
    hooks_.Screen().SetFps(static_cast<int>(fpsPresents_ * 1000LL / (now - fpsStart_)));
    fpsStart_ = now;
    fpsPresents_ = 0;
  }
  // A script error or the end of the game set Terminating: the window closes.
  if (state_.terminating && !closed_) Close();
}

void TFormView::FrameTick() {
  if (!projectMade_ || closed_) return;
  files_->Upkeep(state_.frameDelta);
  hooks_.RegistryInputUpkeep();
  hooks_.RunInterpreter();
  if (state_.terminating) return;
  hooks_.UpdateStreams();
  hooks_.RegistryTick();
  ++state_.frameCounter;
  if (hooks_.TakeGameLoaded()) skipRender_ = 1;
  if (skipRender_ > 0) {
    --skipRender_;
    return;
  }
  // A divisor below 1 would divide by zero: it draws every tick.
  renderPhase_ = (renderPhase_ + 1) % std::max(1, state_.fpsDivisor);
  if (renderPhase_ != 0) return;
  Render();
}

void TFormView::Render() {
  ++renders_;
  hooks_.Compose();
  if (hooks_.Screen().Present()) {
    ++fpsPresents_;
    if (firstPresentAt_ < 0) firstPresentAt_ = platform_.clock->NowMs();
  }
  hooks_.AfterPresent();
}

bool TFormView::Shortcut(const platform::Event& e) {
  using platform::kModAlt;
  using platform::kModCtrl;
  if (!(e.modifiers & kModAlt) || e.repeat) return false;
  struct Binding {
    uint8_t key;
    bool ctrl;
    TMenuAction action;
  };
  static constexpr Binding kBindings[] = {
      {vk::kReturn, false, TMenuAction::FullScreen}, {vk::kA + ('Q' - 'A'), false, TMenuAction::Quit},
      {vk::k0 + 1, false, TMenuAction::SpeedX1},     {vk::k0 + 2, false, TMenuAction::SpeedX4},
      {vk::k0 + 3, false, TMenuAction::SpeedX8},     {vk::k0 + 0, false, TMenuAction::SpeedNoWait},
      {vk::k0 + 1, true, TMenuAction::Fps1},         {vk::k0 + 2, true, TMenuAction::Fps2},
      {vk::k0 + 4, true, TMenuAction::Fps4},         {vk::k0 + 0, true, TMenuAction::Fps10},
      {vk::kA, true, TMenuAction::FpsAuto},
  };
  const bool ctrl = (e.modifiers & kModCtrl) != 0;
  for (const auto& b : kBindings) {
    if (b.key == e.key && b.ctrl == ctrl) {
      MenuAction(b.action);
      return true;
    }
  }
  return false;
}

void TFormView::Dispatch(const platform::Event& e) {
  using platform::EventType;
  switch (e.type) {
    case EventType::Quit:
      Close();
      return;
    case EventType::FocusLost:
      // Without a project there is nothing to keep running.
      if (!active_ || (projectMade_ && !settings_.pauseWhenInactive)) return;
      active_ = false;
      hooks_.PauseMedia();
      hooks_.ReleaseKeys();
      keys_.fill(false);
      return;
    case EventType::FocusGained:
      if (active_) return;
      active_ = true;
      timer_.Reset(platform_.clock->NowMs());  // the pause is not counted
      hooks_.ResumeMedia();
      return;
    case EventType::Exposed:
      hooks_.Screen().Invalidate();
      return;
    case EventType::AudioDeviceLost:
      if (closed_) return;
      // Opened again on whatever device is there now.
      platform_.audio->Close();
      if (settings_.soundEnabled && runtimeReady_) OpenAudio();
      hooks_.RestoreMedia();
      return;
    default:
      break;
  }
  if (!active_ || closed_) return;
  switch (e.type) {
    case EventType::MouseDown:
      hooks_.MouseDown(e.button, e.x, e.y);
      break;
    case EventType::MouseUp:
      hooks_.MouseUp(e.button, e.x, e.y);
      break;
    case EventType::MouseMove:
      hooks_.MouseMove(e.x, e.y);
      break;
    case EventType::Wheel:
      if (e.wheel != 0) hooks_.Wheel(e.wheel > 0 ? 1 : -1);
      break;
    case EventType::KeyDown:
      if (e.key == 0 || Shortcut(e)) break;
      // The registry repeats held keys itself: auto-repeat of the system is dropped.
      if (e.repeat) break;
      keys_[e.key] = true;
      hooks_.KeyDown(e.key);
      break;
    case EventType::KeyUp:
      if (e.key == 0) break;
      keys_[e.key] = false;
      hooks_.KeyUp(e.key);
      break;
    case EventType::TextInput:
      hooks_.TextInput(e.text);
      break;
    default:
      break;
  }
}

void TFormView::SetFullScreen(bool on) {
  log::StepMarker("SetFullScreen");
  platform::IDisplay& display = *platform_.display;
  if (on == display.IsFullScreen()) return;
  try {
    hooks_.CloseMidiForSwitch();
    const std::string step = on ? "SetFullScreen.Full" : "SetFullScreen.Normal";
    log::StepMarker(step);
    log::StepMarker(step + ".Bases.FreeDX");
    hooks_.FreeSurfaces();
    log::StepMarker(step + ".MediaSuspend");
    hooks_.SuspendMedia();
    log::StepMarker(step + ".ScreenMan.FreeDX");
    if (!on) {
      log::StepMarker(step + ".RestoreWindow");
      display.SetFullScreen(false);
    } else {
      log::StepMarker(step + ".StoreWindow");
      log::StepMarker(step + ".SetScreenManIndex");
      display.SetFullScreen(true);
      if (!display.IsFullScreen()) {
        log::StepMarker(step + ".SetScreenManIndexFail");
        display.SetFullScreen(false);
      }
    }
    log::StepMarker("SetFullScreen.SetBounds");
    hooks_.ReopenMidiAfterSwitch();
    log::StepMarker("SetFullScreen.Bases.Reload");
    hooks_.ReloadSurfaces();
    log::StepMarker("SetFullScreen.MediaResume");
    hooks_.ResumeSuspendedMedia();
    hooks_.Screen().Invalidate();
  } catch (const std::exception& e) {
    log::Warning(std::string("screen switch failed: ") + e.what());
    state_.terminating = true;
    state_.fatalError = true;
    Close();
  }
}

void TFormView::MenuAction(TMenuAction action) {
  switch (action) {
    case TMenuAction::FullScreen: SetFullScreen(!platform_.display->IsFullScreen()); break;
    case TMenuAction::Quit: QuitDialog(); break;
    case TMenuAction::SpeedX1: state_.frameInterval = 16; break;
    case TMenuAction::SpeedX4: state_.frameInterval = 64; break;
    case TMenuAction::SpeedX8: state_.frameInterval = 128; break;
    case TMenuAction::SpeedNoWait: state_.frameInterval = 1; break;
    case TMenuAction::Fps1: state_.fpsDivisor = 1; break;
    case TMenuAction::Fps2: state_.fpsDivisor = 2; break;
    case TMenuAction::Fps4: state_.fpsDivisor = 4; break;
    case TMenuAction::Fps10: state_.fpsDivisor = 10; break;
    case TMenuAction::FpsAuto: break;  // keeps the current divisor
  }
}

void TFormView::QuitDialog() {
  if (closed_) return;
  // No ticks while the question is up.
  const bool wasTerminating = state_.terminating;
  state_.terminating = true;
  const std::string title = TitleUtf8();
  const std::string text =
      Replace(config_.japanese ? "「%s」を終了しますか？" : "Do you want to exit %s?", "%s", title);
  auto answer =
      platform_.messageBox->Show(text, title, platform::MessageButtons::YesNo, platform::MessageIcon::Question);
  if (answer == platform::MessageResult::Yes) {
    Close();
  } else {
    state_.terminating = wasTerminating;
    timer_.Reset(platform_.clock->NowMs());  // the time the question was up is not counted
  }
}

void TFormView::Close() {
  if (closed_) return;
  state_.terminating = true;
  if (!config_.options.screenshot.empty() && runtimeReady_) {
    try {
      hooks_.Screen().SaveScreenshotPng(config_.options.screenshot);
    } catch (const std::exception& e) {
      log::Warning(e.what());
    }
  }
  Shutdown();
  log::StepMarker("FormClose");
  closed_ = true;
}

void TFormView::Shutdown() {
  runtimeReady_ = false;  // the loop ticks no more
  if (projectMade_) {
    projectMade_ = false;
    Step("Project.Free", [&] { hooks_.FreeProject(state_.fatalError); });
  }
  if (variablesMade_) {
    variablesMade_ = false;
    Step("SysFuncMan.Free", [&] { hooks_.FreeSysFuncs(); });
    Step("ParamMan.Free", [&] { hooks_.FreeVariables(); });
  }
  if (registryMade_) {
    registryMade_ = false;
    Step("OrvaFinalize", [&] { hooks_.FinalizeRegistry(); });
  }
  if (mediaMade_) {
    mediaMade_ = false;
    Step("MediaFinal", [&] {
      hooks_.FinalizeMedia([this] { hooks_.Screen().Free(); });
      platform_.audio->Close();
    });
  }
}

}  // namespace orva
