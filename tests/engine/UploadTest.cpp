// The ways of "Upload Code" from start to end, against the simulated amp on virtual time.
#include <gtest/gtest.h>

#include "UploadRig.h"

namespace kaldo {
namespace {

using test::UploadRig;

constexpr const char* kLooksGood = "dialog Looks good! Unplug the USB cable and power cycle the amp.";
constexpr const char* kUsbQuestion = "question Do you want to setup the KALDO USB MIDI interface?";

TEST(UploadStart, WithoutAnOutputPortNothingIsSentAndOnlyThatIsSaid) {
    UploadRig rig;
    rig.loadPackets(test::kRev0200, 3);
    rig.amp.selectPorts(false, true);
    rig.ui.events.clear();
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Failed);
    EXPECT_EQ(result.failure, UploadFailure::NoOutPort);
    EXPECT_TRUE(rig.link.sendTimes.empty());
    ASSERT_EQ(rig.ui.events.size(), 1u);
    EXPECT_EQ(rig.ui.events[0].what, "box Midi Error|Select a MIDI Out Port");
}

TEST(UploadStart, WithoutFirmwareItAsksForAFileAndResets) {
    UploadRig rig;
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.failure, UploadFailure::NoFirmware);
    EXPECT_EQ(rig.ui.boxes(), std::vector<std::string>{"File Error|Select Firmware file"});
    EXPECT_TRUE(rig.ui.saw("gauge hidden"));
    EXPECT_TRUE(rig.link.sendTimes.empty());
}

TEST(UploadSingleBlock, SendsTheWholeImageAsOneMessageWhileTheClockRuns) {
    UploadRig rig;
    rig.loadSingleBlock(52576);
    rig.senders.sendTimeMs = 1000;  // the block takes a second to leave
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Completed);
    EXPECT_EQ(result.way, UploadWay::SingleBlock);
    ASSERT_EQ(rig.amp.received().size(), 1u);
    EXPECT_EQ(rig.amp.received()[0], rig.image);
    EXPECT_EQ(rig.ui.gaugeMax, 100);
    // Timer1 ticks every max(1, trunc(52576 x 0.000297)) = 15 ms: 66 ticks in the second of sending.
    EXPECT_EQ(rig.ui.find("gauge progress 6").size(), 1u);
    EXPECT_FALSE(rig.ui.saw("gauge progress 7"));
    // The block left sooner than the wire's time: the gauge is full once it has, not left at 6%.
    EXPECT_EQ(rig.ui.find("gauge progress 100").size(), 1u);
    EXPECT_FALSE(rig.ui.saw("cancel label shown"));
    // Seven verify turns and the program show once the block has left, then the message.
    const auto left = rig.link.sendTimes.at(0);
    const auto box = rig.ui.find("box File Sent|Firmware Sent. Wait for Amp to Restart.");
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(box[0].atMs - left, 7 * 12 * 65 + 15 * 12 * 12);
    EXPECT_EQ(rig.amp.deSelectCalls(), 1);
    EXPECT_FALSE(rig.ui.gaugeVisible);
    EXPECT_FALSE(rig.ui.warningBlink);
}

TEST(UploadSingleBlock, InTheWizardBringsTheWizardForwardInsteadOfTheMessage) {
    UploadRig rig;
    rig.loadSingleBlock(200000);
    rig.updater.flags.wizardActive = true;
    const auto start = rig.clock.nowMs();
    EXPECT_EQ(rig.updater.Button2Click().outcome, UploadOutcome::Completed);
    EXPECT_TRUE(rig.ui.saw("wizard front"));
    EXPECT_TRUE(rig.ui.boxes().empty());
    // 200000 div 75000 = 2: nine verify turns and the program show.
    EXPECT_EQ(rig.clock.nowMs() - start, 9 * 12 * 65 + 15 * 12 * 12);
    EXPECT_EQ(rig.amp.deSelectCalls(), 1);
}

class HandshakeUpload : public ::testing::Test {
protected:
    void SetUp() override {
        rig.identify();
        rig.loadPackets(test::kRev0200, kPackets);
    }
    static constexpr int kPackets = 5;
    UploadRig rig;
};

