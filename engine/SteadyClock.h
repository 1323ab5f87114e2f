#pragma once
// Real time for programs without a window (kaldo-flash): the calling thread is the "window thread".
// Posted work runs during pump, pause and waits, so replies are handled while the engine waits.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "Clock.h"

namespace kaldo {

class SteadyClock : public Clock {
public:
    std::int64_t nowMs() override;
    void pump() override;
    void pause(int ms) override;
    void waitForNotify(int ms) override;
    void notify() override;
    void post(std::function<void()> fn) override;

private:
    // Sleeps until deadline, running posted work as it comes; with stopOnNotify returns after a notify.
    void sleepUntil(std::int64_t deadline, bool stopOnNotify);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> posted_;
    bool notified_ = false;
};

}  // namespace kaldo
