// A proxy surface that draws into another surface with a horizontal
// displacement per row (the wave effect). Rows that share an offset are drawn
// as one run; queries and pixel access go to the target.
#pragma once

#include <algorithm>
#include <vector>

#include "imaging/dibx.h"

namespace orva {

class TDIBXWave : public TCustomDIBX {
 public:
  explicit TDIBXWave(TCustomDIBX* target = nullptr) : target_(target) {}

  void SetTarget(TCustomDIBX* target) { target_ = target; }
  TCustomDIBX* InnerSurface() override { return target_; }
  // Offsets[i] shifts target row FirstRow + i; rows outside are not drawn.
  std::vector<int32_t> Offsets;
  int FirstRow = 0;

  int Width() const override { return target_ ? target_->Width() : 0; }
  int Height() const override { return target_ ? target_->Height() : 0; }
  int BitCount() const override { return target_ ? target_->BitCount() : 32; }
  int StorageBitCount() const override { return target_ ? target_->StorageBitCount() : 32; }
  int Pitch() const override { return target_ ? target_->Pitch() : 0; }
  const uint32_t* Palette() const override { return target_ ? target_->Palette() : nullptr; }
  // Resizes the offset array to `height` rows (all 0); the target keeps its size.
  void SetSize(int width, int height, int bits) override { Offsets.assign(static_cast<size_t>(std::max(height, 0)), 0); }
  uint8_t* Lock(int x, int y) override { return target_ ? target_->Lock(x, y) : nullptr; }
  void Unlock() override {
    if (target_) target_->Unlock();
  }
  void Release() override { Offsets.clear(); }
  uint32_t GetPixel(int x, int y) override { return target_ ? target_->GetPixel(x, y) : 0; }
  void SetPixel(int x, int y, uint32_t v) override {
    if (target_) target_->SetPixel(x, y, v);
  }

  void Clear(uint32_t value) override { FillRect(BoundsRect(), value); }
  void FillRect(const TRect& r, uint32_t v) override;
  void FillRectAlpha(const TRect& r, uint32_t v, int alpha) override;
  void FillRectAdd(const TRect& r, uint32_t v) override;
  void FillRectSub(const TRect& r, uint32_t v) override;
  void Assign(TCustomDIBX& src) override { Draw(0, 0, src, src.BoundsRect(), false, false, false); }
  void Draw(int x, int y, TCustomDIBX& src, const TRect& sr, bool flipH, bool flipV, bool transparent) override;
  void DrawMask(int x, int y, TCustomDIBX& src, const TRect& sr, TCustomDIBX& mask, bool flipH, bool flipV) override;
  void DrawAlpha(int x, int y, TCustomDIBX& src, const TRect& sr, int alpha, bool flipH, bool flipV,
                 bool transparent) override;
  void DrawAlphaMask(int x, int y, TCustomDIBX& src, const TRect& sr, int alpha, TCustomDIBX& mask, bool flipH,
                     bool flipV) override;
  void DrawAdd(int x, int y, TCustomDIBX& src, const TRect& sr, int alpha, bool flipH, bool flipV,
               bool transparent) override;
  void DrawAddMask(int x, int y, TCustomDIBX& src, const TRect& sr, int alpha, TCustomDIBX& mask, bool flipH,
                   bool flipV) override;
  void DrawColorMask(int x, int y, int alpha, uint32_t value, TCustomDIBX& mask, const TRect& maskRect, bool flipH,
                     bool flipV) override;
  void DrawRotateRect(int x, int y, TCustomDIBX& src, const TRect& sr, int alpha, bool flipH, bool flipV,
                      bool transparent, double angle, int pivotX, int pivotY, double scaleX, double scaleY) override;
  void DrawRotateMaskRect(int x, int y, TCustomDIBX& src, const TRect& sr, TCustomDIBX& mask, int alpha, bool flipH,
                          bool flipV, double angle, int pivotX, int pivotY, double scaleX, double scaleY) override;
  void DrawSmooth(int x, int y, TCustomDIBX& src, const TRect& sr, TCustomDIBX* mask, int alpha, bool flipH,
                  bool flipV, bool transparent, double angle, int pivotX, int pivotY, double scaleX,
                  double scaleY) override;
  void StretchDraw(const TRect& dr, TCustomDIBX& src, const TRect& sr, int alpha, bool flipH, bool flipV,
                   bool transparent) override;
  void StretchDrawMask(const TRect& dr, TCustomDIBX& src, const TRect& sr, int alpha, TCustomDIBX& mask, bool flipH,
                       bool flipV) override;
  void StretchDrawAdd(const TRect& dr, TCustomDIBX& src, const TRect& sr, int alpha, bool flipH, bool flipV,
                      bool transparent) override;
  void StretchDrawAddMask(const TRect& dr, TCustomDIBX& src, const TRect& sr, int alpha, TCustomDIBX& mask,
                          bool flipH, bool flipV) override;
  void DrawIndexed8(int x, int y, std::span<const uint32_t> table, int alpha, bool flipH, bool flipV, int minIndex,
                    const TRect& sr, TCustomDIBX& src) override;
  void StretchDrawIndexed(const TRect& dr, TCustomDIBX& src, std::span<const uint32_t> table, int alpha, bool flipH,
                          bool flipV, int minIndex, const TRect& sr) override;

 private:
  // Calls draw(offset) once per run of rows with equal offsets, with the
  // target's clip narrowed to those rows (and to this surface's clip).
  template <class F>
  void ForEachRun(F draw);
  TCustomDIBX* target_;
};

}  // namespace orva
