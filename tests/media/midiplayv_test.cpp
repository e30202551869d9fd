// The sequencer on a recording port: due events each tick and never the
// last, seeking with its chase, pause and resume, the loop, controller
// scales, closed ports and pending system-exclusive messages, and the timer
// thread on a fake clock.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "media/midiplayv.h"
#include "midirig.h"

namespace orva::media {
namespace {

using orvatest::IsAllNotesOff;
using orvatest::IsNote;
using orvatest::IsNoteOn;
using orvatest::RecordingPort;
using orvatest::RecordingSystem;
using Messages = std::vector<std::vector<uint8_t>>;

constexpr uint8_t kGmOn[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

// Division 480 at 480000 us per quarter: one tick is one millisecond.
std::vector<uint8_t> MsSong(const std::function<void(TMidiTrackWriter&)>& fill) {
  TMidiTrackWriter t;
  t.Tempo(0, 480000);
  fill(t);
  return orvatest::MidiFile(480, {t}, 0);
}

// A program, a pan and a volume at 0, a system-exclusive message at 50,
// notes (key 60 + n) at 0, 100, 200, 300, a pan change at 250; 400 ms long.
std::vector<uint8_t> Song() {
  return MsSong([](TMidiTrackWriter& t) {
    t.Channel(0, 0xC0, 5);
    t.Channel(0, 0xB0, 10, 20);
    t.Channel(0, 0xB0, 7, 100);
    t.SysEx(50, kGmOn);
    for (int n = 0; n < 4; ++n) t.Note(n * 100, 0, 60 + n, 100, 50);
    t.Channel(250, 0xB0, 10, 90);
    t.EndAt(400);
  });
}

struct Rig {
  explicit Rig(const std::vector<uint8_t>& song = Song()) : player(&system) {
    player.LoadSong(song);
    EXPECT_TRUE(player.OpenPort(kMidiMapper));
  }
  RecordingPort& port() { return system.At(0); }
  RecordingSystem system;
  TMidiPlayV player;
};

std::vector<int> NoteOnKeys(const Messages& m) {
  std::vector<int> keys;
  for (const auto& x : m)
    if (IsNoteOn(x)) keys.push_back(x[1]);
  return keys;
}

TEST(MidiSequencer, SendsDueEventsEachTickAndNeverTheLast) {
  Rig rig;
  EXPECT_EQ(rig.player.ControllerValue(5, 7), 127);  // every channel's volume at load
  rig.player.PlayFrom(0);
  EXPECT_TRUE(rig.player.IsRunning());
  rig.port().TakeSent();
  rig.port().Advance(10);
  EXPECT_EQ(NoteOnKeys(rig.port().Sent()), std::vector<int>{60});
  rig.port().Advance(90);  // song time 100: the note at 100 is not yet due
  EXPECT_EQ(NoteOnKeys(rig.port().Sent()), std::vector<int>{60});
  rig.port().Advance(10);
  EXPECT_EQ(NoteOnKeys(rig.port().Sent()), (std::vector<int>{60, 61}));
  rig.port().Advance(500);
  EXPECT_EQ(NoteOnKeys(rig.port().Sent()), (std::vector<int>{60, 61, 62, 63}));
  EXPECT_TRUE(rig.player.IsSongEnd());
  EXPECT_TRUE(rig.player.IsRunning());
  // The end-of-track at 400 is due but not sent; the song time stays.
  EXPECT_EQ(rig.player.CurrentIndex(), rig.player.Events().Count() - 1);
  const int32_t end = rig.player.SongTime();
  rig.port().Advance(100);
  EXPECT_EQ(rig.player.SongTime(), end);
  // A stalled tick catches up at most one second.
  rig.player.PlayFrom(0);
  rig.port().ticker.Step(5000);
  EXPECT_EQ(rig.player.SongTime(), 1000);
}

TEST(MidiSequencer, PlayFromPastTheEndStartsAtZero) {
  Rig rig;
  rig.player.PlayFrom(0);
  rig.port().Advance(600);
  rig.player.PlayFrom(100000);
  EXPECT_EQ(rig.player.CurrentIndex(), 0u);
  EXPECT_EQ(rig.player.SongTime(), 0);
  rig.port().TakeSent();
  rig.port().Advance(10);
  EXPECT_EQ(NoteOnKeys(rig.port().Sent()), std::vector<int>{60});
}

TEST(MidiSequencer, SeekingBackReplaysEverythingButNotes) {
  Rig rig;
  rig.player.PlayFrom(0);
  rig.port().Advance(380);
  rig.port().TakeSent();
  rig.player.PlayFrom(260);
  const Messages sent = rig.port().TakeSent();
  ASSERT_GE(sent.size(), 16u);
  for (size_t ch = 0; ch < 16; ++ch) EXPECT_TRUE(IsAllNotesOff(sent[ch])) << ch;
  const Messages chase(sent.begin() + 16, sent.end());
  const Messages want = {{0xC0, 5}, {0xB0, 10, 20}, {0xB0, 7, 100},
                         {kGmOn, kGmOn + sizeof kGmOn}, {0xB0, 10, 90}};
  EXPECT_EQ(chase, want);
  EXPECT_EQ(rig.player.SongTime(), 260);
  rig.port().Advance(50);
  EXPECT_EQ(NoteOnKeys(rig.port().Sent()), std::vector<int>{63});
}

TEST(MidiSequencer, PlayAfterStopResumesWhereItStopped) {
  for (bool systemOn : {false, true}) {
    SCOPED_TRACE(systemOn ? "after General MIDI on" : "same port state");
    Rig rig;
    rig.player.PlayFrom(0);
    rig.port().Advance(160);  // a rest between the notes at 100 and 200
    const int32_t paused = rig.player.SongTime();
    rig.player.StopSong();
    EXPECT_FALSE(rig.player.IsRunning());
    rig.port().TakeSent();
    if (systemOn) rig.player.SendSystemOn();
    rig.player.PlayFrom(paused);
    EXPECT_EQ(rig.player.SongTime(), paused);
    const Messages resumed = rig.port().TakeSent();
    for (const auto& m : resumed) EXPECT_FALSE(IsNote(m));
    // After General MIDI on the program and controllers come again.
    EXPECT_EQ(std::count(resumed.begin(), resumed.end(), std::vector<uint8_t>{0xC0, 5}), systemOn ? 1 : 0);
    rig.port().Advance(40);
    EXPECT_TRUE(NoteOnKeys(rig.port().Sent()).empty());
    rig.port().Advance(10);
    EXPECT_EQ(NoteOnKeys(rig.port().Sent()), std::vector<int>{62});
  }
}

TEST(MidiSequencer, ALoopingSongRestartsWithinOneTick) {
  Rig rig;
  rig.player.SetLoop(true);
  EXPECT_FALSE(rig.player.IsSongEnd());
  std::vector<int64_t> firstNoteAt;
  rig.port().onSend = [&](const std::vector<uint8_t>& m) {
    if (IsNoteOn(m) && m[1] == 60) firstNoteAt.push_back(rig.port().ticker.Now());
  };
  rig.player.PlayFrom(0);
  rig.port().Advance(1000);
  ASSERT_GE(firstNoteAt.size(), 3u);
  for (size_t i = 1; i < firstNoteAt.size(); ++i) {
    const int64_t period = firstNoteAt[i] - firstNoteAt[i - 1];
    EXPECT_GE(period, 400);
    EXPECT_LE(period, 410);
  }
}

TEST(MidiSequencer, ControllerScalesNeverSendMoreThan127) {
  Rig rig(MsSong([](TMidiTrackWriter& t) {
    t.Channel(0, 0xB0, 7, 100);
    t.Channel(0, 0xB1, 7, 127);
    t.Note(10, 0, 60, 100, 10);
  }));
  rig.player.PlayFrom(0);
  rig.port().Advance(20);
  auto volumes = [&] {
    std::vector<int> v;
    for (const auto& m : rig.port().TakeSent())
      if ((m[0] & 0xF0) == 0xB0 && m[1] == 7 && (m[0] & 0x0F) < 2) v.push_back(m[2]);
    return v;
  };
  EXPECT_EQ(volumes(), (std::vector<int>{100, 127}));
  rig.player.SetControllerScale(7, 50);  // item volume -5000
  EXPECT_EQ(volumes(), (std::vector<int>{50, 63}));
  rig.player.SetControllerScale(7, 150);  // an item louder than 0 dB
  EXPECT_EQ(rig.player.ControllerScale(3, 7), 100);
  EXPECT_EQ(volumes(), (std::vector<int>{100, 127}));
  rig.player.SetControllerScale(200, 50);  // no such controller: nothing
  EXPECT_TRUE(rig.port().Sent().empty());
}

TEST(MidiSequencer, AClosedPortGetsNothing) {
  RecordingSystem system;
  system.At(0).refuse = true;
  TMidiPlayV player(&system);
  player.LoadSong(Song());
  EXPECT_FALSE(player.OpenPort(kMidiMapper));
  EXPECT_FALSE(player.PortOpen());
  player.SendSystemOn();
  player.PlayFrom(260);
  player.StopSong();
  EXPECT_TRUE(system.At(0).Sent().empty());
  EXPECT_EQ(player.PendingMessages(), 0u);
  EXPECT_FALSE(player.OpenPort(5));  // no such device
}

TEST(MidiSequencer, PendingSystemExclusiveGoesOnCompletionOrAtClose) {
  Rig rig;
  rig.port().keepLong = true;
  rig.player.SendSystemOn();
  rig.player.SendSystemOn();
  EXPECT_EQ(rig.player.PendingMessages(), 2u);
  rig.port().Complete(rig.port().kept[0]);
  EXPECT_EQ(rig.player.PendingMessages(), 1u);
  rig.player.PlayFrom(0);
  rig.player.ClosePort();
  EXPECT_EQ(rig.player.PendingMessages(), 0u);
  EXPECT_EQ(rig.port().resets, 1);
  EXPECT_EQ(rig.port().closes, 1);
  EXPECT_FALSE(rig.player.IsRunning());
}

// The timer thread, on a clock the test moves.
struct TimerRig {
  TimerRig() : system(1), player(&system, [this] { return clock.load(); }) {
    system.ports[0] = std::make_unique<RecordingPort>(false);
    player.LoadSong(Song());
    player.OpenPort(kMidiMapper);
  }
  // Waits until `done` holds, 5 s at most.
  static bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
  }
  std::atomic<int64_t> clock{0};
  RecordingSystem system;
  TMidiPlayV player;
};

TEST(MidiTimer, AStalledTimerCatchesUpAtMostOneSecond) {
  TimerRig rig;
  rig.player.PlayFrom(0);
  rig.clock = 5000;
  ASSERT_TRUE(TimerRig::WaitFor([&] { return rig.player.SongTime() > 0; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(rig.player.SongTime(), 1000);
  rig.player.StopSong();
}

TEST(MidiTimer, HoldWaitsForARunningTick) {
  TimerRig rig;
  std::promise<void> entered, release;
  std::shared_future<void> go = release.get_future().share();
  std::atomic<bool> first{true};
  rig.system.At(0).onSend = [&](const std::vector<uint8_t>& m) {
    if (IsNoteOn(m) && first.exchange(false)) {
      entered.set_value();
      go.wait();
    }
  };
  rig.player.PlayFrom(0);
  rig.clock = 20;
  entered.get_future().wait();  // a tick is sending the first note
  auto held = std::async(std::launch::async, [&] { rig.player.SetControllerScale(7, 50); });
  EXPECT_EQ(held.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  release.set_value();
  EXPECT_EQ(held.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  rig.player.StopSong();
}

}  // namespace
}  // namespace orva::media
