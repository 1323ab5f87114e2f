#include "VirtualClock.h"

namespace kaldo {

std::int64_t VirtualClock::nowMs() {
    std::lock_guard lock(mutex_);
    return now_;
}

void VirtualClock::post(std::function<void()> fn) { schedule(0, std::move(fn)); }

void VirtualClock::schedule(int delayMs, std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    events_.emplace(std::make_pair(now_ + delayMs, sequence_++), std::move(fn));
}

void VirtualClock::notify() {
    std::lock_guard lock(mutex_);
    notified_ = true;
}

bool VirtualClock::runNextDue(std::int64_t limit) {
    std::function<void()> fn;
    {
        std::lock_guard lock(mutex_);
        auto first = events_.begin();
        if (first == events_.end() || first->first.first > limit) return false;
        if (first->first.first > now_) now_ = first->first.first;
        fn = std::move(first->second);
        events_.erase(first);
    }
    fn();
    return true;
}

void VirtualClock::pump() {
    const std::int64_t now = nowMs();
    while (runNextDue(now)) {
    }
}

void VirtualClock::advance(std::int64_t target, bool stopOnNotify) {
    if (stopOnNotify) {
        std::lock_guard lock(mutex_);
        if (notified_) {
            notified_ = false;
            return;
        }
    }
    while (runNextDue(target)) {
        if (stopOnNotify) {
            std::lock_guard lock(mutex_);
            if (notified_) {
                notified_ = false;
                return;
            }
        }
    }
    std::lock_guard lock(mutex_);
    if (now_ < target) now_ = target;
}

void VirtualClock::pause(int ms) { advance(nowMs() + ms, false); }

void VirtualClock::waitForNotify(int ms) { advance(nowMs() + ms, true); }

}  // namespace kaldo
