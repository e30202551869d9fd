#include "storage/rands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>

#include "common/errors.h"

namespace orva {
namespace {

TEST(MxRandom, SequenceStartsWithTheSeed) {
  TMxRandom r(7);
  EXPECT_EQ(r.Next(), 7);
  EXPECT_EQ(r.Next(), 42);
  EXPECT_EQ(r.Next(), 217);
  // 32-bit wrap-around.
  TMxRandom big(0x7FFFFFFF);
  big.Next();
  EXPECT_EQ(big.Next(), static_cast<int32_t>(0x7FFFFFFFu * 6u));
}

TEST(MxRandom, DeckDealsEveryCardOnceThenRefuses) {
  TMxRandom r(1357924680);
  r.FillDeck(50);
  std::set<int32_t> seen;
  for (int i = 0; i < 50; ++i) seen.insert(r.Draw());
  EXPECT_EQ(seen.size(), 50u);
  EXPECT_EQ(*seen.rbegin(), 49);
  EXPECT_THROW(r.Draw(), OrvaError);
}

TEST(MxRandom, DeckIndexIsUnsigned) {
  // state 0*5 + (-1) = 0xFFFFFFFF: unsigned mod 10 = 5.
  TMxRandom r(-1);
  r.FillDeck(10);
  EXPECT_EQ(r.Draw(), 5);
}

TEST(GetRandom, ValuesStayInRangeAndSeedZeroActsAsMinusOne) {
  TGetRandom a(0), b(-1);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(a.Value(), b.Value());
  TGetRandom r(12345);
  for (int i = 0; i < 10000; ++i) {
    int32_t v = r.Range(-3, 4);
    EXPECT_GE(v, -3);
    EXPECT_LE(v, 4);
  }
  TGetRandom c(99), d(99);
  EXPECT_EQ(c.Range(0, 1000000), d.Range(0, 1000000));
}

class ScrambleIntsTest : public ::testing::TestWithParam<std::pair<int32_t, int32_t>> {};

TEST_P(ScrambleIntsTest, ForwardIsAPermutationEndingWithTheLastAndInverseUndoesIt) {
  auto [seed, n] = GetParam();
  TScrambleInts fwd(seed), inv(seed);
  fwd.BuildForward(0, n - 1);
  inv.BuildInverse(0, n - 1);
  ASSERT_EQ(fwd.Count(), n);
  std::vector<int32_t> sorted(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) sorted[static_cast<size_t>(i)] = fwd.Item(i);
  std::sort(sorted.begin(), sorted.end());
  for (int32_t i = 0; i < n; ++i) EXPECT_EQ(sorted[static_cast<size_t>(i)], i);
  EXPECT_EQ(fwd.Item(n - 1), n - 1);
  for (int32_t i = 0; i < n; ++i) EXPECT_EQ(inv.Item(fwd.Item(i)), i);
  EXPECT_EQ(fwd.Item(-1), -1);
  EXPECT_EQ(fwd.Item(n), -1);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScrambleIntsTest,
                         ::testing::Values(std::pair{1, 1}, std::pair{2, 2}, std::pair{3, 3}, std::pair{77, 100},
                                           std::pair{0, 5000}));

TEST(ScrambleInts, PermutationOverAnOffsetRange) {
  TScrambleInts fwd(5);
  fwd.BuildForward(10, 14);
  std::vector<int32_t> v;
  for (int i = 0; i < fwd.Count(); ++i) v.push_back(fwd.Item(i));
  std::sort(v.begin(), v.end());
  EXPECT_EQ(v, (std::vector<int32_t>{10, 11, 12, 13, 14}));
  EXPECT_EQ(fwd.Item(4), 14);
}

}  // namespace
}  // namespace orva
