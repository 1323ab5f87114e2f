// The ways an upload ends early: silence, a failed verify, a vanished amp, refused sends, the cancel
// button, a second command during the upload and the program closing.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "UploadRig.h"

namespace kaldo {
namespace {

using test::UploadRig;

constexpr const char* kNotResponding = "Status|Error. Device not responding. Power cycle amp and try again.";
constexpr const char* kTryAgain = "Status|An Error occurred. Try again.";
constexpr const char* kSendFailed =
    "Midi Error|Error. The firmware could not be sent to the MIDI device. Power cycle amp and try again.";

sim::FaultPlan silentFrom(sim::Stage stage, int packet = -1) {
    sim::FaultPlan plan;
    plan.silentAt = stage;
    plan.silentPacket = packet;
    return plan;
}

// A handshake upload of six 101-byte packets (2 ms spinner steps) to an amp at 01.60.
struct HandshakeRig : UploadRig {
    explicit HandshakeRig(sim::FaultPlan plan = {}) : UploadRig(test::kRev0160, plan) {
        identify();
        loadPackets(test::kRev0200, kPackets);
    }
    std::int64_t sentAt(int send) const { return link.sendTimes.at(static_cast<std::size_t>(send)); }
    static constexpr int kPackets = 6;
};

void expectTimedOut(const UploadRig& rig, const UploadResult& result) {
    EXPECT_EQ(result.outcome, UploadOutcome::Failed);
    EXPECT_EQ(result.failure, UploadFailure::TimedOut);
    EXPECT_EQ(rig.ui.boxes(), (std::vector<std::string>{kNotResponding, kTryAgain}));
    EXPECT_GE(rig.amp.deSelectCalls(), 1);
    EXPECT_FALSE(rig.ui.gaugeVisible);
    EXPECT_FALSE(rig.ui.saw("dialog Looks good!"));
    EXPECT_EQ(rig.updater.loader.sendPointer, rig.updater.imageStart());
}

TEST(UploadTimeOut, SilenceAfterTheHeaderFailsAfter200And6000Ms) {
    HandshakeRig rig(silentFrom(sim::Stage::Header));
    const UploadResult result = rig.updater.Button2Click();
    expectTimedOut(rig, result);
    EXPECT_EQ(rig.link.sendTimes.size(), 1u);
    EXPECT_EQ(rig.ui.find("box ").at(0).atMs - rig.sentAt(0), 200 + 6000);
}

TEST(UploadTimeOut, SilenceAfterAPacketFailsAfter600And12000Ms) {
    HandshakeRig rig(silentFrom(sim::Stage::Packet, 2));
    const UploadResult result = rig.updater.Button2Click();
    expectTimedOut(rig, result);
    EXPECT_EQ(rig.link.sendTimes.size(), 4u);  // header and packets 0 to 2
    EXPECT_EQ(rig.ui.find("box ").at(0).atMs - rig.sentAt(3), 600 + 12000);
}

TEST(UploadTimeOut, AnAmpThatVanishesMidUploadEndsInTheTimeOutPath) {
    sim::FaultPlan plan;
    plan.vanishAtPacket = 3;
    HandshakeRig rig(plan);
    const UploadResult result = rig.updater.Button2Click();
    expectTimedOut(rig, result);
    EXPECT_EQ(rig.ui.find("box ").at(0).atMs - rig.sentAt(4), 600 + 12000);
}

TEST(UploadTimeOut, NoVerifyReplyFailsAfter20000Ms) {
    HandshakeRig rig(silentFrom(sim::Stage::Verify));
    const UploadResult result = rig.updater.Button2Click();
    expectTimedOut(rig, result);
    const auto waitStart = rig.ui.find("status2 3 Status -> Waiting for code Verify.").at(0).atMs;
    const auto expired = rig.ui.find("box ").at(0).atMs - waitStart;
    // Looked at after each verify turn of 780 ms.
    EXPECT_GE(expired, 20000);
    EXPECT_LT(expired, 20000 + 780);
}

TEST(UploadTimeOut, NoProgramCompleteFailsAfter20000Ms) {
    HandshakeRig rig(silentFrom(sim::Stage::Program));
    const UploadResult result = rig.updater.Button2Click();
    expectTimedOut(rig, result);
    const auto waitStart = rig.ui.find("status2 3 Status -> Waiting for code program complete.").at(0).atMs;
    const auto expired = rig.ui.find("box ").at(0).atMs - waitStart;
    // Looked at after each program show of 2160 ms.
    EXPECT_GE(expired, 20000);
    EXPECT_LT(expired, 20000 + 2160);
    EXPECT_TRUE(rig.ui.saw("cancel label hidden"));
}

TEST(UploadVerifyFailed, ShowsTheRingsThenSaysSoAndFails) {
    sim::FaultPlan plan;
    plan.verifyFails = true;
    HandshakeRig rig(plan);
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Failed);
    EXPECT_EQ(result.failure, UploadFailure::VerifyFailed);
    const auto shown = rig.ui.find("status2 3 Status -> Code Verify failed.");
    const auto box = rig.ui.find("box Status|The amp reported that the new code failed its verify check");
    ASSERT_EQ(shown.size(), 1u);
    ASSERT_EQ(box.size(), 1u);
    // A few seconds of the stepping rings, the window live, before the message.
    EXPECT_EQ(box[0].atMs - shown[0].atMs, 4 * 12 * 65);
    EXPECT_EQ(rig.ui.boxes().size(), 1u);
    EXPECT_FALSE(rig.ui.gaugeVisible);
    EXPECT_FALSE(rig.ui.saw("dialog "));
    for (const auto& lamp : rig.panel.lamps) EXPECT_FALSE(lamp->isOn()) << lamp->name;
}

TEST(UploadSendRefused, AHeaderTheOutputRefusesFailsTheUpload) {
    HandshakeRig rig;
    rig.link.failSend = 0;
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Failed);
    EXPECT_EQ(result.failure, UploadFailure::SendFailed);
    EXPECT_EQ(rig.ui.boxes(), std::vector<std::string>{kSendFailed});
    EXPECT_EQ(rig.link.sendTimes.size(), 1u);
}

