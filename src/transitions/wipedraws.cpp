// Transitions drawn with whole-picture surface operations: fades, scrolls,
// flashes through white or black, the mosaic, rolled and stretched blinds,
// the zoom and the rotating ones.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "transitions/wipekit.h"

namespace orva {

using namespace wipekit;

namespace {

// Old copied, new over it with opacity t * 256 / T, sliding in from
// (p0, p1) when those are not zero.
class TWipeFade : public TCustomWipe {
 protected:
  bool DrawStep() override {
    const int64_t t = Time(), T = this->T();
    const int alpha = static_cast<int>(std::min<int64_t>(t * 256 / T, 255));
    const double rest = static_cast<double>(T - t - 1) / static_cast<double>(T);
    const int x = static_cast<int>(std::clamp<int64_t>(RoundEven(Params[0] * rest), INT32_MIN / 2, INT32_MAX / 2));
    const int y = static_cast<int>(std::clamp<int64_t>(RoundEven(Params[1] * rest), INT32_MIN / 2, INT32_MAX / 2));
    Dest().Assign(Old());
    Dest().DrawAlpha(x, y, New(), New().BoundsRect(), alpha);
    return true;
  }
};

// The new picture pushes the old one out: a = size * t / T.
class TWipeScroll : public TCustomWipe {
 public:
  explicit TWipeScroll(bool vertical) : vertical_(vertical) {}

 protected:
  bool DrawStep() override {
    const int size = vertical_ ? H() : W();
    const int a = static_cast<int>(size * Time() / T());
    const int oldAt = Reverse ? a : -a, newAt = Reverse ? a - size : size - a;
    if (vertical_) {
      Dest().Draw(0, oldAt, Old(), Old().BoundsRect());
      Dest().Draw(0, newAt, New(), New().BoundsRect());
    } else {
      Dest().Draw(oldAt, 0, Old(), Old().BoundsRect());
      Dest().Draw(newAt, 0, New(), New().BoundsRect());
    }
    return true;
  }

 private:
  bool vertical_;
};

// Old brightened (or darkened) to white (black), then new coming back from
// it: a = t * 511 / T.
class TWipeThrough : public TCustomWipe {
 public:
  explicit TWipeThrough(bool black) : black_(black) {}

 protected:
  bool DrawStep() override {
    const int64_t a = Time() * 511 / T();
    if (a > 510) return false;
    Dest().Assign(a < 256 ? Old() : New());
    const uint32_t grey = Grey(static_cast<int>(a < 256 ? a : 511 - a));
    if (black_) Dest().FillRectSub(Dest().BoundsRect(), grey);
    else Dest().FillRectAdd(Dest().BoundsRect(), grey);
    return true;
  }

 private:
  bool black_;
};

// New, starting white and fading to its own colours.
class TWipeFlash : public TCustomWipe {
 protected:
  bool DrawStep() override {
    Dest().Assign(New());
    Dest().FillRectAdd(Dest().BoundsRect(), Grey(static_cast<int>(255 - Time() * 255 / T())));
    return true;
  }
};

// Pixelation: the picture shrunk into a small surface and stretched back.
// The scale k (in 256ths of a quarter of the screen) falls from 263 to 24
// over the first half and rises back over the second; the new picture is
// blended in the small surface in between.
class TWipeMosaic : public TCustomWipe {
 protected:
  bool DrawStep() override {
    const int64_t s = Time() * 1023 / T();
    const int64_t k = s <= 511 ? 263 - ((s / 2) * 15) / 16 : ((s - 512) / 2 * 15) / 16 + 24;
    const int sw = static_cast<int>(std::max<int64_t>(1, ((W() / 4) * k) >> 8));
    const int sh = static_cast<int>(std::max<int64_t>(1, ((H() / 4) * k) >> 8));
    if (small_.Width() != sw || small_.Height() != sh || small_.BitCount() != Dest().BitCount())
      small_.SetSize(sw, sh, Dest().BitCount());
    const TRect smallRect = small_.BoundsRect();
    if (s <= 767) {
      small_.StretchDraw(smallRect, Old(), Old().BoundsRect());
      if (s >= 256) {
        const int opacity = static_cast<int>(std::min<int64_t>(s <= 511 ? (s - 256) / 4 : (s - 256) / 2, 255));
        small_.StretchDraw(smallRect, New(), New().BoundsRect(), opacity);
      }
    } else {
      small_.StretchDraw(smallRect, New(), New().BoundsRect());
    }
    Dest().StretchDraw(Dest().BoundsRect(), small_, smallRect);
    return true;
  }

