#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "AmpModel.h"
#include "Messages.h"
#include "TestImages.h"

using namespace kaldo;
using namespace kaldo::sim;

namespace {

constexpr PackedVersion kOld = 0x00020803;  // 02.83
constexpr PackedVersion kNew = 0x00020804;  // 02.84
constexpr std::uint32_t kDataLength = 64;

std::vector<int> codes(const std::vector<TimedReply>& replies) {
    std::vector<int> out;
    for (const auto& r : replies) out.push_back(replyCodeOf(r.bytes).value_or(-1));
    return out;
}

std::vector<int> delays(const std::vector<TimedReply>& replies) {
    std::vector<int> out;
    for (const auto& r : replies) out.push_back(r.delayMs);
    return out;
}

std::optional<PackedVersion> identify(AmpModel& amp) {
    const auto replies = amp.receive(kIdentityRequest);
    if (replies.empty()) return std::nullopt;
    const auto id = identityReplyOf(replies.back().bytes);
    if (!id) return std::nullopt;
    return id->version;
}

// Header and packets 0..count-1; the replies to each message, in order.
std::vector<std::vector<TimedReply>> upload(AmpModel& amp, std::uint32_t count,
                                            PackedVersion version = kNew) {
    std::vector<std::vector<TimedReply>> replies;
    replies.push_back(amp.receive(test::header(count, kDataLength, version)));
    for (std::uint32_t k = 0; k < count; ++k) replies.push_back(amp.receive(test::packet(kDataLength, k)));
    return replies;
}

}  // namespace

TEST(AmpModel, AnswersTheIdentityRequestWithItsRevision) {
    AmpModel amp(kOld);
    const auto replies = amp.receive(kIdentityRequest);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].delayMs, 5);
    const auto id = identityReplyOf(replies[0].bytes);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->text, "02.83");
    EXPECT_EQ(std::vector<std::uint8_t>(replies[0].bytes.begin() + 5, replies[0].bytes.begin() + 8),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x5A}));
    // Addressed to one device instead of all: still an Identity Request.
    EXPECT_EQ(amp.receive(std::vector<std::uint8_t>{0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7}).size(), 1u);
}

TEST(AmpModel, HandshakeUploadRepliesAtEachStepAndTakesTheNewRevision) {
    FaultPlan plan;
    plan.replyDelayMs = 7;
    plan.readyDelayMs = 300;
    plan.verifyDelayMs = 900;
    plan.programmingDelayMs = 1500;
    AmpModel amp(kOld, plan);
    const auto replies = upload(amp, 3);
    EXPECT_EQ(codes(replies[0]), (std::vector<int>{kReplyReady}));
    EXPECT_EQ(delays(replies[0]), (std::vector<int>{300}));
    EXPECT_EQ(codes(replies[1]), (std::vector<int>{kReplyPacketAccepted}));
    EXPECT_EQ(delays(replies[1]), (std::vector<int>{7}));
    EXPECT_EQ(codes(replies[2]), (std::vector<int>{kReplyPacketAccepted}));
    EXPECT_EQ(codes(replies[3]), (std::vector<int>{kReplyPacketAccepted, kReplyVerified, kReplyProgrammed}));
    EXPECT_EQ(delays(replies[3]), (std::vector<int>{7, 907, 2407}));
    EXPECT_EQ(amp.revision(), kNew);
    EXPECT_EQ(identify(amp), kNew);
    EXPECT_EQ(amp.uploadsEnded(), 1);

    std::vector<std::uint8_t> image = test::header(3, kDataLength, kNew);
    for (int k = 0; k < 3; ++k) {
        const auto p = test::packet(kDataLength, k);
        image.insert(image.end(), p.begin(), p.end());
    }
    EXPECT_EQ(amp.receivedImage(), image);
    EXPECT_EQ(amp.received().size(), 5u);  // header, three packets, identity request
}

