#include "SteadyClock.h"

#include <chrono>

namespace kaldo {

std::int64_t SteadyClock::nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(fn));
    }
    wake_.notify_all();
}

void SteadyClock::notify() {
    {
        std::lock_guard lock(mutex_);
        notified_ = true;
    }
    wake_.notify_all();
}

void SteadyClock::pump() {
    std::unique_lock lock(mutex_);
    while (!posted_.empty()) {
        auto fn = std::move(posted_.front());
        posted_.pop_front();
        lock.unlock();
        fn();
        lock.lock();
    }
}

void SteadyClock::sleepUntil(std::int64_t deadline, bool stopOnNotify) {
    using namespace std::chrono;
    const auto until = steady_clock::time_point(milliseconds(deadline));
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!posted_.empty()) {
            auto fn = std::move(posted_.front());
            posted_.pop_front();
            lock.unlock();
            fn();
            lock.lock();
        }
        if (stopOnNotify && notified_) {
            notified_ = false;
            return;
        }
        if (steady_clock::now() >= until) return;
        wake_.wait_until(lock, until, [&] { return !posted_.empty() || (stopOnNotify && notified_); });
    }
}

void SteadyClock::pause(int ms) { sleepUntil(nowMs() + ms, false); }

void SteadyClock::waitForNotify(int ms) { sleepUntil(nowMs() + ms, true); }

}  // namespace kaldo
