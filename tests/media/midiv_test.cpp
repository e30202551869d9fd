// Reading MIDI files: timing through tempo maps and SMPTE divisions, the
// refusals, running status, tracks without an end, alien chunks, every
// truncation, and the controller-7 events put in before the first note.
#include <gtest/gtest.h>

#include <functional>

#include "media/midiv.h"
#include "midirig.h"
#include "testsupport.h"

namespace orva::media {
namespace {

using orvatest::MidiFile;

// A file of one track whose data is `bytes` exactly.
std::vector<uint8_t> RawTrackFile(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> file = MidiFile(96, {}, 0);
  file[11] = 1;  // one track
  const std::vector<uint8_t> chunk = MidiChunk("MTrk", bytes);
  file.insert(file.end(), chunk.begin(), chunk.end());
  return file;
}

std::vector<uint8_t> OneTrack(int division, const std::function<void(TMidiTrackWriter&)>& fill) {
  TMidiTrackWriter t;
  fill(t);
  return MidiFile(division, {t}, 0);
}

// The time of the first event at `tick` of class `cls`.
int32_t TimeAt(const TMidiV& song, int64_t tick, TMidiClass cls = TMidiClass::NoteOn) {
  for (const auto& e : song.Events().List())
    if (e.tick == tick && e.cls == cls) return e.time;
  ADD_FAILURE() << "no event at tick " << tick;
  return -1;
}

TEST(MidiReader, TimesFollowTheTempoMapAndTheDivision) {
  struct Case {
    const char* name;
    int division;
    std::function<void(TMidiTrackWriter&)> fill;
    std::vector<std::pair<int64_t, int32_t>> ticksToMs;
  };
  const Case cases[] = {
      // 500000 / 96 / 1000 = 5.208 ms per tick.
      {"96 per quarter", 96,
       [](TMidiTrackWriter& t) {
         t.Note(0, 0, 60, 100, 10);
         t.Note(1, 0, 62, 100, 10);
         t.Note(96, 0, 64, 100, 10);
       },
       {{0, 0}, {1, 5}, {96, 500}}},
      // A tempo 480 ticks after the event before it applies from its own
      // tick: the stretch before it is at the old tempo.
      {"tempo change", 480,
       [](TMidiTrackWriter& t) {
         t.Note(0, 0, 60, 100, 10);
         t.Tempo(480, 1000000);
         t.Note(480, 0, 62, 100, 10);
         t.Note(960, 0, 64, 100, 10);
       },
       {{0, 0}, {480, 500}, {960, 1500}}},
      {"SMPTE 25 x 40", SmpteDivision(25, 40),
       [](TMidiTrackWriter& t) {
         t.Note(0, 0, 60, 100, 10);
         t.Tempo(10, 1000000);  // no effect on SMPTE time
         t.Note(1234, 0, 62, 100, 10);
       },
       {{0, 0}, {1234, 1234}}},
      {"SMPTE 29.97 x 100", SmpteDivision(29, 100), [](TMidiTrackWriter& t) { t.Note(2997, 0, 60, 100, 10); },
       {{2997, 1000}}},
      // Tempo 0 and a tempo without its three bytes change nothing.
      {"tempo 0 and short tempo ignored", 96,
       [](TMidiTrackWriter& t) {
         t.Tempo(0, 0);
         const uint8_t two[2] = {0x07, 0xA1};
         t.Meta(0, 0x51, two);
         t.Note(96, 0, 60, 100, 10);
       },
       {{96, 500}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMidiV song;
    song.LoadSong(OneTrack(c.division, c.fill));
    EXPECT_EQ(song.Refusal(), "");
    for (auto [tick, ms] : c.ticksToMs) EXPECT_EQ(TimeAt(song, tick), ms) << "tick " << tick;
    EXPECT_EQ(song.SongLength(), song.Events()[song.Events().Count() - 1].time);
  }
}

TEST(MidiReader, RefusedFilesLoadAsEmptySongs) {
  std::vector<uint8_t> valid = OneTrack(96, [](TMidiTrackWriter& t) { t.Note(0, 0, 60, 100, 96); });
  auto withDivision = [&](int division) {
    auto f = valid;
    f[12] = static_cast<uint8_t>(division >> 8);
    f[13] = static_cast<uint8_t>(division);
    return f;
  };
  TMidiTrackWriter slow;
  slow.Tempo(0, 0xFFFFFF);
  slow.Note(0x0FFFFFFF, 0, 60, 100, 1);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* why;
  } cases[] = {
      {"not a MIDI file (a .sgt)", orvatest::Bytes("DMUS segment data"), "MThd"},
      {"nothing", {}, "MThd"},
      {"header cut short", std::vector<uint8_t>(valid.begin(), valid.begin() + 12), "cut short"},
      {"division 0", withDivision(0), "division 0"},
      {"SMPTE with 0 ticks per frame", withDivision(SmpteDivision(25, 0)), "0 ticks per frame"},
      {"longer than 2^31 - 1 ms", MidiFile(1, {slow}), "2147483647"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMidiV song;
    song.LoadSong(valid);
    ASSERT_FALSE(song.Events().Empty());
    song.LoadSong(c.bytes);
    EXPECT_TRUE(song.Events().Empty());
    EXPECT_EQ(song.SongLength(), 0);
    EXPECT_NE(song.Refusal().find(c.why), std::string::npos) << song.Refusal();
  }
}

// (class, tick) of every event the track gave, the loader's own left out.
std::vector<std::pair<TMidiClass, int64_t>> Classes(const TMidiV& song) {
  std::vector<std::pair<TMidiClass, int64_t>> out;
  for (const auto& e : song.Events().List())
    if (e.track >= 0) out.emplace_back(e.cls, e.tick);
  return out;
}

TEST(MidiReader, OnlyChannelStatusesRunOn) {
  using C = TMidiClass;
  struct Case {
    const char* name;
    std::vector<uint8_t> track;
    std::vector<std::pair<C, int64_t>> want;
    bool problem;
  } cases[] = {
      {"across meta and system exclusive",
       {0x00, 0x90, 0x3C, 0x64,                    // note on, sets the running status
        0x00, 0xFF, 0x01, 0x01, 0x41,              // text
        0x10, 0x3C, 0x00,                          // running 90: note off
        0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7,        // system exclusive
        0x10, 0x3E, 0x64,                          // running 90: note on
        0x00, 0xFF, 0x2F, 0x00},
       {{C::NoteOn, 0}, {C::Other, 0}, {C::NoteOff, 16}, {C::Other, 16}, {C::NoteOn, 32}, {C::EndOfTrack, 32}},
       false},
      {"data byte with no running status", {0x00, 0xFF, 0x01, 0x00, 0x05, 0x3C, 0x64}, {{C::Other, 0}, {C::EndOfTrack, 0}},
       true},
      {"status byte where a data byte belongs", {0x00, 0xB0, 0x07, 0x40, 0x00, 0x90, 0x3C, 0x90, 0x00, 0x3C, 0x00},
       {{C::ControlChange, 0}, {C::EndOfTrack, 0}}, true},
      {"delta time longer than 4 bytes", {0x00, 0xC0, 0x05, 0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 0x3C, 0x64},
       {{C::Other, 0}, {C::EndOfTrack, 0}}, true},
      {"meta length past the chunk", {0x00, 0xC0, 0x05, 0x0A, 0xFF, 0x01, 0x7F, 0x41}, {{C::Other, 0}, {C::EndOfTrack, 0}},
       true},
      // No end-of-track: one comes at the last tick, so the last note off
      // is not the song's last event (which is never sent).
      {"track without an end", {0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x40},
       {{C::NoteOn, 0}, {C::NoteOff, 96}, {C::EndOfTrack, 96}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMidiV song;
    song.LoadSong(RawTrackFile(c.track));
    EXPECT_EQ(Classes(song), c.want);
    EXPECT_EQ(!song.Problems().empty(), c.problem);
  }
}

TEST(MidiReader, ChunksAreReadWithinTheirLengths) {
  TMidiTrackWriter a, b;
  a.Note(0, 0, 60, 100, 96);
  b.Note(48, 1, 64, 100, 96);
  // A header of 10 bytes, an alien chunk before the tracks, and a first
  // track whose end-of-track is missing: the second still starts after it.
  a.NoEnd();
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 10, 0, 1, 0, 2, 0, 96, 0xAA, 0xBB, 0xCC, 0xDD};
  for (auto chunk : {MidiChunk("XTRA", orvatest::Bytes("\x90\x3C\x64")), MidiChunk("MTrk", a.Bytes()),
                     MidiChunk("MTrk", b.Bytes())})
    file.insert(file.end(), chunk.begin(), chunk.end());
  TMidiV song;
  song.LoadSong(file);
  EXPECT_EQ(song.TrackCount(), 2);
  std::vector<int> tracks;
  for (const auto& e : song.Events().List())
    if (e.cls == TMidiClass::NoteOn) tracks.push_back(e.track);
  EXPECT_EQ(tracks, (std::vector<int>{0, 1}));
  EXPECT_TRUE(song.Problems().empty());
  // Tick order, and parse order on one tick.
  for (size_t i = 1; i < song.Events().Count(); ++i) EXPECT_LE(song.Events()[i - 1].time, song.Events()[i].time);
}

TEST(MidiReader, EveryTruncationLoadsWhatCameBeforeIt) {
  TMidiTrackWriter t;
  t.Tempo(0, 400000);
  t.Channel(0, 0xC0, 5);
  const uint8_t gm[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  t.SysEx(0, gm);
  for (int i = 0; i < 8; ++i) t.Note(i * 48, 0, 60 + i, 100, 40);
  t.SetRunningStatus(true);
  const std::vector<uint8_t> file = MidiFile(96, {t}, 0);
  TMidiV whole;
  whole.LoadSong(file);
  size_t previous = 0;
  for (size_t cut = 0; cut < file.size(); ++cut) {
    SCOPED_TRACE(cut);
    TMidiV song;
    song.LoadSong(std::span(file.data(), cut));
    EXPECT_LE(song.SongLength(), whole.SongLength());
    if (cut < 14) {
      EXPECT_FALSE(song.Refusal().empty());
      continue;
    }
    // One event more at most per byte, never one that was not in the file.
    EXPECT_GE(song.Events().Count(), previous);
    previous = song.Events().Count();
    for (size_t i = 0; i + 1 < song.Events().Count(); ++i) EXPECT_LE(song.Events()[i].time, song.Events()[i + 1].time);
  }
}

TEST(MidiReader, VolumeControllersGoJustBeforeTheFirstNote) {
  struct Case {
    const char* name;
    std::function<void(TMidiTrackWriter&)> fill;
    size_t inserted;  // how many the loader put in
    int64_t at;       // their tick
    bool beforeNote;
  } cases[] = {
      {"before the first note, with its time",
       [](TMidiTrackWriter& t) {
         t.Channel(0, 0xC0, 5);
         t.Note(96, 0, 60, 100, 10);
       },
       16, 96, true},
      {"none when the song sets the volume",
       [](TMidiTrackWriter& t) {
         t.Channel(0, 0xB3, 7, 90);
         t.Note(96, 0, 60, 100, 10);
       },
       0, 0, false},
      {"at the end when there is no note", [](TMidiTrackWriter& t) { t.Channel(48, 0xC0, 5); }, 16, 48, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMidiV song;
    song.LoadSong(OneTrack(96, c.fill));
    const auto& list = song.Events().List();
    size_t inserted = 0;
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i].track >= 0) continue;
      const uint8_t* b = song.Events().Data(list[i]);
      EXPECT_EQ(b[0], 0xB0 + inserted);
      EXPECT_EQ(b[1], 7);
      EXPECT_EQ(b[2], 127);
      EXPECT_EQ(list[i].tick, c.at);
      EXPECT_EQ(list[i].time, c.at * 500 / 96);
      if (++inserted == 16 && c.beforeNote) {
        ASSERT_LT(i + 1, list.size());
        EXPECT_EQ(list[i + 1].cls, TMidiClass::NoteOn);
      }
    }
    EXPECT_EQ(inserted, c.inserted);
  }
}

}  // namespace
}  // namespace orva::media
