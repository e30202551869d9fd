// Transitions computed pixel by pixel from maps prepared once: the spot and
// the rule-image glows, the ripple, the blurs, the twists and the breaking
// tiles.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "storage/rands.h"
#include "transitions/wipekit.h"

namespace orva {

using namespace wipekit;

namespace {

#if defined(__SSE2__)
// One row of the glow for 8-8-8 pixels, four at a time: the grey level is
// max(0, min(k, 511 - k)), the picture old below 256 and new from there.
// Returns how many pixels it did (the rest go through the plain loop).
int GlowRow32(uint8_t* d, const uint8_t* o, const uint8_t* n, const int32_t* thr, int w, int32_t base, bool black) {
  const __m128i vbase = _mm_set1_epi32(base), v256 = _mm_set1_epi32(256), v511 = _mm_set1_epi32(511);
  const __m128i zero = _mm_setzero_si128();
  int x = 0;
  for (; x + 4 <= w; x += 4) {
    const __m128i k = _mm_sub_epi32(vbase, _mm_loadu_si128(reinterpret_cast<const __m128i*>(thr + x)));
    const __m128i ov = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o + 4 * x));
    const __m128i nv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(n + 4 * x));
    const __m128i early = _mm_cmplt_epi32(k, v256);
    const __m128i pic = _mm_or_si128(_mm_and_si128(early, ov), _mm_andnot_si128(early, nv));
    const __m128i back = _mm_sub_epi32(v511, k);
    __m128i level = _mm_or_si128(_mm_and_si128(early, k), _mm_andnot_si128(early, back));
    level = _mm_andnot_si128(_mm_cmplt_epi32(level, zero), level);
    const __m128i grey = _mm_or_si128(level, _mm_or_si128(_mm_slli_epi32(level, 8), _mm_slli_epi32(level, 16)));
    const __m128i out = black ? _mm_subs_epu8(pic, grey) : _mm_adds_epu8(pic, grey);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x), out);
  }
  return x;
}
#endif

// Each pixel goes old -> old plus (or minus) grey -> new plus grey -> new as
// k = base - threshold[pixel] passes 0, 256 and 512.
class TWipeGlow : public TCustomWipe {
 protected:
  explicit TWipeGlow(bool black) : black_(black) {}
  // Fills threshold_ (width W, thresholdRows_ rows, repeated downwards).
  virtual void MakeThresholds() = 0;
  virtual int64_t Base() = 0;

  void PrepareWipe() override {
    MakeThresholds();
    for (int v = 0; v < 256; ++v) greys_[v] = Grey(v);
  }
  bool DrawStep() override {
    if (thresholdRows_ <= 0) return false;
    const int64_t base = Base();
    Rows d(Dest()), o(Old()), n(New());
    if (!d.Ok() || !o.Ok() || !n.Ok()) return false;
    const pixelops::Chan c = pixelops::ChannelsOf(Dest().BitCount());
    WithPixels(Dest(), [&](auto px) {
      using Px = decltype(px);
      for (int y = 0; y < H(); ++y) {
        uint8_t* drow = d[y];
        const uint8_t* orow = o[y];
        const uint8_t* nrow = n[y];
        const int32_t* thr = threshold_.data() + static_cast<size_t>(W()) * (y % thresholdRows_);
        int x = 0;
#if defined(__SSE2__)
        if constexpr (Px::kBits == 32) x = GlowRow32(drow, orow, nrow, thr, W(), static_cast<int32_t>(base), black_);
#endif
        for (; x < W(); ++x) {
          const int64_t k = base - thr[x];
          uint32_t v;
          if (k < 0) {
            v = Px::Get(orow, x);
          } else if (k >= 512) {
            v = Px::Get(nrow, x);
          } else {
            const uint32_t pic = k < 256 ? Px::Get(orow, x) : Px::Get(nrow, x);
            const uint32_t g = greys_[k < 256 ? k : 511 - k];
            if constexpr (Px::kBits == 32) {
              v = black_ ? SubSat888(g, pic) : AddSat888(g, pic);
            } else {
              v = black_ ? SubPixel<Px>(g, pic, c) : AddPixel<Px>(g, pic, c);
            }
          }
          Px::Set(drow, x, v);
        }
      }
    });
    return true;
  }

