// Helpers shared by the transition sources: direct row access to surfaces,
// per-pixel grey arithmetic and the makers of each family. Internal to the
// transitions library.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/pixelops.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include "transitions/wipes.h"

namespace orva::wipekit {

// Row pointers of a surface for the length of a scope (one Lock / Unlock).
class Rows {
 public:
  explicit Rows(TCustomDIBX& s) : s_(s), base_(s.Lock(0, 0)), pitch_(s.Pitch()) {}
  ~Rows() {
    if (base_) s_.Unlock();
  }
  Rows(const Rows&) = delete;
  Rows& operator=(const Rows&) = delete;
  bool Ok() const { return base_ != nullptr; }
  uint8_t* operator[](int y) const { return base_ + static_cast<ptrdiff_t>(pitch_) * y; }

 private:
  TCustomDIBX& s_;
  uint8_t* base_;
  int pitch_;
};

// Saturating per-channel add and floored subtract of a grey (or any) value.
template <class Px>
inline uint32_t AddPixel(uint32_t v, uint32_t d, const pixelops::Chan& c) {
  if constexpr (Px::kBits >= 24) {
    return pixelops::Add888(v, d, 256);
  } else {
    return pixelops::AddSat(v, d, c);
  }
}
template <class Px>
inline uint32_t SubPixel(uint32_t v, uint32_t d, const pixelops::Chan& c) {
  if constexpr (Px::kBits >= 24) {
    // Per byte: keep d - v where d >= v, else 0.
    const uint32_t r = ((d >> 16) & 255) > ((v >> 16) & 255) ? (d & 0xFF0000u) - (v & 0xFF0000u) : 0;
    const uint32_t g = ((d >> 8) & 255) > ((v >> 8) & 255) ? (d & 0x00FF00u) - (v & 0x00FF00u) : 0;
    const uint32_t b = (d & 255) > (v & 255) ? (d & 0xFFu) - (v & 0xFFu) : 0;
    return r | g | b;
  } else {
    return pixelops::SubFloor(v, d, c);
  }
}

#if defined(__SSE2__)
// The same two for 8-8-8 pixels, one pixel in a vector register (the
// unused fourth byte of the pixel is kept).
inline uint32_t AddSat888(uint32_t v, uint32_t d) {
  return static_cast<uint32_t>(_mm_cvtsi128_si32(
             _mm_adds_epu8(_mm_cvtsi32_si128(static_cast<int>(d)), _mm_cvtsi32_si128(static_cast<int>(v)))));
}
inline uint32_t SubSat888(uint32_t v, uint32_t d) {
  return static_cast<uint32_t>(_mm_cvtsi128_si32(
             _mm_subs_epu8(_mm_cvtsi32_si128(static_cast<int>(d)), _mm_cvtsi32_si128(static_cast<int>(v)))));
}
#else
inline uint32_t AddSat888(uint32_t v, uint32_t d) { return pixelops::Add888(v, d, 256); }
inline uint32_t SubSat888(uint32_t v, uint32_t d) { return SubPixel<pixelops::Px32>(v, d, {}); }
#endif

// Rounds to nearest with ties to even (the default floating-point mode).
inline int64_t RoundEven(double v) {
  if (!(v > -9.0e15 && v < 9.0e15)) return 0;
  return static_cast<int64_t>(std::nearbyint(v));
}

// Calls f(Px{}) for the destination's storage format.
template <class F>
decltype(auto) WithPixels(TCustomDIBX& s, F&& f) {
  return pixelops::WithFormat(s.StorageBitCount(), std::forward<F>(f));
}

// The grey value (0..255) of every pixel of a rule image tiled over a
// width x height screen, `rows` rows high (the rule's height, at most the
// screen's). Without a usable rule image every value is 255 and rows is 1.
struct RuleMap {
  int width = 0, rows = 1;
  std::vector<uint8_t> values;
  const uint8_t* Row(int y) const { return values.data() + static_cast<size_t>(width) * (y % rows); }
};
RuleMap LoadRuleMap(TVrFileManager* files, int32_t identCode, const std::string& name, bool invert, int width,
                    int height);

// 255 where the two same-sized pictures' pixels differ, 0 elsewhere.
void DifferenceMask(TCustomDIBX& a, TCustomDIBX& b, TDIBX& mask);

// Makers of each family; null when the type is not theirs.
std::unique_ptr<TCustomWipe> MakeMaskWipe(int type);
std::unique_ptr<TCustomWipe> MakeDrawWipe(int type);
std::unique_ptr<TCustomWipe> MakePixelWipe(int type);
std::unique_ptr<TCustomWipe> MakeShapeWipe(int type);

}  // namespace orva::wipekit
