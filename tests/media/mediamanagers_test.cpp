// The managers' program-wide behaviours on the state-keeping back end, and CD
// tracks from files.
#include <gtest/gtest.h>

#include <filesystem>

#include "media/cdda.h"
#include "media/mediamanagers.h"
#include "media/null_media.h"
#include "mediarig.h"

namespace orva::media {
namespace {

// An Ogg manager over the null back end: items are 1000 ms long and their
// time moves only when told.
struct NullRig {
  NullRig() : backend(1000) {
    files.SetRootFolder(dir.path());
    context.backend = &backend;
    context.files = &files;
    for (const char* n : {"a.ogg", "b.ogg", "c.ogg"}) orvatest::WriteFile(dir / n, "x");
  }
  TDMediaItem* Add(const char* name) { return ogg.Add(name); }
  orvatest::TempDir dir;
  TVrFileManager files;
  NullMediaBackend backend;
  TMediaContext context;
  TOggManager ogg{context};
};

TEST(Managers, SuspendAndResumeLeaveScriptPausedItemsPaused) {
  NullRig rig;
  TDMediaItem* playing = rig.Add("a.ogg");
  TDMediaItem* paused = rig.Add("b.ogg");
  TDMediaItem* idle = rig.Add("c.ogg");
  playing->Play();
  paused->Play();
  paused->Pause();
  rig.ogg.Suspend();
  EXPECT_TRUE(rig.ogg.Suspended());
  EXPECT_FALSE(playing->IsPlaying());
  EXPECT_TRUE(playing->suspendMark);
  EXPECT_FALSE(paused->suspendMark);
  rig.ogg.Suspend();  // already suspended: nothing
  rig.ogg.Resume();
  EXPECT_TRUE(playing->IsPlaying());
  EXPECT_TRUE(paused->IsPaused());
  EXPECT_FALSE(idle->IsPlaying());
  EXPECT_FALSE(playing->suspendMark);
}

TEST(Managers, SoundOffAndOnResumesExactlyThePlayingItems) {
  NullRig rig;
  TDMediaItem* a = rig.Add("a.ogg");
  TDMediaItem* b = rig.Add("b.ogg");
  TDMediaItem* c = rig.Add("c.ogg");
  a->Play();
  b->Play();
  b->Pause();
  rig.ogg.SetEnabled(false);
  EXPECT_FALSE(rig.ogg.Enabled());
  EXPECT_FALSE(a->IsPlaying());
  // Played while sound is off: remembered, started when sound comes back.
  c->Play();
  EXPECT_FALSE(c->IsPlaying());
  rig.ogg.Suspend();  // the window loses the focus meanwhile: nothing
  rig.ogg.Resume();
  EXPECT_FALSE(a->IsPlaying());
  rig.ogg.SetEnabled(false);  // unchanged: nothing
  rig.ogg.SetEnabled(true);
  EXPECT_TRUE(a->IsPlaying());
  EXPECT_TRUE(b->IsPaused());
  EXPECT_FALSE(b->IsPlaying());
  EXPECT_TRUE(c->IsPlaying());
}

TEST(Managers, AnEndIsReportedOnceUntilTheItemPlaysToAnEndAgain) {
  NullRig rig;
  TDMediaItem* a = rig.Add("a.ogg");
  a->Play();
  rig.backend.Advance(1000);
  EXPECT_TRUE(a->IsEnd());
  EXPECT_TRUE(a->IsEnd());
  a->SetEndFlag();
  EXPECT_FALSE(a->IsEnd());
  a->Play();  // stays at its end
  EXPECT_FALSE(a->IsEnd());
  a->SetPosition(-500);
  EXPECT_EQ(a->GetPosition(), 0);
  a->Play();
  rig.backend.Advance(1000);
  EXPECT_TRUE(a->IsEnd());
}

TEST(Managers, RemoveFreesOnlyItsOwnItems) {
  NullRig rig;
  TDMediaItem* a = rig.Add("a.ogg");
  TOggManager other(rig.context);
  other.Remove(a);
  EXPECT_EQ(rig.ogg.Items().size(), 1u);
  EXPECT_EQ(rig.backend.ItemCount(), 1u);
  rig.ogg.Remove(a);
  EXPECT_TRUE(rig.ogg.Items().empty());
  EXPECT_EQ(rig.backend.ItemCount(), 0u);
  EXPECT_EQ(rig.ogg.Add("none.ogg"), nullptr);
}

TEST(Managers, KindsByName) {
  const struct {
    const char* name;
    TMediaKind kind;
  } cases[] = {{"a.MID", TMediaKind::Midi},       {"a.sgt", TMediaKind::Midi},  {"x\\b.Wma", TMediaKind::WindowsMedia},
               {"b.asf", TMediaKind::WindowsMedia}, {"b.WMV", TMediaKind::WindowsMedia},
               {"b.mp3", TMediaKind::WindowsMedia}, {"c.OGG", TMediaKind::Ogg}, {"c.wav", TMediaKind::Ogg},
               {"CD_2", TMediaKind::Cdda},         {"CD_x", TMediaKind::Cdda},  {"d.avi", TMediaKind::None},
               {"noext", TMediaKind::None}};
  for (const auto& c : cases) EXPECT_EQ(MediaKindOf(c.name), c.kind) << c.name;
}

TEST(CdTracks, NumbersAndTheSearchOrder) {
  const struct {
    const char* name;
    std::optional<int> track;
  } numbers[] = {{"CD_1", 1}, {"CD_02", 2}, {"cd_10", 10}, {"CD_100", 100}, {"CD_0", std::nullopt},
                 {"CD_x", std::nullopt}, {"CD_", std::nullopt}, {"CD_1a", std::nullopt}, {"CD_-1", std::nullopt},
                 {"CD_99999999999", std::nullopt}};
  for (const auto& c : numbers) EXPECT_EQ(CdTrackNumber(c.name), c.track) << c.name;

  orvatest::TempDir dir;
  for (const char* sub : {"given", "game/cd", "game"}) std::filesystem::create_directories(dir / sub);
  const std::vector<std::string> folders = {dir / "given", dir / "game/cd", dir / "game"};
  for (const char* f : {"game/track02.wav", "game/cd/TRACK02.mp3", "game/cd/track02.flac", "given/Track03.ogg",
                        "game/track03.ogg", "game/track100.wav", "game/track1.wav", "game/track04.aiff"})
    orvatest::WriteFile(dir / f, "x");
  EXPECT_EQ(FindCdTrackFile(2, folders), dir / "game/cd/track02.flac");  // .flac before .mp3, cd/ before the game
  EXPECT_EQ(FindCdTrackFile(3, folders), dir / "given/Track03.ogg");
  EXPECT_EQ(FindCdTrackFile(100, folders), dir / "game/track100.wav");
  EXPECT_EQ(FindCdTrackFile(1, folders), "");  // "track1" has one digit
  EXPECT_EQ(FindCdTrackFile(4, folders), "");
}

TEST(CdTracks, PlayInWholeSecondsOnOnePlayer) {
  orvatest::TempDir cd;
  orvatest::MakeMedia(cd / "track01.flac", orvatest::ToneSource(500, 3.5) + " -ac 2 -c:a flac");
  orvatest::MakeMedia(cd / "track02.wav", orvatest::ToneSource(500, 2) + " -ac 2 -c:a pcm_s16le");
  orvatest::MediaRig rig({}, {cd.path()});
  TCddaManager& m = *rig.layer.Cdda();
  TDMediaItem* none = m.Add("CD_x");
  TDMediaItem* missing = m.Add("CD_7");
  for (TDMediaItem* silent : {none, missing}) {
    EXPECT_EQ(silent->GetLength(), 0);
    silent->Play();
    EXPECT_FALSE(silent->IsPlaying());
  }
  TDMediaItem* one = m.Add("CD_1");
  TDMediaItem* two = m.Add("CD_02");
  EXPECT_EQ(one->GetLength(), 3000);  // whole seconds
  EXPECT_EQ(two->GetLength(), 2000);
  one->SetVolume(-5000);
  one->Play();
  rig.Run(2496);
  EXPECT_TRUE(one->IsPlaying());
  EXPECT_EQ(one->GetPosition() % 1000, 0);
  EXPECT_LT(orvatest::Rms(orvatest::Left(rig.heard, 500, 2000)), 10);  // -50 dB and less is silent
  one->SetVolume(0);
  rig.Run(208);
  one->Pause();
  EXPECT_TRUE(one->IsPaused());
  EXPECT_EQ(one->GetPosition(), 2000);
  one->Play();  // from the second before the pause
  EXPECT_EQ(one->GetPosition(), 1000);
  EXPECT_TRUE(one->IsPlaying());
  two->Play();  // takes the player
  EXPECT_FALSE(one->IsPlaying());
  EXPECT_TRUE(two->IsPlaying());
  rig.Run(2400);
  EXPECT_TRUE(two->IsEnd());
  EXPECT_FALSE(two->IsPlaying());
  two->SetEndFlag();
  EXPECT_FALSE(two->IsEnd());
}

}  // namespace
}  // namespace orva::media
