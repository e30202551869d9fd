// Mask transitions with graded edges: blinds, curtains, grids, the dither
// tile and the rule-image shadow.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "storage/rands.h"
#include "storage/vrfiles.h"
#include "imaging/vorns.h"
#include "transitions/wipekit.h"

namespace orva {

using namespace wipekit;

namespace {

// min((b - order) * 255 / soft, 255) once b has reached the order, else 0.
uint8_t EdgeValue(int64_t b, int64_t order, int64_t soft) {
  if (b < order) return 0;
  return static_cast<uint8_t>(std::min<int64_t>((b - order) * 255 / soft, 255));
}

// A mask with one value per column (one row high) or per row (whole
// width).
class TWipeLines : public TWipeMask {
 protected:
  explicit TWipeLines(bool vertical) : vertical_(vertical) {}
  template <class Value>
  void FillLines(Value value) {
    if (vertical_) {
      for (int y = 0; y < Mask().Height(); ++y) std::memset(MaskRow(y), value(y), static_cast<size_t>(W()));
    } else {
      uint8_t* row = MaskRow(0);
      for (int x = 0; x < W(); ++x) row[x] = value(x);
    }
  }
  bool vertical_;
};

// Slats of width p0: the column (or row) at offset i in its slat opens when
// b passes 2 * i, softened over p1 steps.
class TWipeBlind : public TWipeLines {
 public:
  explicit TWipeBlind(bool vertical) : TWipeLines(vertical) {}

 protected:
  int MaskHeight() override { return vertical_ ? static_cast<int>(std::min<int64_t>(Params[0], H())) : 1; }
  bool MakeMask() override {
    const int64_t p0 = std::max(Params[0], 2), p1 = std::max(Params[1], 1);
    const int64_t b = (p1 + 2 * p0 - 2) * Time() / T();
    if (!NewStep(b)) return false;
    auto value = [&](int64_t i) {
      const int64_t k = i % p0;
      return EdgeValue(b, 2 * (Reverse ? p0 - 1 - k : k), p1);
    };
    FillLines(value);
    return true;
  }
};

// Columns (rows) open in groups of p0, each group starting one step after
// the previous one and opening from its first column.
class TWipeCurtain : public TWipeLines {
 public:
  explicit TWipeCurtain(bool vertical) : TWipeLines(vertical) {}
  void SetParam(int index, int32_t value) override { TCustomWipe::SetParam(index, std::max(value, 1)); }

 protected:
  int MaskHeight() override { return vertical_ ? H() : 1; }
  bool MakeMask() override {
    const int64_t p0 = std::max(Params[0], 1), p1 = std::max(Params[1], 1);
    const int64_t len = vertical_ ? H() : W();
    const int64_t b = (((len + p0 - 1) / p0 + p0 - 2) * 16 + p1) * Time() / T();
    if (!NewStep(b)) return false;
    auto value = [&](int64_t i) {
      const int64_t k = Reverse ? len - 1 - i : i;
      return EdgeValue(b, ((k / p0) + (k % p0)) * 16, p1);
    };
    FillLines(value);
    return true;
  }
};

// Cells of p0 x p0 in which a centred square grows, cell by cell in the
// order of the kind (distance from the corner, column or row).
class TWipeGridBase : public TWipeMask {
 public:
  enum class Kind { Corner, Columns, Rows };
  explicit TWipeGridBase(Kind kind) : kind_(kind) {}

 protected:
  int MaskHeight() override {
    return kind_ == Kind::Columns ? static_cast<int>(std::min<int64_t>(Params[0], H())) : H();
  }
  bool MakeMask() override {
    const int64_t p0 = std::max(Params[0], 2), p1 = std::max(Params[1], 1);
    const int64_t cols = (W() + p0 - 1) / p0;
    const int64_t rows = kind_ == Kind::Columns ? 1 : (H() + p0 - 1) / p0;
    auto order = [&](int64_t row, int64_t col) -> int64_t {
      if (Reverse) {
        row = rows - 1 - row;
        col = cols - 1 - col;
      }
      switch (kind_) {
        case Kind::Columns: return col;
        case Kind::Rows: return row;
        default: return RoundEven(std::hypot(static_cast<double>(row), static_cast<double>(col)));
      }
    };
    const int64_t maxOrder = std::max(order(rows - 1, cols - 1), order(0, 0));
    const int64_t b = (p1 + 4 * maxOrder - 4) * Time() / T();
    if (!NewStep(b)) return false;
    Mask().Clear(0);
    for (int64_t row = 0; row < rows; ++row) {
      for (int64_t col = 0; col < cols; ++col) {
        const int64_t k = b - 4 * order(row, col);
        if (k <= 0) continue;
        const int64_t side = std::min(p0, p0 * k / p1);
        const int64_t left = col * p0 + (p0 - side) / 2, top = row * p0 + (p0 - side) / 2;
        const TRect r{static_cast<int32_t>(std::min<int64_t>(left, W())),
                      static_cast<int32_t>(std::min<int64_t>(top, Mask().Height())),
                      static_cast<int32_t>(std::min<int64_t>(left + side, W())),
                      static_cast<int32_t>(std::min<int64_t>(top + side, Mask().Height()))};
        Mask().FillRect(r, EdgeValue(k, 0, p1));
      }
    }
    return true;
  }

