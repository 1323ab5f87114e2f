#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "AmpSimulator.h"
#include "Messages.h"
#include "TempDir.h"
#include "TestImages.h"
#include "Utf8.h"

using namespace kaldo;
using namespace kaldo::sim;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr PackedVersion kOld = 0x00020803;
constexpr PackedVersion kNew = 0x00020804;

// The ports' side: records what the loop sends and whether it closed them.
class FakePorts {
public:
    bool send(std::span<const std::uint8_t> m) {
        {
            std::lock_guard lock(mutex_);
            sent_.emplace_back(m.begin(), m.end());
            events_.push_back("sent");
        }
        changed_.notify_all();
        return true;
    }
    void close() {
        {
            std::lock_guard lock(mutex_);
            ++closed_;
            events_.push_back("close");
        }
        changed_.notify_all();
    }
    bool reopen() {
        {
            std::lock_guard lock(mutex_);
            events_.push_back("reopen");
        }
        changed_.notify_all();
        return true;
    }
    // What happened to the ports, in order: "sent", "close", "reopen".
    std::vector<std::string> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // Bounded: a restart that never plays must fail the test, not hang it.
    bool waitForEvents(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return events_.size() >= count; });
    }
    std::vector<Bytes> waitForSent(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return sent_.size() >= count; });
        return sent_;
    }
    void waitForClose() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ > 0; });
    }
    std::vector<Bytes> sent() {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    int closed() {
        std::lock_guard lock(mutex_);
        return closed_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Bytes> sent_;
    std::vector<std::string> events_;
    int closed_ = 0;
};

// The simulator's loop on a thread of its own, as in the program.
class Running {
public:
    Running(FaultPlan plan, std::string imagePath = "")
        : simulator(AmpModel(kOld, std::move(plan)), log, true, std::move(imagePath)), loop([this] {
              simulator.run({[this](std::span<const std::uint8_t> m) { return ports.send(m); },
                             [this] { ports.close(); }, [this] { return ports.reopen(); }});
          }) {}
    ~Running() { stop(); }
    void stop() {
        simulator.stop();
        if (loop.joinable()) loop.join();
    }
    void receive(const Bytes& m) { simulator.receive(m); }

    std::ostringstream log;
    FakePorts ports;
    AmpSimulator simulator;
    std::thread loop;
};

FaultPlan immediate() {
    FaultPlan plan;
    plan.replyDelayMs = 0;
    plan.readyDelayMs = 0;
    plan.verifyDelayMs = 0;
    plan.programmingDelayMs = 0;
    return plan;
}

int codeOf(const Bytes& m) {
    return replyCodeOf(m).value_or(-1);
}

}  // namespace

TEST(AmpSimulator, ReassemblesPiecesAndAnswers) {
    Running sim(immediate());
    sim.receive({0xF0, 0x7E, 0x7F});
    sim.receive({0x06, 0x01, 0xF7});
    sim.receive({0xC0, 0x02});
    const auto sent = sim.ports.waitForSent(1);
    EXPECT_EQ(identityReplyOf(sent[0])->version, kOld);
    sim.stop();
    EXPECT_NE(sim.log.str().find("<- program change 2 on channel 1"), std::string::npos);
    EXPECT_NE(sim.log.str().find("-> identity reply 02.83"), std::string::npos);
}

TEST(AmpSimulator, WholeUploadIsAnsweredInOrderAndItsImageWritten) {
    const kaldo::test::TempDir dir;
    const std::string path = utf8FromPath(dir.path() / "image.syx");
    Running sim(immediate(), path);
    Bytes image = sim::test::header(3, 50, kNew);
    sim.receive(image);
    for (int k = 0; k < 3; ++k) {
        const auto p = sim::test::packet(50, k);
        sim.receive(Bytes(p.begin(), p.begin() + 20));  // in two pieces, as a backend may hand it over
        sim.receive(Bytes(p.begin() + 20, p.end()));
        image.insert(image.end(), p.begin(), p.end());
    }
    const auto sent = sim.ports.waitForSent(6);
    std::vector<int> codes;
    for (const auto& m : sent) codes.push_back(codeOf(m));
    EXPECT_EQ(codes, (std::vector<int>{kReplyReady, kReplyPacketAccepted, kReplyPacketAccepted,
                                       kReplyPacketAccepted, kReplyVerified, kReplyProgrammed}));
    sim.stop();
    std::ifstream file(dir.path() / "image.syx", std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(file), {}), image);
}

