#pragma once
// The window thread's sense of time. Every pause and wait of the engine goes through here, so that
// the desktop program keeps its event loop running, the command-line tool simply sleeps and the
// tests run whole uploads on virtual time in milliseconds.
#include <cstdint>
#include <functional>

namespace kaldo {

class Clock {
public:
    virtual ~Clock() = default;

    // Monotonic milliseconds.
    virtual std::int64_t nowMs() = 0;

    // Runs the pending window work once (queued posts, timers, input events).
    virtual void pump() = 0;

    // Lets ms milliseconds pass while the window stays live.
    virtual void pause(int ms) = 0;

    // Like pause, but returns as soon as notify() is called (a reply arrived). Waits for replies use
    // this so the next packet follows the amp's answer within a millisecond instead of a poll period.
    virtual void waitForNotify(int ms) = 0;

    // Thread-safe: wakes a waitForNotify in progress.
    virtual void notify() = 0;

    // Thread-safe: runs fn on the window thread at its next pump.
    virtual void post(std::function<void()> fn) = 0;
};

}  // namespace kaldo