TEST(UploadSendRefused, ALostPacketFailsAtOnceInsteadOfWaitingForTheTimeOut) {
    HandshakeRig rig;
    rig.link.failSend = 3;
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.failure, UploadFailure::SendFailed);
    EXPECT_EQ(rig.ui.boxes(), std::vector<std::string>{kSendFailed});
    EXPECT_EQ(rig.ui.find("box ").at(0).atMs - rig.sentAt(3), 600);
    EXPECT_FALSE(rig.ui.saw("dialog Looks good!"));
}

TEST(UploadSendRefused, BlindAndSingleBlockNeverReportALostBlockAsSent) {
    UploadRig blind;
    blind.loadPackets(test::kRev0159, 4);
    blind.link.failSend = 2;
    EXPECT_EQ(blind.updater.Button2Click().failure, UploadFailure::SendFailed);
    EXPECT_EQ(blind.link.sendTimes.size(), 3u);
    EXPECT_FALSE(blind.ui.saw("dialog Firmware Sent."));

    UploadRig single;
    single.loadSingleBlock(4096);
    single.link.failSend = 0;
    EXPECT_EQ(single.updater.Button2Click().failure, UploadFailure::SendFailed);
    EXPECT_EQ(single.ui.boxes(), std::vector<std::string>{kSendFailed});
}

// The user lets go of the cancel button while packet k is on its way.
void cancelDuring(UploadRig& rig, int k) {
    const std::string sending = "status2 3 Status -> Sending packet number " + std::to_string(k + 1) + " of";
    rig.ui.onEvent = [&rig, sending](const std::string& what) {
        if (what.rfind(sending, 0) == 0) {
            rig.clock.post([&rig] {
                rig.updater.CancelMouseDown();
                rig.updater.CancelMouseUp();
            });
        }
    };
}

class CancelAfterPacket : public ::testing::TestWithParam<int> {};

TEST_P(CancelAfterPacket, HandshakeEndsAfterThePacketInFlight) {
    const int k = GetParam();
    HandshakeRig rig;
    cancelDuring(rig, k);
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Terminated);
    EXPECT_EQ(result.failure, UploadFailure::UserCancel);
    EXPECT_EQ(rig.link.sendTimes.size(), static_cast<std::size_t>(k + 2));  // header and packets 0 to k
    EXPECT_EQ(rig.ui.boxes(),
              std::vector<std::string>{"Status|User terminated code upload. Power cycle amp."});
    EXPECT_EQ(rig.ui.status2[3], "Status -> Upload Terminated.");
    EXPECT_EQ(rig.amp.deSelectCalls(), 1);
    EXPECT_TRUE(rig.updater.flags.uploadAborted);
    EXPECT_TRUE(rig.ui.saw("wizard reset"));
    EXPECT_FALSE(rig.updater.cancelRequested());
    EXPECT_EQ(rig.updater.loader.sendPointer, rig.updater.imageStart());
    EXPECT_FALSE(rig.ui.gaugeVisible);
    EXPECT_TRUE(rig.ui.saw("gauge progress " + std::to_string(k)));
}

