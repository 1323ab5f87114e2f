// The identity exchange with kaldo-amp-sim running as a separate process on the tests' JACK server:
// through TMidiOut and TMidiIn, and through kaldo-flash identify.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

#include "Messages.h"
#include "RtMidiBackend.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

extern char** environ;

namespace kaldo::midi {
namespace {

constexpr const char* kSimName = "kaldo-sim-under-test";

class SimulatorProcess {
public:
    explicit SimulatorProcess(const std::string& revision) {
        const std::string name = kSimName;
        std::array<const char*, 6> argv{KALDO_AMP_SIM, "--name", name.c_str(), "--revision", revision.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, KALDO_AMP_SIM, &actions, nullptr, const_cast<char**>(argv.data()), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SimulatorProcess() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

// Waits (at most 20 s) until the simulator's ports are there.
bool portsAppear(MidiBackend& backend) {
    for (int i = 0; i < 400; ++i) {
        const auto outs = backend.outputNames();
        const auto ins = backend.inputNames();
        const auto named = [](const std::string& n) { return n.find(kSimName) != std::string::npos; };
        if (std::any_of(outs.begin(), outs.end(), named) && std::any_of(ins.begin(), ins.end(), named)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

template <class Port>
int simulatorDevice(const Port& port) {
    for (int i = 0; i < port.NumDevs(); ++i) {
        if (port.deviceName(i).find(kSimName) != std::string::npos) return i;
    }
    return -1;
}

TEST(AmpSimulator, AnswersTheIdentityRequestThroughThePortsAndKaldoFlash) {
    SimulatorProcess sim("01.59");
    ASSERT_TRUE(sim.started());
    auto backend = std::make_shared<RtMidiBackend>(RtMidi::UNIX_JACK, "kaldo-updater");
    ASSERT_TRUE(portsAppear(*backend));

    {
        TMidiOut out(backend);
        TMidiIn in(backend);
        std::mutex mutex;
        std::condition_variable arrived;
        std::optional<IdentityReply> reply;
        in.OnSysEx = [&](TMidiIn&, const std::uint8_t* bytes, int size) {
            std::lock_guard lock(mutex);
            reply = identityReplyOf(std::span(bytes, static_cast<std::size_t>(size)));
            arrived.notify_all();
        };
        out.SetPort(simulatorDevice(out));
        in.SetPort(simulatorDevice(in));
        out.SetUsing(true);
        in.SetUsing(true);
        ASSERT_EQ(out.openResult(), 0u);
        ASSERT_EQ(in.openResult(), 0u);
        ASSERT_TRUE(out.SysEx(kIdentityRequest.data(), kIdentityRequest.size()));
        std::unique_lock lock(mutex);
        ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(20), [&] { return reply.has_value(); }));
        EXPECT_EQ(reply->text, "01.59");
        EXPECT_EQ(reply->version, 0x00010509u);
    }

    const std::string command = std::string(KALDO_FLASH) + " identify --out " + kSimName + " --in " + kSimName + " --json";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::array<char, 256> text{};
    const std::size_t n = std::fread(text.data(), 1, text.size() - 1, pipe);
    const int status = pclose(pipe);
    EXPECT_EQ(std::string(text.data(), n), "{\"version\":\"01.59\",\"packed\":66825}\n");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace kaldo::midi
