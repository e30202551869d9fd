#include "imaging/dibxwave.h"

#include <climits>

namespace orva {

template <class F>
void TDIBXWave::ForEachRun(F draw) {
  if (!target_) return;
  const bool hadClip = target_->HasClip();
  const TRect saved = target_->ClipRect();
  const TRect base = Intersect(saved, ClipRect());
  const int n = static_cast<int>(Offsets.size());
  for (int r = 0; r < n;) {
    int e = r + 1;
    while (e < n && Offsets[static_cast<size_t>(e)] == Offsets[static_cast<size_t>(r)]) ++e;
    const TRect band = Intersect(base, TRect{INT_MIN / 2, FirstRow + r, INT_MAX / 2, FirstRow + e});
    if (!band.Empty()) {
      target_->SetClipRect(band);
      draw(Offsets[static_cast<size_t>(r)]);
    }
    r = e;
  }
  if (hadClip) target_->SetClipRect(saved);
  else target_->ResetClip();
}

void TDIBXWave::FillRect(const TRect& r, uint32_t v) {
  ForEachRun([&](int dx) { target_->FillRect(r.Offset(dx, 0), v); });
}
void TDIBXWave::FillRectAlpha(const TRect& r, uint32_t v, int alpha) {
  ForEachRun([&](int dx) { target_->FillRectAlpha(r.Offset(dx, 0), v, alpha); });
}
void TDIBXWave::FillRectAdd(const TRect& r, uint32_t v) {
  ForEachRun([&](int dx) { target_->FillRectAdd(r.Offset(dx, 0), v); });
}
void TDIBXWave::FillRectSub(const TRect& r, uint32_t v) {
  ForEachRun([&](int dx) { target_->FillRectSub(r.Offset(dx, 0), v); });
}
void TDIBXWave::Draw(int x, int y, TCustomDIBX& src, const TRect& sr, bool fh, bool fv, bool t) {
  ForEachRun([&](int dx) { target_->Draw(x + dx, y, src, sr, fh, fv, t); });
}
void TDIBXWave::DrawMask(int x, int y, TCustomDIBX& src, const TRect& sr, TCustomDIBX& mask, bool fh, bool fv) {
  ForEachRun([&](int dx) { target_->DrawMask(x + dx, y, src, sr, mask, fh, fv); });
}
void TDIBXWave::DrawAlpha(int x, int y, TCustomDIBX& src, const TRect& sr, int alpha, bool fh, bool fv, bool t) {
  ForEachRun([&](int dx) { target_->DrawAlpha(x + dx, y, src, sr, alpha, fh, fv, t); });
}
void TDIBXWave::DrawAlphaMask(int x, int y, TCustomDIBX& src, const TRect& sr, int alpha, TCustomDIBX& mask, bool fh,
                              bool fv) {
  ForEachRun([&](int dx) { target_->DrawAlphaMask(x + dx, y, src, sr, alpha, mask, fh, fv); });
}
void TDIBXWave::DrawAdd(int x, int y, TCustomDIBX& src, const TRect& sr, int alpha, bool fh, bool fv, bool t) {
  ForEachRun([&](int dx) { target_->DrawAdd(x + dx, y, src, sr, alpha, fh, fv, t); });
}
void TDIBXWave::DrawAddMask(int x, int y, TCustomDIBX& src, const TRect& sr, int alpha, TCustomDIBX& mask, bool fh,
                            bool fv) {
  ForEachRun([&](int dx) { target_->DrawAddMask(x + dx, y, src, sr, alpha, mask, fh, fv); });
}
void TDIBXWave::DrawColorMask(int x, int y, int alpha, uint32_t v, TCustomDIBX& mask, const TRect& mr, bool fh,
                              bool fv) {
  ForEachRun([&](int dx) { target_->DrawColorMask(x + dx, y, alpha, v, mask, mr, fh, fv); });
}
void TDIBXWave::DrawRotateRect(int x, int y, TCustomDIBX& src, const TRect& sr, int alpha, bool fh, bool fv, bool t,
                               double angle, int px, int py, double sx, double sy) {
  ForEachRun([&](int dx) { target_->DrawRotateRect(x + dx, y, src, sr, alpha, fh, fv, t, angle, px, py, sx, sy); });
}
void TDIBXWave::DrawRotateMaskRect(int x, int y, TCustomDIBX& src, const TRect& sr, TCustomDIBX& mask, int alpha,
                                   bool fh, bool fv, double angle, int px, int py, double sx, double sy) {
  ForEachRun(
      [&](int dx) { target_->DrawRotateMaskRect(x + dx, y, src, sr, mask, alpha, fh, fv, angle, px, py, sx, sy); });
}
void TDIBXWave::DrawSmooth(int x, int y, TCustomDIBX& src, const TRect& sr, TCustomDIBX* mask, int alpha, bool fh,
                           bool fv, bool t, double angle, int px, int py, double sx, double sy) {
  ForEachRun([&](int dx) { target_->DrawSmooth(x + dx, y, src, sr, mask, alpha, fh, fv, t, angle, px, py, sx, sy); });
}
void TDIBXWave::StretchDraw(const TRect& dr, TCustomDIBX& src, const TRect& sr, int alpha, bool fh, bool fv, bool t) {
  ForEachRun([&](int dx) { target_->StretchDraw(dr.Offset(dx, 0), src, sr, alpha, fh, fv, t); });
}
void TDIBXWave::StretchDrawMask(const TRect& dr, TCustomDIBX& src, const TRect& sr, int alpha, TCustomDIBX& mask,
                                bool fh, bool fv) {
  ForEachRun([&](int dx) { target_->StretchDrawMask(dr.Offset(dx, 0), src, sr, alpha, mask, fh, fv); });
}
void TDIBXWave::StretchDrawAdd(const TRect& dr, TCustomDIBX& src, const TRect& sr, int alpha, bool fh, bool fv,
                               bool t) {
  ForEachRun([&](int dx) { target_->StretchDrawAdd(dr.Offset(dx, 0), src, sr, alpha, fh, fv, t); });
}
void TDIBXWave::StretchDrawAddMask(const TRect& dr, TCustomDIBX& src, const TRect& sr, int alpha, TCustomDIBX& mask,
                                   bool fh, bool fv) {
  ForEachRun([&](int dx) { target_->StretchDrawAddMask(dr.Offset(dx, 0), src, sr, alpha, mask, fh, fv); });
}
void TDIBXWave::DrawIndexed8(int x, int y, std::span<const uint32_t> table, int alpha, bool fh, bool fv, int minIndex,
                             const TRect& sr, TCustomDIBX& src) {
  ForEachRun([&](int dx) { target_->DrawIndexed8(x + dx, y, table, alpha, fh, fv, minIndex, sr, src); });
}
void TDIBXWave::StretchDrawIndexed(const TRect& dr, TCustomDIBX& src, std::span<const uint32_t> table, int alpha,
                                   bool fh, bool fv, int minIndex, const TRect& sr) {
  ForEachRun([&](int dx) { target_->StretchDrawIndexed(dr.Offset(dx, 0), src, table, alpha, fh, fv, minIndex, sr); });
}

}  // namespace orva
