#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "InProcessAmp.h"
#include "Messages.h"
#include "TestImages.h"

using namespace kaldo;
using namespace kaldo::sim;

namespace {

constexpr PackedVersion kOld = 0x00020803;
constexpr PackedVersion kNew = 0x00020804;
constexpr std::uint32_t kDataLength = 100;

// Stands in for the engine's reply handler: keeps the codes and wakes the waits.
struct Replies {
    explicit Replies(VirtualClock& clock, InProcessAmp& amp) : clock(clock) {
        amp.setReplySink([this](std::span<const std::uint8_t> m) {
            codes.push_back(isIdentityReply(m) ? kReplyIdentity : replyCodeOf(m).value_or(-1));
            ++count;
            this->clock.notify();
        });
    }
    VirtualClock& clock;
    std::vector<int> codes;
    std::atomic<int> count = 0;
};

bool send(InProcessAmp& amp, const std::vector<std::uint8_t>& m) {
    return amp.sysEx(m.data(), m.size());
}

}  // namespace

TEST(InProcessAmp, RepliesArriveThroughTheSinkAtTheirVirtualTimes) {
    VirtualClock clock;
    FaultPlan plan;
    plan.replyDelayMs = 20;
    plan.readyDelayMs = 300;
    plan.verifyDelayMs = 1000;
    plan.programmingDelayMs = 1500;
    InProcessAmp amp(clock, kOld, plan);
    Replies replies(clock, amp);

    ASSERT_TRUE(amp.sysEx(kIdentityRequest.data(), kIdentityRequest.size()));
    EXPECT_TRUE(replies.codes.empty()) << "nothing arrives before the clock runs";
    clock.waitForNotify(5000);
    EXPECT_EQ(clock.nowMs(), 20);
    EXPECT_EQ(replies.codes, (std::vector<int>{kReplyIdentity}));

    // Paced as the updater paces a handshake upload.
    ASSERT_TRUE(send(amp, test::header(2, kDataLength, kNew)));
    clock.pause(200);
    clock.waitForNotify(6000);
    EXPECT_EQ(clock.nowMs(), 320);
    ASSERT_TRUE(send(amp, test::packet(kDataLength, 0)));
    clock.pause(600);
    ASSERT_TRUE(send(amp, test::packet(kDataLength, 1)));
    clock.pause(5000);
    EXPECT_EQ(replies.codes, (std::vector<int>{kReplyIdentity, kReplyReady, kReplyPacketAccepted,
                                               kReplyPacketAccepted, kReplyVerified, kReplyProgrammed}));
    std::vector<std::int64_t> times;
    for (const auto& d : amp.deliveries()) times.push_back(d.atMs);
    EXPECT_EQ(times, (std::vector<std::int64_t>{20, 320, 340, 940, 1940, 3440}));
    EXPECT_EQ(amp.revision(), kNew);
}

TEST(InProcessAmp, VanishedAmpFailsSendsAndLosesWhatWasPending) {
    VirtualClock clock;
    FaultPlan plan;
    plan.vanishAtPacket = 1;
    plan.replyDelayMs = 50;
    InProcessAmp amp(clock, kOld, plan);
    Replies replies(clock, amp);
    amp.setPlatformOutputCount(3);

    ASSERT_TRUE(send(amp, test::header(3, kDataLength, kNew)));
    ASSERT_TRUE(send(amp, test::packet(kDataLength, 0)));  // its 7C is still on the way...
    EXPECT_TRUE(send(amp, test::packet(kDataLength, 1)));  // ...when the amp vanishes
    EXPECT_TRUE(amp.vanished());
    EXPECT_FALSE(amp.outPortReady());
    EXPECT_FALSE(amp.inPortReady());
    EXPECT_EQ(amp.platformOutputCount(), 0);
    EXPECT_FALSE(send(amp, test::packet(kDataLength, 2)));
    EXPECT_FALSE(amp.sysEx(kIdentityRequest.data(), kIdentityRequest.size()));
    clock.pause(1000);
    EXPECT_TRUE(replies.codes.empty());
    EXPECT_EQ(amp.received().size(), 3u);
}

TEST(InProcessAmp, ClosedPortsRefuseSendsAndDropRepliesUntilSelectedAgain) {
    VirtualClock clock;
    InProcessAmp amp(clock, kOld);
    Replies replies(clock, amp);

    ASSERT_TRUE(amp.sysEx(kIdentityRequest.data(), kIdentityRequest.size()));
    amp.deSelectCurrentMidi();  // before the reply arrives
    clock.pause(100);
    EXPECT_TRUE(replies.codes.empty());
    EXPECT_FALSE(amp.outPortReady());
    EXPECT_FALSE(amp.sysEx(kIdentityRequest.data(), kIdentityRequest.size()));
    amp.put2(kProgramChangeChannel1, 1);
    EXPECT_TRUE(amp.programChanges().empty());

    amp.selectPorts();
    amp.put2(kProgramChangeChannel1, 2);
    ASSERT_TRUE(amp.sysEx(kIdentityRequest.data(), kIdentityRequest.size()));
    clock.pause(100);
    EXPECT_EQ(replies.codes, (std::vector<int>{kReplyIdentity}));
    EXPECT_EQ(amp.programChanges(), (std::vector<std::array<std::uint8_t, 2>>{{0xC0, 2}}));

    amp.selectPorts(true, false);  // output only, as over a classic MIDI cable
    ASSERT_TRUE(amp.sysEx(kIdentityRequest.data(), kIdentityRequest.size()));
    clock.pause(100);
    EXPECT_EQ(replies.codes.size(), 1u);

    amp.populateMidiSelect();
    amp.reCheckForMidiDevices();
    amp.deSelectCurrentMidi();
    EXPECT_EQ(amp.deSelectCalls(), 2);
    EXPECT_EQ(amp.populateCalls(), 1);
    EXPECT_EQ(amp.reCheckCalls(), 1);
}

// The engine sends packets from a sender thread while the window thread waits on the clock.
TEST(InProcessAmp, PacketsFromASenderThreadWhileTheWindowThreadWaits) {
    VirtualClock clock;
    InProcessAmp amp(clock, kOld);
    Replies replies(clock, amp);
    const int packets = 20;

    ASSERT_TRUE(send(amp, test::header(packets, kDataLength, kNew)));
    while (replies.count < 1) clock.waitForNotify(100);
    for (int k = 0; k < packets; ++k) {
        std::thread sender([&amp, k] { send(amp, test::packet(kDataLength, k)); });
        while (replies.count < k + 2) clock.waitForNotify(100);
        sender.join();
    }
    clock.pause(5000);
    EXPECT_EQ(replies.codes.size(), static_cast<std::size_t>(packets + 3));
    EXPECT_EQ(replies.codes.back(), kReplyProgrammed);
    EXPECT_EQ(amp.receivedImage().size(), 37u + packets * (kDataLength + 37));
}
