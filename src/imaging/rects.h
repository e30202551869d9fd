// Integer rectangles of the imaging code: Left/Top inclusive, Right/Bottom
// exclusive, in pixels.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>

namespace orva {

struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;

  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool Empty() const { return Right <= Left || Bottom <= Top; }
  TRect Offset(int32_t dx, int32_t dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
  bool Contains(int32_t x, int32_t y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  bool operator==(const TRect&) const = default;
};

inline TRect Bounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  return {left, top, left + width, top + height};
}

// The common part of two rectangles (may be empty).
inline TRect Intersect(const TRect& a, const TRect& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
}

// The bounding box of two rectangles; an empty one adds nothing.
inline TRect Union(const TRect& a, const TRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

// The bands of a frame of `width` inside r: top, bottom, then left and right
// between them (those two only when something is left between top and
// bottom). Edges are worked out in 64 bits and held to the int range.
template <class F>
void ForEachFrameBand(const TRect& r, int width, F f) {
  auto edge = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  const int64_t w = width;
  f(TRect{r.Left, r.Top, r.Right, edge(r.Top + w)});
  f(TRect{r.Left, edge(r.Bottom - w), r.Right, r.Bottom});
  if (r.Bottom - w - (r.Top + w) <= 0) return;
  f(TRect{r.Left, edge(r.Top + w), edge(r.Left + w), edge(r.Bottom - w)});
  f(TRect{edge(r.Right - w), edge(r.Top + w), r.Right, edge(r.Bottom - w)});
}

}  // namespace orva