TEST(AmpModel, PacketErrorsOnChosenPacketsOnAllAndOnMalformedOnes) {
    FaultPlan chosen;
    chosen.packetErrors = {0, 2};
    AmpModel some(kOld, chosen);
    auto replies = upload(some, 4);
    EXPECT_EQ(codes(replies[1])[0], kReplyPacketError);
    EXPECT_EQ(codes(replies[2])[0], kReplyPacketAccepted);
    EXPECT_EQ(codes(replies[3])[0], kReplyPacketError);
    EXPECT_EQ(codes(replies[4])[0], kReplyPacketAccepted);
    EXPECT_EQ(codes(replies[4]).size(), 3u) << "errors do not stop the upload from ending";

    FaultPlan all;
    all.allPacketsError = true;
    AmpModel every(kOld, all);
    replies = upload(every, 3);
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(codes(replies[k])[0], kReplyPacketError);

    AmpModel strict(kOld);
    strict.receive(test::header(2, kDataLength, kNew));
    auto shortPacket = test::packet(kDataLength, 0);
    shortPacket.erase(shortPacket.begin() + 10);
    EXPECT_EQ(codes(strict.receive(shortPacket)), (std::vector<int>{kReplyPacketError}));
    auto unterminated = test::packet(kDataLength, 1);
    unterminated.back() = 0x00;
    EXPECT_EQ(codes(strict.receive(unterminated)).front(), kReplyPacketError);
}

TEST(AmpModel, VerifyFailureEndsWithout71AndKeepsTheOldRevision) {
    FaultPlan plan;
    plan.verifyFails = true;
    AmpModel amp(kOld, plan);
    const auto replies = upload(amp, 2);
    EXPECT_EQ(codes(replies[2]), (std::vector<int>{kReplyPacketAccepted, kReplyVerifyFailed}));
    EXPECT_EQ(identify(amp), kOld);
    EXPECT_EQ(amp.uploadsEnded(), 1);
}

TEST(AmpModel, SilenceFromEachStageOnLasts) {
    {
        FaultPlan plan;
        plan.silentAt = Stage::Identity;
        AmpModel amp(kOld, plan);
        EXPECT_EQ(identify(amp), std::nullopt);
        EXPECT_TRUE(upload(amp, 1)[0].empty());
    }
    {
        FaultPlan plan;
        plan.silentAt = Stage::Header;
        AmpModel amp(kOld, plan);
        EXPECT_EQ(identify(amp), kOld) << "answers before the upload starts";
        const auto replies = upload(amp, 2);
        for (const auto& r : replies) EXPECT_TRUE(r.empty());
        EXPECT_EQ(identify(amp), std::nullopt) << "a hung amp stays hung";
    }
    {
        FaultPlan plan;
        plan.silentAt = Stage::Packet;
        plan.silentPacket = 2;
        AmpModel amp(kOld, plan);
        const auto replies = upload(amp, 4);
        EXPECT_EQ(codes(replies[0]), (std::vector<int>{kReplyReady}));
        EXPECT_EQ(codes(replies[1]), (std::vector<int>{kReplyPacketAccepted}));
        EXPECT_EQ(codes(replies[2]), (std::vector<int>{kReplyPacketAccepted}));
        EXPECT_TRUE(replies[3].empty());
        EXPECT_TRUE(replies[4].empty());
    }
    {
        FaultPlan plan;
        plan.silentAt = Stage::Packet;  // no packet given: from the first
        AmpModel amp(kOld, plan);
        const auto replies = upload(amp, 2);
        EXPECT_EQ(codes(replies[0]), (std::vector<int>{kReplyReady}));
        EXPECT_TRUE(replies[1].empty());
    }
    {
        FaultPlan plan;
        plan.silentAt = Stage::Verify;
        AmpModel amp(kOld, plan);
        EXPECT_EQ(codes(upload(amp, 2)[2]), (std::vector<int>{kReplyPacketAccepted}));
        EXPECT_EQ(amp.revision(), kOld);
    }
    {
        FaultPlan plan;
        plan.silentAt = Stage::Program;
        AmpModel amp(kOld, plan);
        EXPECT_EQ(codes(upload(amp, 2)[2]), (std::vector<int>{kReplyPacketAccepted, kReplyVerified}));
        EXPECT_EQ(amp.revision(), kOld) << "programming never completed";
    }
}

