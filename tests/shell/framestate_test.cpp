#include "shell/framestate.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

struct TickCase {
  int64_t elapsed;
  bool ticks;
  int64_t gameTimeAdded;
  int32_t frameDelta;
};

void PrintTo(const TickCase& c, std::ostream* os) { *os << c.elapsed << " ms elapsed"; }

class FrameTimerTest : public ::testing::TestWithParam<TickCase> {};

TEST_P(FrameTimerTest, CountsElapsedTimeCapsTheDeltaAndDropsLongGaps) {
  const TickCase c = GetParam();
  TFrameState s;
  s.gameTime = 1000;
  s.frameDelta = 7;
  TFrameTimer timer;
  timer.Reset(5000);
  auto counted = timer.Advance(5000 + c.elapsed, s);
  EXPECT_EQ(counted.has_value(), c.ticks);
  EXPECT_EQ(s.gameTime, 1000 + c.gameTimeAdded);
  EXPECT_EQ(s.frameDelta, c.frameDelta);
}

INSTANTIATE_TEST_SUITE_P(Deltas, FrameTimerTest,
                         ::testing::Values(TickCase{15, true, 15, 15},     // a normal tick
                                           TickCase{160, true, 160, 160},  // at the cap
                                           TickCase{200, true, 200, 160},  // clock counts it all, countdowns 160
                                           TickCase{300, true, 300, 160},  // the longest counted gap
                                           TickCase{301, false, 0, 7},     // a stall: not counted at all
                                           TickCase{5000, false, 0, 7},
                                           TickCase{0, false, 0, 7}),  // no time passed: no tick
                         [](const auto& info) { return "after" + std::to_string(info.param.elapsed) + "ms"; });

TEST(FrameTimer, AStallRestartsCountingFromItsEnd) {
  TFrameState s;
  TFrameTimer timer(16);
  timer.Reset(0);
  ASSERT_TRUE(timer.Advance(16, s));
  EXPECT_FALSE(timer.Advance(16 + 900, s));  // dropped
  EXPECT_EQ(timer.NextDue(), 16 + 900 + 16);
  ASSERT_TRUE(timer.Advance(16 + 900 + 16, s));
  EXPECT_EQ(s.gameTime, 32);
}

}  // namespace
}  // namespace orva
