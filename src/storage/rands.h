// The small generators behind archive and picture scrambling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orva {

// Linear sequence state := state * 5 + seed (32-bit wrap-around). The first
// value is the seed itself. Also deals from a deck of 0..n-1 without repeats.
class TMxRandom {
 public:
  explicit TMxRandom(int32_t seed) : seed_(static_cast<uint32_t>(seed)) {}
  int32_t Next();
  void FillDeck(int32_t n);
  // Removes and returns a card; an empty deck is an error.
  int32_t Draw();
  int32_t DeckSize() const { return static_cast<int32_t>(deck_.size()); }

 private:
  uint32_t seed_;
  uint32_t state_ = 0;
  std::vector<int32_t> deck_;
};

// The multiply-with-carry "Mother-of-All" generator.
class TGetRandom {
 public:
  TGetRandom() { Seed(0); }
  explicit TGetRandom(int32_t seed) { Seed(seed); }
  void Seed(int32_t seed);
  // Next value in [0, 1).
  double Value();
  // a + trunc(Value() * (b - a + 1)).
  int32_t Range(int32_t a, int32_t b);

 private:
  uint32_t x_[4]{};  // x_[0] newest ... x_[3] oldest
  uint32_t carry_ = 0;
};

// Seeded permutations over [a, b] used by chunk scrambling. The draw never
// takes the last remaining element while others remain, so the highest index
// always comes out last.
class TScrambleInts {
 public:
  explicit TScrambleInts(int32_t seed) : seed_(seed) {}
  // items[i] = the i-th drawn value.
  void BuildForward(int32_t a, int32_t b);
  // items[v] = i where v was the i-th drawn value (indices below a are -1).
  void BuildInverse(int32_t a, int32_t b);
  // The element at i, or -1 when i is outside the array.
  int32_t Item(int64_t i) const {
    return (i < 0 || i >= static_cast<int64_t>(items_.size())) ? -1 : items_[static_cast<size_t>(i)];
  }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }

 private:
  template <class Store>
  void Draw(int32_t a, int32_t b, Store store);
  int32_t seed_;
  std::vector<int32_t> items_;
};

}  // namespace orva