  std::vector<int32_t> threshold_;
  int thresholdRows_ = 0;

 private:
  bool black_;
  uint32_t greys_[256] = {};
};

// A bright ring spreading from the centre (reversed: closing in on it).
class TWipeSpot : public TWipeGlow {
 public:
  TWipeSpot() : TWipeGlow(false) {}

 protected:
  void MakeThresholds() override {
    const int cx = W() / 2, cy = H() / 2;
    threshold_.resize(static_cast<size_t>(W()) * H());
    int32_t maxDist = 0;
    for (int y = 0; y < H(); ++y)
      for (int x = 0; x < W(); ++x) {
        const int32_t n = static_cast<int32_t>(RoundEven(std::hypot(x - cx, y - cy)));
        threshold_[static_cast<size_t>(y) * W() + x] = n;
        maxDist = std::max(maxDist, n);
      }
    if (Reverse)
      for (int32_t& n : threshold_) n = maxDist - n;
    thresholdRows_ = H();
  }
  int64_t Base() override {
    const int64_t reach = RoundEven(std::hypot(W() / 2, H() / 2)) + 512;
    return Time() * reach / T();
  }
};

// Pixels flash to white (black) in the order of their rule value and come
// back as the new picture: v = t * 768 / T + p, k = v - 256.
class TWipeShadowGlow : public TWipeGlow {
 public:
  explicit TWipeShadowGlow(bool black) : TWipeGlow(black) {}

 protected:
  void MakeThresholds() override {
    const RuleMap rule = LoadRuleMap(Files, IdentCode, RuleName, Reverse != 0, W(), H());
    threshold_.assign(rule.values.size(), 0);
    for (size_t i = 0; i < rule.values.size(); ++i) threshold_[i] = -static_cast<int32_t>(rule.values[i]);
    thresholdRows_ = rule.rows;
  }
  int64_t Base() override { return Time() * 768 / T() - 256; }
};