 private:
  TDIBX small_;
};

// A blind rolled up over the old picture and down again over the new one:
// the strip at the roll position is stretched from the edge to it and the
// rest of the picture is copied beside it. A rubber blind stretches a strip
// max(1, round(|t - T/2| * (x/2) / (T/2))) wide instead of one line.
class TWipeRoll : public TCustomWipe {
 public:
  TWipeRoll(bool vertical, bool rubber) : vertical_(vertical), rubber_(rubber) {}

 protected:
  bool DrawStep() override {
    const int64_t size = vertical_ ? H() : W();
    int64_t x = (2 * size - 1) * Time() / T();
    TCustomDIBX* pic = &Old();
    if (x >= size) {
      pic = &New();
      x = 2 * size - x - 1;
    }
    int64_t strip = 1;
    if (rubber_) {
      const int64_t half = T() / 2;
      if (half <= 0) return false;
      strip = RoundEven(static_cast<double>(std::llabs(Time() - half)) * static_cast<double>(x / 2) /
                        static_cast<double>(half));
      strip = std::clamp<int64_t>(strip, 1, x + 1);
    }
    // Spans along the rolling axis; the other axis is always whole.
    auto span = [&](int64_t a0, int64_t a1) {
      return vertical_ ? TRect{0, static_cast<int32_t>(a0), W(), static_cast<int32_t>(a1)}
                       : TRect{static_cast<int32_t>(a0), 0, static_cast<int32_t>(a1), H()};
    };
    auto copyAt = [&](int64_t a0, int64_t a1) {
      if (vertical_) Dest().Draw(0, static_cast<int>(a0), *pic, span(a0, a1));
      else Dest().Draw(static_cast<int>(a0), 0, *pic, span(a0, a1));
    };
    if (!Reverse) {
      Dest().StretchDraw(span(0, x + 1), *pic, span(x + 1 - strip, x + 1));
      copyAt(x + 1, size);
    } else {
      const int64_t c = size - 1 - x;
      Dest().StretchDraw(span(c, size), *pic, span(c, c + strip));
      copyAt(0, c);
    }
    return true;
  }

 private:
  bool vertical_, rubber_;
};

// Old zooms into the point (p0, p1) and new zooms out of it.
class TWipeZoomin : public TCustomWipe {
 protected:
  bool DrawStep() override {
    const double d = 2.0 * static_cast<double>(Time()) / static_cast<double>(T());
    const bool first = d <= 1;
    const double e = first ? 1 - d : d - 1, k = first ? d : 2 - d;
    const int64_t w = std::max<int64_t>(1, RoundEven(W() * e)), h = std::max<int64_t>(1, RoundEven(H() * e));
    int64_t x = RoundEven((Params[0] - W() / 2.0) * k) + W() / 2 - w / 2;
    int64_t y = RoundEven((Params[1] - H() / 2.0) * k) + H() / 2 - h / 2;
    x = std::clamp<int64_t>(x, 0, std::max<int64_t>(0, W() - w));
    y = std::clamp<int64_t>(y, 0, std::max<int64_t>(0, H() - h));
    TCustomDIBX& pic = first ? Old() : New();
    Dest().StretchDraw(Dest().BoundsRect(), pic, Bounds(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                                          static_cast<int32_t>(w), static_cast<int32_t>(h)));
    return true;
  }
};

// Difference mask of two same-sized pictures: 255 where the pixels differ.
void MakeDifferenceMask(TCustomDIBX& a, TCustomDIBX& b, TDIBX& mask) {
  mask.SetSize(a.Width(), a.Height(), 8);
  Rows ra(a), rb(b), rm(mask);
  if (!ra.Ok() || !rb.Ok() || !rm.Ok()) return;
  WithPixels(a, [&](auto px) {
    using Px = decltype(px);
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x) rm[y][x] = Px::Get(ra[y], x) != Px::Get(rb[y], x) ? 255 : 0;
  });
}

// One picture turning and scaling about the screen centre over the other:
// the old one shrinks away (Small) or the new one grows in (Big). The angle
// is p0 / 256 of a turn over the run (reversed: the other way).
class TWipeRotate : public TCustomWipe {
 public:
  explicit TWipeRotate(bool grow) : grow_(grow) {}

