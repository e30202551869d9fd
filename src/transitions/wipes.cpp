// The transition base classes, mask composition and the factory.
#include "transitions/wipes.h"

#include <algorithm>
#include <cstring>

#include "imaging/rows32.h"
#include "storage/rands.h"
#include "transitions/wipekit.h"

namespace orva {

using namespace wipekit;

TCustomWipe::TCustomWipe() = default;
TCustomWipe::~TCustomWipe() = default;

int32_t TCustomWipe::GetParam(int index) const { return index == 0 || index == 1 ? Params[index] : 0; }

void TCustomWipe::SetParam(int index, int32_t value) {
  if (index == 0 || index == 1) Params[index] = value;
}

void TCustomWipe::Create(TCustomDIBX& destination, TCustomDIBX& toImage, TCustomDIBX& fromImage) {
  dest_ = &destination;
  to_ = &toImage;
  from_ = &fromImage;
  oldView_ = from_;
  newView_ = to_;
}

TGetRandom& TCustomWipe::Rng() {
  if (Random) return *Random;
  if (!ownRandom_) ownRandom_ = std::make_unique<TGetRandom>(0);
  return *ownRandom_;
}

uint32_t TCustomWipe::Grey(int v) const {
  v = std::clamp(v, 0, 255);
  return dest_->ColorToPixel(v | v << 8 | v << 16);
}

namespace {
bool Matches(TCustomDIBX& picture, TCustomDIBX& dest) {
  return &picture != &dest && picture.Width() == dest.Width() && picture.Height() == dest.Height() &&
         picture.BitCount() == dest.BitCount();
}

// A copy of picture at dest's size and depth: the picture at (0, 0), black
// where it does not reach.
void Conform(std::unique_ptr<TDIBX>& copy, TCustomDIBX& picture, TCustomDIBX& dest) {
  if (!copy || copy->Width() != dest.Width() || copy->Height() != dest.Height() ||
      copy->BitCount() != dest.BitCount())
    copy = std::make_unique<TDIBX>(dest.Width(), dest.Height(), dest.BitCount());
  if (dest.Palette()) copy->SetPaletteEntries(0, 256, dest.Palette());
  copy->Clear(0);
  copy->Draw(0, 0, picture, picture.BoundsRect());
}

bool SupportedDepth(int bits) { return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32; }
}  // namespace

// The pictures are redrawn by their owners between frames, so a converted
// copy is refreshed on every step.
void TCustomWipe::SyncPictures() {
  if (!dest_) return;
  if (Matches(*from_, *dest_)) {
    oldView_ = from_;
  } else {
    Conform(oldCopy_, *from_, *dest_);
    oldView_ = oldCopy_.get();
  }
  if (Matches(*to_, *dest_)) {
    newView_ = to_;
  } else {
    Conform(newCopy_, *to_, *dest_);
    newView_ = newCopy_.get();
  }
}

void TCustomWipe::Prepare() {
  if (!dest_ || dest_->IsEmpty() || !SupportedDepth(dest_->BitCount())) return;
  SyncPictures();
  PrepareWipe();
  prepared_ = true;
}

bool TCustomWipe::Step() {
  if (Position >= Duration) return true;
  if (!dest_ || dest_->IsEmpty() || !SupportedDepth(dest_->BitCount())) return true;
  if (!prepared_) Prepare();
  SyncPictures();
  // The whole destination is drawn whatever clip the caller left on it.
  const bool hadClip = dest_->HasClip();
  const TRect clip = dest_->ClipRect();
  dest_->ResetClip();
  const bool ok = DrawStep();
  if (hadClip) dest_->SetClipRect(clip);
  if (!ok) return true;
  Area = dest_->BoundsRect();
  dest_->AddClipRect(Area);
  return false;
}

// --- mask transitions -------------------------------------------------------

void TWipeMask::SetParam(int index, int32_t value) {
  if (index == 0) value = std::max(value, 2);
  if (index == 1) value = std::max(value, 1);
  TCustomWipe::SetParam(index, value);
}

void TWipeMask::PrepareWipe() {
  lastStep_ = -1;
  Failed = false;
  PrepareMask();
  const int rows = std::clamp(MaskHeight(), 1, H());
  if (mask_.Width() != W() || mask_.Height() != rows || mask_.BitCount() != 8) mask_.SetSize(W(), rows, 8);
  mask_.Clear(0);
}

uint8_t* TWipeMask::MaskRow(int y) { return mask_.Row(y); }

bool TWipeMask::NewStep(int64_t step) {
  if (step == lastStep_) return false;
  lastStep_ = step;
  return true;
}

bool TWipeMask::DrawStep() {
  const bool changed = MakeMask();
  if (Failed) return false;
  if (!changed) return true;
  Rows d(Dest()), o(Old()), n(New()), m(mask_);
  if (!d.Ok() || !o.Ok() || !n.Ok() || !m.Ok()) return false;
  const int w = W(), h = H(), mh = mask_.Height();
  const size_t rowBytes = static_cast<size_t>(TDIBX::RowBytes(w, Dest().StorageBitCount()));
  const pixelops::Chan c = pixelops::ChannelsOf(Dest().BitCount());
  WithPixels(Dest(), [&](auto px) {
    using Px = decltype(px);
    for (int y = 0; y < h; ++y) {
      uint8_t* drow = d[y];
      const uint8_t* orow = o[y];
      const uint8_t* nrow = n[y];
      const uint8_t* mrow = m[y % mh];
      if constexpr (Px::kBits == 32) {
        if (TwoLevel) {
          // A plain choice per pixel, written so that it vectorises.
          for (int x = 0; x < w; ++x) {
            const uint32_t sel = 0u - (mrow[x] >> 7);
            const uint32_t nv = rows32::Load(nrow + 4 * x), ov = rows32::Load(orow + 4 * x);
            rows32::Store(drow + 4 * x, (nv & sel) | (ov & ~sel));
          }
          continue;
        }
      }
      std::memcpy(drow, orow, rowBytes);
      if constexpr (Px::kBits == 32) {
        rows32::MaskRow(drow, nrow, mrow, w, 255);
      } else {
        for (int x = 0; x < w; ++x) {
          const uint32_t a = mrow[x];
          if (a == 0) continue;
          const uint32_t s = Px::Get(nrow, x);
          if (a == 255) {
            Px::Set(drow, x, s);
            continue;
          }
          const uint32_t dv = Px::Get(drow, x);
          if (dv != s) Px::Set(drow, x, pixelops::Blend<Px>(s, dv, a, c));
        }
      }
    }
  });
  return true;
}

// --- factory ----------------------------------------------------------------

namespace {
struct WipeType {
  const char* name;
  int32_t p0, p1;
};
const WipeType kTypes[kWipeTypeCount] = {
    {"TWipeFade", 0, 0},         {"TWipeBlindH", 20, 1},      {"TWipeBlindV", 20, 1},
    {"TWipeCurtainH", 30, 1},    {"TWipeCurtainV", 30, 1},    {"TWipeScrollH", 0, 0},
    {"TWipeScrollV", 0, 0},      {"TWipeGrid", 80, 30},       {"TWipeGridH", 80, 30},
    {"TWipeGridV", 80, 30},      {"TWipeDither", 0, 0},       {"TWipeWhite", 0, 0},
    {"TWipeBlack", 0, 0},        {"TWipeFlash", 0, 0},        {"TWipeMosaic", 0, 0},
    {"TWipeSudareH", 0, 0},      {"TWipeSudareV", 0, 0},      {"TWipeSpot", 0, 0},
    {"TWipeShadow", 0, 0},       {"TWipeShadowWhite", 0, 0},  {"TWipeShadowBlack", 0, 0},
    {"TWipeSmall", 0, 0},        {"TWipeBig", 0, 0},          {"TWipeRipple", 5, 0},
    {"TWipeBlurWhite", 0, 0},    {"TWipeBlurBlack", 0, 0},    {"TWipeTwistH", 0, 0},
    {"TWipeTwistV", 0, 0},       {"TWipeCrack", 64, 3},       {"TWipeZoomin", 0, 0},
    {"TWipeClockhand", 0, 0},    {"TWipeRubberH", 0, 0},      {"TWipeRubberV", 0, 0},
    {"TWipeFan", 0, 0},          {"TWipeWFan", 0, 0},         {"TWipeCircle", 0, 0},
    {"TWipeBlockCoil", 60, 0},   {"TWipeBlockRandom", 60, 0},
};
}  // namespace

const char* WipeClassName(int type) { return type >= 1 && type <= kWipeTypeCount ? kTypes[type - 1].name : ""; }

std::unique_ptr<TCustomWipe> CreateWipe(int type, TCustomDIBX& destination, TCustomDIBX& fromImage,
                                        TCustomDIBX& toImage) {
  if (type < 1 || type > kWipeTypeCount) return nullptr;
  std::unique_ptr<TCustomWipe> wipe = MakeMaskWipe(type);
  if (!wipe) wipe = MakeShapeWipe(type);
  if (!wipe) wipe = MakeDrawWipe(type);
  if (!wipe) wipe = MakePixelWipe(type);
  if (!wipe) return nullptr;
  wipe->Create(destination, toImage, fromImage);
  wipe->SetParam(0, kTypes[type - 1].p0);
  wipe->SetParam(1, kTypes[type - 1].p1);
  return wipe;
}

bool RenderWipeFrame(TCustomWipe& wipe, int32_t t) {
  wipe.Position = t;
  if (!wipe.Step()) return false;
  if (wipe.Destination() && wipe.ToImage() && wipe.Destination() != wipe.ToImage()) {
    TCustomDIBX& dest = *wipe.Destination();
    const bool hadClip = dest.HasClip();
    const TRect clip = dest.ClipRect();
    dest.ResetClip();
    dest.Assign(*wipe.ToImage());
    if (hadClip) dest.SetClipRect(clip);
  }
  return true;
}

}  // namespace orva
