// MIDI items and their manager on recording ports: one item at a time,
// sound off and on, ports by index and name, a port change while playing,
// the screen switch, volume, length and position, and files that are not
// there.
#include <gtest/gtest.h>

#include "common/cp932.h"
#include "media/midimanager.h"
#include "storage/vrfiles.h"
#include "midirig.h"
#include "testsupport.h"

namespace orva::media {
namespace {

using orvatest::IsNoteOn;
using orvatest::RecordingPort;
using orvatest::RecordingSystem;

// One tick per millisecond; notes (key 60 + n) every 100 ms, a program at 0.
std::vector<uint8_t> Song(int program, int notes) {
  TMidiTrackWriter t;
  t.Tempo(0, 480000);
  t.Channel(0, 0xC0, static_cast<uint8_t>(program));
  t.Channel(0, 0xB0, 7, 100);
  for (int n = 0; n < notes; ++n) t.Note(n * 100, 0, 60 + n, 100, 50);
  return orvatest::MidiFile(480, {t}, 0);
}

struct Rig {
  Rig() {
    files.SetRootFolder(dir.path());
    context.files = &files;
    auto owned = std::make_unique<RecordingSystem>(2);
    system = owned.get();
    midi = std::make_unique<TMidiManager>(context, std::move(owned));
    orvatest::WriteFile(dir / "a.mid", Song(1, 10));
    orvatest::WriteFile(dir / "b.mid", Song(2, 3));
    orvatest::WriteFile(dir / "empty.mid", std::string());
  }
  RecordingPort& port(size_t i = 0) { return system->At(i); }
  TDMediaItem* Add(const char* name) { return midi->Add(name); }
  // Programs sent on a port.
  std::vector<int> Programs(size_t i = 0) {
    std::vector<int> p;
    for (const auto& m : port(i).Sent())
      if ((m[0] & 0xF0) == 0xC0) p.push_back(m[1]);
    return p;
  }

