#pragma once
// The progress clock of a single-block upload (Timer1): 1000 ticks spread over about the time the
// block needs on a MIDI line. Kept as a start time on the Clock; the tick count is what the timer
// would have counted by now.
#include <cstddef>
#include <cstdint>

namespace kaldo {

class ProgressClock {
public:
    static constexpr int kFullCount = 1000;

    // max(1, trunc(len x 0.00033 x 0.9)) ms, the product rounded to single precision first.
    static int intervalFor(std::size_t length);

    void start(std::size_t length, std::int64_t nowMs);
    // Disables the clock; the count stays where it was.
    void stop(std::int64_t nowMs);
    // Ticks since start, stopping at 1000 (the timer disables itself there).
    int tickCount(std::int64_t nowMs) const;
    int interval() const { return interval_; }

private:
    bool running_ = false;
    std::int64_t start_ = 0;
    int interval_ = 1;
    int stoppedAt_ = 0;
};

}  // namespace kaldo
