// orvatool midi on files it makes from note lists: info, dump, refusals,
// the note list's errors, and the timing of rendered notes through tempo
// changes and loops (the player's own sequencer, synthesizer and mixer).
#include <gtest/gtest.h>

#include "miditiming.h"
#include "testsupport.h"

namespace {

using orvatest::RunCommand;

std::string Tool(const std::string& args) { return std::string(ORVATOOL_PATH) + " midi " + args; }

// Makes NAME.mid from a note list.
std::string Make(const orvatest::TempDir& dir, const std::string& name, const std::string& notes) {
  orvatest::WriteFile(dir / (name + ".txt"), notes);
  std::string out;
  EXPECT_EQ(RunCommand(Tool("make " + (dir / (name + ".txt")) + " " + (dir / (name + ".mid")) + " 2>&1"), &out), 0)
      << out;
  return dir / (name + ".mid");
}

std::string Render(const orvatest::TempDir& dir, const std::string& mid, const std::string& options) {
  std::string out;
  const std::string wav = dir / "out.wav";
  EXPECT_EQ(RunCommand(Tool("render " + mid + " " + wav + " --soundfont " + orvatest::kTestSoundFont + " " +
                            options + " 2>&1"),
                       &out),
            0)
      << out;
  return orvatest::ReadFile(wav);
}

// Piano notes 30 ticks long at 120 bpm, then 60 bpm from tick 960 on
// (division 480). Each event's time adds the rounded time since the event
// before it, so the times are those of the comments.
const char kTempoSong[] =
    "division 480\n"
    "bpm 0 120\n"
    "program 0 0 0\n"
    "note 0 0 C5 110 30      # 0 ms\n"
    "note 480 0 E5 110 30    # 500 ms\n"
    "bpm 960 60\n"
    "note 960 0 G5 110 30    # 1000 ms\n"
    "note 1200 0 C6 110 30   # 1499 ms\n"
    "note 1600 0 E6 110 30   # 2332 ms\n";

TEST(OrvatoolMidi, InfoAndDumpOfAMadeFile) {
  orvatest::TempDir dir;
  const std::string mid = Make(dir, "tempo", kTempoSong);
  std::string out;
  ASSERT_EQ(RunCommand(Tool("info " + mid), &out), 0) << out;
  // The last note off at tick 1630.
  EXPECT_EQ(out, "{\"format\": 0, \"tracks\": 1, \"division\": 480, \"length_ms\": 2394}\n");
  ASSERT_EQ(RunCommand(Tool("dump " + mid), &out), 0) << out;
  EXPECT_NE(out.find("0 0 0 meta FF 51 07 A1 20\n"), std::string::npos) << out;
  EXPECT_NE(out.find("0 0 - channel B0 07 7F\n"), std::string::npos) << out;  // put in before the first note
  EXPECT_NE(out.find("480 500 0 channel 90 4C 6E\n"), std::string::npos) << out;
  EXPECT_NE(out.find("1630 2394 0 meta FF 2F\n"), std::string::npos) << out;
}

TEST(OrvatoolMidi, RefusedFilesAndBadNoteListsSayWhy) {
  orvatest::TempDir dir;
  orvatest::WriteFile(dir / "a.sgt", "DMUS segment");
  std::string out;
  EXPECT_NE(RunCommand(Tool("info " + (dir / "a.sgt") + " 2>&1"), &out), 0);
  EXPECT_NE(out.find("not a Standard MIDI File"), std::string::npos) << out;
  struct Case {
    const char* notes;
    const char* why;
  } cases[] = {
      {"note 0 0 C4 100\n", "line 1: expected \"note TICK CHANNEL KEY VELOCITY LENGTH\""},
      {"# fine\nnote 0 16 C4 100 10\n", "line 2: \"16\" is not a number from 0 to 15"},
      {"note 0 0 H4 100 10\n", "\"H4\" is not a key"},
      {"sysex 0 7E 00\n", "begins with F0 or F7"},
      {"tempo 0 5\nwhatever 1\n", "line 2: unknown word \"whatever\""},
  };
  for (const Case& c : cases) {
    orvatest::WriteFile(dir / "bad.txt", c.notes);
    EXPECT_NE(RunCommand(Tool("make " + (dir / "bad.txt") + " " + (dir / "bad.mid") + " 2>&1"), &out), 0);
    EXPECT_NE(out.find(c.why), std::string::npos) << out;
  }
}

TEST(OrvatoolMidi, RenderedNotesStartWithinATickOfTheirTimes) {
  orvatest::TempDir dir;
  const std::string mid = Make(dir, "tempo", kTempoSong);
  const std::string wav = Render(dir, mid, "");
  // The song and 2 s after it.
  EXPECT_EQ(wav.size(), 44u + (2394 + 2000) * 441 / 10 * 4);
  const auto peaks = orvatest::PeakPerMs(orvatest::WaveSamples(wav));
  for (int64_t at : {0, 500, 1000, 1499, 2332}) {
    const int64_t onset = orvatest::OnsetAfter(peaks, at - 10, at + 100);
    EXPECT_GE(onset, at - 10) << at;
    EXPECT_LE(onset, at + 25) << at;  // one tick and the piano's attack
  }
  // Rendering is the same every time.
  EXPECT_EQ(Render(dir, mid, ""), wav);
  // From a position: the note at 1499 ms sounds at 499 ms.
  const auto from = orvatest::PeakPerMs(orvatest::WaveSamples(Render(dir, mid, "--from 1000 --seconds 1")));
  EXPECT_EQ(from.size(), 1001u);
  const int64_t onset = orvatest::OnsetAfter(from, 489, 600);
  EXPECT_GE(onset, 489);
  EXPECT_LE(onset, 525);
}

TEST(OrvatoolMidi, ALoopingRenderRepeatsAtTheLoopPoint) {
  orvatest::TempDir dir;
  // Notes at 0 and 300 ms; the song ends at 600 ms.
  const std::string mid = Make(dir, "loop",
                               "division 480\nbpm 0 125\nnote 0 0 C5 110 30\nnote 300 0 G5 110 30\nend 600\n");
  const auto peaks = orvatest::PeakPerMs(orvatest::WaveSamples(Render(dir, mid, "--loop --seconds 2")));
  ASSERT_EQ(peaks.size(), 2001u);
  // Each pass starts one tick after the end of the one before at most.
  for (int pass = 0; pass < 3; ++pass) {
    for (int64_t note : {0, 300}) {
      const int64_t at = pass * 600 + note;
      const int64_t onset = orvatest::OnsetAfter(peaks, at, at + 100);
      EXPECT_GE(onset, at) << "pass " << pass << " note " << note;
      EXPECT_LE(onset, at + 10 * (pass + 1) + 15) << "pass " << pass << " note " << note;
    }
  }
}

}  // namespace
