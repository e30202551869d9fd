// The fuzzers' seed files: made by the writers of the tests (record
// generation, BMP, PNG, JPEG, GIF) and by "orvatool image encode" (XML
// generation). With ORVA_WRITE_FUZZ_SEEDS set the made files are written into
// fuzz/imaging/corpus; every committed seed must load.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/streams.h"
#include "imaging/pictures.h"
#include "imaging/vorns.h"
#include "testsupport.h"
#include "vornrecords.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(ORVA_TEST_DATA_DIR).parent_path().parent_path() / "fuzz" / "imaging" / "corpus";

std::unique_ptr<TDIBX> Small(int bits) {
  auto s = std::make_unique<TDIBX>(5, 4, bits);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) s->SetPixel(x, y, static_cast<uint32_t>((x * 3 + y * 5) * 0x0B0D11) & (bits == 8 ? 0xFF : 0xFFFFFF));
  return s;
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> MadeSeeds() {
  using namespace orvatest;
  std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds;
  auto plane = Small(32);
  auto alpha = Small(8);
  // Record generation: blocks with references, shuffled, and an old raw file.
  RecFile blocks;
  blocks.header.CompType = 0;
  blocks.header.BlockWidth = 2;
  blocks.header.BlockHeight = 2;
  RecFrame f;
  f.width = 5;
  f.height = 4;
  f.bpp = 32;
  RecLayer l;
  l.color = Zlib(PlaneBlocks(*plane, 2, 2, {{-1, 0}, {-2, 0}}));
  l.alphaData = Zlib(PlaneBlocks(*alpha, 2, 2));
  l.alphaOn = true;
  f.layers = {l};
  f.rects = {{0, 0, 2, 2}};
  blocks.frames = {f, f};
  blocks.frames[1].layers[0].color = Zlib(PlaneBlocks(*plane, 2, 2, {{0, 0}, {0, 0}, {0, 0}}));
  seeds.emplace_back("vor/record_blocks.vor", WriteRecordFile(blocks));
  RecFile shuffled = blocks;
  shuffled.header.Randomized = 1;
  shuffled.header.CompType = 1;
  shuffled.header.BlockWidth = 0;
  shuffled.frames.resize(1);
  shuffled.frames[0].layers[0].color = PlaneRows(*plane, 12345, true);
  shuffled.frames[0].layers[0].alphaData = PlaneRows(*alpha, 12345, true);
  seeds.emplace_back("vor/record_shuffled.vor", WriteRecordFile(shuffled));
  RecFile old;
  old.version = 102;
  RecFrame indexed;
  indexed.width = 5;
  indexed.height = 4;
  indexed.bpp = 8;
  indexed.transColor = 3;
  indexed.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  RecLayer il;
  il.color = PlaneRows(*alpha);
  indexed.layers = {il};
  old.frames = {indexed};
  seeds.emplace_back("vor/record_v102.vor", WriteRecordFile(old));
  seeds.emplace_back("bmp/small24.bmp", EncodeBmp24(*plane));
  seeds.emplace_back("picture/small.png", EncodePng(*plane, alpha.get()));
  seeds.emplace_back("picture/small.jpg", EncodeJpeg(*plane, 50));
  seeds.emplace_back("picture/small.gif", TinyGif());
  return seeds;
}

TEST(FuzzSeeds, CommittedSeedsLoad) {
  if (std::getenv("ORVA_WRITE_FUZZ_SEEDS")) {
    for (const auto& [name, bytes] : MadeSeeds()) {
      fs::create_directories((kCorpus / name).parent_path());
      orvatest::WriteFile((kCorpus / name).string(), bytes);
    }
  }
  int seen = 0;
  for (const auto& kind : {"vor", "bmp", "picture"}) {
    for (const auto& entry : fs::directory_iterator(kCorpus / kind)) {
      const std::string data = orvatest::ReadFile(entry.path().string());
      const std::vector<uint8_t> bytes(data.begin(), data.end());
      ++seen;
      if (std::string(kind) == "vor") {
        TVornFrameList list(12345);
        TMxMemoryStream m(data);
        EXPECT_NO_THROW(list.LoadFromStream(m, false, true, true)) << entry.path();
        EXPECT_GT(list.Count(), 0);
      } else {
        EXPECT_NO_THROW(DecodePicture(bytes)) << entry.path();
      }
    }
  }
  EXPECT_GE(seen, 9);
}

}  // namespace
}  // namespace orva
