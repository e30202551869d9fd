// Row kernels for 32-bit pixels that process four pixels at a time with
// SSE2. Each gives exactly the result of the per-channel formulas in
// pixelops.h: every product of a channel and an opacity fits in 16 bits, so
// the packed arithmetic never rounds or saturates where the formula does
// not. Internal to the imaging library.
#pragma once

#include <cstdint>
#include <cstring>

#include "imaging/pixelops.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orva::rows32 {

inline uint32_t Load(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

#if defined(__SSE2__)
// ((s * a + d * ia) >> 8) per 16-bit lane, for the low or high two pixels.
inline __m128i BlendHalf(__m128i s16, __m128i d16, __m128i a16, __m128i ia16) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(s16, a16), _mm_mullo_epi16(d16, ia16)), 8);
}
inline __m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear) {
  return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}
#endif

// Opacity blend of n pixels, 0 < a < 255; pixels equal on both sides stay.
inline void BlendRow(uint8_t* d, const uint8_t* s, int n, uint32_t a) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i a16 = _mm_set1_epi16(static_cast<short>(a));
  const __m128i ia16 = _mm_set1_epi16(static_cast<short>(255 - a));
  const __m128i channels = _mm_set1_epi32(0x00FFFFFF);
  for (; i + 4 <= n; i += 4) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 4 * i));
    const __m128i lo = BlendHalf(_mm_unpacklo_epi8(sv, zero), _mm_unpacklo_epi8(dv, zero), a16, ia16);
    const __m128i hi = BlendHalf(_mm_unpackhi_epi8(sv, zero), _mm_unpackhi_epi8(dv, zero), a16, ia16);
    const __m128i blended = _mm_and_si128(_mm_packus_epi16(lo, hi), channels);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i), Select(_mm_cmpeq_epi32(sv, dv), dv, blended));
  }
#endif
  for (; i < n; ++i) {
    const uint32_t sp = Load(s + 4 * i), dp = Load(d + 4 * i);
    if (sp != dp) Store(d + 4 * i, pixelops::Blend888(sp, dp, a));
  }
}

// Additive draw of n pixels with strength a; pixels equal to the key (when
// keyed) are skipped.
inline void AddRow(uint8_t* d, const uint8_t* s, int n, uint32_t a, bool keyed, uint32_t key) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i a16 = _mm_set1_epi16(static_cast<short>(a));
  const __m128i channels = _mm_set1_epi32(0x00FFFFFF);
  const __m128i keyv = _mm_set1_epi32(static_cast<int>(key));
  for (; i + 4 <= n; i += 4) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 4 * i));
    const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(sv, zero), a16), 8);
    const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(sv, zero), a16), 8);
    const __m128i sum = _mm_and_si128(_mm_adds_epu8(_mm_and_si128(dv, channels), _mm_packus_epi16(lo, hi)), channels);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i),
                     keyed ? Select(_mm_cmpeq_epi32(sv, keyv), dv, sum) : sum);
  }
#endif
  for (; i < n; ++i) {
    const uint32_t sp = Load(s + 4 * i);
    if (keyed && sp == key) continue;
    Store(d + 4 * i, pixelops::Add888(sp, Load(d + 4 * i), a));
  }
}

// Blend of n pixels through an 8-bit mask under an overall opacity: the
// opacity of a pixel is pixelops::MaskAlpha(alpha, m); 0 skips, 255 copies.
inline void MaskRow(uint8_t* d, const uint8_t* s, const uint8_t* m, int n, uint32_t alpha) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i full = _mm_set1_epi16(255);
  const __m128i full32 = _mm_set1_epi32(255);
  const __m128i channels = _mm_set1_epi32(0x00FFFFFF);
  const bool plain = (alpha & 255u) == 255u;
  const __m128i alpha16 = _mm_set1_epi16(static_cast<short>(alpha & 255u));
  for (; i + 4 <= n; i += 4) {
    uint32_t m4;
    std::memcpy(&m4, m + i, 4);
    if (m4 == 0) continue;
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 4 * i));
    __m128i a = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(m4)), zero);  // 16-bit: m0 m1 m2 m3
    if (!plain) a = _mm_srli_epi16(_mm_mullo_epi16(a, alpha16), 8);
    const __m128i a32 = _mm_unpacklo_epi16(a, zero);  // one opacity per pixel
    const __m128i aPairs = _mm_unpacklo_epi16(a, a);  // m0 m0 m1 m1 m2 m2 m3 m3
    const __m128i aLo = _mm_unpacklo_epi32(aPairs, aPairs), aHi = _mm_unpackhi_epi32(aPairs, aPairs);
    const __m128i lo = BlendHalf(_mm_unpacklo_epi8(sv, zero), _mm_unpacklo_epi8(dv, zero), aLo, _mm_sub_epi16(full, aLo));
    const __m128i hi = BlendHalf(_mm_unpackhi_epi8(sv, zero), _mm_unpackhi_epi8(dv, zero), aHi, _mm_sub_epi16(full, aHi));
    __m128i out = _mm_and_si128(_mm_packus_epi16(lo, hi), channels);
    out = Select(_mm_cmpeq_epi32(sv, dv), dv, out);
    out = Select(_mm_cmpeq_epi32(a32, full32), sv, out);
    out = Select(_mm_cmpeq_epi32(a32, zero), dv, out);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i), out);
  }
#endif
  for (; i < n; ++i) {
    if (m[i] == 0) continue;
    const uint32_t a = pixelops::MaskAlpha(alpha, m[i]);
    if (a == 0) continue;
    const uint32_t sp = Load(s + 4 * i);
    if (a >= 255) {
      Store(d + 4 * i, sp);
      continue;
    }
    const uint32_t dp = Load(d + 4 * i);
    if (dp != sp) Store(d + 4 * i, pixelops::Blend888(sp, dp, a));
  }
}

}  // namespace orva::rows32
