// Two-level mask transitions: pies, fans, the circle and the block orders.
// Geometry is measured from the screen centre (W / 2, H / 2), both halves
// truncated, to each pixel's own coordinates.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "storage/rands.h"
#include "transitions/wipekit.h"

namespace orva {

using namespace wipekit;

namespace {

constexpr int64_t kTurn = 65536;  // angle units per full turn

// Degrees -> angle units, taken into 0..kTurn-1.
int64_t DegreesToUnits(int32_t degrees) {
  const int64_t u = RoundEven(static_cast<double>(degrees) * kTurn / 360.0);
  return ((u % kTurn) + kTurn) % kTurn;
}

// Base of the angle transitions: the clockwise angle from 12 o'clock of each
// pixel, computed once. The angle parameter is taken as given (0 and
// negative angles are valid).
class TWipeAngle : public TWipeMask {
 public:
  void SetParam(int index, int32_t value) override { TCustomWipe::SetParam(index, value); }

 protected:
  void PrepareMask() override {
    TwoLevel = true;
    const int w = W(), h = H(), cx = w / 2, cy = h / 2;
    angles_.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const double a = std::atan2(static_cast<double>(x - cx), static_cast<double>(cy - y));
        int64_t u = static_cast<int64_t>(std::floor(a / (2 * std::numbers::pi) * kTurn));
        u = ((u % kTurn) + kTurn) % kTurn;
        angles_[static_cast<size_t>(y) * w + x] = static_cast<uint16_t>(u);
      }
    }
  }
  // Sets each mask pixel to 255 where on(angle) holds.
  template <class On>
  void FillByAngle(On on) {
    // Sizes in locals: the mask stores could alias anything reached
    // through this, which keeps the loop from vectorising.
    const int w = W(), h = H();
    for (int y = 0; y < h; ++y) {
      uint8_t* row = MaskRow(y);
      const uint16_t* a = angles_.data() + static_cast<size_t>(y) * w;
      for (int x = 0; x < w; ++x) row[x] = on(uint32_t{a[x]}) ? 255 : 0;
    }
  }
  // Angle a - b taken into 0..kTurn-1 (angles are 16-bit, so the
  // subtraction wraps by itself).
  static uint32_t Turned(uint32_t a, uint32_t b) { return (a - b) & 0xFFFFu; }
  // Angular distance between two angles in units (0..kTurn/2).
  static uint32_t Distance(uint32_t a, uint32_t b) {
    const uint32_t d = Turned(a, b);
    return d > kTurn / 2 ? static_cast<uint32_t>(kTurn) - d : d;
  }

 private:
  std::vector<uint16_t> angles_;
};

// A pie from p0 degrees sweeping 2 pi t / T clockwise (reversed: counter-
// clockwise).
class TWipeClockhand : public TWipeAngle {
 protected:
  bool MakeMask() override {
    const int64_t sweep64 = Time() * kTurn / T();
    if (!NewStep(sweep64)) return false;
    const uint32_t sweep = static_cast<uint32_t>(sweep64);
    const uint32_t start = static_cast<uint32_t>(DegreesToUnits(Params[0]));
    if (Reverse) FillByAngle([=](uint32_t a) { return Turned(start, a) < sweep; });
    else FillByAngle([=](uint32_t a) { return Turned(a, start) < sweep; });
    return true;
  }
};

// A pie centred on p0 degrees opening by pi t / T to both sides; with two
// blades, a second pie opposite it, each opening by pi / 2 t / T.
class TWipeFanBase : public TWipeAngle {
 public:
  explicit TWipeFanBase(bool twoBlades) : twoBlades_(twoBlades) {}

 protected:
  bool MakeMask() override {
    const int64_t half64 = Time() * (twoBlades_ ? kTurn / 4 : kTurn / 2) / T();
    if (!NewStep(half64)) return false;
    const uint32_t half = static_cast<uint32_t>(half64);
    const uint32_t c = static_cast<uint32_t>(DegreesToUnits(Params[0]));
    if (twoBlades_) {
      // Distance to the nearer of two opposite centres: fold the half turn.
      FillByAngle([=](uint32_t a) {
        const uint32_t d = Turned(a, c) & 0x7FFFu;
        return (d > kTurn / 4 ? static_cast<uint32_t>(kTurn / 2) - d : d) < half;
      });
    } else {
      FillByAngle([=](uint32_t a) { return Distance(a, c) < half; });
    }
    return true;
  }

 private:
  bool twoBlades_;
};

int64_t ISqrt(int64_t v) {
  if (v <= 0) return 0;
  int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(v)));
  while (r * r > v) --r;
  while ((r + 1) * (r + 1) <= v) ++r;
  return r;
}