// A ring wave running outwards: inside the ring the new picture is sampled
// at a radius displaced by a sawtooth table.
class TWipeRipple : public TCustomWipe {
 protected:
  void PrepareWipe() override {
    const int w = W(), h = H(), cx = w / 2, cy = h / 2;
    n_ = std::min(w / 2, h / 2) * 2 / 3;
    const int quarter = n_ / 4;
    table_.assign(static_cast<size_t>(std::max(n_, 0)), 0);
    if (quarter > 0)
      for (int i = 0; i < n_; ++i) table_[static_cast<size_t>(i)] = static_cast<int32_t>(int64_t{i % quarter} * Params[0] / quarter);
    dist_.resize(static_cast<size_t>(w) * h);
    dir_.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double dx = x - cx, dy = y - cy, r = std::hypot(dx, dy);
        const size_t i = static_cast<size_t>(y) * w + x;
        dist_[i] = static_cast<int32_t>(RoundEven(r));
        dir_[i].cos = r > 0 ? static_cast<int32_t>(dx / r * 65536) : 65536;
        dir_[i].sin = r > 0 ? static_cast<int32_t>(dy / r * 65536) : 0;
      }
    reach_ = RoundEven(std::hypot(cx, cy));
  }
  bool DrawStep() override {
    if (n_ / 4 <= 0) return false;
    const int64_t front = Time() * (reach_ + n_) / T();
    const int w = W(), h = H(), cx = w / 2, cy = h / 2;
    Rows d(Dest()), o(Old()), nw(New());
    if (!d.Ok() || !o.Ok() || !nw.Ok()) return false;
    WithPixels(Dest(), [&](auto px) {
      using Px = decltype(px);
      for (int y = 0; y < h; ++y) {
        uint8_t* drow = d[y];
        const uint8_t* orow = o[y];
        const uint8_t* nrow = nw[y];
        const int32_t* dist = dist_.data() + static_cast<size_t>(y) * w;
        // Four pixels at a time: most groups lie wholly before the ring
        // (old) or behind it (new) and are copied.
        const int64_t lo = front - n_ + 1, hi = front;  // j < 0 <=> d < lo; j > n - 1 <=> d > hi
        for (int x0 = 0; x0 < w; x0 += 4) {
          const int x1 = std::min(x0 + 4, w);
          if (x1 - x0 == 4 && Px::kBits >= 8) {
            const int32_t* d4 = dist + x0;
            const bool allOld = d4[0] > hi && d4[1] > hi && d4[2] > hi && d4[3] > hi;
            const bool allNew = d4[0] < lo && d4[1] < lo && d4[2] < lo && d4[3] < lo;
            if (allOld || allNew) {
              const size_t at = static_cast<size_t>(x0) * Px::kBits / 8;
              std::memcpy(drow + at, (allOld ? orow : nrow) + at, static_cast<size_t>(4 * Px::kBits / 8));
              continue;
            }
          }
          for (int x = x0; x < x1; ++x) {
            const int64_t j = dist[x] + n_ - 1 - front;
            if (j > n_ - 1) {
              Px::Set(drow, x, Px::Get(orow, x));
            } else if (j < 0) {
              Px::Set(drow, x, Px::Get(nrow, x));
            } else {
              // Inside the ring: the new picture sampled at a displaced
              // radius along the pixel's own direction.
              const Direction& dir = dir_[static_cast<size_t>(y) * w + x];
              const int64_t r = dist[x] + table_[static_cast<size_t>(j)];
              const int64_t tx = cx + ((r * dir.cos) >> 16), ty = cy + ((r * dir.sin) >> 16);
              const bool inside = tx >= 0 && tx < w && ty >= 0 && ty < h;
              Px::Set(drow, x, inside ? Px::Get(nw[static_cast<int>(ty)], static_cast<int>(tx)) : Px::Get(nrow, x));
            }
          }
        }
      }
    });
    return true;
  }

 private:
  struct Direction {
    int32_t cos, sin;  // 16.16
  };
  std::vector<int32_t> dist_;
  std::vector<Direction> dir_;
  std::vector<int32_t> table_;
  int n_ = 0;
  int64_t reach_ = 0;
};

// Box blur of radius r: each pixel the truncated mean of the (2r+1)^2
// neighbourhood's pixels that lie inside the picture, per native channel.
void BoxBlur(TCustomDIBX& src, TDIBX& out, int r) {
  const int w = src.Width(), h = src.Height();
  out.SetSize(w, h, src.BitCount());
  if (src.Palette()) out.SetPaletteEntries(0, 256, src.Palette());
  Rows s(src), o(out);
  if (!s.Ok() || !o.Ok()) return;
  const pixelops::Chan c = pixelops::ChannelsOf(src.BitCount());
  const uint32_t masks[3] = {c.r, c.g, c.b};
  std::vector<uint32_t> rowSums(static_cast<size_t>(w) * h);
  std::vector<uint32_t> prefix(static_cast<size_t>(std::max(w, h)) + 1);
  std::vector<uint64_t> colPrefix(static_cast<size_t>(h) + 1);
  std::vector<uint32_t> result(static_cast<size_t>(w) * h, 0);
  WithPixels(src, [&](auto px) {
    using Px = decltype(px);
    for (uint32_t m : masks) {
      if (!m) continue;
      const int shift = std::countr_zero(m);
      for (int y = 0; y < h; ++y) {
        prefix[0] = 0;
        for (int x = 0; x < w; ++x) prefix[x + 1] = prefix[x] + ((Px::Get(s[y], x) & m) >> shift);
        for (int x = 0; x < w; ++x)
          rowSums[static_cast<size_t>(y) * w + x] = prefix[std::min(w, x + r + 1)] - prefix[std::max(0, x - r)];
      }
      for (int x = 0; x < w; ++x) {
        const uint64_t cx = static_cast<uint64_t>(std::min(w, x + r + 1) - std::max(0, x - r));
        colPrefix[0] = 0;
        for (int y = 0; y < h; ++y) colPrefix[y + 1] = colPrefix[y] + rowSums[static_cast<size_t>(y) * w + x];
        for (int y = 0; y < h; ++y) {
          const int y0 = std::max(0, y - r), y1 = std::min(h, y + r + 1);
          const uint64_t mean = (colPrefix[y1] - colPrefix[y0]) / (cx * static_cast<uint64_t>(y1 - y0));
          result[static_cast<size_t>(y) * w + x] |= (static_cast<uint32_t>(mean) << shift) & m;
        }
      }
    }
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) Px::Set(o[y], x, result[static_cast<size_t>(y) * w + x]);
  });
}