TEST(AmpModel, OtherGearTalksAroundEveryReplyInItsOwnName) {
    FaultPlan plan;
    plan.foreignSysEx = ForeignSysEx::StatusLike;
    AmpModel amp(kOld, plan);
    const auto replies = upload(amp, 1);
    // Around each of the amp's replies another maker's message, at the same moment, carrying the
    // amp's codes; none of them is the amp's, so none reads as a status reply.
    ASSERT_EQ(replies[1].size(), 9u);
    for (std::size_t i = 0; i < replies[1].size(); ++i) {
        const auto& r = replies[1][i];
        EXPECT_EQ(r.delayMs, replies[1][i / 3 * 3 + 1].delayMs);
        if (i % 3 != 1) {
            EXPECT_FALSE(replyCodeOf(r.bytes));
            EXPECT_GT(r.bytes.size(), 7u);
            EXPECT_NE(r.bytes[1], 0x00);
        }
    }
    const std::vector<int> amps{codes(replies[1])[1], codes(replies[1])[4], codes(replies[1])[7]};
    EXPECT_EQ(amps, (std::vector<int>{kReplyPacketAccepted, kReplyVerified, kReplyProgrammed}));
}

TEST(AmpModel, AnotherMakersIdentityReplyComesFirst) {
    FaultPlan plan;
    plan.foreignIdentity = true;
    AmpModel amp(kOld, plan);
    const auto id = amp.receive(kIdentityRequest);
    ASSERT_EQ(id.size(), 2u);
    EXPECT_TRUE(isIdentityReply(id[0].bytes));
    EXPECT_FALSE(identityReplyOf(id[0].bytes));
    EXPECT_EQ(identityReplyOf(id[1].bytes)->version, kOld);
    EXPECT_EQ(id[1].delayMs - id[0].delayMs, 200);
}

TEST(AmpModel, AnotherMakersDeviceAnswersAsItselfAndTakesNoFirmware) {
    FaultPlan plan;
    plan.otherMaker = {0x00, 0x20, 0x6B};
    AmpModel synth(kOld, plan);
    const auto id = synth.receive(kIdentityRequest);
    ASSERT_EQ(id.size(), 1u);
    EXPECT_TRUE(isIdentityReply(id[0].bytes));
    EXPECT_FALSE(identityReplyOf(id[0].bytes));
    EXPECT_EQ(std::vector<std::uint8_t>(id[0].bytes.begin() + 5, id[0].bytes.begin() + 8), plan.otherMaker);
    EXPECT_TRUE(upload(synth, 1)[0].empty());
    EXPECT_EQ(synth.uploadsEnded(), 0);
}

TEST(AmpModel, DuplicatedRepliesAndAKeptRevision) {
    FaultPlan plan;
    plan.duplicateReplies = true;
    plan.keepsRevision = true;
    AmpModel amp(kOld, plan);
    const auto replies = upload(amp, 1);
    const std::vector<int> expected{kReplyPacketAccepted, kReplyPacketAccepted, kReplyVerified,
                                    kReplyVerified, kReplyProgrammed, kReplyProgrammed};
    EXPECT_EQ(codes(replies[1]), expected);
    EXPECT_EQ(identityReplyOf(amp.receive(kIdentityRequest).at(0).bytes)->version, kOld);
}

TEST(AmpModel, ShortRepliesCarryNeitherCodeNorRevision) {
    FaultPlan plan;
    plan.shortReplies = true;
    AmpModel amp(kOld, plan);
    const auto id = amp.receive(kIdentityRequest);
    ASSERT_EQ(id.size(), 1u);
    EXPECT_TRUE(isIdentityReply(id[0].bytes));
    EXPECT_FALSE(identityReplyOf(id[0].bytes));
    for (const auto& replies : upload(amp, 2)) {
        ASSERT_FALSE(replies.empty());
        for (const auto& r : replies) {
            EXPECT_FALSE(replyCodeOf(r.bytes));
            EXPECT_EQ(r.bytes.back(), 0xF7);
        }
    }
}

TEST(AmpModel, VanishingMidUploadEndsEverything) {
    FaultPlan plan;
    plan.vanishAtPacket = 1;
    AmpModel amp(kOld, plan);
    const auto replies = upload(amp, 3);
    EXPECT_EQ(codes(replies[1]), (std::vector<int>{kReplyPacketAccepted}));
    EXPECT_TRUE(replies[2].empty());
    EXPECT_TRUE(replies[3].empty());
    EXPECT_TRUE(amp.vanished());
    EXPECT_EQ(identify(amp), std::nullopt);
    EXPECT_EQ(amp.received().size(), 3u) << "nothing reaches a vanished amp";
    EXPECT_EQ(amp.uploadsEnded(), 1);
    EXPECT_EQ(amp.receivedImage().size(), 37u + 2 * (kDataLength + 37));
}

