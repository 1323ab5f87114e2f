#pragma once
// The sleep guard of the system the program runs on: logind on Linux, the thread's execution state on
// Windows, a power assertion on macOS. Each asks without blocking the caller for long, so the window
// thread may call it at the start of an upload.
#include <memory>

#include "SleepGuard.h"

namespace kaldo::power {

std::unique_ptr<SleepGuard> systemSleepGuard();

}  // namespace kaldo::power
