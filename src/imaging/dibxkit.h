// What the drawing operations share: locked views of the surfaces one
// operation reads and writes, and the integer range arithmetic of the
// mapped draws. Internal to the imaging library.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>

#include "imaging/dibx.h"

namespace orva::dibxkit {

// Keeps a source readable for the whole operation: the surface itself when
// its format matches the destination's and it is not the destination,
// otherwise a converted private copy.
class SourceView {
 public:
  SourceView(TCustomDIBX& dst, TCustomDIBX& src, bool convert) : surface_(&src) {
    if (&src == &dst || (convert && src.BitCount() != dst.BitCount())) {
      copy_ = std::make_unique<TDIBX>();
      copy_->SetSize(1, 1, convert ? dst.BitCount() : src.BitCount());
      if (convert && dst.Palette()) copy_->SetPaletteEntries(0, 256, dst.Palette());
      CopyConvert(*copy_, src);
      surface_ = copy_.get();
    }
    base_ = surface_->Lock(0, 0);
  }
  ~SourceView() {
    if (base_) surface_->Unlock();
  }
  SourceView(const SourceView&) = delete;
  SourceView& operator=(const SourceView&) = delete;
  const uint8_t* Base() const { return base_; }
  int Pitch() const { return surface_->Pitch(); }
  // The colour key of the original source in this view's format.
  uint32_t Key(TCustomDIBX& src) const {
    const uint32_t key = static_cast<uint32_t>(src.TransparentColor);
    if (surface_ == &src || surface_->BitCount() == src.BitCount()) return key;
    return surface_->RgbToPixel(src.PixelToRgb(key));
  }

 private:
  TCustomDIBX* surface_;
  std::unique_ptr<TDIBX> copy_;
  uint8_t* base_ = nullptr;
};

// Holds a successful Lock(0, 0) until the end of the scope.
class LockGuard {
 public:
  explicit LockGuard(TCustomDIBX& s) : s_(s), base_(s.Lock(0, 0)) {}
  ~LockGuard() {
    if (base_) s_.Unlock();
  }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;
  uint8_t* Base() const { return base_; }

 private:
  TCustomDIBX& s_;
  uint8_t* base_;
};

// The destination, the source and the optional mask of one operation,
// locked for its duration.
class Locked {
 public:
  Locked(TCustomDIBX& dst, TCustomDIBX& src, TCustomDIBX* mask) : dst(dst), source(dst, src, true) {
    if (mask) this->mask.emplace(*mask);
  }
  bool Ok() const { return dst.Base() && source.Base() && (!mask || mask->Base()); }
  const uint8_t* MaskBase() const { return mask ? mask->Base() : nullptr; }

  LockGuard dst;
  SourceView source;
  std::optional<LockGuard> mask;
};

inline int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
inline int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// Narrows [k0, k1) to the steps k where lo <= start + k * step < hi.
inline void NarrowToRange(int64_t start, int64_t step, int64_t lo, int64_t hi, int64_t& k0, int64_t& k1) {
  if (step == 0) {
    if (start < lo || start >= hi) k1 = k0;
    return;
  }
  if (step > 0) {
    k0 = std::max(k0, CeilDiv(lo - start, step));
    k1 = std::min(k1, CeilDiv(hi - start, step));
  } else {
    k0 = std::max(k0, FloorDiv(start - hi, -step) + 1);
    k1 = std::min(k1, FloorDiv(start - lo, -step) + 1);
  }
}

}  // namespace orva::dibxkit
