#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "platform/null_display.h"
#include "platform/platform.h"
#include "testsupport.h"

namespace orva::platform {
namespace {

TEST(NullDisplay, KeepsOnlyTheDirtyRectanglesOfAFrame) {
  NullDisplay d;
  d.Create(4, 3, "t");
  std::vector<uint32_t> frame(5 * 3, 0x00FFFFFF);  // stride 5, wider than the frame
  d.Present(FrameView{frame.data(), 4, 3, 5}, {});
  EXPECT_EQ(d.Pixels(), std::vector<uint32_t>(12, 0x00FFFFFF));

  std::fill(frame.begin(), frame.end(), 0x00112233);
  const Rect dirty[] = {{1, 1, 3, 2}, {3, 2, 9, 9}};  // the second one runs off the frame
  d.Present(FrameView{frame.data(), 4, 3, 5}, dirty);
  const uint32_t W = 0x00FFFFFF, C = 0x00112233;
  EXPECT_EQ(d.Pixels(), (std::vector<uint32_t>{W, W, W, W, W, C, C, W, W, W, W, C}));
  EXPECT_EQ(d.PresentCount(), 2);
}

TEST(NullPlatform, AnswersWithoutAnybodyThere) {
  Platform p = MakeNullPlatform(std::make_unique<SteppingClock>());
  EXPECT_FALSE(p.interactive);
  static_cast<ScriptedMessageBox*>(p.messageBox.get())->SetEcho(false);
  EXPECT_EQ(p.messageBox->Show("終了しますか？", "情報", MessageButtons::YesNo), MessageResult::Yes);
  EXPECT_EQ(p.messageBox->Show("x", "y", MessageButtons::OkCancel), MessageResult::Ok);
  EXPECT_FALSE(p.dialogs->OpenFile("open", "", {}));
  Event e;
  EXPECT_FALSE(p.events->Wait(e, -1));  // never blocks

  SteppingClock& clock = static_cast<SteppingClock&>(*p.clock);
  clock.SleepUntil(40);
  EXPECT_EQ(clock.NowMs(), 40);
  clock.SleepUntil(10);  // time never goes back
  EXPECT_EQ(clock.NowMs(), 40);
}

TEST(NullAudio, PullsOnlyWhileOpenAndPlaying) {
  NullAudioOutput out;
  int calls = 0;
  ASSERT_TRUE(out.Open([&](int16_t* s, int frames) {
    ++calls;
    for (int i = 0; i < frames * 2; ++i) s[i] = 7;
  }, 512));
  EXPECT_EQ(out.Pull(4), std::vector<int16_t>(8, 0));  // opened paused
  out.SetPaused(false);
  EXPECT_EQ(out.Pull(4), std::vector<int16_t>(8, 7));
  out.Close();
  EXPECT_EQ(out.Pull(2), std::vector<int16_t>(4, 0));
  EXPECT_EQ(calls, 1);
}

TEST(DesktopHelpers, RunWithoutAShell) {
  std::string out;
  EXPECT_EQ(RunHelper({"echo", "a b", "$HOME;x"}, &out), 0);
  EXPECT_EQ(out, "a b $HOME;x\n");
  EXPECT_EQ(RunHelper({"false"}, nullptr), 1);
  EXPECT_EQ(RunHelper({"no-such-program-here"}, nullptr), -1);
  EXPECT_FALSE(ProgramOnPath("no-such-program-here"));
  EXPECT_TRUE(ProgramOnPath("sh"));

  // A document name full of shell syntax is one argument, never a command.
  orvatest::TempDir dir;
  const std::string name = dir / "doc; touch injected $(touch injected2) `touch injected3`";
  ASSERT_TRUE(StartDetached({"touch", name}));
  for (int i = 0; i < 100 && orvatest::RunCommand("cd '" + dir.path() + "' && ls | wc -l | grep -qx 1") != 0; ++i)
    usleep(20000);
  std::string listing;
  orvatest::RunCommand("ls '" + dir.path() + "'", &listing);
  EXPECT_EQ(listing, "doc; touch injected $(touch injected2) `touch injected3`\n");
}

TEST(ScriptedDialogs, AnswerInTurnThenCancel) {
  ScriptedDialogs d;
  d.Script({"/a.png", std::nullopt});
  EXPECT_EQ(d.OpenFile("Open", "", {}), "/a.png");
  EXPECT_FALSE(d.SaveFile("Save", "", {}));
  EXPECT_FALSE(d.SelectFolder("Folder", ""));
  EXPECT_TRUE(d.OpenDocument("https://example.org/"));
  EXPECT_EQ(d.Asked(), (std::vector<std::string>{"open: Open", "save: Save", "folder: Folder",
                                                 "document: https://example.org/"}));
}

}  // namespace
}  // namespace orva::platform
