#include <gtest/gtest.h>

#include "ProgressClock.h"

namespace kaldo {
namespace {

TEST(ProgressClock, IntervalFollowsTheBlockLength) {
    EXPECT_EQ(ProgressClock::intervalFor(300000), 89);
    EXPECT_EQ(ProgressClock::intervalFor(52576), 15);
    EXPECT_EQ(ProgressClock::intervalFor(6735), 2);
    EXPECT_EQ(ProgressClock::intervalFor(6734), 1);
    EXPECT_EQ(ProgressClock::intervalFor(3368), 1);
    EXPECT_EQ(ProgressClock::intervalFor(3367), 1);  // through the minimum
    EXPECT_EQ(ProgressClock::intervalFor(0), 1);
}

TEST(ProgressClock, CountsTicksUpToAThousandAndThenStops) {
    ProgressClock clock;
    clock.start(300000, 1000);
    EXPECT_EQ(clock.tickCount(1000), 0);
    EXPECT_EQ(clock.tickCount(1000 + 88), 0);
    EXPECT_EQ(clock.tickCount(1000 + 89), 1);
    EXPECT_EQ(clock.tickCount(1000 + 89 * 1000), 1000);
    EXPECT_EQ(clock.tickCount(1000 + 89 * 5000), 1000);
    clock.stop(1000 + 89 * 10);
    EXPECT_EQ(clock.tickCount(1000 + 89 * 500), 10);
}

}  // namespace
}  // namespace kaldo
