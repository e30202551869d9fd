#include "storage/rands.h"

#include "common/errors.h"

namespace orva {

int32_t TMxRandom::Next() {
  state_ = state_ * 5u + seed_;
  return static_cast<int32_t>(state_);
}

void TMxRandom::FillDeck(int32_t n) {
  deck_.clear();
  if (n > 0) deck_.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) deck_.push_back(i);
}

int32_t TMxRandom::Draw() {
  if (deck_.empty()) throw OrvaError::Utf8("TMxRandom: draw from an empty deck");
  state_ = state_ * 5u + seed_;
  size_t index = state_ % deck_.size();
  int32_t v = deck_[index];
  deck_.erase(deck_.begin() + static_cast<std::ptrdiff_t>(index));
  return v;
}

void TGetRandom::Seed(int32_t seed) {
  uint32_t s = static_cast<uint32_t>(seed);
  if (s == 0) s = 0xFFFFFFFFu;
  uint32_t* slots[5] = {&x_[0], &x_[1], &x_[2], &x_[3], &carry_};
  for (uint32_t* slot : slots) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    *slot = s;
  }
  for (int i = 0; i < 19; ++i) Value();
}

double TGetRandom::Value() {
  uint64_t sum = 2111111111ull * x_[3] + 1492ull * x_[2] + 1776ull * x_[1] + 5115ull * x_[0] + carry_;
  x_[3] = x_[2];
  x_[2] = x_[1];
  x_[1] = x_[0];
  x_[0] = static_cast<uint32_t>(sum);
  carry_ = static_cast<uint32_t>(sum >> 32);
  return x_[0] * (1.0 / 4294967296.0);
}

int32_t TGetRandom::Range(int32_t a, int32_t b) {
  int64_t span = static_cast<int64_t>(b) - a + 1;
  return static_cast<int32_t>(a + static_cast<int64_t>(Value() * static_cast<double>(span)));
}

namespace {
// Order-statistic set over positions 0..n-1 (a Fenwick tree of counts), so
// that drawing the k-th remaining element costs O(log n) instead of moving
// the rest of a list.
class RemainingSet {
 public:
  explicit RemainingSet(size_t n) : tree_(n + 1, 0) {
    for (size_t i = 1; i <= n; ++i) {
      tree_[i] += 1;
      size_t parent = i + (i & (~i + 1));
      if (parent <= n) tree_[parent] += tree_[i];
    }
    top_ = 1;
    while (top_ * 2 <= n) top_ *= 2;
  }
  // Removes and returns the position of the k-th (0-based) remaining element.
  size_t Take(size_t k) {
    size_t pos = 0;
    for (size_t step = top_; step > 0; step >>= 1) {
      if (pos + step < tree_.size() && tree_[pos + step] <= k) {
        pos += step;
        k -= tree_[pos];
      }
    }
    for (size_t i = pos + 1; i < tree_.size(); i += i & (~i + 1)) tree_[i] -= 1;
    return pos;
  }

 private:
  std::vector<size_t> tree_;
  size_t top_;
};
}  // namespace

template <class Store>
void TScrambleInts::Draw(int32_t a, int32_t b, Store store) {
  TGetRandom rng(seed_);
  size_t count = static_cast<size_t>(static_cast<int64_t>(b) - a + 1);
  RemainingSet remaining(count);
  for (size_t i = 0; count > 0; ++i, --count) {
    size_t index = count == 1 ? 0 : static_cast<size_t>(rng.Range(0, static_cast<int32_t>(count) - 2));
    int32_t v = static_cast<int32_t>(a + static_cast<int64_t>(remaining.Take(index)));
    store(static_cast<int32_t>(i), v);
  }
}

void TScrambleInts::BuildForward(int32_t a, int32_t b) {
  items_.clear();
  if (b < a) return;
  items_.resize(static_cast<size_t>(static_cast<int64_t>(b) - a + 1));
  Draw(a, b, [this](int32_t i, int32_t v) { items_[static_cast<size_t>(i)] = v; });
}

void TScrambleInts::BuildInverse(int32_t a, int32_t b) {
  items_.clear();
  if (b < a || b < 0) return;
  items_.assign(static_cast<size_t>(b) + 1, -1);
  Draw(a, b, [this](int32_t i, int32_t v) {
    if (v >= 0) items_[static_cast<size_t>(v)] = i;
  });
}

}  // namespace orva
