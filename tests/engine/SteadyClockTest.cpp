#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "SteadyClock.h"

using kaldo::SteadyClock;

// Work posted from another thread (a MIDI input callback) runs on the waiting thread, and a notify
// ends the wait long before its limit.
TEST(SteadyClock, PostedWorkRunsOnTheWaiterAndNotifyEndsTheWait) {
    SteadyClock clock;
    const auto waiter = std::this_thread::get_id();
    std::atomic<bool> ranOnWaiter{false};
    std::thread input([&] {
        clock.post([&] { ranOnWaiter = std::this_thread::get_id() == waiter; });
        clock.notify();
    });
    const auto start = clock.nowMs();
    clock.waitForNotify(60000);
    input.join();
    clock.pump();
    EXPECT_TRUE(ranOnWaiter);
    EXPECT_LT(clock.nowMs() - start, 30000);
}

TEST(SteadyClock, PauseIgnoresNotify) {
    SteadyClock clock;
    clock.notify();
    const auto start = clock.nowMs();
    clock.pause(20);
    EXPECT_GE(clock.nowMs() - start, 20);
}
