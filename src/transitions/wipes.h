// Screen transitions ("wipes"): each one changes the screen from the old
// picture to the new one over a given time. The caller creates one by type
// number, sets its duration, direction, parameters and rule image, prepares
// it once and then, every frame, sets the elapsed time and calls Step, which
// draws the whole destination for that time or reports that the transition
// is over (the caller then shows the new picture alone).
//
// About half of the transitions build an 8-bit mask each step and compose the
// new picture over the old one through it (TWipeMask); the others draw
// directly with the surface operations.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imaging/dibx.h"

namespace orva {

class TGetRandom;
class TVrFileManager;

class TCustomWipe {
 public:
  TCustomWipe();
  virtual ~TCustomWipe();
  TCustomWipe(const TCustomWipe&) = delete;
  TCustomWipe& operator=(const TCustomWipe&) = delete;

  // Direction flag; each transition gives it its own meaning.
  uint8_t Reverse = 0;
  // Name of a rule image in the virtual file system (rule-image transitions).
  std::string RuleName;
  // Limits the effect to pixels that differ between the two pictures (the
  // rotating and breaking transitions).
  uint8_t DiffOnly = 0;
  int32_t Duration = 0;
  int32_t Position = 0;
  int32_t Params[2] = {0, 0};
  // The rectangle drawn by the last step.
  TRect Area;

  // Where rule images come from and with which identification code; without
  // a file manager the rule-image transitions work without a rule.
  TVrFileManager* Files = nullptr;
  int32_t IdentCode = 0;
  // The generator behind the random orders (the breaking and block
  // transitions); when none is given a private one seeded with 0 is used, so
  // a run is always reproducible.
  TGetRandom* Random = nullptr;

  virtual void SetReverse(uint8_t value) { Reverse = value; }
  virtual int32_t GetParam(int index) const;
  // Indices other than 0 and 1 are ignored.
  virtual void SetParam(int index, int32_t value);
  virtual void SetRuleName(const std::string& name) { RuleName = name; }
  virtual void Create(TCustomDIBX& destination, TCustomDIBX& toImage, TCustomDIBX& fromImage);
  // Once, after the settings and before the first Step.
  virtual void Prepare();
  // True (done) as soon as Position >= Duration, without drawing; otherwise
  // draws the whole destination for Position and adds it to the
  // destination's clip. A transition whose formulas have no meaning for
  // the picture size or duration (a zero-sized picture, a cell larger than
  // the formulas allow) also reports done.
  virtual bool Step();

  TCustomDIBX* Destination() const { return dest_; }
  TCustomDIBX* FromImage() const { return from_; }
  TCustomDIBX* ToImage() const { return to_; }

 protected:
  // Draws the frame for the current position (0 <= t < T). Returns false
  // when the transition cannot go on (it then counts as done).
  virtual bool DrawStep() = 0;
  // Preparation of the subclass, after the pictures are known.
  virtual void PrepareWipe() {}

  // The old and new pictures at the destination's size and depth (private
  // converted copies when a picture differs from the destination).
  TCustomDIBX& Old() { return *oldView_; }
  TCustomDIBX& New() { return *newView_; }
  TCustomDIBX& Dest() { return *dest_; }
  int W() const { return dest_->Width(); }
  int H() const { return dest_->Height(); }
  int64_t T() const { return Duration; }
  // The position, never below 0.
  int64_t Time() const { return Position < 0 ? 0 : Position; }
  bool Prepared() const { return prepared_; }
  TGetRandom& Rng();
  // The grey (v, v, v) as a native pixel of the destination, v in 0..255.
  uint32_t Grey(int v) const;

 private:
  void SyncPictures();

  TCustomDIBX* dest_ = nullptr;
  TCustomDIBX* from_ = nullptr;
  TCustomDIBX* to_ = nullptr;
  TCustomDIBX* oldView_ = nullptr;
  TCustomDIBX* newView_ = nullptr;
  std::unique_ptr<TDIBX> oldCopy_, newCopy_;
  std::unique_ptr<TGetRandom> ownRandom_;
  bool prepared_ = false;
};

// A transition that draws the new picture over the old one through an 8-bit
// mask of the destination's width and MaskHeight() rows (repeated
// downwards). The mask is rebuilt, and the frame composed, only when the
// step value changes.
class TWipeMask : public TCustomWipe {
 public:
  // Parameter 0 at least 2 and parameter 1 at least 1.
  void SetParam(int index, int32_t value) override;

 protected:
  // Fills the mask for the current position; returns whether it changed.
  virtual bool MakeMask() = 0;
  // Rows of the mask (at most the destination height).
  virtual int MaskHeight() { return H(); }
  bool DrawStep() final;
  void PrepareWipe() override;
  virtual void PrepareMask() {}

  TDIBX& Mask() { return mask_; }
  // Row y of the mask.
  uint8_t* MaskRow(int y);
  // Records the step value; true when it differs from the last one.
  bool NewStep(int64_t step);
  // Set when the mask holds only 0 and 255.
  bool TwoLevel = false;
  // Set by MakeMask when the transition cannot go on.
  bool Failed = false;

 private:
  TDIBX mask_;
  int64_t lastStep_ = -1;
};

// Creates the transition with the given type id (1..38) and applies its two
// default parameters; null for an unknown type.
std::unique_ptr<TCustomWipe> CreateWipe(int type, TCustomDIBX& destination, TCustomDIBX& fromImage,
                                        TCustomDIBX& toImage);

// The class name of a type id ("TWipeFade"), or "" for an unknown one.
const char* WipeClassName(int type);
inline constexpr int kWipeTypeCount = 38;

// Sets Position to t and steps; when the transition reports done, the new
// picture alone is copied into the destination (what the caller of a flip
// shows). Returns the done flag.
bool RenderWipeFrame(TCustomWipe& wipe, int32_t t);

}  // namespace orva
