#pragma once
// Virtual time for tests: pauses and waits return at once, having run in time order every event
// scheduled up to their end. A whole upload with its time-outs runs in milliseconds, the same way
// every time.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

#include "Clock.h"

namespace kaldo {

class VirtualClock : public Clock {
public:
    std::int64_t nowMs() override;
    void pump() override;
    void pause(int ms) override;
    void waitForNotify(int ms) override;
    void notify() override;
    void post(std::function<void()> fn) override;

    // Runs fn on the window thread once delayMs of virtual time have passed.
    void schedule(int delayMs, std::function<void()> fn);

private:
    // Advances to target, running due events; stops early after a notify when stopOnNotify.
    void advance(std::int64_t target, bool stopOnNotify);
    bool runNextDue(std::int64_t limit);

    std::mutex mutex_;
    std::int64_t now_ = 0;
    std::uint64_t sequence_ = 0;
    bool notified_ = false;
    std::map<std::pair<std::int64_t, std::uint64_t>, std::function<void()>> events_;
};

}  // namespace kaldo
