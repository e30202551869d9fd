// Sounds and videos made by ffmpeg (or our wave writer), played from a
// scrambled archive entry through the managers, the FFmpeg back end and the
// mixer on game time, and listened to.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

#include "common/errors.h"
#include "media/ffaudio.h"
#include "mediarig.h"
#include "storage/archives.h"

namespace orva::media {
namespace {

using orvatest::MediaRig;

enum class Via { Ogg, Wmp, Video };

struct FormatCase {
  const char* file;
  std::string args;  // ffmpeg arguments after the sources
  bool picture;
  Via via;
  int lengthTolerance;  // ms
};

std::string Picture() { return " -f lavfi -i testsrc=size=64x48:rate=25:duration=1"; }

class Formats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Formats, PlayTheirToneAndLengthFromAScrambledArchive) {
  const FormatCase& c = GetParam();
  MediaRig rig;
  const std::string made = rig.dir / (std::string("made/") + c.file);
  std::filesystem::create_directories(rig.dir / "made");
  orvatest::MakeMedia(made, orvatest::ToneSource(1000, 1) + (c.picture ? Picture() : "") + " " + c.args);
  ArchiveWriteOptions options;
  options.scramble = true;
  ArchiveSource entry;
  entry.name = std::string("snd\\") + c.file;
  entry.data = orvatest::Bytes(orvatest::ReadFile(made));
  WriteArchiveFile(rig.dir / "game.dat", {entry}, options);
  std::filesystem::remove_all(rig.dir / "made");
  ASSERT_GE(rig.files.MountArchive(rig.dir / "game.dat"), 0);

