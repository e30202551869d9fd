// Surfaces: rectangular pixel buffers in one pixel format plus the drawing
// operations that every component, transition, text renderer and picture
// loader uses. TCustomDIBX implements every operation in software over the
// storage that a subclass supplies (Lock and Pitch); TDIBX is the ordinary
// main-memory surface.
//
// Pixel values are "native": the raw value of one pixel in the surface's
// format (an index for 1, 4 and 8 bits, 5-5-5 / 5-6-5 words, 0x00RRGGBB for
// 24 and 32 bits). Scripts give colours as 0x00BBGGRR; ColorToPixel converts.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/rects.h"

namespace orva {

class TStream;
struct AxisMap;  // the source index of each destination index along one axis

class TCustomDIBX {
 public:
  TCustomDIBX() = default;
  virtual ~TCustomDIBX() = default;
  TCustomDIBX(const TCustomDIBX&) = delete;
  TCustomDIBX& operator=(const TCustomDIBX&) = delete;

  // Colour key in native form; -1 = none.
  int32_t TransparentColor = -1;
  // Parts of the picture that hold visible pixels, and a second list kept
  // with them; the drawing operations ignore both.
  std::vector<TRect> ContentRects;
  std::vector<TRect> SecondRects;

  // --- format and storage -------------------------------------------------
  bool IsEmpty() const { return Width() == 0 || Height() == 0; }
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // 1, 4, 8, 15, 16, 24 or 32 (a 5-5-5 word store reports 15).
  virtual int BitCount() const = 0;
  // Raw bits per pixel of the store (16 for both 15 and 16).
  virtual int StorageBitCount() const = 0;
  // Signed byte distance from one row to the next.
  virtual int Pitch() const = 0;
  // (Re)allocates; the contents are undefined afterwards.
  virtual void SetSize(int width, int height, int bits) = 0;
  void SetBitCount(int bits) { SetSize(Width(), Height(), bits); }
  // Address of pixel (x, y); null when the surface is empty or unavailable.
  // Every successful Lock is paired with Unlock.
  virtual uint8_t* Lock(int x, int y) = 0;
  virtual void Unlock() {}
  // Drops the pixels: Width = Height = 0.
  virtual void Release() = 0;
  virtual void ReleaseResources() {}
  // The surface a proxy draws into (none for ordinary surfaces).
  virtual TCustomDIBX* InnerSurface() { return nullptr; }
  // 256 RGBQUAD entries (0x00RRGGBB) for indexed formats; null when none.
  virtual const uint32_t* Palette() const { return nullptr; }
  virtual void SetPaletteEntries(int first, int count, const uint32_t* entries) {}

  int BytesPerPixel() const { return (BitCount() + 7) / 8; }
  TRect BoundsRect() const { return {0, 0, Width(), Height()}; }
  uint32_t RedMask() const;
  uint32_t GreenMask() const;
  uint32_t BlueMask() const;
  int RedShift() const;
  int GreenShift() const;
  int BlueShift() const { return 0; }

  virtual uint32_t GetPixel(int x, int y);
  virtual void SetPixel(int x, int y, uint32_t value);

  // --- clip ---------------------------------------------------------------
  // The clip is either "none" (the whole surface) or an explicit rectangle;
  // an explicit empty rectangle draws nothing.
  void ResetClip() { hasClip_ = false; clip_ = {}; }
  // Grows the clip to the bounding box of the clip and rect (clamped to the
  // surface); the first rectangle after ResetClip becomes the clip.
  void AddClipRect(const TRect& rect);
  // The effective clip.
  TRect ClipRect() const { return hasClip_ ? clip_ : BoundsRect(); }
  // Stores rect as the clip as it is (no clamping, no union).
  void SetClipRect(const TRect& rect) { hasClip_ = true; clip_ = rect; }
  bool HasClip() const { return hasClip_; }

  // --- colours ------------------------------------------------------------
  // 0x00BBGGRR colour -> native pixel; negative gives -1. 8- and 24-bit
  // surfaces take the value unchanged.
  uint32_t ColorToPixel(int32_t color) const;
  // Native pixel -> 0x00RRGGBB (through the palette for indexed formats).
  uint32_t PixelToRgb(uint32_t pixel) const;
  // 0x00RRGGBB -> native pixel (nearest palette entry for indexed formats).
  uint32_t RgbToPixel(uint32_t rgb) const;