TEST(AmpSimulator, ReplyDueSoonerOvertakesOneDueLater) {
    FaultPlan plan = immediate();
    plan.programmingDelayMs = 3600 * 1000;  // 71 would come in an hour
    Running sim(plan);
    sim.receive(sim::test::header(1, 10, kNew));
    sim.receive(sim::test::packet(10, 0));
    sim.ports.waitForSent(3);  // 7B, 7C, 7D
    sim.receive(Bytes(kIdentityRequest.begin(), kIdentityRequest.end()));
    const auto sent = sim.ports.waitForSent(4);
    EXPECT_TRUE(isIdentityReply(sent[3]));
    sim.stop();  // returns at once although 71 is still pending
    EXPECT_EQ(sim.ports.sent().size(), 4u);
}

TEST(AmpSimulator, VanishingClosesThePortsOnceAndDropsPendingReplies) {
    FaultPlan plan = immediate();
    plan.readyDelayMs = 3600 * 1000;  // 7B still pending when the amp vanishes
    plan.vanishAtPacket = 0;
    Running sim(plan);
    sim.receive(sim::test::header(2, 10, kNew));
    sim.receive(sim::test::packet(10, 0));
    sim.ports.waitForClose();
    sim.receive(Bytes(kIdentityRequest.begin(), kIdentityRequest.end()));
    sim.stop();
    EXPECT_EQ(sim.ports.closed(), 1);
    EXPECT_TRUE(sim.ports.sent().empty());
    EXPECT_NE(sim.log.str().find("kaldo-amp-sim vanished: ports closed"), std::string::npos);
}

// The amp restarts after 71: its last word leaves, it goes, and comes back after its time off with the
// new revision; its MIDI hears nothing until it is ready. One that never comes back stays gone.
TEST(AmpSimulator, RestartAfterProgrammingGoesAndComesBack) {
    for (const bool neverBack : {false, true}) {
        FaultPlan plan = immediate();
        plan.restartOffMs = 50;
        plan.restartNeverBack = neverBack;
        plan.midiReadyDelayMs = 300;
        Running sim(plan);
        sim.receive(sim::test::header(1, 10, kNew));
        sim.receive(sim::test::packet(10, 0));
        ASSERT_TRUE(sim.ports.waitForEvents(neverBack ? 5 : 6));  // 7B, 7C, 7D, 71, close (, reopen)
        const auto events = sim.ports.events();
        EXPECT_EQ(codeOf(sim.ports.sent()[3]), kReplyProgrammed);
        const std::vector<std::string> expected =
            neverBack ? std::vector<std::string>{"sent", "close"} : std::vector<std::string>{"sent", "close", "reopen"};
        EXPECT_EQ(std::vector<std::string>(events.begin() + 3, events.end()), expected);
        if (neverBack) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            EXPECT_EQ(sim.ports.events().size(), 5u) << "it came back";
            continue;
        }
        sim.receive(Bytes(kIdentityRequest.begin(), kIdentityRequest.end()));  // MIDI not ready yet
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        sim.receive(Bytes(kIdentityRequest.begin(), kIdentityRequest.end()));
        const auto sent = sim.ports.waitForSent(5);
        sim.stop();
        EXPECT_EQ(identityReplyOf(sent[4])->version, kNew);
        EXPECT_EQ(sim.ports.sent().size(), 5u) << "the request before MIDI was ready was answered";
    }
}
