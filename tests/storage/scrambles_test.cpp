#include "storage/scrambles.h"

#include <gtest/gtest.h>

#include "common/errors.h"
#include "testsupport.h"

namespace orva {
namespace {

TEST(Crc32, StandardCheckValue) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  TMxMemoryStream s("123456789");
  s.SetPosition(5);
  EXPECT_EQ(StreamCrc32(s), 0xCBF43926u);  // always from position 0
  EXPECT_EQ(Crc32("", 0), 0u);
}

TEST(Compression, RoundTripsInPlace) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{1000}, size_t{300000}}) {
    auto data = orvatest::SampleBytes(n, static_cast<uint32_t>(n));
    TMxMemoryStream s(data);
    CompressInPlace(s);
    EXPECT_EQ(s.GetPosition(), 0);
    if (n == 300000) {
      EXPECT_LT(s.GetSize(), 150000);
    }
    DecompressInPlace(s);
    EXPECT_EQ(s.Bytes(), data);
    EXPECT_EQ(s.GetPosition(), 0);
  }
}

TEST(Compression, CorruptOrTruncatedDataIsRefused) {
  auto packed = Deflate(orvatest::SampleBytes(5000, 1).data(), 5000);
  std::vector<uint8_t> truncated(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2));
  EXPECT_THROW(Inflate(truncated.data(), truncated.size()), OrvaError);
  std::vector<uint8_t> garbage = orvatest::Bytes("this is not zlib data at all");
  EXPECT_THROW(Inflate(garbage.data(), garbage.size()), OrvaError);
  EXPECT_THROW(Inflate(nullptr, 0), OrvaError);
}

TEST(ChunkScrambling, RoundTripsForAnyLengthAndChunkSize) {
  struct Case { size_t length; int32_t chunk; };
  for (auto c : {Case{0, 256}, Case{1, 256}, Case{255, 256}, Case{256, 256}, Case{257, 256}, Case{1000, 7},
                 Case{4096 * 3 + 5, 4096}, Case{100000, 1000}}) {
    auto data = orvatest::SampleBytes(c.length, 9, false);
    TMxMemoryStream s(data);
    ScrambleChunks(s, c.chunk, 4242, true);
    EXPECT_EQ(s.GetSize(), static_cast<int64_t>(c.length) + 8);
    EXPECT_EQ(s.GetPosition(), s.GetSize());
    if (c.length > static_cast<size_t>(c.chunk) * 2) {
      EXPECT_NE(std::vector<uint8_t>(s.Bytes().begin() + 8, s.Bytes().end()), data) << "nothing moved";
    }
    UnscrambleChunks(s);
    EXPECT_EQ(s.Bytes(), data) << c.length << "/" << c.chunk;
  }
}

TEST(ChunkScrambling, OneChunkStaysInPlaceBehindItsHeader) {
  TMxMemoryStream s("short entry");
  ScrambleChunks(s, 256, 77, true);
  std::string out = s.AsString();
  EXPECT_EQ(out.substr(8), "short entry");
  TMxMemoryStream h(out.substr(0, 8));
  EXPECT_EQ(h.ReadInt32(), 256);
  EXPECT_EQ(h.ReadInt32(), 77 ^ 0x93B1);
}

TEST(ChunkScrambling, DamagedHeadersAreRefused) {
  TMxMemoryStream shortOne("1234567");
  EXPECT_THROW(UnscrambleChunks(shortOne), OrvaError);
  TMxMemoryStream zeroChunk(std::string(8, '\0') + "data");
  EXPECT_THROW(UnscrambleChunks(zeroChunk), OrvaError);
  TMxMemoryStream s("x");
  EXPECT_THROW(ScrambleChunks(s, 0, 1, true), OrvaError);
}

TEST(ChunkScrambling, ChunkSizeFollowsTheLength) {
  EXPECT_EQ(ScrambleChunkSizeFor(0), 256);
  EXPECT_EQ(ScrambleChunkSizeFor(30000), 300);
  EXPECT_EQ(ScrambleChunkSizeFor(10000000), 4096);
}

TEST(EntryEncoding, RulesChooseTheStorageKind) {
  auto text = orvatest::SampleBytes(20000, 3, true);
  auto noise = orvatest::SampleBytes(20000, 3, false);
  auto huge = orvatest::SampleBytes(0x500000, 4, true);
  struct Case {
    const char* what;
    const std::vector<uint8_t>* data;
    const char* ext;
    bool fromFile, scramble;
    uint8_t kind;
  };
  const Case cases[] = {
      {"compressible file", &text, ".txt", true, false, kStoredCompressed},
      {"media file is never compressed", &text, ".wav", true, false, kStoredPlain},
      {"mpeg", &text, ".MPEG", true, false, kStoredPlain},
      {"incompressible file", &noise, ".bin", true, false, kStoredPlain},
      {"memory data", &text, "", false, false, kStoredCompressed},
      {"larger than the limit", &huge, ".txt", true, false, kStoredPlain},
      {"compressed and scrambled", &text, ".txt", true, true, kStoredCompressedScrambled},
      {"stored and scrambled", &noise, ".txt", true, true, kStoredScrambled},
      {"large and scrambled", &huge, ".txt", true, true, kStoredScrambled},
  };
  for (const auto& c : cases) {
    EntryEncodingRequest r;
    r.data = c.data->data();
    r.size = c.data->size();
    r.extension = c.ext;
    r.fromFile = c.fromFile;
    r.scramble = c.scramble;
    r.scrambleSeed = 1234;
    EncodedEntry e = EncodeEntry(r);
    EXPECT_EQ(e.kind, c.kind) << c.what;
    EXPECT_EQ(e.crc, Crc32(e.bytes.data(), e.bytes.size())) << c.what;
    TMxMemoryStream back(e.bytes);
    DecodeEntryInPlace(back, e.kind);
    EXPECT_EQ(back.Bytes(), *c.data) << c.what;
  }
}

TEST(EntryEncoding, ChecksumOfSourceAndForcedCompression) {
  auto noise = orvatest::SampleBytes(1000, 8, false);
  EntryEncodingRequest r;
  r.data = noise.data();
  r.size = noise.size();
  r.extension = ".ogg";
  r.fromFile = true;
  r.checksumOfSource = true;
  r.forceCompress = true;
  EncodedEntry e = EncodeEntry(r);
  EXPECT_EQ(e.kind, kStoredCompressed);
  EXPECT_EQ(e.crc, Crc32(noise.data(), noise.size()));
}

TEST(EntryEncoding, LayeredPicturesAskTheImageModule) {
  auto text = orvatest::SampleBytes(20000, 3, true);
  EntryEncodingRequest r;
  r.data = text.data();
  r.size = text.size();
  r.extension = ".VOR";
  r.fromFile = true;
  r.compressLayeredPicture = [] { return false; };
  EXPECT_EQ(EncodeEntry(r).kind, kStoredPlain);
  r.compressLayeredPicture = [] { return true; };
  EXPECT_EQ(EncodeEntry(r).kind, kStoredCompressed);
}

}  // namespace
}  // namespace orva
