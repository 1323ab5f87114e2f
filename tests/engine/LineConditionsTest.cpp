// A MIDI line the amp shares with other gear, and an amp that answers in bursts or twice: only the
// amp's own replies count, each once, in the order they came, and never one from before the message
// it would answer.
#include <gtest/gtest.h>

#include <algorithm>

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

}  // namespace
}  // namespace kaldo
