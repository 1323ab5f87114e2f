#include "SystemSleepGuard.h"

#if defined(_WIN32)
#include "WindowsSleepGuard.h"
#elif defined(__APPLE__)
#include "MacSleepGuard.h"
#else
#include "LogindSleepGuard.h"
#endif

namespace kaldo::power {

std::unique_ptr<SleepGuard> systemSleepGuard() {
#if defined(_WIN32)
    return std::make_unique<WindowsSleepGuard>();
#elif defined(__APPLE__)
    return std::make_unique<MacSleepGuard>();
#else
    return std::make_unique<LogindSleepGuard>();
#endif
}

}  // namespace kaldo::power
