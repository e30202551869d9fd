#include "shell/view.h"

#include <gtest/gtest.h>

#include "common/errors.h"
#include "common/log.h"
#include "platform/keys.h"
#include "platform/null_display.h"
#include "recording_hooks.h"
#include "testsupport.h"

namespace orva {
namespace {

using platform::Event;
using platform::EventType;

Event Ev(EventType type) {
  Event e;
  e.type = type;
  return e;
}

TRunOptions Options(std::optional<long long> frames, std::optional<int> fixedDelta = {}, std::string screenshot = {}) {
  TRunOptions o;
  o.frames = frames;
  o.fixedDelta = fixedDelta;
  o.screenshot = std::move(screenshot);
  return o;
}

class ViewTest : public ::testing::Test {
 protected:
  ViewTest() {
    auto clock = std::make_unique<platform::SteppingClock>(1000);
    clock_ = clock.get();
    platform_ = platform::MakeNullPlatform(std::move(clock));
    display_ = static_cast<platform::NullDisplay*>(platform_.display.get());
    events_ = static_cast<platform::QueuedEventSource*>(platform_.events.get());
    box_ = static_cast<platform::ScriptedMessageBox*>(platform_.messageBox.get());
    box_->SetEcho(false);
    orvatest::WriteFile(dir / "orva.opb", std::string("project"));
    previousSink_ = log::SetTraceSink([this](std::string_view line) { steps.emplace_back(line); });
  }
  ~ViewTest() override { log::SetTraceSink(std::move(previousSink_)); }

  TFormView& Make(TRunOptions options = {}, bool japanese = false) {
    if (!options.fixedDelta) options.fixedDelta = 16;
    TFormView::Config config{options, FindGame({}, dir.path()), japanese};
    view = std::make_unique<TFormView>(platform_, hooks, config);
    return *view;
  }

  // A view made, started and run for `frames` ticks.
  TFormView& RunFrames(long long frames, TRunOptions options = {}) {
    options.frames = frames;
    Make(options);
    view->FormCreate();
    view->Run();
    return *view;
  }

  // A view that meets `first` before its first tick, run for `frames` ticks.
  TFormView& RunAfter(EventType first, long long frames) {
    Make(Options(frames));
    view->FormCreate();
    events_->Push(Ev(first));
    view->Run();
    return *view;
  }

  static Event Key(EventType type, uint8_t key, uint32_t modifiers = 0, bool repeat = false) {
    Event e;
    e.type = type;
    e.key = key;
    e.modifiers = modifiers;
    e.repeat = repeat;
    return e;
  }

  orvatest::TempDir dir;
  platform::Platform platform_;
  platform::SteppingClock* clock_;
  platform::NullDisplay* display_;
  platform::QueuedEventSource* events_;
  platform::ScriptedMessageBox* box_;
  orvatest::RecordingHooks hooks;
  std::unique_ptr<TFormView> view;
  std::vector<std::string> steps;

