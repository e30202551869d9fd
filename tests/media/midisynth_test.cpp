// The synthesizer port: MIDI items heard through the media layer on game
// time, the port list of a run without a window, silence without a
// SoundFont (the song still runs), and nothing from a stopped, silent synth.
#include <gtest/gtest.h>

#include "common/cp932.h"
#include "media/midisynth.h"
#include "mediarig.h"
#include "midirig.h"
#include "miditiming.h"

namespace orva::media {
namespace {

// Piano notes at 0 and 500 ms, one tick per ms; 800 ms long.
std::vector<uint8_t> TwoNotes() {
  TMidiTrackWriter t;
  t.Tempo(0, 480000);
  t.Note(0, 0, 72, 110, 30);
  t.Note(500, 0, 79, 110, 30);
  t.EndAt(800);
  return orvatest::MidiFile(480, {t}, 0);
}

TMediaSettings WithTestSoundFont() {
  TMediaSettings s;
  s.midiSoundFont = orvatest::kTestSoundFont;
  return s;
}

TEST(MidiSynth, ItemsAreHeardThroughTheMixerOnGameTime) {
  orvatest::MediaRig rig(WithTestSoundFont());
  TMidiManager* midi = rig.layer.Midi();
  ASSERT_NE(midi, nullptr);
  // A run without a window lists the synthesizer only.
  EXPECT_EQ(midi->PortNames(), (std::vector<std::string>{Sys("MIDIマッパー"), "FluidSynth"}));
  rig.Write("a.mid", TwoNotes());
  TDMediaItem* a = midi->Add("a.mid");
  rig.Run(200);
  a->Play();  // at game time 200
  rig.Run(1800);
  const auto peaks = orvatest::PeakPerMs(rig.heard);
  EXPECT_LT(*std::max_element(peaks.begin(), peaks.begin() + 200), 50);
  // Sound leaves the mixer up to two 20 ms blocks ahead of the ear.
  for (int64_t at : {200, 700}) {
    const int64_t onset = orvatest::OnsetAfter(peaks, at, at + 100);
    EXPECT_GE(onset, at) << at;
    EXPECT_LE(onset, at + 40 + 10 + 15) << at;
  }
  EXPECT_TRUE(a->IsEnd());
  // Stopped, and once its voices are gone, the synthesizer gives nothing.
  a->Pause();
  rig.Run(4000);
  EXPECT_EQ(rig.layer.Mixer()->QueuedBlocks(), 0u);
}

// A system of one port: the synthesizer without a mixer.
class SynthOnly : public IMidiSystem {
 public:
  explicit SynthOnly(std::string soundFont) : port(nullptr, std::move(soundFont)) {}
  TMidiDevices ReadDevices() override { return {TMidiDevice{}}; }
  IMidiOut* Port(int) override { return &port; }
  TFluidSynthPort port;
};

TEST(MidiSynth, WithoutASoundFontTheSongRunsInSilence) {
  for (const char* font : {"", "/no/such/bank.sf2"}) {
    SCOPED_TRACE(font);
    SynthOnly system(font);
    TMidiPlayV player(&system);
    player.LoadSong(TwoNotes());
    std::vector<int16_t> block(4410 * 2);
    EXPECT_EQ(system.port.Render(block.data(), 4410), 0);  // stopped and silent
    ASSERT_TRUE(player.OpenPort(kMidiMapper));
    EXPECT_FALSE(system.port.HasSoundFont());
    player.PlayFrom(0);
    for (int i = 0; i < 5; ++i) {
      ASSERT_EQ(system.port.Render(block.data(), 4410), 4410);
      EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](int16_t s) { return s == 0; }));
    }
    EXPECT_EQ(player.SongTime(), 500);
    for (int i = 0; i < 4; ++i) system.port.Render(block.data(), 4410);
    EXPECT_TRUE(player.IsSongEnd());
  }
}

TEST(MidiSynth, EventsFallOnTheTenMillisecondStepsWhateverTheBlock) {
  SynthOnly system(orvatest::kTestSoundFont);
  TMidiPlayV player(&system);
  player.LoadSong(TwoNotes());
  ASSERT_TRUE(player.OpenPort(kMidiMapper));
  EXPECT_TRUE(system.port.HasSoundFont());
  player.PlayFrom(0);
  // Blocks of odd lengths: the song time still moves 10 ms per 441 frames.
  std::vector<int16_t> block(1000 * 2);
  int64_t frames = 0;
  for (int n : {1, 440, 441, 999, 7, 1000, 1000}) {
    ASSERT_EQ(system.port.Render(block.data(), n), n);
    frames += n;
  }
  EXPECT_EQ(player.SongTime(), (frames + 440) / 441 * 10);
  EXPECT_GT(system.port.ActiveVoices(), 0);
}

}  // namespace
}  // namespace orva::media

namespace orva::media {
namespace {

TEST(MidiPorts, TheSoundFontIsTheFirstThatIsThere) {
  orvatest::TempDir dir;
  for (const char* name : {"mine.sf2", "game.sf2", "TimGM6mb.sf2", "FluidR3_GM.sf2"}) orvatest::WriteFile(dir / name, "x");
  struct Case {
    std::string override, configured, want;
  } cases[] = {
      {dir / "mine.sf2", dir / "game.sf2", dir / "mine.sf2"},
      {dir / "gone.sf2", dir / "game.sf2", dir / "game.sf2"},
      {"", "", dir / "TimGM6mb.sf2"},  // default-GM.sf2 first, but it is not there
      {"", dir.path(), dir / "TimGM6mb.sf2"},  // a folder is no SoundFont
  };
  for (const Case& c : cases) EXPECT_EQ(FindSoundFont(c.override, c.configured, dir.path()), c.want);
  orvatest::WriteFile(dir / "default-GM.sf2", "x");
  EXPECT_EQ(FindSoundFont("", "", dir.path()), dir / "default-GM.sf2");
  EXPECT_EQ(FindSoundFont("", "", dir / "nothing"), "");
}

TEST(MidiPorts, DeviceNamesAreCp932OfAtMost32Characters) {
  struct Case {
    std::string utf8, want;
  } cases[] = {
      {"Midi Through Port-0", "Midi Through Port-0"},
      {"シンセ 1", Sys("シンセ 1")},
      {std::string(40, 'a'), std::string(32, 'a')},
      {"音" + std::string(40, 'b'), Sys("音") + std::string(31, 'b')},
      {"Ünïcode ☃", "?n?code ?"},
  };
  for (const Case& c : cases) EXPECT_EQ(MidiDeviceName(c.utf8), c.want) << c.utf8;
}

}  // namespace
}  // namespace orva::media
