#include "LogindSleepGuard.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <system_error>

namespace kaldo::power {

namespace {

// Everything that would end or interrupt an upload: sleeping, idling into sleep, closing the lid,
// the suspend key. "block" rather than "delay": a delay only postpones sleep by seconds.
constexpr const char* kWhat = "sleep:idle:handle-lid-switch:handle-suspend-key";
constexpr const char* kWho = "KALDO Updater";
constexpr const char* kWhy = "Updating the amp's firmware";
constexpr const char* kMode = "block";

std::string cannot(std::string why) {
    // The bus's texts are free to span lines; a log line is not.
    std::replace(why.begin(), why.end(), '\n', ' ');
    return "Cannot keep the computer awake: " + why;
}

std::string systemError(int negativeErrno) {
    return std::error_code(-negativeErrno, std::generic_category()).message();
}

struct BusCloser {
    // No flush: flushing waits for a connection that may never come up.
    void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};

// logind's answer to Inhibit, filled in by onAnswer while hold() drives the connection.
struct Answer {
    bool arrived = false;
    int inhibitor = -1;
    std::string error;
};

std::string describe(const sd_bus_error& error) {
    if (sd_bus_error_has_names(&error, SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER))
        return "logind is not on the system bus";
    return error.message ? error.message : error.name;
}

int onAnswer(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    auto& answer = *static_cast<Answer*>(userdata);
    answer.arrived = true;
    if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
        answer.error = describe(*error);
        return 0;
    }
    int fd = -1;
    const int r = sd_bus_message_read(reply, "h", &fd);
    if (r < 0) {
        answer.error = "logind's answer carries no file descriptor (" + systemError(r) + ")";
        return 0;
    }
    // The reply closes its descriptor when it goes; keep a copy of our own. Closed on exec, so that no
    // program started from here keeps the computer awake after the upload.
    answer.inhibitor = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (answer.inhibitor < 0)
        answer.error = "cannot keep logind's file descriptor (" + systemError(-errno) + ")";
    return 0;
}

}  // namespace

LogindSleepGuard::LogindSleepGuard(std::chrono::milliseconds answerWithin) : answerWithin_(answerWithin) {}

LogindSleepGuard::~LogindSleepGuard() {
    release();
}

std::string LogindSleepGuard::hold() {
    if (inhibitor_ >= 0) return {};
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + answerWithin_;

    // Opening only starts connecting (the socket does not block); a missing socket fails here at once.
    sd_bus* opened = nullptr;
    int r = sd_bus_open_system(&opened);
    if (r < 0) return cannot("no system bus (" + systemError(r) + ")");
    const std::unique_ptr<sd_bus, BusCloser> bus(opened);

    // Asked asynchronously and answered below under our own deadline, which also covers connecting
    // and authenticating; a plain call would wait out the bus's own time-outs there.
    Answer answer;
    r = sd_bus_call_method_async(bus.get(), nullptr, "org.freedesktop.login1", "/org/freedesktop/login1",
                                 "org.freedesktop.login1.Manager", "Inhibit", &onAnswer, &answer, "ssss",
                                 kWhat, kWho, kWhy, kMode);
    if (r < 0) return cannot("cannot ask logind (" + systemError(r) + ")");
    while (!answer.arrived) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return cannot("no answer on the system bus within " + std::to_string(answerWithin_.count()) +
                          " ms");
        r = sd_bus_process(bus.get(), nullptr);
        if (r == 0) r = sd_bus_wait(bus.get(), static_cast<uint64_t>(left.count()));
        if (r < 0) return cannot("the system bus connection failed (" + systemError(r) + ")");
    }
    if (answer.inhibitor < 0) return cannot(answer.error);
    inhibitor_ = answer.inhibitor;
    return {};
}

void LogindSleepGuard::release() {
    if (inhibitor_ < 0) return;
    close(inhibitor_);
    inhibitor_ = -1;
}

}  // namespace kaldo::power
