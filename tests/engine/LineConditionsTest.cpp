// A MIDI line the amp shares with other gear, and an amp that answers in bursts or twice: only the
// amp's own replies count, each once, in the order they came, and never one from before the message
// it would answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "UploadRig.h"

namespace kaldo {
namespace {

using test::UploadRig;

// A handshake upload of `packets` packets to an amp at 01.60 that answers as the plan says.
struct LineRig : UploadRig {
    LineRig(sim::FaultPlan plan, int packets, PackedVersion ampRevision = test::kRev0160)
        : UploadRig(ampRevision, std::move(plan)) {
        identify();
        loadPackets(test::kRev0200, packets);
    }

    // When the amp's reply with this code reached the updater, the n-th time.
    std::int64_t deliveredAt(int code, int n = 0) const {
        for (const auto& d : amp.deliveries()) {
            if (replyCodeOf(d.bytes) == code && n-- == 0) return d.atMs;
        }
        ADD_FAILURE() << "no reply " << code;
        return -1;
    }

    // The MIDI system drops these replies of the amp on their way: the n-th (from 0) with that code.
    struct Lost {
        int code;
        int n;
    };
    void lose(std::vector<Lost> lost) {
        amp.setReplySink([this, lost, seen = std::make_shared<std::map<int, int>>()](std::span<const std::uint8_t> m) {
            const auto code = replyCodeOf(m);
            if (code && !identityReplyOf(m)) {
                const int n = (*seen)[*code]++;
                for (const Lost& l : lost)
                    if (l.code == *code && l.n == n) return;
            }
            updater.MidiIn1SysEx(m.data(), m.size());
        });
    }

    // The packets the amp received, header and Identity Request left out.
    std::size_t packetsReceived() const {
        const auto all = amp.received();
        return static_cast<std::size_t>(std::count_if(
            all.begin(), all.end(), [](const auto& m) { return m.size() > kHeaderMessageLength; }));
    }
};

void expectCompletedClean(const LineRig& rig, const UploadResult& result) {
    EXPECT_EQ(result.outcome, UploadOutcome::Completed);
    EXPECT_EQ(result.way, UploadWay::Handshake);
    EXPECT_EQ(result.errorCount, 0);
    EXPECT_EQ(rig.amp.receivedImage(), rig.image);
    EXPECT_TRUE(rig.ui.boxes().empty());
}

TEST(OtherGearOnTheLine, AnotherMakersSysExNeverStandsForTheAmpsReply) {
    for (const auto kind : {sim::ForeignSysEx::Plain, sim::ForeignSysEx::StatusLike}) {
        SCOPED_TRACE(kind == sim::ForeignSysEx::Plain ? "plain" : "status-like");
        sim::FaultPlan plan;
        plan.foreignSysEx = kind;
        plan.replyDelayMs = 1500;  // a slow amp: every packet must wait for its own answer
        LineRig rig(plan, 6);
        const UploadResult result = rig.updater.Button2Click();
        expectCompletedClean(rig, result);
        const auto& sent = rig.link.sendTimes;
        ASSERT_EQ(sent.size(), 7u);
        for (std::size_t k = 2; k < sent.size(); ++k)
            EXPECT_GE(sent[k] - sent[k - 1], 1500) << "packet " << k - 1;
        // "Completed" comes after the amp said it had programmed the code, never before.
        EXPECT_GE(rig.ui.find("dialog Looks good!").at(0).atMs, rig.deliveredAt(kReplyProgrammed));
        // The other gear's messages are in the log, each as one line of what it was.
        rig.clock.pump();
        const auto& lines = rig.updater.memo.lines();
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.rfind("not the amp, ignored: F0 7D 01 02 03 04 ", 0) == 0 &&
                   l.find("(11 bytes)") != std::string::npos;
        }));
    }
}

TEST(OtherGearOnTheLine, AnotherMakersIdentityReplyIsNotTheAmpsRevision) {
    sim::FaultPlan plan;
    plan.foreignIdentity = true;
    // The amp runs 01.60; the other device claims 09.99 and answers 200 ms sooner.
    LineRig rig(plan, 4);
    EXPECT_EQ(rig.updater.replies.ampVersion(), test::kRev0160);
    EXPECT_EQ(rig.ui.find("version ").size(), 1u);
    const UploadResult result = rig.updater.Button2Click();
    // A newer file goes without a question about older code.
    EXPECT_FALSE(rig.ui.saw("box |You are trying to load code that is older"));
    expectCompletedClean(rig, result);
}

TEST(RepliesInOrder, EveryPacketErrorCountsEvenWhenTheVerdictFollowsAtOnce) {
    // The amp checks and programs the image within the 600 ms after the last packet: 74, 7D and 71
    // are all waiting before the updater looks.
    sim::FaultPlan every;
    every.allPacketsError = true;
    every.verifyDelayMs = 0;
    every.programmingDelayMs = 0;
    LineRig all(every, 3);
    const UploadResult result = all.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Completed);
    EXPECT_EQ(result.errorCount, 3);

    sim::FaultPlan lastOnly = every;
    lastOnly.allPacketsError = false;
    lastOnly.packetErrors = {2};
    LineRig last(lastOnly, 3);
    EXPECT_EQ(last.updater.Button2Click().errorCount, 1);
    EXPECT_EQ(last.ui.find("status2 2 Packet Error Count ").back().what, "status2 2 Packet Error Count 1");
}