 private:
  log::Sink previousSink_;
};

TEST_F(ViewTest, StartsUpInOrderAndShutsDownInReverse) {
  RunFrames(2);
  EXPECT_TRUE(view->Closed());
  view.reset();
  const std::vector<std::string> expected = {
      "[step] FormCreate",   "[step] TBasePanel.Create", "[step] OrvaInitialize", "[step] TProject.Create",
      "[step] DXSound.Initialize", "[step] MediaInit",   "[step] OrvaInitColor",  "[step] Project.Free",
      "[step] SysFuncMan.Free", "[step] ParamMan.Free",  "[step] OrvaFinalize",   "[step] MediaFinal",
      "[step] FormClose",    "[step] FileManager.Free"};
  EXPECT_EQ(steps, expected);
  const std::vector<std::string> lifecycle = {"CreateVariables", "CreateRegistry", "CreateProject", "InitMedia 640x480",
                                              "InitColor",       "FreeProject",    "FreeSysFuncs",  "FreeVariables",
                                              "FinalizeRegistry", "FinalizeMedia"};
  std::vector<std::string> seen;
  for (const auto& c : hooks.calls)
    if (std::find(lifecycle.begin(), lifecycle.end(), c) != lifecycle.end()) seen.push_back(c);
  EXPECT_EQ(seen, lifecycle);
}

TEST_F(ViewTest, OneTickRunsItsStepsInOrder) {
  RunFrames(1);
  std::vector<std::string> tick;
  for (const auto& c : hooks.calls)
    if (c == "InputUpkeep" || c == "RunInterpreter" || c == "UpdateStreams" || c == "RegistryTick" ||
        c == "Compose" || c == "AfterPresent")
      tick.push_back(c);
  EXPECT_EQ(tick, (std::vector<std::string>{"InputUpkeep", "RunInterpreter", "UpdateStreams", "RegistryTick",
                                            "Compose", "AfterPresent"}));
}

TEST_F(ViewTest, ALostSoundDeviceIsOpenedAgainAndTheMediaRestored) {
  RunAfter(EventType::AudioDeviceLost, 2);
  EXPECT_EQ(hooks.Count("RestoreMedia"), 1);
}

TEST_F(ViewTest, FixedDeltaRunsAreExact) {
  for (int delta : {16, 33}) {
    steps.clear();
    hooks.calls.clear();
    auto& v = RunFrames(50, Options({}, delta));
    EXPECT_EQ(v.TickCount(), 50);
    EXPECT_EQ(v.State().gameTime, 50LL * delta);
    EXPECT_EQ(v.State().frameDelta, delta);
    EXPECT_EQ(v.State().frameCounter, 50);
    EXPECT_EQ(hooks.Count("RunInterpreter"), 50);
  }
}

TEST_F(ViewTest, FpsDivisorThinsDrawingButNotLogic) {
  struct Case {
    int divisor, draws;
  };
  for (Case c : {Case{1, 20}, Case{2, 10}, Case{4, 5}, Case{10, 2}, Case{0, 20}}) {
    hooks.calls.clear();
    Make(Options(20));
    view->State().fpsDivisor = c.divisor;
    view->FormCreate();
    view->Run();
    EXPECT_EQ(hooks.Count("RunInterpreter"), 20) << c.divisor;
    EXPECT_EQ(hooks.Count("Compose"), c.draws) << c.divisor;
    EXPECT_EQ(view->RenderCount(), c.draws) << c.divisor;
  }
}

TEST_F(ViewTest, TheTickThatLoadsAGameIsNotDrawn) {
  hooks.gameLoadedOnce = true;
  RunFrames(5);
  EXPECT_EQ(hooks.Count("RunInterpreter"), 5);
  EXPECT_EQ(hooks.Count("Compose"), 4);
  EXPECT_EQ(view->State().frameCounter, 5);
}

TEST_F(ViewTest, AStallIsNotCounted) {
  int tick = 0;
  hooks.onInterpreter = [&] {
    if (++tick == 2) clock_->Advance(500);  // the machine hangs inside the second tick
  };
  RunFrames(4);
  EXPECT_EQ(view->TickCount(), 4);
  EXPECT_EQ(view->State().gameTime, 4 * 16);
  EXPECT_EQ(hooks.Count("RunInterpreter"), 4);
}

TEST_F(ViewTest, AnInactiveWindowPausesAndThePauseIsNotCounted) {
  Make();
  view->FormCreate();
  view->InitializeRuntime();
  view->Dispatch(Ev(EventType::FocusLost));
  EXPECT_FALSE(view->Active());
  EXPECT_EQ(hooks.Count("PauseMedia"), 1);
  EXPECT_EQ(hooks.Count("ReleaseKeys"), 1);
  hooks.calls.clear();
  view->Dispatch(Key(EventType::KeyDown, 'A'));  // not forwarded while inactive
  EXPECT_TRUE(hooks.calls.empty());

  clock_->Advance(5000);
  view->Dispatch(Ev(EventType::FocusGained));
  EXPECT_TRUE(view->Active());
  EXPECT_EQ(hooks.Count("ResumeMedia"), 1);
  // The five seconds away are not in GameTime.
  view->SetStopRequest([&] { return view->TickCount() >= 3; });
  view->Run();
  EXPECT_EQ(view->State().gameTime, 3 * 16);
}

TEST_F(ViewTest, InactiveRunDoesNotTick) {
  RunAfter(EventType::FocusLost, 10);
  EXPECT_EQ(view->TickCount(), 0);
  EXPECT_EQ(view->State().gameTime, 0);
  EXPECT_EQ(hooks.Count("RunInterpreter"), 0);
}

TEST_F(ViewTest, AProjectThatKeepsRunningIgnoresDeactivation) {
  hooks.useSettings = true;
  hooks.settings.pauseWhenInactive = false;
  RunAfter(EventType::FocusLost, 6);
  EXPECT_TRUE(view->Active());
  EXPECT_EQ(view->TickCount(), 6);
  EXPECT_EQ(hooks.Count("PauseMedia"), 0);
}

TEST_F(ViewTest, ForwardsInputAsVirtualKeysAndFramePositions) {
  Make();
  view->FormCreate();
  Event down = Ev(EventType::MouseDown);
  down.button = platform::MouseButton::Right;
  down.x = 10;
  down.y = 20;
  Event up = down;
  up.type = EventType::MouseUp;
  Event move = Ev(EventType::MouseMove);
  move.x = 639;
  move.y = 479;
  Event wheel = Ev(EventType::Wheel);
  wheel.wheel = -1;
  Event text = Ev(EventType::TextInput);
  text.text = "あ";
  struct Case {
    Event e;
    std::string call;  // "" when nothing reaches the registry
  };
  const std::vector<Case> cases = {
      {down, "MouseDown 1 10,20"},
      {up, "MouseUp 1 10,20"},
      {move, "MouseMove 639,479"},
      {wheel, "Wheel -1"},
      {Key(EventType::KeyDown, vk::kReturn), "KeyDown 13"},
      {Key(EventType::KeyDown, vk::kReturn, 0, true), ""},  // system auto-repeat
      {Key(EventType::KeyUp, vk::kReturn), "KeyUp 13"},
      {Key(EventType::KeyDown, vk::kF1 + 11), "KeyDown 123"},
      {Key(EventType::KeyDown, vk::kA + 25, platform::kModShift), "KeyDown 90"},
      {text, "Text あ"},
  };
  for (const auto& c : cases) {
    hooks.calls.clear();
    view->Dispatch(c.e);
    if (c.call.empty()) {
      EXPECT_TRUE(hooks.calls.empty()) << hooks.calls.front();
    } else {
      EXPECT_EQ(hooks.calls, std::vector<std::string>{c.call});
    }
  }
  EXPECT_TRUE(view->KeyState(vk::kA + 25));
  EXPECT_FALSE(view->KeyState(vk::kReturn));
}

TEST_F(ViewTest, DocumentedKeysReachTheMenuActions) {
  Make();
  view->FormCreate();
  view->InitializeRuntime();
  struct Case {
    uint8_t key;
    uint32_t mods;
    int interval, divisor;
  };
  const uint32_t alt = platform::kModAlt, ctrlAlt = platform::kModAlt | platform::kModCtrl;
  const std::vector<Case> cases = {
      {'2', alt, 64, 1},      {'3', alt, 128, 1},     {'0', alt, 1, 1},   {'1', alt, 16, 1},
      {'2', ctrlAlt, 16, 2},  {'4', ctrlAlt, 16, 4},  {'0', ctrlAlt, 16, 10},
      {'A', ctrlAlt, 16, 10},  // FPS AUTO keeps the divisor
      {'1', ctrlAlt, 16, 1},
  };
  for (const auto& c : cases) {
    hooks.calls.clear();
    view->Dispatch(Key(EventType::KeyDown, c.key, c.mods));
    EXPECT_EQ(view->State().frameInterval, c.interval) << c.key << " " << c.mods;
    EXPECT_EQ(view->State().fpsDivisor, c.divisor) << c.key << " " << c.mods;
    EXPECT_EQ(hooks.Count("KeyDown " + std::to_string(c.key)), 0);  // taken by the shell
  }
}

TEST_F(ViewTest, AltEnterSwitchesToFullScreenAndBack) {
  Make();
  view->FormCreate();
  view->InitializeRuntime();
  steps.clear();
  view->Dispatch(Key(EventType::KeyDown, vk::kReturn, platform::kModAlt));
  EXPECT_TRUE(display_->IsFullScreen());
  EXPECT_EQ(steps, (std::vector<std::string>{
                       "[step] SetFullScreen", "[hook] CloseMidiForSwitch", "[step] SetFullScreen.Full",
                       "[step] SetFullScreen.Full.Bases.FreeDX", "[step] SetFullScreen.Full.MediaSuspend",
                       "[step] SetFullScreen.Full.ScreenMan.FreeDX", "[step] SetFullScreen.Full.StoreWindow",
                       "[step] SetFullScreen.Full.SetScreenManIndex", "[step] SetFullScreen.SetBounds",
                       "[hook] ReopenMidiAfterSwitch", "[step] SetFullScreen.Bases.Reload",
                       "[step] SetFullScreen.MediaResume"}));
  EXPECT_EQ(hooks.Count("FreeSurfaces"), 1);
  EXPECT_EQ(hooks.Count("ReloadSurfaces"), 1);

  steps.clear();
  view->MenuAction(TMenuAction::FullScreen);
  EXPECT_FALSE(display_->IsFullScreen());
  EXPECT_EQ(steps.at(1), "[hook] CloseMidiForSwitch");
  EXPECT_EQ(steps.at(2), "[step] SetFullScreen.Normal");
  EXPECT_EQ(steps.at(6), "[step] SetFullScreen.Normal.RestoreWindow");

  steps.clear();
  view->SetFullScreen(false);  // already windowed: nothing but the marker
  EXPECT_EQ(steps, std::vector<std::string>{"[step] SetFullScreen"});
}

TEST_F(ViewTest, QuitAsksInTheUsersLanguage) {
  struct Case {
    bool japanese;
    platform::MessageResult answer;
    std::string text;
    bool closes;
  };
  const std::vector<Case> cases = {
      {true, platform::MessageResult::Yes, "「ゲーム」を終了しますか？", true},
      {false, platform::MessageResult::No, "Do you want to exit ゲーム?", false},
  };
  for (const auto& c : cases) {
    hooks.calls.clear();
    hooks.useSettings = true;
    hooks.settings.title = "\x83\x51\x81\x5B\x83\x80";  // CP932
    Make({}, c.japanese);
    view->FormCreate();
    view->InitializeRuntime();
    box_->Script({c.answer});
    view->MenuAction(TMenuAction::Quit);
    ASSERT_FALSE(box_->Log().empty());
    EXPECT_EQ(box_->Log().back().text, c.text);
    EXPECT_EQ(box_->Log().back().caption, "ゲーム");
    EXPECT_EQ(view->Closed(), c.closes);
    EXPECT_EQ(view->State().terminating, c.closes);
  }
}

TEST_F(ViewTest, OpensTheWindowAtTheProjectSize) {
  hooks.useSettings = true;
  hooks.settings.width = 320;
  hooks.settings.height = 200;
  hooks.settings.title = "Demo";
  const std::string shot = dir / "shot.png";
  RunFrames(3, Options({}, {}, shot));
  EXPECT_TRUE(display_->Created());
  EXPECT_EQ(display_->Width(), 320);
  EXPECT_EQ(display_->Height(), 200);
  EXPECT_EQ(display_->Title(), "Demo");
  EXPECT_EQ(display_->PresentCount(), 1);  // a static screen is presented once
  EXPECT_EQ(hooks.Count("InitMedia 320x200"), 1);
  // The screenshot is a PNG of that size: signature, then IHDR width and height.
  const std::string png = orvatest::ReadFile(shot);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  auto be32 = [&](size_t at) {
    return (uint32_t(uint8_t(png[at])) << 24) | (uint32_t(uint8_t(png[at + 1])) << 16) |
           (uint32_t(uint8_t(png[at + 2])) << 8) | uint8_t(png[at + 3]);
  };
  EXPECT_EQ(be32(16), 320u);
  EXPECT_EQ(be32(20), 200u);
}

TEST_F(ViewTest, AFailedProjectStopsBeforeTheWindow) {
  hooks.projectOk = false;
  Make();
  view->FormCreate();
  EXPECT_TRUE(view->State().terminating);
  view->Run();
  EXPECT_TRUE(view->Closed());
  EXPECT_FALSE(display_->Created());
  EXPECT_EQ(hooks.Count("InitMedia 640x480"), 0);
  EXPECT_EQ(hooks.Count("FreeProject"), 1);
  EXPECT_EQ(hooks.Count("FinalizeMedia"), 0);  // never started
}

TEST_F(ViewTest, AnErrorInTheDeferredStartUpIsShownAndIsFatal) {
  hooks.onInitMedia = [] { throw OrvaError::Utf8("サウンドデバイスがありません"); };
  RunFrames(5);
  EXPECT_TRUE(view->Closed());
  EXPECT_TRUE(view->State().fatalError);
  EXPECT_EQ(view->TickCount(), 0);
  ASSERT_EQ(box_->Log().size(), 1u);
  EXPECT_EQ(box_->Log()[0].caption, "情報");
  EXPECT_EQ(box_->Log()[0].text, "サウンドデバイスがありません");
  EXPECT_EQ(hooks.Count("FreeProject fatal"), 1);
}

TEST_F(ViewTest, TerminatingFromAScriptClosesTheWindow) {
  int tick = 0;
  hooks.onInterpreter = [&] {
    if (++tick == 3) {
      view->State().terminating = true;
      view->State().fatalError = true;
    }
  };
  RunFrames(100);
  EXPECT_TRUE(view->Closed());
  EXPECT_EQ(view->TickCount(), 3);
  EXPECT_EQ(hooks.Count("RegistryTick"), 2);  // the tick that ended stops after the interpreter
  EXPECT_EQ(hooks.Count("FreeProject fatal"), 1);
}

TEST_F(ViewTest, TheWindowsCloseButtonEndsTheRun) {
  RunAfter(EventType::Quit, 100);
  EXPECT_TRUE(view->Closed());
  EXPECT_EQ(view->TickCount(), 0);
  EXPECT_EQ(steps.back(), "[step] FormClose");
}

}  // namespace
}  // namespace orva
