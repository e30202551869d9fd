// orvatool media on files made by ffmpeg and our wave writer.
#include <gtest/gtest.h>

#include "mediarig.h"

namespace {

using orvatest::RunCommand;

TEST(OrvatoolMedia, InfoTellsKindFormatAndLength) {
  orvatest::TempDir dir;
  orvatest::MakeMedia(dir / "a.ogg", orvatest::ToneSource(440, 1.5) + " -ac 2 -c:a libvorbis");
  orvatest::MakeMedia(dir / "v.avi", orvatest::ToneSource(440, 1) +
                                         " -f lavfi -i testsrc=size=32x24:rate=25:duration=1 -c:v mpeg4 -c:a pcm_s16le");
  std::string out;
  ASSERT_EQ(RunCommand(std::string(ORVATOOL_PATH) + " media info " + (dir / "a.ogg"), &out), 0) << out;
  EXPECT_NE(out.find("\"kind\": \"sound\", \"container\": \"ogg\", \"sound\": \"vorbis\", \"rate\": 44100, "
                     "\"channels\": 2"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\"length_ms\": 1500}"), std::string::npos) << out;
  ASSERT_EQ(RunCommand(std::string(ORVATOOL_PATH) + " media info " + (dir / "v.avi"), &out), 0) << out;
  EXPECT_NE(out.find("\"kind\": \"video\""), std::string::npos) << out;
  EXPECT_NE(out.find("\"width\": 32, \"height\": 24"), std::string::npos) << out;
  orvatest::WriteFile(dir / "junk.wav", "RIFF nonsense");
  EXPECT_NE(RunCommand(std::string(ORVATOOL_PATH) + " media info " + (dir / "junk.wav") + " 2>&1", &out), 0);
}

TEST(OrvatoolMedia, DecodeCutsTheSoundExactly) {
  orvatest::TempDir dir;
  orvatest::WriteFile(dir / "ramp.wav", orvatest::RampWave(44100 * 2));
  std::string out;
  ASSERT_EQ(RunCommand(std::string(ORVATOOL_PATH) + " media decode " + (dir / "ramp.wav") + " " + (dir / "cut.wav") +
                           " --from 250 --seconds 0.5",
                       &out),
            0)
      << out;
  const std::string wav = orvatest::ReadFile(dir / "cut.wav");
  ASSERT_EQ(wav.size(), 44u + 22050 * 4);
  const auto* frames = reinterpret_cast<const int16_t*>(wav.data() + 44);
  EXPECT_EQ(orvatest::RampIndex(frames), 11025);
  EXPECT_EQ(orvatest::RampIndex(frames + 2 * 22049), 11025 + 22049);
}

}  // namespace
