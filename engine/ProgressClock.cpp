#include "ProgressClock.h"

#include <algorithm>

namespace kaldo {

int ProgressClock::intervalFor(std::size_t length) {
    const float product = static_cast<float>(static_cast<double>(length) * 0.00033 * 0.9);
    return std::max(1, static_cast<int>(product));
}

void ProgressClock::start(std::size_t length, std::int64_t nowMs) {
    interval_ = intervalFor(length);
    start_ = nowMs;
    stoppedAt_ = 0;
    running_ = true;
}

void ProgressClock::stop(std::int64_t nowMs) {
    stoppedAt_ = tickCount(nowMs);
    running_ = false;
}

int ProgressClock::tickCount(std::int64_t nowMs) const {
    if (!running_) return stoppedAt_;
    return static_cast<int>(std::min<std::int64_t>(kFullCount, (nowMs - start_) / interval_));
}

}  // namespace kaldo
