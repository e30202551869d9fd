// A writer of the record generation of layered pictures, for tests and for
// the fuzzers' seed files. It writes whatever it is given, so tests can also
// build broken files.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/vorns.h"

namespace orvatest {

struct RecLayer {
  std::string name = "layer";
  bool visible = true;
  int32_t transColor = -1;
  int32_t alpha = 255;
  bool alphaOn = false;
  std::vector<uint8_t> color;
  std::vector<uint8_t> alphaData;  // empty: no alpha plane
};

struct RecFrame {
  std::string name = "frame";
  int32_t transColor = -1;
  int32_t delay = 0;
  uint8_t disposal = 0;
  int32_t width = 0, height = 0, bpp = 32;
  std::vector<uint32_t> palette;  // 0x00RRGGBB, written as B, G, R, 0
  std::vector<RecLayer> layers;
  std::vector<orva::TRect> rects, rects2;
};

struct RecFile {
  int version = 107;  // 0 writes no magic
  orva::TVornHeader header;
  std::vector<RecFrame> frames;
};

std::vector<uint8_t> WriteRecordFile(const RecFile& file);

// Rows of a plane top first, 4-byte aligned; shuffled by the seed when asked.
std::vector<uint8_t> PlaneRows(orva::TDIBX& plane, int32_t seed = 0, bool shuffled = false);
std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw);

// The blocked layout of a plane: a table entry per block (A, B) and the
// data of the blocks whose A is -1. entries[i] overrides block i (row-major);
// missing entries store the block's pixels. With a seed the table is stored
// shuffled.
std::vector<uint8_t> PlaneBlocks(orva::TDIBX& plane, int bw, int bh,
                                 const std::vector<std::pair<int32_t, int32_t>>& entries = {}, int32_t seed = 0,
                                 bool shuffled = false);

// A 3x2 GIF with four colours and transparent index 3, written with giflib.
std::vector<uint8_t> TinyGif();

}  // namespace orvatest