// Old blurs in, flashes to white (black), and the blurred new picture comes
// back sharp: s = t * 639 / T.
class TWipeBlur : public TCustomWipe {
 public:
  explicit TWipeBlur(bool black) : black_(black) {}

 protected:
  void PrepareWipe() override {
    const int r = std::min(W(), H()) / 20;
    BoxBlur(Old(), blurOld_, r);
    BoxBlur(New(), blurNew_, r);
  }
  bool DrawStep() override {
    const int64_t s = Time() * 639 / T();
    if (s < 256) {
      Dest().Assign(Old());
      Dest().DrawAlpha(0, 0, blurOld_, blurOld_.BoundsRect(), static_cast<int>(s));
    } else if (s < 384) {
      Dest().Assign(s < 320 ? blurOld_ : blurNew_);
      const uint32_t grey = Grey(static_cast<int>(s < 320 ? (s - 256) * 4 : (383 - s) * 4));
      if (black_) Dest().FillRectSub(Dest().BoundsRect(), grey);
      else Dest().FillRectAdd(Dest().BoundsRect(), grey);
    } else {
      Dest().Assign(New());
      Dest().DrawAlpha(0, 0, blurNew_, blurNew_.BoundsRect(), static_cast<int>(std::min<int64_t>(639 - s, 255)));
    }
    return true;
  }

 private:
  bool black_;
  TDIBX blurOld_, blurNew_;
};

// Every row (column) turns like a card, the first one first: the old face
// narrows to nothing on black, then the new face widens back.
class TWipeTwist : public TCustomWipe {
 public:
  explicit TWipeTwist(bool vertical) : vertical_(vertical) {}