 private:
  Kind kind_;
};

// The order in which the cells of the 64 x 64 dither tile come on: the deck
// 0..4095 dealt by the sequence seeded with 12341 (rank[cell] = when it is
// dealt). The same for every run.
const std::vector<int32_t>& DitherRanks() {
  static const std::vector<int32_t> ranks = [] {
    std::vector<int32_t> r(4096);
    TMxRandom deck(12341);
    deck.FillDeck(4096);
    for (int32_t k = 0; k < 4096; ++k) r[static_cast<size_t>(deck.Draw())] = k;
    return r;
  }();
  return ranks;
}

// n = t * 4096 / T cells of the tile are on: the first n dealt.
class TWipeDither : public TWipeMask {
 protected:
  int MaskHeight() override { return 64; }
  void PrepareMask() override { TwoLevel = true; }
  bool MakeMask() override {
    const int64_t n = Time() * 4096 / T();
    if (!NewStep(n)) return false;
    const std::vector<int32_t>& ranks = DitherRanks();
    for (int y = 0; y < Mask().Height(); ++y) {
      uint8_t* row = MaskRow(y);
      const int32_t* tileRow = ranks.data() + 64 * (y % 64);
      for (int x = 0; x < W(); ++x) row[x] = tileRow[x % 64] < n ? 255 : 0;
    }
    return true;
  }
};

// Each pixel turns when t * 512 / T passes 256 minus its rule value, over
// 256 steps.
class TWipeShadow : public TWipeMask {
 protected:
  int MaskHeight() override { return rule_.rows; }
  void PrepareMask() override { rule_ = LoadRuleMap(Files, IdentCode, RuleName, Reverse != 0, W(), H()); }
  bool MakeMask() override {
    const int64_t s = Time() * 512 / T();
    if (!NewStep(s)) return false;
    uint8_t lut[256];
    for (int p = 0; p < 256; ++p) lut[p] = static_cast<uint8_t>(std::clamp<int64_t>(s + p - 256, 0, 255));
    for (int y = 0; y < Mask().Height(); ++y) {
      uint8_t* row = MaskRow(y);
      const uint8_t* p = rule_.Row(y);
      for (int x = 0; x < W(); ++x) row[x] = lut[p[x]];
    }
    return true;
  }

 private:
  RuleMap rule_;
};

// The catalogue's classes of this family.
class TWipeBlindH final : public TWipeBlind {
 public:
  TWipeBlindH() : TWipeBlind(false) {}
};
class TWipeBlindV final : public TWipeBlind {
 public:
  TWipeBlindV() : TWipeBlind(true) {}
};
class TWipeCurtainH final : public TWipeCurtain {
 public:
  TWipeCurtainH() : TWipeCurtain(false) {}
};
class TWipeCurtainV final : public TWipeCurtain {
 public:
  TWipeCurtainV() : TWipeCurtain(true) {}
};
class TWipeGrid final : public TWipeGridBase {
 public:
  TWipeGrid() : TWipeGridBase(TWipeGridBase::Kind::Corner) {}
};
class TWipeGridH final : public TWipeGridBase {
 public:
  TWipeGridH() : TWipeGridBase(TWipeGridBase::Kind::Columns) {}
};
class TWipeGridV final : public TWipeGridBase {
 public:
  TWipeGridV() : TWipeGridBase(TWipeGridBase::Kind::Rows) {}
};

}  // namespace

namespace wipekit {

// Grey values come from the nearest entry of a 256-level grey palette: the
// channel mean, rounded.
RuleMap LoadRuleMap(TVrFileManager* files, int32_t identCode, const std::string& name, bool invert, int width,
                    int height) {
  RuleMap map;
  map.width = width;
  map.rows = 1;
  map.values.assign(static_cast<size_t>(width), 255);
  if (!files || name.empty() || width <= 0 || height <= 0 || !files->FileExistsVfs(name)) return map;
  TVornFrameList list(identCode);
  list.LoadFromVfs(*files, name, true, false, false);
  if (list.Count() == 0) return map;
  TDIBX& rule = list.Frame(0).Color;
  const int rw = rule.Width(), rh = rule.Height();
  if (rw <= 0 || rh <= 0) return map;
  std::vector<uint8_t> grey(static_cast<size_t>(rw) * rh);
  for (int y = 0; y < rh; ++y) {
    for (int x = 0; x < rw; ++x) {
      const uint32_t rgb = rule.PixelToRgb(rule.GetPixel(x, y));
      const uint32_t v = (((rgb >> 16) & 255) + ((rgb >> 8) & 255) + (rgb & 255) + 1) / 3;
      grey[static_cast<size_t>(y) * rw + x] = static_cast<uint8_t>(invert ? 255 - v : v);
    }
  }
  map.rows = std::min(rh, height);
  map.values.resize(static_cast<size_t>(width) * map.rows);
  for (int y = 0; y < map.rows; ++y)
    for (int x = 0; x < width; ++x)
      map.values[static_cast<size_t>(y) * width + x] = grey[static_cast<size_t>(y) * rw + x % rw];
  return map;
}

std::unique_ptr<TCustomWipe> MakeMaskWipe(int type) {
  switch (type) {
    case 2: return std::make_unique<TWipeBlindH>();
    case 3: return std::make_unique<TWipeBlindV>();
    case 4: return std::make_unique<TWipeCurtainH>();
    case 5: return std::make_unique<TWipeCurtainV>();
    case 8: return std::make_unique<TWipeGrid>();
    case 9: return std::make_unique<TWipeGridH>();
    case 10: return std::make_unique<TWipeGridV>();
    case 11: return std::make_unique<TWipeDither>();
    case 19: return std::make_unique<TWipeShadow>();
    default: return nullptr;
  }
}

}  // namespace wipekit
}  // namespace orva
