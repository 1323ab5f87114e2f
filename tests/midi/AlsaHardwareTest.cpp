// On a machine with the ALSA sequencer (label alsa-hw; skipped without /dev/snd/seq): kaldo-flash
// uploads to kaldo-amp-sim through the sequencer, and, when KALDO_HW_OUT and KALDO_HW_IN name the
// two ends of a MIDI cable looped from an output back to an input, the carried 52,576-byte image goes
// through real hardware and comes back whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "DeviceLookup.h"
#include "IntermediateImage.h"
#include "RtMidiBackend.h"
#include "SystemMidi.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

extern char** environ;

namespace kaldo::midi {
namespace {

bool sequencerPresent() {
    return access("/dev/snd/seq", R_OK | W_OK) == 0;
}

// A folder of the test's own, removed afterwards.
struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kaldo-alsa-hw-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
};

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Starts a program; its output goes to a file. Waits for it, or stops it, when it goes.
class Process {
public:
    Process(std::vector<std::string> arguments, const std::filesystem::path& output) {
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Process() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    // The exit status, or -1.
    int wait() {
        int status = 0;
        if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
};

std::string readText(const std::filesystem::path& path) {
    const auto bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

// The simulator writes what it received once it has seen the upload end: wait (at most 10 s) for it.
bool receivedImageIs(const std::filesystem::path& path, const std::vector<std::uint8_t>& expected) {
    for (int i = 0; i < 200; ++i) {
        if (readFile(path) == expected) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool portsAppear(MidiBackend& backend, const std::string& name) {
    const auto named = [&](const std::string& port) { return port.find(name) != std::string::npos; };
    for (int i = 0; i < 400; ++i) {
        const auto outs = backend.outputNames();
        const auto ins = backend.inputNames();
        if (std::any_of(outs.begin(), outs.end(), named) && std::any_of(ins.begin(), ins.end(), named))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(AlsaSequencer, TheSimulatedAmpTakesTheCarriedImageAndAPacketUploadWhole) {
    if (!sequencerPresent()) GTEST_SKIP() << "no ALSA sequencer (/dev/snd/seq)";
    TempFolder folder;
    const std::string name = "KALDO HW Sim " + std::to_string(getpid());
    Process sim({KALDO_AMP_SIM, "--name", name, "--revision", "02.80", "--write-image",
                 (folder.path / "received.syx").string(), "--reply-delay", "5", "--verify-delay", "300",
                 "--programming-delay", "100"},
                folder.path / "sim.log");
    RtMidiBackend alsa(RtMidi::LINUX_ALSA, "kaldo-alsa-hw-test");
    ASSERT_TRUE(portsAppear(alsa, name));

    {
        Process upload({KALDO_FLASH, "upload", "--internal", "--out", name + " In", "--json"},
                       folder.path / "single.json");
        EXPECT_EQ(upload.wait(), 0) << readText(folder.path / "single.json");
        const auto image = intermediateImage();
        EXPECT_TRUE(receivedImageIs(folder.path / "received.syx", {image.begin(), image.end()}))
            << readText(folder.path / "sim.log");
    }
    {
        const auto file = folder.path / "fw.syx";
        Process make({KALDO_MAKE_FIRMWARE, "-o", file.string(), "--version", "02.83", "--packets", "20",
                      "--data-length", "2048"},
                     folder.path / "make.log");
        ASSERT_EQ(make.wait(), 0);
        Process upload(
            {KALDO_FLASH, "upload", file.string(), "--out", name + " In", "--in", name + " Out", "--json"},
            folder.path / "packets.json");
        EXPECT_EQ(upload.wait(), 0) << readText(folder.path / "packets.json");
        EXPECT_TRUE(receivedImageIs(folder.path / "received.syx", readFile(file)))
            << readText(folder.path / "sim.log");
    }
}

TEST(AlsaHardware, ALoopedCableCarriesTheCarriedImageWhole) {
    const char* out = std::getenv("KALDO_HW_OUT");
    const char* in = std::getenv("KALDO_HW_IN");
    if (!sequencerPresent() || !out || !in)
        GTEST_SKIP() << "set KALDO_HW_OUT and KALDO_HW_IN to a looped cable's ports";
    auto backend = systemMidi("kaldo-alsa-hw-test");
    TMidiOut output(backend);
    TMidiIn input(backend);
    std::vector<std::string> outs;
    std::vector<std::string> ins;
    for (int i = 0; i < output.NumDevs(); ++i) outs.push_back(output.deviceName(i));
    for (int i = 0; i < input.NumDevs(); ++i) ins.push_back(input.deviceName(i));
    const auto outDevice = lookUpDevice(outs, out);
    const auto inDevice = lookUpDevice(ins, in);
    ASSERT_TRUE(outDevice.device) << outDevice.problem;
    ASSERT_TRUE(inDevice.device) << inDevice.problem;

    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::uint8_t> received;
    input.OnSysEx = [&](TMidiIn&, const std::uint8_t* bytes, int size) {
        std::lock_guard lock(mutex);
        received.insert(received.end(), bytes, bytes + size);
        arrived.notify_all();
    };
    input.SetPort(*inDevice.device);
    input.SetUsing(true);
    output.SetPort(*outDevice.device);
    output.SetUsing(true);
    ASSERT_EQ(input.openResult(), 0u);
    ASSERT_EQ(output.openResult(), 0u);

    const auto image = intermediateImage();
    ASSERT_TRUE(output.SysEx(image.data(), image.size()));
    std::unique_lock lock(mutex);
    arrived.wait_for(lock, std::chrono::seconds(30), [&] { return received.size() >= image.size(); });
    EXPECT_TRUE(received == std::vector<std::uint8_t>(image.begin(), image.end()))
        << received.size() << " of " << image.size() << " bytes came back";
}

}  // namespace
}  // namespace kaldo::midi