 protected:
  void PrepareWipe() override {
    if (DiffOnly) MakeDifferenceMask(Old(), New(), diff_);
  }
  bool DrawStep() override {
    const double t = static_cast<double>(Time()), T = static_cast<double>(this->T());
    const double scale = grow_ ? t / T : (T - t - 1) / T;
    const double turn = grow_ ? (T - t - 1) / T : t / T;
    const int alpha = static_cast<int>(std::clamp<int64_t>(RoundEven(scale * 255), 0, 255));
    const double p0 = Reverse ? -static_cast<double>(Params[0]) : static_cast<double>(Params[0]);
    const double angle = p0 * turn / 256 * 2 * std::numbers::pi;
    TCustomDIBX& under = grow_ ? Old() : New();
    TCustomDIBX& moving = grow_ ? New() : Old();
    Dest().Assign(under);
    if (DiffOnly && diff_.Width() == moving.Width() && diff_.Height() == moving.Height()) {
      Dest().DrawRotateMaskRect(W() / 2, H() / 2, moving, moving.BoundsRect(), diff_, alpha, false, false, angle,
                                moving.Width() / 2, moving.Height() / 2, scale, scale);
    } else {
      Dest().DrawRotateRect(W() / 2, H() / 2, moving, moving.BoundsRect(), alpha, false, false, false, angle,
                            moving.Width() / 2, moving.Height() / 2, scale, scale);
    }
    return true;
  }

 private:
  bool grow_;
  TDIBX diff_;
};

// The catalogue's classes of this family.
class TWipeScrollH final : public TWipeScroll {
 public:
  TWipeScrollH() : TWipeScroll(false) {}
};
class TWipeScrollV final : public TWipeScroll {
 public:
  TWipeScrollV() : TWipeScroll(true) {}
};
class TWipeWhite final : public TWipeThrough {
 public:
  TWipeWhite() : TWipeThrough(false) {}
};
class TWipeBlack final : public TWipeThrough {
 public:
  TWipeBlack() : TWipeThrough(true) {}
};
class TWipeSudareH final : public TWipeRoll {
 public:
  TWipeSudareH() : TWipeRoll(false, false) {}
};
class TWipeSudareV final : public TWipeRoll {
 public:
  TWipeSudareV() : TWipeRoll(true, false) {}
};
class TWipeRubberH final : public TWipeRoll {
 public:
  TWipeRubberH() : TWipeRoll(false, true) {}
};
class TWipeRubberV final : public TWipeRoll {
 public:
  TWipeRubberV() : TWipeRoll(true, true) {}
};
class TWipeSmall final : public TWipeRotate {
 public:
  TWipeSmall() : TWipeRotate(false) {}
};
class TWipeBig final : public TWipeRotate {
 public:
  TWipeBig() : TWipeRotate(true) {}
};

}  // namespace

namespace wipekit {

void DifferenceMask(TCustomDIBX& a, TCustomDIBX& b, TDIBX& mask) { MakeDifferenceMask(a, b, mask); }

std::unique_ptr<TCustomWipe> MakeDrawWipe(int type) {
  switch (type) {
    case 1: return std::make_unique<TWipeFade>();
    case 6: return std::make_unique<TWipeScrollH>();
    case 7: return std::make_unique<TWipeScrollV>();
    case 12: return std::make_unique<TWipeWhite>();
    case 13: return std::make_unique<TWipeBlack>();
    case 14: return std::make_unique<TWipeFlash>();
    case 15: return std::make_unique<TWipeMosaic>();
    case 16: return std::make_unique<TWipeSudareH>();
    case 17: return std::make_unique<TWipeSudareV>();
    case 22: return std::make_unique<TWipeSmall>();
    case 23: return std::make_unique<TWipeBig>();
    case 30: return std::make_unique<TWipeZoomin>();
    case 32: return std::make_unique<TWipeRubberH>();
    case 33: return std::make_unique<TWipeRubberV>();
    default: return nullptr;
  }
}

}  // namespace wipekit
}  // namespace orva