TEST_P(CancelAfterPacket, BlindEndsAfterThePacketInFlightAndKeepsThePorts) {
    const int k = GetParam();
    UploadRig rig;
    rig.loadPackets(test::kRev0159, HandshakeRig::kPackets);
    // Blind mode shows no packet number: the button is let go while packet k's sender runs.
    rig.senders.sendTimeMs = 30;
    rig.senders.onMake = [&rig, k](int made) {
        if (made == k + 1) rig.clock.post([&rig] { rig.updater.CancelMouseUp(); });
    };
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Terminated);
    EXPECT_EQ(rig.link.sendTimes.size(), static_cast<std::size_t>(k + 2));
    EXPECT_EQ(rig.ui.boxes(), std::vector<std::string>{"Status|User terminated code upload. Switch the amp "
                                                       "off, wait 5 seconds, then turn the amp back on."});
    EXPECT_EQ(rig.amp.deSelectCalls(), 0);
    EXPECT_TRUE(rig.updater.flags.uploadAborted);
    EXPECT_FALSE(rig.ui.saw("question "));
}

INSTANTIATE_TEST_SUITE_P(Packets, CancelAfterPacket, ::testing::Values(0, 2, HandshakeRig::kPackets - 1));

TEST(UploadCancel, ARequestLeftOverFromBeforeDoesNotEndTheNextUpload) {
    HandshakeRig rig;
    // Pressed while the verify reply was awaited: no packet check follows.
    rig.ui.onEvent = [&rig](const std::string& what) {
        if (what == "status2 3 Status -> Waiting for code Verify.") rig.updater.CancelMouseUp();
    };
    EXPECT_EQ(rig.updater.Button2Click().outcome, UploadOutcome::Completed);
    EXPECT_FALSE(rig.updater.cancelRequested());
    rig.ui.onEvent = nullptr;
    // Pressed between uploads.
    rig.updater.CancelMouseUp();
    rig.amp.selectPorts();
    rig.identify();
    rig.ui.boxAnswers = {Answer::Ok};  // same revision now
    const UploadResult next = rig.updater.Button2Click();
    EXPECT_EQ(next.outcome, UploadOutcome::Completed);
    EXPECT_EQ(rig.link.sendTimes.size(), static_cast<std::size_t>(HandshakeRig::kPackets + 1));
}

TEST(UploadReentry, CommandsDuringAnUploadDoNotTakeEffect) {
    HandshakeRig rig;
    UploadResult nested;
    int readResult = -1;
    std::size_t eventsBeforeButton1 = 0, eventsAfterButton1 = 0;
    std::size_t pointerBefore = 0, pointerAfter = 0;
    rig.ui.onEvent = [&](const std::string& what) {
        if (what != "status2 3 Status -> Sending packet number 3 of 6") return;
        EXPECT_TRUE(rig.updater.uploadRunning());
        nested = rig.updater.Button2Click();
        pointerBefore = rig.updater.loader.sendPointer;
        readResult = rig.updater.ReadFile("/nonexistent/other.syx");
        eventsBeforeButton1 = rig.ui.events.size();
        rig.updater.Button1Click();
        eventsAfterButton1 = rig.ui.events.size();
        pointerAfter = rig.updater.loader.sendPointer;
    };
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(nested.failure, UploadFailure::Busy);
    EXPECT_EQ(readResult, kPacketFormat);
    EXPECT_EQ(eventsAfterButton1, eventsBeforeButton1);
    EXPECT_EQ(pointerAfter, pointerBefore);
    EXPECT_EQ(result.outcome, UploadOutcome::Completed);
    EXPECT_EQ(rig.amp.receivedImage(), rig.image);
    EXPECT_FALSE(rig.updater.uploadRunning());
}

TEST(UploadStop, ClosingTheProgramEndsTheUploadQuietlyAtItsNextWait) {
    HandshakeRig rig;
    rig.ui.onEvent = [&](const std::string& what) {
        if (what == "status2 3 Status -> Sending packet number 3 of 6") rig.updater.requestStop();
    };
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Terminated);
    EXPECT_EQ(result.failure, UploadFailure::Stopped);
    EXPECT_EQ(rig.link.sendTimes.size(), 4u);  // packet 2 was on its way
    EXPECT_TRUE(rig.ui.boxes().empty());
    EXPECT_FALSE(rig.ui.gaugeVisible);
    EXPECT_EQ(rig.updater.loader.sendPointer, rig.updater.imageStart());
    // Nothing starts any more.
    rig.ui.onEvent = nullptr;
    EXPECT_EQ(rig.updater.Button2Click().failure, UploadFailure::Stopped);
    EXPECT_EQ(rig.link.sendTimes.size(), 4u);
}

constexpr const char* kPortGone =
    "Midi Error|The amp's MIDI port went away before the whole firmware was sent, so the amp did not get all "
    "of it. "
    "Power cycle the amp, connect it again, choose its ports and repeat the upload.";

