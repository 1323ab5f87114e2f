#include "PollingDeviceWatch.h"

namespace kaldo::midi {

PollingDeviceWatch::PollingDeviceWatch(Lister list, std::function<void()> changed,
                                       std::chrono::milliseconds period)
    : list_(std::move(list)), changed_(std::move(changed)), period_(period) {
    thread_ = std::thread([this, seen = list_()]() mutable { run(std::move(seen)); });
}

PollingDeviceWatch::~PollingDeviceWatch() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void PollingDeviceWatch::run(std::vector<std::string> seen) {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, period_, [this] { return stopping_; })) {
        lock.unlock();
        auto now = list_();
        if (now != seen) {
            seen = std::move(now);
            changed_();
        }
        lock.lock();
    }
}

}  // namespace kaldo::midi