 protected:
  // What one line shows: 0 old as it is, 1 new as it is, 2 a squeezed face.
  struct Line {
    int kind = 0;
    bool fromNew = false;
    int start = 0, len = 0;
    int64_t step = 0;  // 16.16 source step of the squeeze
  };
  bool DrawStep() override {
    const int lines = vertical_ ? W() : H(), size = vertical_ ? H() : W();
    lines_.resize(static_cast<size_t>(lines));
    const double turn = static_cast<double>(Time()) * 1.5 * std::numbers::pi / static_cast<double>(T());
    for (int i = 0; i < lines; ++i) {
      const int k = Reverse ? lines - 1 - i : i;
      const double theta = turn - static_cast<double>(k) / lines * std::numbers::pi / 2;
      Line& l = lines_[static_cast<size_t>(i)];
      l = Line{};
      if (theta < 0) continue;
      if (theta >= std::numbers::pi) {
        l.kind = 1;
        continue;
      }
      const double cs = std::cos(theta);
      l.kind = 2;
      l.fromNew = cs < 0;
      l.len = static_cast<int>(std::clamp<int64_t>(RoundEven(std::fabs(cs) * size), 0, size));
      l.start = (size - l.len) / 2;
      l.step = l.len > 0 ? (int64_t{size} << 16) / l.len : 0;
    }
    runs_.clear();
    if (vertical_) {
      for (int x = 0; x < lines; ++x) {
        const int kind = lines_[static_cast<size_t>(x)].kind;
        if (runs_.empty() || runs_.back().kind != kind) runs_.push_back({kind, x, x + 1});
        else runs_.back().x1 = x + 1;
      }
    }
    Rows d(Dest()), o(Old()), n(New());
    if (!d.Ok() || !o.Ok() || !n.Ok()) return false;
    const size_t rowBytes = static_cast<size_t>(TDIBX::RowBytes(W(), Dest().StorageBitCount()));
    WithPixels(Dest(), [&](auto px) {
      using Px = decltype(px);
      for (int y = 0; y < H(); ++y) {
        uint8_t* drow = d[y];
        if (!vertical_) {
          // One line per row: a whole row of a picture, or a squeezed face.
          const Line& l = lines_[static_cast<size_t>(y)];
          if (l.kind != 2) {
            std::memcpy(drow, l.kind == 0 ? o[y] : n[y], rowBytes);
            continue;
          }
          std::memset(drow, 0, rowBytes);
          const uint8_t* srow = l.fromNew ? n[y] : o[y];
          for (int i = 0; i < l.len; ++i)
            Px::Set(drow, l.start + i, Px::Get(srow, static_cast<int>(std::min<int64_t>((i * l.step) >> 16, size - 1))));
          continue;
        }
        // Neighbouring columns of the same kind form runs: whole pictures
        // are copied a run at a time.
        for (const Run& run : runs_) {
          const size_t bytes = static_cast<size_t>(run.x1 - run.x0) * Px::kBits / 8;
          const size_t at = static_cast<size_t>(run.x0) * Px::kBits / 8;
          if (run.kind == 0 && Px::kBits >= 8) {
            std::memcpy(drow + at, o[y] + at, bytes);
            continue;
          }
          if (run.kind == 1 && Px::kBits >= 8) {
            std::memcpy(drow + at, n[y] + at, bytes);
            continue;
          }
          for (int x = run.x0; x < run.x1; ++x) {
            const Line& l = lines_[static_cast<size_t>(x)];
            uint32_t v = 0;
            if (l.kind == 0) {
              v = Px::Get(o[y], x);
            } else if (l.kind == 1) {
              v = Px::Get(n[y], x);
            } else if (y >= l.start && y < l.start + l.len) {
              const int sy = static_cast<int>(std::min<int64_t>(((y - l.start) * l.step) >> 16, size - 1));
              v = Px::Get(l.fromNew ? n[sy] : o[sy], x);
            }
            Px::Set(drow, x, v);
          }
        }
      }
    });
    return true;
  }

 private:
  struct Run {
    int kind, x0, x1;
  };
  bool vertical_;
  std::vector<Line> lines_;
  std::vector<Run> runs_;
};

// The old picture breaks into square tiles that fall away, one after
// another in a random order, each with its own sideways drift.
class TWipeCrack : public TCustomWipe {
 protected:
  void PrepareWipe() override {
    Params[0] = std::max(Params[0], 16);
    Params[1] = std::max(Params[1], 0);
    // A tile larger than the picture is the whole picture.
    const int side = std::min(Params[0], std::max({W(), H(), 16}));
    const int cols = (W() + side - 1) / side, rows = (H() + side - 1) / side;
    const int n = cols * rows;
    if (DiffOnly) DifferenceMask(Old(), New(), diff_);
    std::vector<int> cells(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) cells[static_cast<size_t>(i)] = i;
    tiles_.clear();
    tiles_.reserve(static_cast<size_t>(n));
    for (int left = n; left > 0; --left) {
      const int k = std::clamp(Rng().Range(0, left - 1), 0, left - 1);
      const int cell = cells[static_cast<size_t>(k)];
      cells[static_cast<size_t>(k)] = cells[static_cast<size_t>(left - 1)];
      Tile tile;
      tile.rect = Intersect(Bounds((cell % cols) * side, (cell / cols) * side, side, side), Dest().BoundsRect());
      tile.drift = std::clamp(Rng().Range(-100, 99), -100, 99);
      tile.look = DiffOnly ? Classify(tile.rect) : Look::Whole;
      tiles_.push_back(tile);
    }
    // The first a >= 0 at which a tile has fallen by the picture's height.
    fall_ = 0;
    if (H() > 0) {
      const double est = (1500 + std::sqrt(1500.0 * 1500.0 + 20000.0 * H())) / 10;
      fall_ = std::max<int64_t>(300, static_cast<int64_t>(est) - 4);
      while (Drop(fall_) < H()) ++fall_;
    }
  }
  bool DrawStep() override {
    const int64_t n = static_cast<int64_t>(tiles_.size());
    if (n == 0) return false;
    const int64_t p1 = Params[1];
    const int64_t b = Time() * (fall_ + (n - 1) * p1) / T();
    Dest().Assign(New());
    for (int64_t k = 0; k < n; ++k)
      if (b < k * p1) DrawTile(tiles_[static_cast<size_t>(k)], 0, 0);
    for (int64_t k = std::min(n - 1, p1 > 0 ? b / p1 : n - 1); k >= 0; --k) {
      Tile& tile = tiles_[static_cast<size_t>(k)];
      if (tile.dropped || b < k * p1) continue;
      const int64_t a = b - k * p1;
      const int64_t dy = Drop(a);
      if (tile.rect.Top + dy >= H()) {
        tile.dropped = true;
        continue;
      }
      DrawTile(tile, a * tile.drift / 100, dy);
    }
    return true;
  }