  orvatest::TempDir dir;
  TVrFileManager files;
  TMediaContext context;
  RecordingSystem* system = nullptr;
  std::unique_ptr<TMidiManager> midi;
};

TEST(MidiManager, ListsThePortsAndSelectsThemByIndexOrName) {
  Rig rig;
  EXPECT_EQ(rig.midi->PortNames(), (std::vector<std::string>{Sys("MIDIマッパー"), "Port 1", "Port 2"}));
  EXPECT_EQ(rig.system->reads, 1);
  EXPECT_EQ(rig.midi->PortName(), Sys("MIDIマッパー"));
  struct Case {
    std::string name;
    int index;
  } cases[] = {{"port 2", 2}, {"Port 1", 1}, {"no such port", 0}, {"PORT 2", 2}, {"", 0}};
  for (const Case& c : cases) {
    rig.midi->SelectPortByName(c.name);
    EXPECT_EQ(rig.midi->PortIndex(), c.index) << c.name;
  }
  rig.midi->SelectPort(99);
  EXPECT_EQ(rig.midi->PortIndex(), 2);
  rig.midi->SelectPort(-3);
  EXPECT_EQ(rig.midi->PortIndex(), 0);
}

TEST(MidiManager, PlaysPausesAndResumesWhereItPaused) {
  Rig rig;
  TDMediaItem* a = rig.Add("a.mid");
  EXPECT_TRUE(a->IsMidi());
  EXPECT_EQ(a->GetLength(), 950);  // measured apart from the sequencer
  EXPECT_FALSE(rig.midi->Player().PortOpen());
  a->Play();
  EXPECT_TRUE(a->IsPlaying());
  // General MIDI on first.
  EXPECT_EQ(rig.port().Sent().front(), (std::vector<uint8_t>{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
  rig.port().Advance(250);
  EXPECT_EQ(a->GetPosition(), 250);
  a->Pause();
  EXPECT_TRUE(a->IsPaused());
  EXPECT_FALSE(a->IsPlaying());
  rig.port().Advance(500);
  rig.port().TakeSent();
  a->Play();
  EXPECT_EQ(a->GetPosition(), 250);
  EXPECT_EQ(rig.Programs(), std::vector<int>{1});  // chased after General MIDI on
  rig.port().Advance(60);
  std::vector<int> keys;
  for (const auto& m : rig.port().Sent())
    if (IsNoteOn(m)) keys.push_back(m[1]);
  EXPECT_EQ(keys, std::vector<int>{63});
  // Positions while not paused seek at once; negative ones count as 0.
  a->SetPosition(-500);
  EXPECT_EQ(a->GetPosition(), 0);
  rig.port().Advance(2000);
  EXPECT_TRUE(a->IsEnd());
  a->SetEndFlag();
  EXPECT_FALSE(a->IsEnd());
}

TEST(MidiManager, TheSecondMidiSoundStopsTheFirst) {
  Rig rig;
  TDMediaItem* a = rig.Add("a.mid");
  TDMediaItem* b = rig.Add("b.mid");
  a->Play();
  rig.port().Advance(150);
  b->Play();
  EXPECT_FALSE(a->IsPlaying());
  EXPECT_EQ(a->GetPosition(), 0);
  EXPECT_TRUE(b->IsPlaying());
  EXPECT_EQ(rig.midi->Current(), b);
  rig.port().Advance(10);
  EXPECT_EQ(rig.Programs(), (std::vector<int>{1, 2}));
  EXPECT_EQ(rig.port().opens, 1);  // the port stays open between songs
  // The current item going closes the port.
  rig.midi->Remove(b);
  EXPECT_EQ(rig.midi->Current(), nullptr);
  EXPECT_FALSE(rig.midi->Player().PortOpen());
  EXPECT_FALSE(a->IsPlaying());
}

TEST(MidiManager, SoundOffAndOnResumesThePlayingSong) {
  Rig rig;
  TDMediaItem* a = rig.Add("a.mid");
  a->Play();
  rig.port().Advance(330);
  rig.midi->SetEnabled(false);
  EXPECT_FALSE(a->IsPlaying());
  rig.port().Advance(1000);
  EXPECT_EQ(a->GetPosition(), 330);
  rig.midi->SetEnabled(true);
  EXPECT_TRUE(a->IsPlaying());
  EXPECT_EQ(a->GetPosition(), 330);
  // Played while sound is off: remembered, started when it comes back.
  rig.midi->SetEnabled(false);
  TDMediaItem* b = rig.Add("b.mid");
  b->Play();
  EXPECT_FALSE(b->IsPlaying());
  EXPECT_EQ(rig.midi->Current(), a);
  rig.midi->SetEnabled(true);
  EXPECT_TRUE(b->IsPlaying());
}

TEST(MidiManager, APortChangeWhilePlayingGoesOnWhereItWas) {
  Rig rig;
  TDMediaItem* a = rig.Add("a.mid");
  a->Play();
  rig.port(0).Advance(420);
  rig.midi->SelectPortByName("Port 2");
  EXPECT_EQ(rig.port(0).closes, 1);
  EXPECT_EQ(rig.port(0).resets, 1);
  EXPECT_TRUE(a->IsPlaying());
  EXPECT_EQ(a->GetPosition(), 420);
  // The new port gets the song's state without its notes.
  EXPECT_EQ(rig.Programs(1), std::vector<int>{1});
  rig.port(1).Advance(100);
  std::vector<int> keys;
  for (const auto& m : rig.port(1).Sent())
    if (IsNoteOn(m)) keys.push_back(m[1]);
  EXPECT_EQ(keys, std::vector<int>{65});
}

TEST(MidiManager, TheScreenSwitchClosesAndReopensThePort) {
  Rig rig;
  rig.midi->CloseForScreenSwitch();  // no port open: nothing
  rig.midi->ReopenAfterScreenSwitch();
  EXPECT_EQ(rig.port().opens, 0);
  TDMediaItem* a = rig.Add("a.mid");
  a->Play();
  rig.port().Advance(230);
  rig.midi->CloseForScreenSwitch();
  EXPECT_FALSE(rig.midi->Player().PortOpen());
  EXPECT_FALSE(a->IsPlaying());
  rig.port().TakeSent();
  rig.midi->ReopenAfterScreenSwitch();
  EXPECT_EQ(rig.port().opens, 2);
  EXPECT_TRUE(a->IsPlaying());
  EXPECT_EQ(a->GetPosition(), 230);
  EXPECT_EQ(rig.port().Sent().front(), (std::vector<uint8_t>{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
}

TEST(MidiManager, VolumeScalesTheSongsOwnVolume) {
  Rig rig;
  TDMediaItem* a = rig.Add("a.mid");
  a->SetVolume(-5000);  // stored until it plays
  a->Play();
  rig.port().Advance(10);
  auto volume0 = [&] {
    int v = -1;
    for (const auto& m : rig.port().TakeSent())
      if (m[0] == 0xB0 && m[1] == 7) v = m[2];
    return v;
  };
  EXPECT_EQ(volume0(), 50);
  struct Case {
    int32_t volume, stored, sent;
  } cases[] = {{0, 0, 100}, {-10000, -10000, 0}, {2000, 0, 100}, {-20000, -10000, 0}, {-2550, -2550, 75}};
  for (const Case& c : cases) {
    a->SetVolume(c.volume);
    EXPECT_EQ(a->GetVolume(), c.stored);
    EXPECT_EQ(volume0(), c.sent) << c.volume;
  }
}

TEST(MidiManager, MissingAndEmptyFilesPlayAsSilentSongs) {
  Rig rig;
  TDMediaItem* a = rig.Add("a.mid");
  a->Play();
  rig.port().Advance(100);
  for (const char* name : {"empty.mid", "missing.mid", "a.sgt"}) {
    SCOPED_TRACE(name);
    TDMediaItem* x = rig.Add(name);
    EXPECT_EQ(x->GetLength(), 0);
    x->Play();
    EXPECT_TRUE(x->IsEnd());
    rig.port().TakeSent();
    rig.port().Advance(300);
    // Never the song of the item before.
    for (const auto& m : rig.port().Sent()) EXPECT_FALSE(IsNoteOn(m));
  }
}

TEST(MidiManager, LoopFlagIsTheSequencersForTheCurrentItem) {
  Rig rig;
  TDMediaItem* b = rig.Add("b.mid");
  b->SetAutoRepeat(true);
  EXPECT_TRUE(b->GetAutoRepeat());
  b->Play();
  EXPECT_TRUE(rig.midi->Player().GetLoop());
  rig.port().Advance(2000);
  EXPECT_FALSE(b->IsEnd());
  b->SetAutoRepeat(false);
  rig.port().Advance(2000);
  EXPECT_TRUE(b->IsEnd());
}

}  // namespace
}  // namespace orva::media