TEST(AmpModel, VanishingAfterSomeBytesCutsTheMessageInFlight) {
    FaultPlan plan;
    plan.vanishAfterBytes = 1000;
    AmpModel amp(kOld, plan);
    amp.arrived(999);
    EXPECT_FALSE(amp.vanished());
    amp.arrived(2);
    EXPECT_TRUE(amp.vanished());
    EXPECT_TRUE(amp.receive(test::singleBlock(1001)).empty());
    EXPECT_TRUE(amp.received().empty()) << "the message never came whole";
}

// After 71 the amp restarts, a moment after the 71 has left; without the plan it stays, and an amp
// that fails its verify never gets that far.
TEST(AmpModel, RestartFollowsProgrammingOnly) {
    for (const bool verifyFails : {false, true}) {
        FaultPlan plan;
        plan.restartOffMs = 1000;
        plan.verifyFails = verifyFails;
        AmpModel amp(kOld, plan);
        const auto last = upload(amp, 2).back();
        const auto restart = std::find_if(last.begin(), last.end(), [](const TimedReply& r) { return r.restart; });
        if (verifyFails) {
            EXPECT_EQ(restart, last.end());
            continue;
        }
        ASSERT_NE(restart, last.end());
        EXPECT_TRUE(restart->bytes.empty());
        EXPECT_EQ(replyCodeOf((restart - 1)->bytes), kReplyProgrammed);
        EXPECT_EQ(restart->delayMs, (restart - 1)->delayMs + AmpModel::kRestartAfterReplyMs);
    }
    AmpModel staying(kOld);
    for (const auto& replies : upload(staying, 2)) {
        for (const auto& r : replies) EXPECT_FALSE(r.restart);
    }
}

TEST(AmpModel, SingleBlockIsTakenSilentlyAndReportsTheIntermediateRevision) {
    AmpModel amp(0x00010002);
    const auto block = test::singleBlock(52576);
    EXPECT_TRUE(amp.receive(block).empty());
    EXPECT_EQ(amp.receivedImage(), block);
    EXPECT_EQ(amp.uploadsEnded(), 1);
    EXPECT_EQ(identify(amp), AmpModel::kSingleBlockRevision);
    EXPECT_EQ(versionText(AmpModel::kSingleBlockRevision), "01.39");
}

TEST(AmpModel, StrayMessagesAndRetriesDoNotConfuseTheUpload) {
    AmpModel amp(kOld);
    EXPECT_TRUE(amp.receive(test::packet(kDataLength, 0)).empty()) << "a packet before any header";
    auto bad = test::header(2, kDataLength, kNew);
    bad[9] = 0x10;  // a nibble field out of range
    EXPECT_TRUE(amp.receive(bad).empty());

    // The updater gave up after one packet and starts over: the new header restarts the count.
    amp.receive(test::header(2, kDataLength, kNew));
    amp.receive(test::packet(kDataLength, 0));
    const auto replies = upload(amp, 2);
    EXPECT_EQ(codes(replies[0]), (std::vector<int>{kReplyReady}));
    EXPECT_EQ(codes(replies[2]).size(), 3u);
    EXPECT_EQ(amp.receivedImage().size(), 37u + 2 * (kDataLength + 37));
    EXPECT_TRUE(amp.receive(test::packet(kDataLength, 2)).empty()) << "a packet after the last";
    EXPECT_EQ(amp.revision(), kNew);
}

TEST(AmpModel, HeaderWithoutPacketsEndsTheUploadAtOnce) {
    AmpModel amp(kOld);
    const auto replies = amp.receive(test::header(0, kDataLength, kNew));
    EXPECT_EQ(codes(replies), (std::vector<int>{kReplyReady, kReplyVerified, kReplyProgrammed}));
}

TEST(AmpModel, TranscriptTellsWhatHappened) {
    FaultPlan plan;
    plan.packetErrors = {0};
    AmpModel amp(kOld, plan);
    amp.receive(kIdentityRequest);
    upload(amp, 1);
    const std::string t = amp.transcript();
    for (const char* line : {"<- identity request", "-> identity reply 02.83",
                             "<- header: 1 packets of 64 data bytes, version 02.84", "-> 7B ready",
                             "<- packet 1 of 1 (101 bytes)", "-> 74 packet error", "-> 7D verified",
                             "-> 71 programming complete, now 02.84"}) {
        EXPECT_NE(t.find(line), std::string::npos) << line;
    }
}
