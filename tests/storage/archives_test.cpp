#include "storage/archives.h"

#include <gtest/gtest.h>

#include <tuple>

#include "common/errors.h"
#include "storage/peresources.h"
#include "storage/rands.h"
#include "storage/scrambles.h"
#include "storage/vrfiles.h"
#include "testsupport.h"

namespace orva {
namespace {

using orvatest::ReadAll;

std::vector<ArchiveSource> SampleSources() {
  std::vector<ArchiveSource> s(5);
  s[0].name = "start.osb";
  s[0].data = orvatest::SampleBytes(5000, 1, true);
  s[1].name = "bgm\\theme.ogg";
  s[1].data = orvatest::SampleBytes(3000, 2, false);
  s[2].name = "\x83\x5c\\\x89\xe6\x91\x9c.png";  // a folder whose name ends in a 0x5C trail byte
  s[2].data = orvatest::SampleBytes(70000, 3, true);
  s[3].name = "empty.txt";
  s[4].name = "sub\\deep\\data.bin";
  s[4].data = orvatest::SampleBytes(1, 4, false);
  s[4].checksumOfSource = true;
  return s;
}

using Layout = ArchiveLayout;
// (version, scramble) x layout; only versions above 100 can scramble.
class ArchiveRoundTrip : public ::testing::TestWithParam<std::tuple<std::pair<int, bool>, Layout>> {};

TEST_P(ArchiveRoundTrip, EveryEntryReadsBack) {
  auto [versionScramble, layout] = GetParam();
  auto [version, scramble] = versionScramble;
  orvatest::TempDir dir;
  const auto sources = SampleSources();
  ArchiveWriteOptions options;
  options.version = version;
  options.scramble = scramble;
  std::string path = dir / "game.dat";
  if (layout == Layout::Overlay) {
    orvatest::WriteFile(dir / "player.bin", BuildPeWithResource("ICON", "OTHER", {1, 2, 3}));
    path = dir / "game.exe";
  }
  WriteArchiveFile(path, sources, options, layout, dir / "player.bin");

  auto c = TVrFileCollection::Open(path);
  EXPECT_EQ(c->Version(), version);
  ASSERT_EQ(c->Files().Count(), static_cast<int>(sources.size()));
  for (size_t i = 0; i < sources.size(); ++i) {
    const TVrFile& f = c->Files().At(static_cast<int>(i));
    EXPECT_EQ(f.Name(), sources[i].name);
    const std::string want(sources[i].data.begin(), sources[i].data.end());
    TMxMemoryStream m;
    ASSERT_TRUE(c->ReadEntry(f, m));
    EXPECT_EQ(m.AsString(), want) << f.Name();
    auto stream = c->OpenEntryStream(f);
    EXPECT_EQ(ReadAll(*stream), want) << f.Name();
    if (version <= 100) {
      EXPECT_EQ(f.storageKind, kStoredCompressed);
    }
    if (version > 100) {
      auto stored = c->ReadStoredBytes(f);
      uint32_t crc = f.checksumOfSource ? Crc32(want.data(), want.size()) : Crc32(stored.data(), stored.size());
      EXPECT_EQ(crc, f.crc) << f.Name();
      EXPECT_EQ(f.checksumOfSource != 0, version >= 102 && sources[i].checksumOfSource);
    }
  }
  EXPECT_EQ(c->Find("START.OSB")->Index(), 0);
  EXPECT_EQ(c->Find("\\EOF\\"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    VersionsAndLayouts, ArchiveRoundTrip,
    ::testing::Combine(::testing::Values(std::pair{0, false}, std::pair{1, false}, std::pair{99, false},
                                         std::pair{100, false}, std::pair{101, false}, std::pair{101, true},
                                         std::pair{102, false}, std::pair{102, true}),
                       ::testing::Values(Layout::Plain, Layout::ExtCompanion, Layout::Overlay)));

// A version-0 archive by hand: count at offset 0, plain names, int32 offsets.
TEST(ArchiveFormat, VersionZeroLayoutByHand) {
  auto packed = Deflate(reinterpret_cast<const uint8_t*>("hello"), 5);
  TMxMemoryStream s;
  s.WriteInt32(1);
  s.WriteString("a.txt");
  const int32_t dataAt = 4 + 4 + 5 + 8;
  s.WriteInt32(dataAt);
  s.WriteInt32(dataAt + static_cast<int32_t>(packed.size()));
  s.WriteExact(packed.data(), static_cast<int64_t>(packed.size()));
  orvatest::TempDir dir;
  s.SaveToFile(dir / "v0.dat");
  auto c = TVrFileCollection::Open(dir / "v0.dat");
  TMxMemoryStream m;
  ASSERT_TRUE(c->ReadEntry(*c->Find("A.TXT"), m));
  EXPECT_EQ(m.AsString(), "hello");
}

// The names of version > 99 are XOR-ed with one running sequence.
TEST(ArchiveFormat, NamesAreScrambledWithOneRunningSequence) {
  TMxMemoryStream out;
  std::vector<ArchiveSource> src(3);
  src[0].name = "ab";
  src[1].name = "";
  src[2].name = "c";
  WriteArchive(out, out, src, ArchiveWriteOptions{});
  out.SetPosition(10);
  TMxRandom key(kArchiveNameSeed);
  EXPECT_EQ(out.ReadInt32(), 2);
  EXPECT_EQ(out.ReadByte(), static_cast<uint8_t>('a' ^ static_cast<uint8_t>(key.Next())));
  EXPECT_EQ(out.ReadByte(), static_cast<uint8_t>('b' ^ static_cast<uint8_t>(key.Next())));
  EXPECT_EQ(out.ReadInt32(), 0);
  EXPECT_EQ(out.ReadInt32(), 1);
  EXPECT_EQ(out.ReadByte(), static_cast<uint8_t>('c' ^ static_cast<uint8_t>(key.Next())));
}

TEST(ArchiveFormat, DuplicateNamesServeTheLaterEntry) {
  std::vector<ArchiveSource> src(2);
  src[0].name = "same.txt";
  src[0].data = orvatest::Bytes("first");
  src[1].name = "SAME.txt";
  src[1].data = orvatest::Bytes("second");
  TMxMemoryStream out;
  WriteArchive(out, out, src, ArchiveWriteOptions{});
  out.SetPosition(0);
  auto dirInfo = ReadArchiveDirectory(out, out.GetSize(), "mem");
  ASSERT_EQ(dirInfo.entries.size(), 2u);
  EXPECT_EQ(dirInfo.endOffset, out.GetSize());
}

std::vector<uint8_t> SmallArchive(int version) {
  TMxMemoryStream out;
  std::vector<ArchiveSource> src(2);
  src[0].name = "a.txt";
  src[0].data = orvatest::SampleBytes(300, 1);
  src[1].name = "b\\c.bin";
  src[1].data = orvatest::SampleBytes(40, 2, false);
  ArchiveWriteOptions o;
  o.version = version;
  WriteArchive(out, out, src, o);
  return out.TakeBytes();
}

TEST(ArchiveFormat, EveryTruncationIsRefusedCleanly) {
  for (int version : {0, 100, 101, 102}) {
    auto bytes = SmallArchive(version);
    for (size_t len = 0; len < bytes.size(); ++len) {
      TMxMemoryStream s(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(len)));
      try {
        auto d = ReadArchiveDirectory(s, s.GetSize(), "cut.dat");
        // A cut inside the data of the last entry must be noticed too.
        ADD_FAILURE() << "version " << version << " cut at " << len << " was accepted";
      } catch (const OrvaError& e) {
        EXPECT_NE(std::string(e.what()).find("cut.dat"), std::string::npos) << e.what();
      }
    }
  }
}

TEST(ArchiveFormat, HostileDirectoriesAreRefused) {
  auto withInt = [](std::initializer_list<int32_t> ints) {
    TMxMemoryStream s;
    s.WriteBytes("vf");
    for (int32_t v : ints) s.WriteInt32(v);
    s.WriteBytes(std::string(64, '\0'));
    s.SetPosition(0);
    return s;
  };
  struct Case { const char* what; TMxMemoryStream stream; };
  Case cases[] = {
      {"huge count", withInt({102, 0x7FFFFFFF})},
      {"negative count", withInt({102, -5})},
      {"huge name", withInt({102, 1, 0x7FFFFFF0})},
      {"newer version", withInt({103, 0})},
      {"negative version", withInt({-1, 0})},
  };
  for (auto& c : cases) EXPECT_THROW(ReadArchiveDirectory(c.stream, c.stream.GetSize(), "x"), OrvaError) << c.what;

  // Offsets past the end, out of order, and an unknown storage kind.
  auto bytes = SmallArchive(99);  // plain int32 offsets at a known place
  const size_t offsets = 6 + 4 + (4 + 5) + (4 + 7);
  auto patch = [&](size_t at, int32_t v) {
    auto b = bytes;
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
    return b;
  };
  for (auto b : {patch(offsets + 8, 1 << 30), patch(offsets, 1 << 20), patch(offsets + 4, 1)}) {
    TMxMemoryStream s(b);
    EXPECT_THROW(ReadArchiveDirectory(s, s.GetSize(), "x"), OrvaError);
  }
  auto v102 = SmallArchive(102);
  const size_t kinds = 6 + 4 + (4 + 5) + (4 + 7) + 3 * 8;
  v102[kinds] = 9;
  TMxMemoryStream s(v102);
  EXPECT_THROW(ReadArchiveDirectory(s, s.GetSize(), "x"), OrvaError);
}

TEST(ArchiveFormat, WriterRefusesScramblingOldVersions) {
  TMxMemoryStream out;
  ArchiveWriteOptions o;
  o.version = 100;
  o.scramble = true;
  EXPECT_THROW(WriteArchive(out, out, SampleSources(), o), OrvaError);
}

TEST(ArchiveFormat, SplitArchiveReadsEntriesFromLaterParts) {
  // Part 0 is sparse: the directory, then nothing up to 1 GiB; the entry data
  // lie in "game.001".
  orvatest::TempDir dir;
  const std::string payload = "data in the second part";
  TMxMemoryStream d;
  d.WriteBytes("vf");
  d.WriteInt32(99);
  d.WriteInt32(1);
  d.WriteString("far.txt");
  auto packed = Deflate(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
  d.WriteInt32(0x40000000);
  d.WriteInt32(0x40000000 + static_cast<int32_t>(packed.size()));
  d.SaveToFile(dir / "game.dat");
  ASSERT_EQ(::truncate((dir / "game.dat").c_str(), 0x40000000), 0);
  orvatest::WriteFile(dir / "game.001", packed);
  auto c = TVrFileCollection::Open(dir / "game.dat");
  TMxMemoryStream m;
  ASSERT_TRUE(c->ReadEntry(*c->Find("far.txt"), m));
  EXPECT_EQ(m.AsString(), payload);
}

}  // namespace
}  // namespace orva
