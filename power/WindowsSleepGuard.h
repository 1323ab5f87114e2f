#pragma once
// Keeps a Windows computer awake by the calling thread's execution state (SetThreadExecutionState,
// system required, continuous). The state belongs to the thread that set it: hold() and release()
// must run on the same thread (the window thread), and it ends by itself when that thread or the
// process ends. Windows lets the user's own choice win: closing the lid or choosing Sleep still
// sleeps; only sleep after idling is kept off.
#include <string>

#include "SleepGuard.h"

namespace kaldo::power {

class WindowsSleepGuard : public SleepGuard {
public:
    WindowsSleepGuard() = default;
    ~WindowsSleepGuard() override;
    WindowsSleepGuard(const WindowsSleepGuard&) = delete;
    WindowsSleepGuard& operator=(const WindowsSleepGuard&) = delete;

    std::string hold() override;
    void release() override;

private:
    bool held_ = false;
};

}  // namespace kaldo::power
