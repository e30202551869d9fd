// Pixel access per storage format and the per-channel arithmetic shared by
// the surface operations. Internal to the imaging library.
#pragma once

#include <cstdint>
#include <cstring>

namespace orva::pixelops {

// Channel masks of a format, each channel kept in place (never shifted down).
// Indexed and 8-bit formats have one channel: the index itself.
struct Chan {
  uint32_t r = 0, g = 0, b = 0;
};

inline Chan ChannelsOf(int bitCount) {
  switch (bitCount) {
    case 15: return {0x7C00, 0x03E0, 0x001F};
    case 16: return {0xF800, 0x07E0, 0x001F};
    case 24:
    case 32: return {0xFF0000, 0x00FF00, 0x0000FF};
    case 8: return {0, 0, 0xFF};
    case 4: return {0, 0, 0x0F};
    default: return {0, 0, 0x01};
  }
}

struct Px1 {
  static constexpr int kBits = 1;
  static uint32_t Get(const uint8_t* row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1u; }
  static void Set(uint8_t* row, int x, uint32_t v) {
    const uint8_t bit = static_cast<uint8_t>(0x80u >> (x & 7));
    row[x >> 3] = (v & 1u) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
  }
};
struct Px4 {
  static constexpr int kBits = 4;
  static uint32_t Get(const uint8_t* row, int x) { return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4); }
  static void Set(uint8_t* row, int x, uint32_t v) {
    uint8_t& b = row[x >> 1];
    b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 0x0F)) : static_cast<uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
  }
};
struct Px8 {
  static constexpr int kBits = 8;
  static uint32_t Get(const uint8_t* row, int x) { return row[x]; }
  static void Set(uint8_t* row, int x, uint32_t v) { row[x] = static_cast<uint8_t>(v); }
};
struct Px16 {
  static constexpr int kBits = 16;
  static uint32_t Get(const uint8_t* row, int x) {
    uint16_t v;
    std::memcpy(&v, row + 2 * x, 2);
    return v;
  }
  static void Set(uint8_t* row, int x, uint32_t v) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(row + 2 * x, &w, 2);
  }
};
struct Px24 {
  static constexpr int kBits = 24;
  static uint32_t Get(const uint8_t* row, int x) {
    const uint8_t* p = row + 3 * x;
    return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
  }
  static void Set(uint8_t* row, int x, uint32_t v) {
    uint8_t* p = row + 3 * x;
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
  }
};
struct Px32 {
  static constexpr int kBits = 32;
  static uint32_t Get(const uint8_t* row, int x) {
    uint32_t v;
    std::memcpy(&v, row + 4 * x, 4);
    return v;
  }
  static void Set(uint8_t* row, int x, uint32_t v) { std::memcpy(row + 4 * x, &v, 4); }
};

// Calls f with a value of the accessor type that matches the storage bits.
template <class F>
decltype(auto) WithFormat(int storageBits, F&& f) {
  switch (storageBits) {
    case 1: return f(Px1{});
    case 4: return f(Px4{});
    case 8: return f(Px8{});
    case 16: return f(Px16{});
    case 24: return f(Px24{});
    default: return f(Px32{});
  }
}

// ((s_c * a + d_c * (255 - a)) >> 8) & M for each channel; 0 < a < 255.
inline uint32_t BlendMasked(uint32_t s, uint32_t d, uint32_t a, const Chan& c) {
  const uint32_t ia = 255 - a;
  return ((((s & c.r) * a + (d & c.r) * ia) >> 8) & c.r) | ((((s & c.g) * a + (d & c.g) * ia) >> 8) & c.g) |
         ((((s & c.b) * a + (d & c.b) * ia) >> 8) & c.b);
}

// The same for 8-8-8 channels, red and blue in one multiply (the lanes are
// 16 bits apart, so neither product reaches the other).
inline uint32_t Blend888(uint32_t s, uint32_t d, uint32_t a) {
  const uint32_t ia = 255 - a;
  const uint32_t rb = (((s & 0xFF00FFu) * a + (d & 0xFF00FFu) * ia) >> 8) & 0xFF00FFu;
  const uint32_t g = (((s & 0x00FF00u) * a + (d & 0x00FF00u) * ia) >> 8) & 0x00FF00u;
  return rb | g;
}

// min(d_c + (((a * s_c) >> 8) & M), M) for each channel.
inline uint32_t AddMasked(uint32_t s, uint32_t d, uint32_t a, const Chan& c) {
  uint32_t out = 0;
  for (uint32_t m : {c.r, c.g, c.b}) {
    if (!m) continue;
    const uint32_t v = (d & m) + (((s & m) * a >> 8) & m);
    out |= v > m ? m : v;
  }
  return out;
}

inline uint32_t Add888(uint32_t s, uint32_t d, uint32_t a) {
  const uint32_t trb = (((s & 0xFF00FFu) * a) >> 8) & 0xFF00FFu;
  const uint32_t tg = (((s & 0x00FF00u) * a) >> 8) & 0x00FF00u;
  uint32_t rb = (d & 0xFF00FFu) + trb;
  const uint32_t carry = rb & 0x01000100u;
  rb = (rb | (carry - (carry >> 8))) & 0xFF00FFu;
  uint32_t g = (d & 0x00FF00u) + tg;
  if (g > 0x00FF00u) g = 0x00FF00u;
  return rb | g;
}

// min(d_c + v_c, M) and max(d_c - v_c, 0).
inline uint32_t AddSat(uint32_t v, uint32_t d, const Chan& c) {
  uint32_t out = 0;
  for (uint32_t m : {c.r, c.g, c.b}) {
    const uint32_t t = (d & m) + (v & m);
    out |= t > m ? m : t;
  }
  return out;
}
inline uint32_t SubFloor(uint32_t v, uint32_t d, const Chan& c) {
  uint32_t out = 0;
  for (uint32_t m : {c.r, c.g, c.b}) {
    const uint32_t dc = d & m, vc = v & m;
    out |= dc > vc ? dc - vc : 0;
  }
  return out;
}

template <class Px>
inline uint32_t Blend(uint32_t s, uint32_t d, uint32_t a, const Chan& c) {
  if constexpr (Px::kBits >= 24) {
    return Blend888(s, d, a);
  } else {
    return BlendMasked(s, d, a, c);
  }
}
template <class Px>
inline uint32_t Add(uint32_t s, uint32_t d, uint32_t a, const Chan& c) {
  if constexpr (Px::kBits >= 24) {
    return Add888(s, d, a);
  } else {
    return AddMasked(s, d, a, c);
  }
}

// Writes source pixel s at x of row: added with strength a, or at opacity a
// (0 leaves the pixel, 255 and above copies, a pixel equal to s stays).
template <class Px>
inline void PutPixel(uint8_t* row, int x, uint32_t s, uint32_t a, bool additive, const Chan& c) {
  if (additive) {
    Px::Set(row, x, Add<Px>(s, Px::Get(row, x), a, c));
    return;
  }
  if (a == 0) return;
  if (a >= 255) {
    Px::Set(row, x, s);
    return;
  }
  const uint32_t d = Px::Get(row, x);
  if (d != s) Px::Set(row, x, Blend<Px>(s, d, a, c));
}

// Opacity of one mask sample under an overall opacity: the sample itself at
// full opacity, else (alpha * m) >> 8.
inline uint32_t MaskAlpha(uint32_t alpha, uint32_t m) { return (alpha & 255u) == 255u ? m : (alpha & 255u) * m >> 8; }

}  // namespace orva::pixelops