TEST(RepliesInOrder, DuplicatedRepliesCountOnceAndEveryPacketGoesOnce) {
    sim::FaultPlan plan;
    plan.duplicateReplies = true;
    plan.packetErrors = {0, 5, 12};
    LineRig rig(plan, 20);
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Completed);
    EXPECT_EQ(result.errorCount, 3);
    EXPECT_EQ(rig.packetsReceived(), 20u);
    EXPECT_EQ(rig.amp.receivedImage(), rig.image);
}

TEST(RepliesInOrder, AReplyFromBeforeTheMessageItAnswersDoesNotCount) {
    sim::FaultPlan plan;
    plan.silentAt = sim::Stage::Header;
    LineRig rig(plan, 3);
    // A ready reply left on the line from some earlier exchange.
    const auto stray = makeStatusReply(kReplyReady);
    rig.updater.MidiIn1SysEx(stray.data(), stray.size());
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.failure, UploadFailure::TimedOut);
    EXPECT_EQ(rig.link.sendTimes.size(), 1u);  // the header only
}

TEST(RepliesInOrder, ASecondUploadCountsOnlyItsOwnPacketErrors) {
    sim::FaultPlan plan;
    plan.packetErrors = {2, 3};
    LineRig rig(plan, 5);
    EXPECT_EQ(rig.updater.Button2Click().errorCount, 2);
    // The same engine, the amp reconnected, a shorter file whose packets all pass.
    rig.amp.selectPorts();
    rig.identify();
    rig.loadPackets(test::kRev0283, 2);
    rig.ui.events.clear();
    const UploadResult second = rig.updater.Button2Click();
    EXPECT_EQ(second.outcome, UploadOutcome::Completed);
    EXPECT_EQ(second.errorCount, 0);
    EXPECT_EQ(rig.updater.errorCount(), 0);
    EXPECT_FALSE(rig.ui.saw("status2 2 Packet Error Count"));
}

// A loaded MIDI system drops a message now and then. A reply the amp sends only after the lost one
// shows what the lost one said: the upload goes on by it, and the log says what did not arrive.
TEST(RepliesInOrder, AReplyLostOnTheWayIsAnsweredByTheAmpsNextOne) {
    constexpr int kPackets = 4;
    struct Case {
        const char* name;
        bool verifyFails;
        std::vector<LineRig::Lost> lost;
        UploadFailure failure;  // None: completed
        std::vector<std::string> logged;
    };
    const std::string lastPacket = "The amp's answer to the last packet did not arrive; its next reply (";
    const std::string verify = "The amp's verify answer did not arrive; its next reply (71)";
    const Case cases[] = {
        {"last 7C lost, 7D follows", false, {{kReplyPacketAccepted, kPackets - 1}}, UploadFailure::None,
         {lastPacket + "7D)"}},
        {"last 7C lost, 7A follows", true, {{kReplyPacketAccepted, kPackets - 1}}, UploadFailure::VerifyFailed,
         {lastPacket + "7A)"}},
        {"7D lost, 71 follows", false, {{kReplyVerified, 0}}, UploadFailure::None, {verify}},
        {"last 7C and 7D lost", false, {{kReplyPacketAccepted, kPackets - 1}, {kReplyVerified, 0}},
         UploadFailure::None, {lastPacket + "71)", verify}},
        // Nothing the amp sends afterwards speaks for a packet before the last.
        {"a middle 7C lost", false, {{kReplyPacketAccepted, 1}}, UploadFailure::TimedOut, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::FaultPlan plan;
        plan.verifyFails = c.verifyFails;
        LineRig rig(plan, kPackets);
        rig.lose(c.lost);
        const UploadResult result = rig.updater.Button2Click();
        EXPECT_EQ(result.failure, c.failure);
        EXPECT_EQ(result.outcome, c.failure == UploadFailure::None ? UploadOutcome::Completed : UploadOutcome::Failed);
        EXPECT_EQ(rig.ui.saw("box Status|Error. Device not responding"), c.failure == UploadFailure::TimedOut);
        rig.clock.pump();
        const auto& lines = rig.updater.memo.lines();
        for (const std::string& line : c.logged) {
            EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(line, 0) == 0; }))
                << line;
        }
    }
}

// The window's lamps sweep between two looks for a reply: a whole revolution (0.8 s while the amp
// verifies, 2.2 s while it programs; longer on a loaded machine). A reply that came during the sweep
// in which the time limit passed came in time and counts.
TEST(RepliesInOrder, AReplyThatCameBeforeTheTimeLimitCountsWhateverTheLampsWereDoing) {
    struct Case {
        const char* name;
        int verifyDelayMs;
        int programmingDelayMs;
        const char* waitingFor;
        int replyCode;
    };
    // Each reply comes 19.6 s into its 20 s wait, during the sweep that ends after the limit.
    const Case cases[] = {
        {"verdict", 20200, 0, "status2 3 Status -> Waiting for code Verify.", kReplyVerified},
        {"programmed", 0, 20200, "status2 3 Status -> Waiting for code program complete.", kReplyProgrammed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::FaultPlan plan;
        plan.verifyDelayMs = c.verifyDelayMs;
        plan.programmingDelayMs = c.programmingDelayMs;
        LineRig rig(plan, 2);
        const UploadResult result = rig.updater.Button2Click();
        const auto waits = rig.ui.find(c.waitingFor);
        ASSERT_EQ(waits.size(), 1u);
        const std::int64_t arrived = rig.deliveredAt(c.replyCode) - waits[0].atMs;
        EXPECT_LT(arrived, 20000);
        EXPECT_EQ(result.outcome, UploadOutcome::Completed) << "arrived " << arrived << " ms into the wait";
    }
}

}  // namespace
}  // namespace kaldo