// The amp's output port goes while the firmware is on its way, in each way of sending: the upload
// fails at once and says so, and nothing more is sent to nobody.
TEST(UploadPortGone, AnOutputThatGoesBeforeTheLastPacketFailsTheUploadInEveryWay) {
    HandshakeRig handshake;
    handshake.ui.onEvent = [&](const std::string& what) {
        if (what == "status2 3 Status -> Sending packet number 3 of 6") handshake.updater.outputPortGone();
    };
    UploadRig blind;
    blind.loadPackets(test::kRev0159, 6);
    blind.senders.sendTimeMs = 30;
    blind.senders.onMake = [&blind](int made) {
        if (made == 3) blind.clock.post([&blind] { blind.updater.outputPortGone(); });
    };
    UploadRig single;
    single.loadSingleBlock(52576);
    single.senders.sendTimeMs = 1000;
    single.clock.schedule(500, [&single] { single.updater.outputPortGone(); });

    for (UploadRig* rig : {static_cast<UploadRig*>(&handshake), &blind, &single}) {
        const UploadResult result = rig->updater.Button2Click();
        EXPECT_EQ(result.outcome, UploadOutcome::Failed);
        EXPECT_EQ(result.failure, UploadFailure::PortGone);
        EXPECT_EQ(rig->ui.boxes(), std::vector<std::string>{kPortGone});
        EXPECT_EQ(rig->ui.status2[3], "Status -> Failed: the amp's MIDI port went away.");
        EXPECT_FALSE(rig->ui.saw("dialog "));
        EXPECT_GE(rig->amp.deSelectCalls(), 1);
        EXPECT_EQ(rig->updater.loader.sendPointer, rig->updater.imageStart());
    }
    EXPECT_EQ(handshake.link.sendTimes.size(), 4u);  // header and packets 0 to 2, the last in flight
    EXPECT_EQ(blind.link.sendTimes.size(), 4u);      // the same
    EXPECT_EQ(single.link.sendTimes.size(), 1u);
}

// Once every packet has gone the amp restarts on its own, and a USB amp's port goes and comes back:
// that is no failure, also when the port goes before the engine has taken the amp's acceptance of
// the last packet (a slow machine, the amp quick to restart).
TEST(UploadPortGone, AfterTheLastPacketThePortMayGo) {
    HandshakeRig rig;
    rig.ui.onEvent = [&](const std::string& what) {
        if (what == "status2 3 Status -> Waiting for code Verify.") rig.updater.outputPortGone();
    };
    EXPECT_EQ(rig.updater.Button2Click().outcome, UploadOutcome::Completed);

    HandshakeRig quick;
    int accepted = 0;
    quick.amp.setReplySink([&](std::span<const std::uint8_t> m) {
        quick.updater.MidiIn1SysEx(m.data(), m.size());
        if (quick.updater.replies.replyCode() == kReplyPacketAccepted && ++accepted == HandshakeRig::kPackets)
            quick.updater.outputPortGone();
    });
    EXPECT_EQ(quick.updater.Button2Click().outcome, UploadOutcome::Completed);
}

// When an upload ends, the window shows the end before any message box or dialog asks for the
// user's attention: no warning, no gauge, and the end in the status row.
TEST(UploadEnds, TheWindowShowsTheEndBeforeAnyMessage) {
    struct Case {
        const char* name;
        std::function<void(HandshakeRig&)> arrange;
        const char* status;
    };
    const std::vector<Case> cases{
        {"completed", [](HandshakeRig&) {}, "Status -> Complete."},
        {"timed out", [](HandshakeRig&) {}, "Status -> Failed: the amp did not answer in time."},
        {"send refused", [](HandshakeRig& rig) { rig.link.failSend = 2; },
         "Status -> Failed: the firmware could not be sent."},
        {"cancelled", [](HandshakeRig& rig) { cancelDuring(rig, 2); }, "Status -> Upload Terminated."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::FaultPlan plan;
        if (std::string(c.name) == "timed out") plan = silentFrom(sim::Stage::Packet, 2);
        HandshakeRig rig(plan);
        c.arrange(rig);
        struct Seen {
            bool gauge, blink;
            std::string status;
        };
        std::optional<Seen> atFirstMessage;
        auto cancel = rig.ui.onEvent;
        rig.ui.onEvent = [&](const std::string& what) {
            if (cancel) cancel(what);
            if (!atFirstMessage && (what.rfind("box ", 0) == 0 || what.rfind("dialog ", 0) == 0)) {
                atFirstMessage = Seen{rig.ui.gaugeVisible, rig.ui.warningBlink, rig.ui.status2[3]};
            }
        };
        rig.updater.Button2Click();
        ASSERT_TRUE(atFirstMessage);
        EXPECT_FALSE(atFirstMessage->gauge);
        EXPECT_FALSE(atFirstMessage->blink);
        EXPECT_EQ(atFirstMessage->status, c.status);
    }
}

}  // namespace
}  // namespace kaldo