TEST_F(HandshakeUpload, SendsEveryPacketInOrderPacedByTheReplies) {
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Completed);
    EXPECT_EQ(result.way, UploadWay::Handshake);
    EXPECT_EQ(result.errorCount, 0);
    EXPECT_EQ(rig.amp.receivedImage(), rig.image);
    EXPECT_EQ(rig.amp.revision(), test::kRev0200);

    // Header, 200 ms, then a packet every 600 ms: each reply came within the pause.
    const auto& t = rig.link.sendTimes;
    ASSERT_EQ(t.size(), static_cast<std::size_t>(kPackets + 1));
    EXPECT_EQ(t[1] - t[0], 200);
    for (int k = 2; k <= kPackets; ++k) EXPECT_EQ(t[static_cast<std::size_t>(k)] - t[static_cast<std::size_t>(k - 1)], 600);

    std::vector<std::string> statuses;
    for (const auto& e : rig.ui.find("status2 3 Status")) statuses.push_back(e.what.substr(10));
    // The amp is asked for its revision first, and the end shows before the closing dialogs.
    std::vector<std::string> expected{"Status -> Asking the amp for its revision.",
                                      "Status -> Waiting for device ready to receive data."};
    for (int k = 1; k <= kPackets; ++k) {
        expected.push_back("Status -> Sending packet number " + std::to_string(k) + " of " + std::to_string(kPackets));
    }
    expected.insert(expected.end(), {"Status -> Waiting for code Verify.", "Status -> Waiting for code program complete.",
                                     "Status -> Complete.", "Status -> Waiting for USB enumeration."});
    EXPECT_EQ(statuses, expected);

    EXPECT_EQ(rig.ui.gaugeMax, kPackets - 1);
    EXPECT_TRUE(rig.ui.saw("gauge progress " + std::to_string(kPackets - 1)));
    EXPECT_EQ(rig.updater.loader.sendPointer, rig.updater.imageStart());
    EXPECT_FALSE(rig.ui.gaugeVisible);
    EXPECT_FALSE(rig.ui.cancelLabel);
    EXPECT_TRUE(rig.ui.boxes().empty());
}

TEST_F(HandshakeUpload, EndsWithTheReconnectSequenceAndTheRevisionCheck) {
    rig.updater.Button2Click();
    const auto looksGood = rig.ui.find(kLooksGood);
    const auto ports = rig.ui.find("ports confirm Now select the MIDI device.");
    ASSERT_EQ(looksGood.size(), 1u);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_TRUE(rig.ui.saw("dialog Now plug in the USB cable and wait for the KALDO to enumerate."));
    EXPECT_EQ(ports[0].atMs - looksGood[0].atMs, 3000);
    EXPECT_EQ(rig.amp.deSelectCalls(), 1);
    EXPECT_EQ(rig.amp.populateCalls(), 1);
}

TEST_F(HandshakeUpload, InTheWizardBringsTheWizardForwardWithoutDialogs) {
    rig.updater.flags.wizardActive = true;
    EXPECT_EQ(rig.updater.Button2Click().outcome, UploadOutcome::Completed);
    EXPECT_TRUE(rig.ui.saw("wizard front"));
    EXPECT_FALSE(rig.ui.saw("dialog "));
    EXPECT_FALSE(rig.ui.saw("ports "));
    EXPECT_EQ(rig.amp.populateCalls(), 0);
}

TEST_F(HandshakeUpload, NextPacketFollowsALateReplyAtOnce) {
    sim::FaultPlan late;
    late.replyDelayMs = 700;
    UploadRig slow(test::kRev0160, late);
    slow.identify();
    slow.loadPackets(test::kRev0200, 4, 400);  // 437-byte frames: 11 ms steps between looks
    EXPECT_EQ(slow.updater.Button2Click().outcome, UploadOutcome::Completed);
    const auto& t = slow.link.sendTimes;
    ASSERT_EQ(t.size(), 5u);
    for (std::size_t k = 2; k < t.size(); ++k) EXPECT_EQ(t[k] - t[k - 1], 700);
}

