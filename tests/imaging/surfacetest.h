// Small surfaces for the drawing tests: building them from pixel lists,
// reading them back, and the per-channel arithmetic as an oracle.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/dibx.h"

namespace orva::surfacetest {

using Pixels = std::vector<uint32_t>;

// A surface of w x h with the given pixels, row by row.
inline std::unique_ptr<TDIBX> Make(int w, int h, int bits, const Pixels& px) {
  auto s = std::make_unique<TDIBX>(w, h, bits);
  for (int i = 0; i < w * h; ++i) s->SetPixel(i % w, i / w, px[static_cast<size_t>(i)]);
  return s;
}

inline Pixels Read(TDIBX& s) {
  Pixels out;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  return out;
}

inline std::unique_ptr<TDIBX> Filled(int w, int h, int bits, uint32_t v) {
  auto s = std::make_unique<TDIBX>(w, h, bits);
  s->Clear(v);
  return s;
}

// Independent per-channel forms of the arithmetic, used as the oracle.
struct Masks {
  uint32_t m[3];
};
inline Masks MasksOf(int bits) {
  switch (bits) {
    case 15: return {{0x7C00, 0x03E0, 0x001F}};
    case 16: return {{0xF800, 0x07E0, 0x001F}};
    case 8: return {{0xFF, 0, 0}};
    default: return {{0xFF0000, 0x00FF00, 0x0000FF}};
  }
}
inline uint32_t RefBlend(int bits, uint32_t s, uint32_t d, uint32_t a) {
  uint32_t out = 0;
  for (uint32_t M : MasksOf(bits).m) out |= (((s & M) * a + (d & M) * (255 - a)) >> 8) & M;
  return out;
}
inline uint32_t RefAdd(int bits, uint32_t s, uint32_t d, uint32_t a) {
  uint32_t out = 0;
  for (uint32_t M : MasksOf(bits).m) out |= std::min((d & M) + (((a * (s & M)) >> 8) & M), M);
  return out;
}

// Random pixels, so that the fast row paths meet every kind of pixel pair.
inline std::unique_ptr<TDIBX> Noise(int w, int h, int bits, uint32_t seed) {
  auto s = std::make_unique<TDIBX>(w, h, bits);
  uint32_t x = seed * 2654435761u + 1;
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < w; ++i) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      // Every fourth pixel repeats a fixed value so equal pairs occur.
      s->SetPixel(i, y, (i % 4 == 1) ? 0x00336699u : (bits == 8 ? x & 0xFF : x));
    }
  return s;
}

}  // namespace orva::surfacetest
