// The Linux sleep guard against the stand-in logind: what it asks for, that every way of ending lets
// the computer sleep again, and that without an inhibitor (no bus, no logind, a refusal, a bus that
// never answers) it says why in one line instead of hanging.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "LogindMock.h"
#include "LogindSleepGuard.h"
#include "SystemSleepGuard.h"

extern char** environ;

namespace kaldo::power {
namespace {

using test::LogindMock;

// The stand-in answers in milliseconds; this much patience keeps a loaded machine from failing a test.
constexpr std::chrono::milliseconds kPatient{30000};

std::string randomName() {
    return std::to_string(std::random_device{}()) + std::to_string(std::random_device{}());
}

// DBUS_SYSTEM_BUS_ADDRESS for one scope.
class SystemBusAt {
public:
    explicit SystemBusAt(const std::string& address) {
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    }
    ~SystemBusAt() { unsetenv("DBUS_SYSTEM_BUS_ADDRESS"); }
};

// A process of ours that lives until the end of the scope.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    ~Child() { kill(); }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_;
};

// Makes the stand-in logind refuse as a real one does when its policy says no, with a reason that
// spans two lines.
void refuseInhibitors() {
    sd_bus* bus = nullptr;
    ASSERT_GE(sd_bus_open_system(&bus), 0);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int r = sd_bus_call_method(
        bus, "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.DBus.Mock", "AddMethod",
        &error, nullptr, "sssss", "org.freedesktop.login1.Manager", "Inhibit", "ssss", "h",
        "raise dbus.exceptions.DBusException('Access denied.\\nAsk the administrator.', "
        "name='org.freedesktop.DBus.Error.AccessDenied')");
    EXPECT_GE(r, 0) << (error.message ? error.message : "");
    sd_bus_error_free(&error);
    sd_bus_flush_close_unref(bus);
}

void expectOneLineWhy(const std::string& line, const std::string& saying) {
    EXPECT_EQ(line.rfind("Cannot keep the computer awake: ", 0), 0u) << line;
    EXPECT_NE(line.find(saying), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
}

TEST(LogindSleepGuard, HoldsOneBlockingInhibitorUntilReleased) {
    LogindMock logind;
    {
        LogindSleepGuard guard(kPatient);
        ASSERT_EQ(guard.hold(), "");
        auto held = logind.inhibitors();
        ASSERT_EQ(held.size(), 1u);
        EXPECT_EQ(held[0].what, "sleep:idle:handle-lid-switch:handle-suspend-key");
        EXPECT_EQ(held[0].who, "KALDO Updater");
        EXPECT_EQ(held[0].why, "Updating the amp's firmware");
        EXPECT_EQ(held[0].mode, "block");

        EXPECT_EQ(guard.hold(), "") << "holding again while held";
        EXPECT_EQ(logind.inhibitors().size(), 1u) << "holding again while held asks for no second inhibitor";

        // A program started during the upload inherits no copy that would keep the computer awake.
        char sleepProgram[] = "sleep", forever[] = "infinity";
        char* argv[] = {sleepProgram, forever, nullptr};
        pid_t pid = -1;
        ASSERT_EQ(posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, environ), 0);
        Child started(pid);

        guard.release();
        EXPECT_TRUE(logind.inhibitors().empty());
        guard.release();

        ASSERT_EQ(guard.hold(), "") << "the next upload holds again";
        EXPECT_EQ(logind.inhibitors().size(), 1u);
    }
    EXPECT_TRUE(logind.inhibitors().empty()) << "a guard that goes lets the computer sleep";
}

TEST(LogindSleepGuard, KilledHolderLeavesNoInhibitor) {
    LogindMock logind;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        LogindSleepGuard guard(kPatient);
        const char held = guard.hold().empty() ? 'y' : 'n';
        (void)!write(ready[1], &held, 1);
        for (;;) pause();
    }
    Child holder(pid);
    close(ready[1]);
    char held = 0;
    ASSERT_EQ(read(ready[0], &held, 1), 1);
    close(ready[0]);
    ASSERT_EQ(held, 'y');
    ASSERT_EQ(logind.inhibitors().size(), 1u);

    holder.kill();
    EXPECT_TRUE(logind.inhibitors().empty());
}

TEST(LogindSleepGuard, WithoutAnInhibitorSaysWhyInOneLine) {
    {
        // A container: no bus socket at all.
        const auto missing =
            std::filesystem::temp_directory_path() / ("kaldo-no-bus-" + randomName()) / "socket";
        SystemBusAt bus("unix:path=" + missing.string());
        LogindSleepGuard guard(kPatient);
        expectOneLineWhy(guard.hold(), "no system bus");
        guard.release();
    }
    {
        // Another init system: a bus, but nobody answers for logind.
        LogindMock busOnly(LogindMock::On::busOnly);
        LogindSleepGuard guard(kPatient);
        expectOneLineWhy(guard.hold(), "logind is not on the system bus");
        guard.release();
    }
    {
        LogindMock logind;
        refuseInhibitors();
        LogindSleepGuard guard(kPatient);
        expectOneLineWhy(guard.hold(), "Access denied. Ask the administrator.");
        EXPECT_TRUE(logind.inhibitors().empty());
    }
    {
        // A bus that takes the connection and never says a word: the guard the programs get gives up
        // after its own bound instead of freezing the window.
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(listener, 0);
        const std::string name = "kaldo-silent-bus-" + randomName();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, name.data(), name.size());  // abstract: no file anywhere
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
        ASSERT_EQ(listen(listener, 4), 0);
        SystemBusAt bus("unix:abstract=" + name);
        const auto guard = systemSleepGuard();
        expectOneLineWhy(guard->hold(), "no answer on the system bus");
        guard->release();
        close(listener);
    }
}

}  // namespace
}  // namespace kaldo::power
