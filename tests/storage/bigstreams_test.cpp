#include "storage/bigstreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "common/errors.h"
#include "storage/scrambles.h"
#include "testsupport.h"

namespace orva {
namespace {

std::string ReadInChunks(TStream& s, int64_t chunk = 7) {
  std::string out;
  std::vector<char> buf(static_cast<size_t>(chunk));
  for (;;) {
    int64_t n = s.Read(buf.data(), chunk);
    if (n <= 0) break;
    out.append(buf.data(), static_cast<size_t>(n));
  }
  return out;
}

TEST(BigFileStream, PartNames) {
  EXPECT_EQ(TMxBigFileStream::PartName("/g/game.dat", 0), "/g/game.dat");
  EXPECT_EQ(TMxBigFileStream::PartName("/g/game.dat", 1), "/g/game.001");
  EXPECT_EQ(TMxBigFileStream::PartName("/g.d/game", 12), "/g.d/game.012");
}

TEST(BigFileStream, WritesAndReadsAcrossParts) {
  orvatest::TempDir dir;
  const std::string path = dir / "big.dat";
  const std::string text = "0123456789abcdefghijklmnopqrstuvwxyz";
  {
    TMxBigFileStream out(path, FileOpenMode::Create, 16);
    out.WriteBytes(text);
    EXPECT_EQ(out.PartCount(), 3);
  }
  EXPECT_EQ(orvatest::ReadFile(dir / "big.001"), text.substr(16, 16));
  TMxBigFileStream in(path, FileOpenMode::Read, 16);
  EXPECT_EQ(in.GetSize(), 36);
  EXPECT_EQ(ReadInChunks(in), text);
  in.SetPosition(14);
  char buf[6];
  EXPECT_EQ(in.Read(buf, 6), 6);
  EXPECT_EQ(std::string(buf, 6), "efghij");
  // Create deletes the parts an earlier, longer file left.
  { TMxBigFileStream again(path, FileOpenMode::Create, 16); again.WriteBytes("x"); }
  EXPECT_FALSE(std::filesystem::exists(dir / "big.001"));
  EXPECT_FALSE(std::filesystem::exists(dir / "big.002"));
}

TEST(BigFileStream, PositionAtTheGigabyteBoundaryReadsFromPartOne) {
  orvatest::TempDir dir;
  const std::string path = dir / "game.dat";
  int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, kSplitPartSize), 0);  // sparse: costs no disk
  ::close(fd);
  orvatest::WriteFile(dir / "game.001", "part one");
  TMxBigFileStream in(path, FileOpenMode::Read);
  EXPECT_EQ(in.GetSize(), kSplitPartSize + 8);
  in.SetPosition(kSplitPartSize - 2);
  char buf[6];
  EXPECT_EQ(in.Read(buf, 6), 6);
  EXPECT_EQ(std::string(buf, 6), std::string("\0\0part", 6));
}

TEST(BigFileStream, MissingFileIsAnError) {
  orvatest::TempDir dir;
  EXPECT_THROW(TMxBigFileStream(dir / "nothing.dat", FileOpenMode::Read), OrvaError);
}

TEST(BuffBigStream, PutsBackWhatItReadAhead) {
  TMxMemoryStream src(std::string(300000, 'x') + "tail");
  {
    TMxBuffBigStream buf(src);
    char b[10];
    buf.ReadExact(b, 10);
    EXPECT_EQ(buf.GetPosition(), 10);
    EXPECT_GT(src.GetPosition(), 10);  // it read ahead
  }
  EXPECT_EQ(src.GetPosition(), 10);
  {
    TMxBuffBigStream buf(src);
    std::vector<char> big(250000);
    buf.ReadExact(big.data(), 250000);  // bigger than the buffer
    EXPECT_EQ(buf.ReadInt32(), 0x78787878);
  }
  EXPECT_EQ(src.GetPosition(), 250014);
}

TEST(RangeStream, ClampsSeeksAndReadsToItsWindow) {
  TMxMemoryStream src("0123456789");
  TRangeStream r(src, 3, 4);
  EXPECT_EQ(r.GetSize(), 4);
  EXPECT_EQ(ReadInChunks(r), "3456");
  r.SetPosition(-5);
  EXPECT_EQ(r.GetPosition(), 0);
  r.SetPosition(99);
  EXPECT_EQ(r.GetPosition(), 4);
  char c;
  EXPECT_EQ(r.Read(&c, 1), 0);
  EXPECT_EQ(r.Write("zz", 2), 0);
  EXPECT_EQ(src.AsString(), "0123456789");
}

TEST(RangeStream, EmptyRangeAndToTheEnd) {
  TMxMemoryStream src("0123456789");
  TRangeStream empty(src, 3, 0);
  EXPECT_EQ(empty.GetSize(), 0);
  EXPECT_EQ(ReadInChunks(empty), "");
  TRangeStream rest(src, 6, TRangeStream::kToEnd);
  EXPECT_EQ(rest.GetSize(), 4);
  EXPECT_EQ(ReadInChunks(rest), "6789");
  TRangeStream beyond(src, 20, 5);
  EXPECT_EQ(ReadInChunks(beyond), "");
}

TEST(RangeStream, OwnsAFileStream) {
  orvatest::TempDir dir;
  orvatest::WriteFile(dir / "a.bin", "headerPAYLOADtrailer");
  TFileRangeStream r(dir / "a.bin", 6, 7);
  EXPECT_EQ(ReadInChunks(r), "PAYLOAD");
}

TEST(ScrambleRangeStream, ReadsTheUnscrambledBytesAtEveryPosition) {
  auto data = orvatest::SampleBytes(10000, 5, false);
  TMxMemoryStream scrambled(data);
  ScrambleChunks(scrambled, 300, 99, true);
  TMxMemoryStream holder(std::string("pre") + scrambled.AsString() + "post");
  TScrambleRangeStream r(holder, 3, scrambled.GetSize());
  EXPECT_EQ(r.GetSize(), 10000);
  std::string all = ReadInChunks(r, 1234);
  EXPECT_EQ(all, std::string(data.begin(), data.end()));
  for (int64_t p : {0, 299, 300, 301, 5555, 9990}) {
    r.SetPosition(p);
    char buf[700];
    int64_t n = r.Read(buf, sizeof buf);
    EXPECT_EQ(n, std::min<int64_t>(700, 10000 - p));  // stops at the logical size
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), all.substr(static_cast<size_t>(p), static_cast<size_t>(n)));
  }
}

TEST(ScrambleRangeStream, DamagedHeadersAreRefused) {
  TMxMemoryStream tiny("1234");
  EXPECT_THROW(TScrambleRangeStream(tiny, 0, 4), OrvaError);
  TMxMemoryStream zero(std::string(8, '\0') + "abc");
  EXPECT_THROW(TScrambleRangeStream(zero, 0, 11), OrvaError);
}

TEST(RangeStream, SeparateStreamsReadInParallel) {
  orvatest::TempDir dir;
  auto data = orvatest::SampleBytes(200000, 1, false);
  orvatest::WriteFile(dir / "d.bin", data);
  std::vector<std::thread> threads;
  std::atomic<int> good{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      TFileRangeStream r(dir / "d.bin", t * 1000, 100000);
      std::string got = ReadInChunks(r, 4096);
      if (got == std::string(data.begin() + t * 1000, data.begin() + t * 1000 + 100000)) ++good;
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(good, 4);
}

}  // namespace
}  // namespace orva