  const std::string name = std::string("snd\\") + c.file;
  TDMediaItem* item = c.via == Via::Ogg ? rig.layer.Ogg()->Add(name)
                      : c.via == Via::Wmp ? rig.layer.Wmp()->Add(name)
                                          : rig.layer.Video()->Add(name);
  ASSERT_NE(item, nullptr);
  EXPECT_NEAR(item->GetLength(), 1000, c.lengthTolerance);
  rig.Run(96);
  item->Play();
  EXPECT_TRUE(item->IsPlaying());
  std::set<int64_t> pictureTicks;
  auto* video = dynamic_cast<TVideoItem*>(item);
  if (video && c.picture) {
    EXPECT_EQ(video->SourceWidth(), 64);
    EXPECT_EQ(video->SourceHeight(), 48);
  }
  std::vector<uint32_t> pixels(64 * 48);
  for (int t = 0; t < 1500; t += 16) {
    rig.Run(16);
    if (video && video->NeedPaint() && video->CopyFrame(reinterpret_cast<uint8_t*>(pixels.data()), 64 * 4, 64, 48))
      pictureTicks.insert(rig.gameTime);
  }
  EXPECT_TRUE(item->IsEnd());
  EXPECT_FALSE(item->IsPlaying());
  const int64_t onset = orvatest::OnsetMs(rig.heard);
  EXPECT_GE(onset, 96);
  EXPECT_LE(onset, 96 + 80);
  const auto steady = orvatest::Left(rig.heard, onset + 200, onset + 700);
  EXPECT_NEAR(orvatest::Frequency(steady), 1000, 15);
  EXPECT_NEAR(orvatest::Rms(steady), orvatest::kToneRms, 150);
  EXPECT_LT(orvatest::Rms(orvatest::Left(rig.heard, onset + 1300, onset + 1400)), 50);  // it ended
  if (video && c.picture) {
    // 25 pictures a second, shown as the sound reaches them.
    EXPECT_GE(pictureTicks.size(), 20u);
    EXPECT_LE(pictureTicks.size(), 26u);
  }
  EXPECT_TRUE(rig.files.WorkFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Media, Formats,
    ::testing::Values(FormatCase{"tone.ogg", "-ac 2 -c:a libvorbis", false, Via::Ogg, 0},
                      FormatCase{"tone.wav", "-ac 2 -c:a pcm_s16le", false, Via::Ogg, 0},
                      FormatCase{"tone.mp3", "-ac 2 -c:a libmp3lame", false, Via::Wmp, 60},
                      FormatCase{"tone.wma", "-ac 2 -c:a wmav2 -f asf", false, Via::Wmp, 100},
                      FormatCase{"tone.asf", "-ac 2 -c:a wmav1 -f asf", false, Via::Wmp, 100},
                      FormatCase{"tone.wmv", "-ac 2 -c:a wmav2 -c:v wmv2 -f asf", true, Via::Wmp, 100},
                      FormatCase{"clip.wmv", "-ac 2 -c:a wmav2 -c:v wmv2 -f asf", true, Via::Video, 100},
                      FormatCase{"clip.avi", "-ac 2 -c:a pcm_s16le -c:v mpeg4", true, Via::Video, 60},
                      FormatCase{"clip.mpg", "-ac 2 -c:a mp2 -c:v mpeg1video -f mpeg", true, Via::Video, 100}),
    [](const auto& info) {
      std::string n = info.param.file;
      for (char& ch : n)
        if (ch == '.') ch = '_';
      return n;
    });

// Exact positions on a ramp: every frame tells its own number.
TEST(DecodedStreams, SeeksLandOnTheExactSample) {
  orvatest::TempDir dir;
  const int64_t frames = 44100 * 4;
  orvatest::WriteFile(dir / "ramp.wav", orvatest::RampWave(frames));
  orvatest::MakeMedia(dir / "ramp.flac", "-i '" + (dir / "ramp.wav") + "' -c:a flac");
  for (const char* file : {"ramp.wav", "ramp.flac"}) {
    SCOPED_TRACE(file);
    auto bytes = orvatest::Bytes(orvatest::ReadFile(dir / file));
    std::string why;
    auto s = TFfAudioStream::Open(std::make_shared<TMxMemoryStream>(bytes), PcmLayout::Mixer, &why);
    ASSERT_TRUE(s) << why;
    EXPECT_EQ(s->GetSize(), frames * 4);
    EXPECT_EQ(s->LengthMs(), 4000);
    for (int64_t at : {int64_t{0}, int64_t{54419}, int64_t{170000}, int64_t{1}, int64_t{100000}, int64_t{99999},
                       int64_t{176399}, int64_t{3}}) {
      s->SetPosition(at * 4 + 2);  // a position inside a frame counts from its start
      EXPECT_EQ(s->GetPosition(), at * 4);
      int16_t got[2 * 64] = {};
      const int64_t want = std::min<int64_t>(64, frames - at);
      ASSERT_EQ(s->Read(got, sizeof got), want * 4) << at;
      for (int64_t i = 0; i < want; ++i) ASSERT_EQ(orvatest::RampIndex(got + 2 * i), at + i) << at;
    }
  }
}

// The mixer's own formats come out as they are for the exact conversion;
// others are resampled to the mixer's format.
TEST(DecodedStreams, KeepTheMixableFormatsAndResampleOthers) {
  orvatest::TempDir dir;
  const struct {
    const char* args;
    int rate, channels, bits;
  } cases[] = {
      {"-ar 22050 -ac 1 -c:a pcm_u8", 22050, 1, 8},    {"-ar 44100 -ac 1 -c:a pcm_s16le", 44100, 1, 16},
      {"-ar 22050 -ac 2 -c:a libvorbis", 22050, 2, 16}, {"-ar 48000 -ac 2 -c:a pcm_s16le", 44100, 2, 16},
      {"-ar 44100 -ac 6 -c:a pcm_s16le", 44100, 2, 16}, {"-ar 11025 -ac 1 -c:a pcm_u8", 44100, 2, 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string file = dir / (std::string(c.args).find("vorbis") != std::string::npos ? "s.ogg" : "s.wav");
    orvatest::MakeMedia(file, orvatest::ToneSource(441, 1, 48000) + " " + c.args);
    std::string why;
    auto s = TFfAudioStream::Open(std::make_shared<TMxMemoryStream>(orvatest::Bytes(orvatest::ReadFile(file))),
                                  PcmLayout::KeepMixable, &why);
    ASSERT_TRUE(s) << why;
    EXPECT_EQ(s->Format(), TWaveFormat::Pcm(c.rate, c.channels, c.bits));
    EXPECT_EQ(s->LengthMs(), 1000);
    std::vector<uint8_t> all(static_cast<size_t>(s->GetSize()));
    EXPECT_EQ(s->Read(all.data(), s->GetSize()), s->GetSize());
  }
}

TEST(DecodedStreams, BadDataIsRefusedAndShortDataEnds) {
  orvatest::TempDir dir;
  std::string why;
  const std::vector<std::vector<uint8_t>> refused = {
      {}, orvatest::Bytes("OggS garbage, not a stream"), orvatest::SampleBytes(5000, 7, false)};
  for (const auto& bytes : refused)
    EXPECT_FALSE(TFfAudioStream::Open(std::make_shared<TMxMemoryStream>(bytes), PcmLayout::Mixer, &why));
  // A wave file whose header tells of 2 s of which 1 s is there: the
  // length is what is there.
  auto ramp = orvatest::RampFrames(44100);
  auto file = MakeWaveFile(TWaveFormat::Output(), ramp.data(), ramp.size() * 2);
  const uint32_t claimed = 44100 * 4 * 2;
  std::memcpy(file.data() + 40, &claimed, 4);
  auto s = TFfAudioStream::Open(std::make_shared<TMxMemoryStream>(file), PcmLayout::Mixer, &why);
  ASSERT_TRUE(s) << why;
  EXPECT_EQ(s->LengthMs(), 1000);
  // An MP3 cut in half still tells of its whole length: it ends where its
  // data ends.
  orvatest::MakeMedia(dir / "cut.mp3", orvatest::ToneSource(440, 4) + " -c:a libmp3lame");
  auto mp3 = orvatest::Bytes(orvatest::ReadFile(dir / "cut.mp3"));
  mp3.resize(mp3.size() / 2);
  s = TFfAudioStream::Open(std::make_shared<TMxMemoryStream>(mp3), PcmLayout::Mixer, &why);
  ASSERT_TRUE(s) << why;
  EXPECT_NEAR(s->LengthMs(), 4000, 100);
  std::vector<uint8_t> all(44100 * 4 * 5);
  const int64_t got = s->Read(all.data(), static_cast<int64_t>(all.size()));
  EXPECT_NEAR(static_cast<double>(got), 44100 * 4 * 2, 44100 * 4 * 0.2);
  EXPECT_EQ(s->GetSize(), got);
  EXPECT_EQ(s->Read(all.data(), 100), 0);
  // Hostile headers: too many channels, no rate.
  for (auto [rate, channels] : {std::pair{44100, 9}, std::pair{0, 2}}) {
    auto f = MakeWaveFile(TWaveFormat::Pcm(rate, channels, 16), ramp.data(), 4000);
    EXPECT_FALSE(TFfAudioStream::Open(std::make_shared<TMxMemoryStream>(f), PcmLayout::Mixer, &why))
        << rate << " " << channels;
  }
}

// Played through the managers: seeks, loops and the wave output's path.
class RampPlayback : public ::testing::TestWithParam<bool> {};

TEST_P(RampPlayback, SeeksAndLoopsAreExact) {
  TMediaSettings settings;
  settings.directSound = GetParam();
  settings.delayTime = 100;
  MediaRig rig(settings);
  rig.Write("ramp.wav", orvatest::RampWave(44100));  // 1 s
  TDMediaItem* item = rig.layer.Ogg()->Add("ramp.wav");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(dynamic_cast<TOggWaveItem*>(item) != nullptr, !settings.directSound);
  EXPECT_EQ(item->GetLength(), 1000);
  item->SetPosition(-500);
  EXPECT_EQ(item->GetPosition(), 0);
  item->SetPosition(250);
  item->SetRepeatPos(500);
  item->SetAutoRepeat(true);
  item->Play();
  rig.Run(2000);
  // Find the first frame played: frame 11025 (250 ms); then the ramp runs
  // to its last frame and goes on at frame 22050 (500 ms) with no gap.
  size_t at = 0;
  while (2 * at < rig.heard.size() && orvatest::RampIndex(&rig.heard[2 * at]) == 0) ++at;
  ASSERT_LT(2 * at, rig.heard.size());
  EXPECT_EQ(orvatest::RampIndex(&rig.heard[2 * at]), 11025);
  int64_t expect = 11025;
  int loops = 0;
  for (size_t f = at; 2 * f + 1 < rig.heard.size() && loops < 2; ++f) {
    const int64_t got = orvatest::RampIndex(&rig.heard[2 * f]);
    if (expect == 44100) {
      expect = 22050;
      ++loops;
    }
    ASSERT_EQ(got, expect) << "frame " << f;
    ++expect;
  }
  EXPECT_EQ(loops, 2);
  EXPECT_FALSE(item->IsEnd());
}

INSTANTIATE_TEST_SUITE_P(Media, RampPlayback, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Native" : "WaveOutput"; });

// The main thread seeks and asks while the mixing thread reads the same
// decoder: every decoder call holds the mixer's lock.
TEST(Managers, TheMainThreadAndTheMixingThreadShareDecodersSafely) {
  orvatest::TempDir dir;
  orvatest::WriteFile(dir / "ramp.wav", orvatest::RampWave(44100 * 3));
  orvatest::MakeMedia(dir / "tone.ogg", orvatest::ToneSource(440, 3) + " -ac 2 -c:a libvorbis");
  for (bool native : {true, false}) {
    TMediaSettings settings;
    settings.directSound = native;
    settings.delayTime = 100;
    TVrFileManager files;
    files.SetRootFolder(dir.path());
    TMediaLayer::Config config;
    config.settings = settings;
    config.files = &files;
    TMediaLayer layer(config);
    layer.Init(nullptr, nullptr);  // a mixing thread on the system clock
    std::vector<TDMediaItem*> items = {layer.Ogg()->Add("ramp.wav"), layer.Ogg()->Add("tone.ogg")};
    for (TDMediaItem* item : items) {
      ASSERT_NE(item, nullptr);
      item->SetAutoRepeat(true);
      item->Play();
    }
    std::vector<int16_t> pulled(2048 * 2);
    for (int i = 0; i < 300; ++i) {
      for (TDMediaItem* item : items) {
        item->SetPosition((i * 37) % 3000);
        EXPECT_LE(item->GetPosition(), 3000);
        EXPECT_EQ(item->GetLength(), 3000);
        if (i % 50 == 0) item->Pause();
        if (i % 50 == 1) item->Play();
      }
      layer.PullDevice(pulled.data(), 256);  // the device plays meanwhile
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    layer.Final(nullptr);
  }
}

TEST(Managers, UndecodableSoundsRaiseOrGiveNoItem) {
  MediaRig rig;
  rig.Write("bad.ogg", orvatest::SampleBytes(3000, 1, false));
  rig.Write("bad.mp3", orvatest::SampleBytes(3000, 2, false));
  rig.Write("bad.avi", orvatest::SampleBytes(3000, 3, false));
  try {
    rig.layer.Ogg()->Add("bad.ogg");
    FAIL() << "no error";
  } catch (const OrvaError& e) {
    EXPECT_EQ(std::string(e.what()), kBadSoundData);
  }
  EXPECT_EQ(rig.layer.Wmp()->Add("bad.mp3"), nullptr);
  EXPECT_EQ(rig.layer.Video()->Add("bad.avi"), nullptr);
  EXPECT_EQ(rig.layer.Ogg()->Add("missing.ogg"), nullptr);  // no file: no item, no error
  EXPECT_TRUE(rig.layer.Ogg()->Items().empty());
}

}  // namespace
}  // namespace orva::media
