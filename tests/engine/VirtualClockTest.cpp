#include <gtest/gtest.h>

#include <vector>

#include "VirtualClock.h"

using kaldo::VirtualClock;

TEST(VirtualClock, PauseRunsEventsInTimeOrderAndEndsAtTarget) {
    VirtualClock clock;
    std::vector<int> seen;
    clock.schedule(30, [&] { seen.push_back(30); });
    clock.schedule(10, [&] {
        seen.push_back(10);
        clock.schedule(5, [&] { seen.push_back(15); });
    });
    clock.schedule(100, [&] { seen.push_back(100); });
    clock.pause(50);
    EXPECT_EQ(seen, (std::vector<int>{10, 15, 30}));
    EXPECT_EQ(clock.nowMs(), 50);
}

TEST(VirtualClock, WaitForNotifyStopsAtTheNotifyingEvent) {
    VirtualClock clock;
    clock.schedule(7, [&] { clock.notify(); });
    clock.waitForNotify(1000);
    EXPECT_EQ(clock.nowMs(), 7);
    clock.waitForNotify(20);  // nothing notifies: the full wait passes
    EXPECT_EQ(clock.nowMs(), 27);
}

TEST(VirtualClock, PumpRunsOnlyWhatIsDue) {
    VirtualClock clock;
    int runs = 0;
    clock.post([&] { ++runs; });
    clock.schedule(1, [&] { ++runs; });
    clock.pump();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(clock.nowMs(), 0);
}
