#pragma once
// Keeps a Linux computer awake through logind: an Inhibit call on the system bus (the one
// DBUS_SYSTEM_BUS_ADDRESS names, else the standard one) that blocks sleep, idling, the lid switch and
// the suspend key. logind holds the inhibitor for as long as the file descriptor it returns stays
// open: release() closes it, and if the process dies first the kernel closes it, so a crashed or
// killed updater never leaves the computer unable to sleep.
//
// hold() runs on the window thread, so it waits for the bus at most `answerWithin`: where logind
// runs it answers in milliseconds, and where there is no bus the connection fails at once. Only a
// bus or a logind that hangs makes it wait out the bound, and then the upload goes on unguarded with
// a line in the log. Taking the call off the window thread would leave nothing to write in that line
// when the upload starts, and a late answer to close after the upload has ended.
#include <chrono>
#include <string>

#include "SleepGuard.h"

namespace kaldo::power {

class LogindSleepGuard : public SleepGuard {
public:
    static constexpr std::chrono::milliseconds kAnswerWithin{500};

    explicit LogindSleepGuard(std::chrono::milliseconds answerWithin = kAnswerWithin);
    ~LogindSleepGuard() override;
    LogindSleepGuard(const LogindSleepGuard&) = delete;
    LogindSleepGuard& operator=(const LogindSleepGuard&) = delete;

    std::string hold() override;
    void release() override;

private:
    std::chrono::milliseconds answerWithin_;
    int inhibitor_ = -1;  // logind's file descriptor while held
};

}  // namespace kaldo::power