TEST_F(HandshakeUpload, APacketErrorOnEveryPacketIsCountedAndTheUploadGoesOn) {
    sim::FaultPlan errors;
    errors.allPacketsError = true;
    UploadRig bad(test::kRev0160, errors);
    bad.identify();
    bad.loadPackets(test::kRev0200, kPackets);
    const UploadResult result = bad.updater.Button2Click();
    EXPECT_EQ(result.errorCount, kPackets);
    EXPECT_EQ(bad.amp.received().size(), static_cast<std::size_t>(kPackets + 3));  // two requests, header, packets
    const auto counts = bad.ui.find("status2 2 Packet Error Count ");
    ASSERT_EQ(counts.size(), static_cast<std::size_t>(kPackets));
    EXPECT_EQ(counts.back().what, "status2 2 Packet Error Count " + std::to_string(kPackets));
}

// The amp's last answers can come before the waits that look for them: 7D right behind the last 7C,
// or 7D and 71 within one verify show, or all three together. They wait their turn.
TEST_F(HandshakeUpload, RepliesThatOvertakeTheirWaitsAreNotLost) {
    for (const auto& [verifyMs, programmingMs] : {std::pair{0, 1500}, std::pair{300, 100}, std::pair{0, 0}}) {
        SCOPED_TRACE("verify after " + std::to_string(verifyMs) + " ms, programmed after " + std::to_string(programmingMs));
        sim::FaultPlan quick;
        quick.verifyDelayMs = verifyMs;
        quick.programmingDelayMs = programmingMs;
        UploadRig fast(test::kRev0160, quick);
        fast.identify();
        fast.loadPackets(test::kRev0200, 3);
        const UploadResult result = fast.updater.Button2Click();
        EXPECT_EQ(result.outcome, UploadOutcome::Completed);
        EXPECT_TRUE(fast.ui.boxes().empty());
    }
}

TEST(HandshakeVersionCheck, SameRevisionAsksAndCancelSendsNothing) {
    UploadRig rig(test::kRev0200);
    rig.identify();
    rig.loadPackets(test::kRev0200, 3);
    rig.ui.boxAnswers = {Answer::Cancel};
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Declined);
    EXPECT_EQ(rig.ui.boxes(),
              std::vector<std::string>{"|You are trying to load code that is the same as the current revision, Continue?"});
    EXPECT_TRUE(rig.link.sendTimes.empty());
}

TEST(HandshakeVersionCheck, OlderCodeAsksAndOkGoesOn) {
    UploadRig rig(test::kRev0283);
    rig.identify();
    rig.loadPackets(test::kRev0200, 2);
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Completed);
    EXPECT_EQ(rig.ui.boxes(),
              std::vector<std::string>{"|You are trying to load code that is older than the current revision, Continue?"});
}

TEST(BlindUpload, Version159IsSentBlindEvenWithRepliesAndOffersNoUsb) {
    UploadRig rig(test::kRev0160);
    rig.identify();
    rig.loadPackets(test::kRev0159, 4);
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.way, UploadWay::Blind);
    EXPECT_EQ(result.outcome, UploadOutcome::Completed);
    EXPECT_EQ(rig.amp.receivedImage(), rig.image);
    EXPECT_EQ(rig.link.sendTimes.at(1) - rig.link.sendTimes.at(0), 2000);
    EXPECT_FALSE(rig.ui.saw(kUsbQuestion));
    EXPECT_TRUE(rig.ui.saw(
        "dialog Firmware Sent. If amp does not restart on its own, Switch the amp off, wait 5 seconds, then turn the amp back on."));
    EXPECT_EQ(rig.amp.deSelectCalls(), 1);
    EXPECT_EQ(rig.ui.gaugeMax, 3);
}

// A classic MIDI cable: no input, so nothing is asked and a newer file goes blind; the USB offer follows.
TEST(BlindUpload, OverAClassicCableANewerFileIsSentBlindAndOffersUsb) {
    UploadRig rig;
    rig.amp.selectPorts(true, false);
    rig.loadPackets(test::kRev0200, 3);
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.way, UploadWay::Blind);
    EXPECT_EQ(result.outcome, UploadOutcome::Completed);
    EXPECT_FALSE(result.ampSilent);
    EXPECT_TRUE(rig.link.identityRequestTimes.empty());
    EXPECT_TRUE(rig.ui.saw(kUsbQuestion));
    EXPECT_FALSE(rig.ui.saw("dialog Plug in usb cable"));
    // Nothing comes back on the cable, so the status row is the only sign of progress.
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(rig.ui.find("status2 3 Status -> Sending packet number " + std::to_string(k) + " of 3").size(), 1u);
    }
}