  // --- fills --------------------------------------------------------------
  virtual void Clear(uint32_t value);
  virtual void FillRect(const TRect& rect, uint32_t value);
  virtual void FillRectAlpha(const TRect& rect, uint32_t value, int alpha);
  virtual void FillRectAdd(const TRect& rect, uint32_t value);
  virtual void FillRectSub(const TRect& rect, uint32_t value);
  void FrameRect(const TRect& rect, int width, uint32_t value);
  void FrameRectAlpha(const TRect& rect, int width, uint32_t value, int alpha);
  void FrameRectAdd(const TRect& rect, int width, uint32_t value);

  // --- copies and blends ----------------------------------------------------
  virtual void Assign(TCustomDIBX& src);
  virtual void Draw(int x, int y, TCustomDIBX& src, const TRect& srcRect, bool flipH = false, bool flipV = false,
                    bool transparent = false);
  virtual void DrawMask(int x, int y, TCustomDIBX& src, const TRect& srcRect, TCustomDIBX& mask, bool flipH = false,
                        bool flipV = false);
  virtual void DrawAlpha(int x, int y, TCustomDIBX& src, const TRect& srcRect, int alpha, bool flipH = false,
                         bool flipV = false, bool transparent = false);
  virtual void DrawAlphaMask(int x, int y, TCustomDIBX& src, const TRect& srcRect, int alpha, TCustomDIBX& mask,
                             bool flipH = false, bool flipV = false);
  // Always keyed by src's TransparentColor (the argument is kept for callers
  // that pass it; -1 keys nothing).
  virtual void DrawAdd(int x, int y, TCustomDIBX& src, const TRect& srcRect, int alpha, bool flipH = false,
                       bool flipV = false, bool transparent = true);
  virtual void DrawAddMask(int x, int y, TCustomDIBX& src, const TRect& srcRect, int alpha, TCustomDIBX& mask,
                           bool flipH = false, bool flipV = false);
  virtual void DrawColorMask(int x, int y, int alpha, uint32_t value, TCustomDIBX& mask, const TRect& maskRect,
                             bool flipH = false, bool flipV = false);

  // --- rotation -----------------------------------------------------------
  // alpha 0..255 blends (255 copies); above 255 adds with strength alpha-256.
  // The angle is in radians; (pivotX, pivotY) of src lands on (x, y).
  void DrawRotate(int x, int y, TCustomDIBX& src, int alpha, bool flipH, bool flipV, bool transparent, double angle,
                  int pivotX, int pivotY, double scaleX, double scaleY);
  virtual void DrawRotateRect(int x, int y, TCustomDIBX& src, const TRect& srcRect, int alpha, bool flipH, bool flipV,
                              bool transparent, double angle, int pivotX, int pivotY, double scaleX, double scaleY);
  virtual void DrawRotateMaskRect(int x, int y, TCustomDIBX& src, const TRect& srcRect, TCustomDIBX& mask, int alpha,
                                  bool flipH, bool flipV, double angle, int pivotX, int pivotY, double scaleX,
                                  double scaleY);

  // --- smooth drawing ---------------------------------------------------------
  // The bilinear form of DrawRotateRect / DrawRotateMaskRect (same
  // arguments; mask may be null), for pictures drawn scaled or rotated with
  // smoothing. Pixels outside srcRect, keyed pixels (when transparent) and
  // masked pixels count as uncovered, so edges fade over one pixel instead
  // of showing the key colour. Unscaled and unrotated, the result equals
  // that of the plain draws exactly.
  virtual void DrawSmooth(int x, int y, TCustomDIBX& src, const TRect& srcRect, TCustomDIBX* mask, int alpha,
                          bool flipH, bool flipV, bool transparent, double angle, int pivotX, int pivotY,
                          double scaleX, double scaleY);

