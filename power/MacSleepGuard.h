#pragma once
// Keeps a Mac awake by a power assertion (IOPMAssertionCreateWithName) against sleep after idling.
// macOS drops a process's assertions when it ends, however it ends. The lid and the user's choice of
// Sleep still win.
#include <cstdint>
#include <string>

#include "SleepGuard.h"

namespace kaldo::power {

class MacSleepGuard : public SleepGuard {
public:
    MacSleepGuard() = default;
    ~MacSleepGuard() override;
    MacSleepGuard(const MacSleepGuard&) = delete;
    MacSleepGuard& operator=(const MacSleepGuard&) = delete;

    std::string hold() override;
    void release() override;

private:
    std::uint32_t assertion_ = 0;  // the IOPMAssertionID while held; 0 (kIOPMNullAssertionID) names none
};

}  // namespace kaldo::power