// After every end the status rows say what is so: a declined question sent nothing, and once any
// firmware went out the revision the amp reported before is no longer shown as current.
TEST(UploadEnds, StatusRowsSayWhatIsSo) {
    struct Case {
        const char* name;
        PackedVersion file;
        sim::Stage silentAt;
        bool sent;
        const char* lastStatus;
    };
    const Case cases[] = {
        {"declined", test::kRev0160, sim::Stage::None, false, "Status -> Upload cancelled: nothing was sent."},
        {"completed", test::kRev0200, sim::Stage::None, true, "Status -> Waiting for USB enumeration."},
        {"timed out", test::kRev0200, sim::Stage::Packet, true, "Status -> Failed: the amp did not answer in time."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::FaultPlan plan;
        plan.silentAt = c.silentAt;
        UploadRig rig(test::kRev0160, plan);
        rig.identify();
        rig.loadPackets(c.file, 3);
        rig.ui.boxAnswers = {Answer::Cancel};
        rig.updater.Button2Click();
        EXPECT_EQ(rig.ui.status2[3], c.lastStatus);
        const auto forgotten = rig.ui.find("status2 1 Version ?");
        EXPECT_EQ(forgotten.size(), c.sent ? 1u : 0u);
        // forgotten before the closing dialogs, whose confirmation shows the new one
        const auto& events = rig.ui.events;
        const auto at = [&](const std::string& prefix) {
            return std::find_if(events.begin(), events.end(), [&](const auto& e) { return e.what.rfind(prefix, 0) == 0; });
        };
        if (c.sent) {
            EXPECT_LT(at("status2 1 Version ?"), at("dialog "));
        }
    }
}

// With an input the amp is asked first; when it does not answer within 2 s the file goes blind, and
// the status row says so before anything is sent, the closing message after the designed one.
TEST(BlindUpload, AnAmpThatDoesNotAnswerGetsTheFileBlindAndTheUserIsTold) {
    sim::FaultPlan silent;
    silent.silentAt = sim::Stage::Identity;
    UploadRig rig(test::kRev0160, silent);
    rig.loadPackets(test::kRev0200, 3);
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.way, UploadWay::Blind);
    EXPECT_EQ(result.outcome, UploadOutcome::Completed);
    EXPECT_TRUE(result.ampSilent);
    ASSERT_EQ(rig.link.identityRequestTimes.size(), 1u);
    EXPECT_EQ(rig.link.sendTimes.at(0) - rig.link.identityRequestTimes[0], 2000);
    const auto told = rig.ui.find("status2 3 Status -> The amp did not answer: sending without checking each packet.");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_LE(told[0].atMs, rig.link.sendTimes.at(0));
    EXPECT_TRUE(rig.ui.saw(
        "dialog Firmware Sent. If amp does not restart on its own, Switch the amp off, wait 5 seconds, then turn the amp "
        "back on.\n\nNote: the amp did not answer, so the firmware was sent without checking each packet."));
}

// The revision the upload goes by is the one the amp reports now, not one heard before it restarted.
TEST(HandshakeVersionCheck, TheAmpIsAskedAfreshBeforeEachUpload) {
    // The amp said 02.83 earlier; since then it was put back to 01.60 and restarted.
    UploadRig rig(test::kRev0160);
    const auto earlier = makeIdentityReply(test::kRev0283);
    rig.updater.MidiIn1SysEx(earlier.data(), earlier.size());
    rig.loadPackets(test::kRev0200, 2);
    const UploadResult result = rig.updater.Button2Click();
    EXPECT_EQ(result.outcome, UploadOutcome::Completed);
    EXPECT_EQ(result.way, UploadWay::Handshake);
    EXPECT_FALSE(rig.ui.saw("box |You are trying to load code that is older"));
    EXPECT_EQ(rig.link.identityRequestTimes.size(), 1u);
}