  // --- stretching -----------------------------------------------------------
  virtual void StretchDraw(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, int alpha = 255,
                           bool flipH = false, bool flipV = false, bool transparent = false);
  virtual void StretchDrawMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, int alpha,
                               TCustomDIBX& mask, bool flipH = false, bool flipV = false);
  virtual void StretchDrawAdd(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, int alpha,
                              bool flipH = false, bool flipV = false, bool transparent = true);
  virtual void StretchDrawAddMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, int alpha,
                                  TCustomDIBX& mask, bool flipH = false, bool flipV = false);

  // --- tiling ---------------------------------------------------------------
  // Repeats srcRect over destRect from the phase (offsetX mod tile width,
  // offsetY mod tile height), each tile followed by gapX / gapY pixels.
  struct TileLayout {
    int gapX = 0, gapY = 0, offsetX = 0, offsetY = 0;
  };
  void TileDraw(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile,
                bool transparent = false);
  void TileDrawAlpha(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile, int alpha,
                     bool transparent = false);
  void TileDrawAdd(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile, int alpha,
                   bool transparent = true);
  void TileDrawMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile,
                    TCustomDIBX& mask);
  void TileDrawAlphaMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile,
                         int alpha, TCustomDIBX& mask);
  void TileDrawAddMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile, int alpha,
                       TCustomDIBX& mask);
  // Tiles scaled by scaleX/scaleY; alpha > 255 draws them additively.
  void TileStretchDraw(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile,
                       double scaleX, double scaleY, int alpha, bool flipH = false, bool flipV = false,
                       bool transparent = false);
  void TileStretchDrawMask(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, const TileLayout& tile,
                           double scaleX, double scaleY, int alpha, TCustomDIBX& mask, bool flipH = false,
                           bool flipV = false);
  // The whole src repeated over destRect (a plain copy: no key).
  void TileFill(const TRect& destRect, TCustomDIBX& src, bool flipH, bool flipV, int offsetX, int offsetY);
  // The whole src scaled and repeated, at an opacity (above 255 adds),
  // honouring src's colour key or the mask.
  void TileFillScaled(const TRect& destRect, TCustomDIBX& src, int alpha, bool flipH, bool flipV, int offsetX,
                      int offsetY, double scaleX, double scaleY);
  void TileFillScaledMask(const TRect& destRect, TCustomDIBX& src, int alpha, bool flipH, bool flipV, int offsetX,
                          int offsetY, double scaleX, double scaleY, TCustomDIBX& mask);
  // Four TileFill bands of `width` along the edges of rect.
  void DrawBorderTiled(const TRect& rect, int width, TCustomDIBX& src, bool flipH = false, bool flipV = false);

  // Tiles of the whole src laid every pitchX x pitchY pixels from the
  // phase (offset mod pitch), each drawn as its content rectangles with
  // DrawPictureRects.
  void TileDrawRects(const TRect& destRect, TCustomDIBX& src, TCustomDIBX* mask, int pitchX, int pitchY, int offsetX,
                     int offsetY, int alpha, bool flipH, bool flipV, bool transparent);

  // --- pictures at the component opacities -----------------------------------
  // alpha 1..254 blends, 255 copies, 256 and above adds with strength
  // alpha - 256; 0 and below draws nothing. A mask (null: none) takes the
  // place of the colour key; without one, transparent keys the copies and
  // blends (additions always key).
  void DrawPicture(int x, int y, TCustomDIBX& src, const TRect& srcRect, TCustomDIBX* mask, int alpha, bool flipH,
                   bool flipV, bool transparent);
  // The picture src placed at (x, y), drawn one content rectangle at a time
  // (each where it lies in the picture, mirrored with the flips), so that its
  // transparent areas cost nothing.
  void DrawPictureRects(int x, int y, TCustomDIBX& src, TCustomDIBX* mask, int alpha, bool flipH, bool flipV,
                        bool transparent);
  void StretchDrawPicture(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, TCustomDIBX* mask, int alpha,
                          bool flipH, bool flipV, bool transparent);

  // --- indexed drawing ------------------------------------------------------
  // Adds table[index] scaled by alpha for every 8-bit source index >=
  // minIndex; the table holds one native pixel of this surface per index.
  virtual void DrawIndexed8(int x, int y, std::span<const uint32_t> table, int alpha, bool flipH, bool flipV,
                            int minIndex, const TRect& srcRect, TCustomDIBX& src);
  virtual void StretchDrawIndexed(const TRect& destRect, TCustomDIBX& src, std::span<const uint32_t> table, int alpha,
                                  bool flipH, bool flipV, int minIndex, const TRect& srcRect);

  // --- files ------------------------------------------------------------------
  // ".bmp" only (any case); other names and missing files are ignored.
  void LoadFromFile(const std::string& hostPath);
  // BMP, PNG or a layered picture (frame 0); anything else leaves the
  // surface unchanged. Bad data throws OrvaError.
  void LoadFromStream(TStream& stream, int32_t identCode);
  // ".bmp" only, written as 24 bits; other names are ignored.
  void SaveToFile(const std::string& hostPath);

 private:
  enum class Mode { Copy, Blend, Add };
  struct Blit;
  void RunBlit(const Blit& blit);
  // Runs one mapped operation: locks, converts the source when its format
  // differs, and calls the row loop for this format.
  void BlitMapped(const AxisMap& xs, const AxisMap& ys, TCustomDIBX& src, Mode mode, int alpha, TCustomDIBX* mask,
                  bool key);
  void CopyRect(int x, int y, TCustomDIBX& src, const TRect& srcRect, Mode mode, int alpha, TCustomDIBX* mask,
                bool flipH, bool flipV, bool key);
  void StretchRect(const TRect& destRect, TCustomDIBX& src, const TRect& srcRect, Mode mode, int alpha,
                   TCustomDIBX* mask, bool flipH, bool flipV, bool key);
  void RotateRect(int x, int y, TCustomDIBX& src, const TRect& srcRect, TCustomDIBX* mask, int alpha, bool flipH,
                  bool flipV, bool key, double angle, int pivotX, int pivotY, double scaleX, double scaleY);
  void FillOp(const TRect& rect, uint32_t value, Mode mode, int alpha, bool subtract);
  template <class DrawTile>
  void TileLoop(const TRect& destRect, int tileW, int tileH, const TileLayout& tile, DrawTile drawTile);
  template <class DrawTile>
  void TileStretchLoop(const TRect& destRect, int tileW, int tileH, const TileLayout& tile, double scaleX,
                       double scaleY, DrawTile drawTile);

  bool hasClip_ = false;
  TRect clip_;
};

