// kaldo-flash list, identify and send, run as a user runs them, against a peer on the tests' JACK
// server.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "JackPeer.h"

namespace kaldo::midi {
namespace {

using testing::JackPeer;

struct FlashRun {
    int status;
    std::string out;
};

// Runs kaldo-flash with args (already quoted for the shell); stdout is kept, stderr goes by.
FlashRun flash(const std::string& args) {
    const std::string command = std::string(KALDO_FLASH) + " " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    FlashRun run{-1, ""};
    if (!pipe) return run;
    std::array<char, 4096> chunk;
    while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe)) run.out.append(chunk.data(), n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(FlashCommands, ListNumbersDevicesAsTheUpdaterDoes) {
    JackPeer first("kaldo-peer-list-a");
    JackPeer second("kaldo-peer-list-b");
    const FlashRun run = flash("list --json");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "{\"outputs\":[{\"number\":0,\"name\":\"kaldo-peer-list-a:in\"},{\"number\":1,\"name\":\"kaldo-peer-list-b:in\"}],"
              "\"inputs\":[{\"number\":0,\"name\":\"kaldo-peer-list-a-out:out\"},{\"number\":1,\"name\":\"kaldo-peer-list-b-out:out\"}]}\n");
    const FlashRun human = flash("list");
    EXPECT_NE(human.out.find("  1  kaldo-peer-list-b:in"), std::string::npos) << human.out;
}

TEST(FlashCommands, IdentifyReadsTheRevision) {
    JackPeer amp("kaldo-peer-amp", 0x00020803u);
    JackPeer mute("kaldo-peer-mute");
    const FlashRun run = flash("identify --out PEER-AMP --in peer-amp --json");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "{\"version\":\"02.83\",\"packed\":133123}\n");
    EXPECT_EQ(amp.heard().size(), 1u);

    EXPECT_EQ(flash("identify --out 1 --in 1 --timeout 300").status, 1);  // the one that never answers
    EXPECT_EQ(flash("identify --out kaldo-peer --in 0").status, 2);       // two devices match
    EXPECT_EQ(flash("identify --out 7 --in 0").status, 2);                // no such device
}

TEST(FlashCommands, SendDeliversEveryMessageIntact) {
    JackPeer device("kaldo-peer-send");
    std::vector<std::uint8_t> big(1048576);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>((i ^ (i >> 9)) & 0x7F);
    big.front() = 0xF0;
    big.back() = 0xF7;
    const std::vector<std::uint8_t> small{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
    const auto path = std::filesystem::temp_directory_path() / ("kaldo-send-" + std::to_string(getpid()) + ".syx");
    {
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(small.data()), static_cast<std::streamsize>(small.size()));
        file.write(reinterpret_cast<const char*>(big.data()), static_cast<std::streamsize>(big.size()));
    }
    const FlashRun run = flash("send '" + path.string() + "' --out send");
    EXPECT_EQ(run.status, 0) << run.out;
    ASSERT_TRUE(device.waitForMessages(2));
    EXPECT_EQ(device.heard()[0], small);
    EXPECT_EQ(device.heard()[1], big);

    // A file with a stray byte is refused whole.
    {
        std::ofstream file(path, std::ios::binary | std::ios::app);
        file.put(0x42);
    }
    EXPECT_EQ(flash("send '" + path.string() + "' --out send").status, 1);
    std::filesystem::remove(path);
    EXPECT_EQ(device.heard().size(), 2u);
}

}  // namespace
}  // namespace kaldo::midi