 private:
  enum class Look { Skip, Whole, Masked };
  struct Tile {
    TRect rect;
    int32_t drift = 0;
    Look look = Look::Whole;
    bool dropped = false;
  };
  // Height fallen after a steps: up first, then down ever faster.
  static int64_t Drop(int64_t a) { return (5 * a * a - 1500 * a) / 1000; }

  Look Classify(const TRect& r) {
    int64_t differing = 0;
    for (int y = r.Top; y < r.Bottom; ++y) {
      const uint8_t* row = diff_.Row(y);
      for (int x = r.Left; x < r.Right; ++x) differing += row[x] != 0;
    }
    if (differing == 0) return Look::Skip;
    return differing == int64_t{r.Width()} * r.Height() ? Look::Whole : Look::Masked;
  }
  void DrawTile(const Tile& tile, int64_t dx, int64_t dy) {
    const int x = static_cast<int>(std::clamp<int64_t>(tile.rect.Left + dx, INT32_MIN / 2, INT32_MAX / 2));
    const int y = static_cast<int>(std::clamp<int64_t>(tile.rect.Top + dy, INT32_MIN / 2, INT32_MAX / 2));
    switch (tile.look) {
      case Look::Skip: break;
      case Look::Whole: Dest().Draw(x, y, Old(), tile.rect); break;
      case Look::Masked: Dest().DrawMask(x, y, Old(), tile.rect, diff_); break;
    }
  }

  std::vector<Tile> tiles_;
  int64_t fall_ = 0;
  TDIBX diff_;
};

// The catalogue's classes of this family.
class TWipeShadowWhite final : public TWipeShadowGlow {
 public:
  TWipeShadowWhite() : TWipeShadowGlow(false) {}
};
class TWipeShadowBlack final : public TWipeShadowGlow {
 public:
  TWipeShadowBlack() : TWipeShadowGlow(true) {}
};
class TWipeBlurWhite final : public TWipeBlur {
 public:
  TWipeBlurWhite() : TWipeBlur(false) {}
};
class TWipeBlurBlack final : public TWipeBlur {
 public:
  TWipeBlurBlack() : TWipeBlur(true) {}
};
class TWipeTwistH final : public TWipeTwist {
 public:
  TWipeTwistH() : TWipeTwist(false) {}
};
class TWipeTwistV final : public TWipeTwist {
 public:
  TWipeTwistV() : TWipeTwist(true) {}
};

}  // namespace

namespace wipekit {

std::unique_ptr<TCustomWipe> MakePixelWipe(int type) {
  switch (type) {
    case 18: return std::make_unique<TWipeSpot>();
    case 20: return std::make_unique<TWipeShadowWhite>();
    case 21: return std::make_unique<TWipeShadowBlack>();
    case 24: return std::make_unique<TWipeRipple>();
    case 25: return std::make_unique<TWipeBlurWhite>();
    case 26: return std::make_unique<TWipeBlurBlack>();
    case 27: return std::make_unique<TWipeTwistH>();
    case 28: return std::make_unique<TWipeTwistV>();
    case 29: return std::make_unique<TWipeCrack>();
    default: return nullptr;
  }
}

}  // namespace wipekit
}  // namespace orva