// A filled circle about the middle of the picture (W / 2.0, H / 2.0) with
// radius round(hypot(W / 2.0, H / 2.0) t / T); reversed, the new picture
// shows outside a circle shrinking from that radius to nothing. A pixel is
// inside when the distance of its centre is at most the radius, and a radius
// of 0 holds nothing: the full radius covers every pixel, so the first frame
// is the old picture either way.
class TWipeCircle : public TWipeMask {
 protected:
  void PrepareMask() override { TwoLevel = true; }
  bool MakeMask() override {
    const double full = std::hypot(W() / 2.0, H() / 2.0);
    const int64_t elapsed = Reverse ? T() - Time() : Time();
    const int64_t r = RoundEven(full * static_cast<double>(elapsed) / static_cast<double>(T()));
    if (!NewStep(r)) return false;
    const uint8_t inside = Reverse ? 0 : 255, outside = Reverse ? 255 : 0;
    // In doubled coordinates the pixel centre x + 0.5 lies 2x + 1 - W from
    // the middle.
    const int64_t r2 = 4 * r * r;
    for (int y = 0; y < H(); ++y) {
      uint8_t* row = MaskRow(y);
      std::memset(row, outside, static_cast<size_t>(W()));
      const int64_t dy = 2 * int64_t{y} + 1 - H();
      if (r == 0 || dy * dy > r2) continue;
      const int64_t s = ISqrt(r2 - dy * dy);
      const int64_t x0 = std::max<int64_t>(0, (W() - 1 - s + 1) / 2);
      const int64_t x1 = std::min<int64_t>(W(), (W() - 1 + s) / 2 + 1);
      if (x1 > x0) std::memset(row + x0, inside, static_cast<size_t>(x1 - x0));
    }
    return true;
  }
};

// Squares of side p0 (at least 10, at most the picture's width and height)
// that come on in an order and never go off again.
class TWipeBlocks : public TWipeMask {
 public:
  explicit TWipeBlocks(bool coil) : coil_(coil) {}
  void SetParam(int index, int32_t value) override { TCustomWipe::SetParam(index, value); }

 protected:
  void PrepareMask() override {
    TwoLevel = true;
    side_ = std::min({std::max(Params[0], 10), W(), H()});
    order_.clear();
    lit_.clear();
    if (side_ <= 0) return;
    cols_ = (W() + side_ - 1) / side_;
    rows_ = (H() + side_ - 1) / side_;
    const int n = cols_ * rows_;
    order_.reserve(static_cast<size_t>(n));
    if (coil_) {
      // Right along the top, down the right side, left along the bottom, up
      // the left side, then the same one lap further in.
      int left = 0, top = 0, right = cols_ - 1, bottom = rows_ - 1;
      while (left <= right && top <= bottom) {
        for (int c = left; c <= right; ++c) order_.push_back(top * cols_ + c);
        for (int r = top + 1; r <= bottom; ++r) order_.push_back(r * cols_ + right);
        if (top < bottom)
          for (int c = right - 1; c >= left; --c) order_.push_back(bottom * cols_ + c);
        if (left < right)
          for (int r = bottom - 1; r > top; --r) order_.push_back(r * cols_ + left);
        ++left, ++top, --right, --bottom;
      }
    } else {
      std::vector<int> cells(static_cast<size_t>(n));
      for (int i = 0; i < n; ++i) cells[static_cast<size_t>(i)] = i;
      for (int left = n; left > 0; --left) {
        const int k = std::clamp(Rng().Range(0, left - 1), 0, left - 1);
        order_.push_back(cells[static_cast<size_t>(k)]);
        cells[static_cast<size_t>(k)] = cells[static_cast<size_t>(left - 1)];
      }
    }
    lit_.assign(static_cast<size_t>(n), false);
  }
  bool MakeMask() override {
    if (order_.empty()) {
      Failed = true;
      return false;
    }
    const int64_t last = static_cast<int64_t>(order_.size()) - 1;
    int64_t from = 0, to = last * Time() / T();
    if (Reverse && coil_) {
      from = last * (T() - Time()) / T();
      to = last;
    }
    if (!NewStep(Reverse && coil_ ? from : to)) return false;
    for (int64_t i = from; i <= to; ++i) {
      const int cell = order_[static_cast<size_t>(i)];
      if (lit_[static_cast<size_t>(cell)]) continue;
      lit_[static_cast<size_t>(cell)] = true;
      const int c = cell % cols_, r = cell / cols_;
      Mask().FillRect(Bounds(c * side_, r * side_, side_, side_), 255);
    }
    return true;
  }

 private:
  bool coil_;
  int side_ = 0, cols_ = 0, rows_ = 0;
  std::vector<int> order_;
  std::vector<bool> lit_;
};

// The catalogue's classes of this family.
class TWipeFan final : public TWipeFanBase {
 public:
  TWipeFan() : TWipeFanBase(false) {}
};
class TWipeWFan final : public TWipeFanBase {
 public:
  TWipeWFan() : TWipeFanBase(true) {}
};
class TWipeBlockCoil final : public TWipeBlocks {
 public:
  TWipeBlockCoil() : TWipeBlocks(true) {}
};
class TWipeBlockRandom final : public TWipeBlocks {
 public:
  TWipeBlockRandom() : TWipeBlocks(false) {}
};

}  // namespace

namespace wipekit {

std::unique_ptr<TCustomWipe> MakeShapeWipe(int type) {
  switch (type) {
    case 31: return std::make_unique<TWipeClockhand>();
    case 34: return std::make_unique<TWipeFan>();
    case 35: return std::make_unique<TWipeWFan>();
    case 36: return std::make_unique<TWipeCircle>();
    case 37: return std::make_unique<TWipeBlockCoil>();
    case 38: return std::make_unique<TWipeBlockRandom>();
    default: return nullptr;
  }
}

}  // namespace wipekit
}  // namespace orva