TEST(BlindUpload, InTheWizardAnOldFileEndsWithTheDisplayReset) {
    UploadRig rig;
    rig.updater.flags.wizardActive = true;
    rig.loadPackets(test::kRev0159, 2);
    EXPECT_EQ(rig.updater.Button2Click().outcome, UploadOutcome::Completed);
    EXPECT_TRUE(rig.ui.saw("wizard front"));
    EXPECT_FALSE(rig.ui.warningBlink);
    for (const auto& lamp : rig.panel.lamps) EXPECT_FALSE(lamp->isOn()) << lamp->name;
}

TEST(BlindUpload, InTheWizardStillOffersUsb) {
    UploadRig rig;
    rig.amp.selectPorts(true, false);
    rig.updater.flags.wizardActive = true;
    rig.loadPackets(test::kRev0200, 2);
    rig.updater.Button2Click();
    EXPECT_TRUE(rig.ui.saw("wizard front"));
    EXPECT_FALSE(rig.ui.saw("dialog Firmware Sent."));
    EXPECT_TRUE(rig.ui.saw(kUsbQuestion));
}

TEST(BlindUpload, UsbOfferWaitsForTheDeviceCountToSettle) {
    UploadRig rig;
    rig.amp.selectPorts(true, false);
    rig.loadPackets(test::kRev0200, 2);
    rig.ui.questionAnswer = true;
    rig.amp.setPlatformOutputCount(1);
    // The user plugs the amp in while the message is shown; a second port is listed 100 ms later.
    rig.ui.onEvent = [&rig](const std::string& what) {
        if (what.rfind("dialog Plug in usb cable", 0) == 0) {
            rig.amp.setPlatformOutputCount(2);
            rig.clock.schedule(100, [&rig] { rig.amp.setPlatformOutputCount(3); });
        }
    };
    EXPECT_EQ(rig.updater.Button2Click().outcome, UploadOutcome::Completed);
    const auto question = rig.ui.find(kUsbQuestion);
    const auto plugIn = rig.ui.find("dialog Plug in usb cable and allow the Windows Driver installation complete.");
    const auto ports = rig.ui.find(
        "ports confirm Now select the MIDI devices. This will be called, \"USB Audio Device\" for both in and out.");
    ASSERT_EQ(plugIn.size(), 1u);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(plugIn[0].atMs - question[0].atMs, 1000);
    // Readings 2, 3, 3: the wait ends when two readings 200 ms apart agree.
    EXPECT_EQ(ports[0].atMs - plugIn[0].atMs, 400);
    EXPECT_EQ(rig.updater.memo.lines().at(rig.updater.memo.lines().size() - 2), "2");
    EXPECT_EQ(rig.updater.memo.lines().back(), "3");
    EXPECT_EQ(rig.amp.reCheckCalls(), 1);
}

TEST(BlindUpload, UsbOfferGivesUpAfterFiveSecondsOfChangingCounts) {
    UploadRig rig;
    rig.amp.selectPorts(true, false);
    rig.loadPackets(test::kRev0200, 2);
    rig.ui.questionAnswer = true;
    int count = 1;
    std::function<void()> tick = [&] {
        rig.amp.setPlatformOutputCount(++count);
        rig.clock.schedule(100, tick);
    };
    rig.ui.onEvent = [&](const std::string& what) {
        if (what.rfind("dialog Plug in usb cable", 0) == 0) tick();
    };
    EXPECT_EQ(rig.updater.Button2Click().outcome, UploadOutcome::Completed);
    const auto boxes = rig.ui.find("box Status|");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].what, "box Status|Error. Device not responding. Power cycle amp and try again.");
    EXPECT_EQ(boxes[1].what, "box Status|An Error occurred. Try again.");
    EXPECT_EQ(boxes[0].atMs - rig.ui.find("dialog Plug in usb cable")[0].atMs, 5000);
    EXPECT_FALSE(rig.ui.saw("ports "));
    rig.ui.onEvent = nullptr;
}

}  // namespace
}  // namespace kaldo