// The ordinary surface: an owned (or borrowed) top-down pixel store with
// rows aligned to 4 bytes and a 256-entry palette for indexed formats.
class TDIBX : public TCustomDIBX {
 public:
  TDIBX();
  TDIBX(int width, int height, int bits) : TDIBX() { SetSize(width, height, bits); }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int BitCount() const override { return bitCount_; }
  int StorageBitCount() const override { return bitCount_ == 15 ? 16 : bitCount_; }
  int Pitch() const override { return pitch_; }
  void SetSize(int width, int height, int bits) override;
  uint8_t* Lock(int x, int y) override;
  void Release() override;
  const uint32_t* Palette() const override { return palette_.data(); }

  uint32_t GetPixel(int x, int y) override;
  void SetPixel(int x, int y, uint32_t value) override;

  // Uses memory owned by someone else as the store (not freed here).
  void Borrow(uint8_t* pixels, int width, int height, int bits, int pitch);
  bool IsBorrowed() const { return borrowed_ != nullptr; }

  void GetPalette(uint32_t* entries) const { GetPaletteEntries(0, 256, entries); }
  void SetPalette(const uint32_t* entries) { SetPaletteEntries(0, 256, entries); }
  void GetPaletteEntries(int first, int count, uint32_t* entries) const;
  void SetPaletteEntries(int first, int count, const uint32_t* entries) override;

  uint8_t* Row(int y) { return base() + static_cast<ptrdiff_t>(pitch_) * y; }
  const uint8_t* Row(int y) const { return const_cast<TDIBX*>(this)->Row(y); }
  // Bytes of one row, 4-byte aligned.
  static int RowBytes(int width, int storageBits) { return ((width * storageBits + 31) / 32) * 4; }

 private:
  uint8_t* base() { return borrowed_ ? borrowed_ : store_.data(); }
  std::vector<uint8_t> store_;
  uint8_t* borrowed_ = nullptr;
  int width_ = 0, height_ = 0, bitCount_ = 32, pitch_ = 4;
  std::array<uint32_t, 256> palette_{};
};

// Largest store a surface may allocate; bigger requests throw (a corrupt
// picture must not exhaust memory). Tools that read untrusted pictures in
// bulk may lower it.
inline constexpr int kMaxSurfaceSide = 32768;
int64_t SurfaceByteLimit();
void SetSurfaceByteLimit(int64_t bytes);

// Copies src into dst at dst's own depth (dst takes src's size), converting
// pixels through RGB where the formats differ.
void CopyConvert(TCustomDIBX& dst, TCustomDIBX& src);

}  // namespace orva
