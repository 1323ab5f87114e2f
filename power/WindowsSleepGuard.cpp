#include "WindowsSleepGuard.h"

#include <windows.h>

namespace kaldo::power {

WindowsSleepGuard::~WindowsSleepGuard() {
    release();
}

std::string WindowsSleepGuard::hold() {
    if (held_) return {};
    // Continuous: the state stays until cleared, instead of only resetting the idle timer once.
    if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0)
        return "Cannot keep the computer awake: Windows refused the execution state (error " +
               std::to_string(GetLastError()) + ")";
    held_ = true;
    return {};
}

void WindowsSleepGuard::release() {
    if (!held_) return;
    SetThreadExecutionState(ES_CONTINUOUS);  // continuous with nothing required: idle sleep allowed again
    held_ = false;
}

}  // namespace kaldo::power
