#include "MacSleepGuard.h"

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/pwr_mgt/IOPMLib.h>

namespace kaldo::power {

static_assert(sizeof(IOPMAssertionID) == sizeof(std::uint32_t));

MacSleepGuard::~MacSleepGuard() {
    release();
}

std::string MacSleepGuard::hold() {
    if (assertion_ != kIOPMNullAssertionID) return {};
    IOPMAssertionID id = kIOPMNullAssertionID;
    // The name is what `pmset -g assertions` shows the user.
    const IOReturn result =
        IOPMAssertionCreateWithName(kIOPMAssertionTypePreventUserIdleSystemSleep, kIOPMAssertionLevelOn,
                                    CFSTR("KALDO Updater: Updating the amp's firmware"), &id);
    if (result != kIOReturnSuccess)
        return "Cannot keep the computer awake: macOS refused the power assertion (error " +
               std::to_string(result) + ")";
    assertion_ = id;
    return {};
}

void MacSleepGuard::release() {
    if (assertion_ == kIOPMNullAssertionID) return;
    IOPMAssertionRelease(assertion_);
    assertion_ = kIOPMNullAssertionID;
}

}  // namespace kaldo::power
