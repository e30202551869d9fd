// orvatool archive, run as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/streams.h"
#include "storage/archives.h"
#include "testsupport.h"

namespace {

namespace fs = std::filesystem;
using orvatest::RunCommand;

std::string Tool(const std::string& args) { return std::string(ORVATOOL) + " " + args; }

class OrvatoolArchive : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    orvatest::WriteFile(dir / "src/start.osb", orvatest::SampleBytes(4000, 1));
    orvatest::WriteFile(dir / "src/Pictures/背景.png", orvatest::SampleBytes(900, 2, false));
    orvatest::WriteFile(dir / "src/sound/se.wav", orvatest::SampleBytes(700, 3));
    orvatest::WriteFile(dir / "src/empty.txt", "");
  }
  orvatest::TempDir dir;
};

TEST_P(OrvatoolArchive, CreateListVerifyExtractRoundTrip) {
  const std::string archive = dir / (GetParam().find("overlay") != std::string::npos ? "game.exe" : "game.dat");
  std::string options = GetParam();
  if (options.find("--overlay-on") != std::string::npos) {
    orvatest::WriteFile(dir / "player.exe", "MZ this stands for the player program");
    options += " " + (dir / "player.exe");
  }
  std::string out;
  ASSERT_EQ(RunCommand(Tool("archive create " + archive + " " + (dir / "src") + " " + options), &out), 0) << out;
  ASSERT_EQ(RunCommand(Tool("archive list " + archive), &out), 0) << out;
  // name, stored size, storage kind, checksum
  EXPECT_NE(out.find("Pictures\\背景.png\t"), std::string::npos) << out;
  EXPECT_NE(out.find("sound\\se.wav\t"), std::string::npos) << out;
  if (GetParam().find("--version") == std::string::npos)
    EXPECT_NE(out.find(GetParam().find("--scramble") != std::string::npos ? "\tcompressed+scrambled\t" : "\tcompressed\t"),
              std::string::npos) << out;
  else
    EXPECT_NE(out.find("\tcompressed\t-\n"), std::string::npos) << out;
  ASSERT_EQ(RunCommand(Tool("archive verify " + archive), &out), 0) << out;
  EXPECT_NE(out.find("4 entries, 0 bad"), std::string::npos) << out;
  ASSERT_EQ(RunCommand(Tool("archive extract " + archive + " " + (dir / "out")), &out), 0) << out;
  for (const char* f : {"start.osb", "Pictures/背景.png", "sound/se.wav", "empty.txt"})
    EXPECT_EQ(orvatest::ReadFile(dir / (std::string("out/") + f)), orvatest::ReadFile(dir / (std::string("src/") + f))) << f;
}

INSTANTIATE_TEST_SUITE_P(Options, OrvatoolArchive,
                         ::testing::Values("", "--scramble", "--version 100", "--version 0", "--ext",
                                           "--scramble --overlay-on"));

TEST(OrvatoolArchiveSafety, ExtractRefusesNamesOutsideTheFolderAndGoesOn) {
  orvatest::TempDir dir;
  std::vector<orva::ArchiveSource> src(3);
  src[0].name = "..\\escape.txt";
  src[0].data = orvatest::Bytes("bad");
  src[1].name = "good\\kept.txt";
  src[1].data = orvatest::Bytes("good");
  src[2].name = "\\abs.txt";
  src[2].data = orvatest::Bytes("bad");
  orva::WriteArchiveFile(dir / "evil.dat", src, orva::ArchiveWriteOptions{});
  std::string out;
  EXPECT_EQ(RunCommand(Tool("archive extract " + (dir / "evil.dat") + " " + (dir / "out")), &out), 1);
  EXPECT_NE(out.find("refused: \"..\\escape.txt\""), std::string::npos) << out;
  EXPECT_EQ(orvatest::ReadFile(dir / "out/good/kept.txt"), "good");
  EXPECT_FALSE(fs::exists(dir / "escape.txt"));
  EXPECT_FALSE(fs::exists("/abs.txt") && orvatest::ReadFile("/abs.txt") == "bad");
}

TEST(OrvatoolArchiveSafety, VerifyFindsADamagedEntryAndListRefusesGarbage) {
  orvatest::TempDir dir;
  std::vector<orva::ArchiveSource> src(1);
  src[0].name = "a.bin";
  src[0].data = orvatest::SampleBytes(1000, 7, false);
  orva::WriteArchiveFile(dir / "g.dat", src, orva::ArchiveWriteOptions{});
  std::string bytes = orvatest::ReadFile(dir / "g.dat");
  bytes[bytes.size() - 10] ^= 0x55;
  orvatest::WriteFile(dir / "g.dat", bytes);
  std::string out;
  EXPECT_EQ(RunCommand(Tool("archive verify " + (dir / "g.dat")), &out), 1);
  EXPECT_NE(out.find("checksum mismatch: \"a.bin\""), std::string::npos) << out;

  orvatest::WriteFile(dir / "junk.dat", "vf\x66\x00\x00\x00\xff\xff\xff\x7f");
  EXPECT_EQ(RunCommand(Tool("archive list " + (dir / "junk.dat")), &out), 1);
  EXPECT_NE(out.find("junk.dat:ファイルが破壊されています"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(Tool("archive list " + (dir / "missing.dat")), &out), 1);
  EXPECT_EQ(RunCommand(Tool("archive frobnicate"), &out), 2);
}

}  // namespace
