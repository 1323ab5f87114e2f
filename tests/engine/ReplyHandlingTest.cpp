// The reply handler, the reply time-out, the cancel button, the reset and the reconnect sequence.
#include <gtest/gtest.h>

#include <thread>

#include "UploadRig.h"

namespace kaldo {
namespace {

using test::UploadRig;

void receive(Updater& updater, std::span<const std::uint8_t> message) {
    updater.MidiIn1SysEx(message.data(), message.size());
}

TEST(MidiIn1SysEx, AnIdentityReplyRecordsTheVersionAndShowsItOnTheWindowThread) {
    UploadRig rig;
    const auto reply = makeIdentityReply(0x00010002);
    receive(rig.updater, reply);
    const auto state = rig.updater.replies.snapshot();
    EXPECT_EQ(state.replyCode, kReplyIdentity);
    EXPECT_EQ(state.ampVersion, 0x00010002u);
    EXPECT_EQ(state.ampVersionText, "01.02");
    // Nothing visible until the window thread runs its posts.
    EXPECT_TRUE(rig.updater.memo.lines().empty());
    EXPECT_FALSE(rig.ui.saw("version"));
    rig.clock.pump();
    ASSERT_EQ(rig.updater.memo.lines().size(), 2u);
    EXPECT_EQ(rig.updater.memo.lines()[0].rfind("F0 7E ", 0), 0u);
    EXPECT_EQ(rig.updater.memo.lines()[1], "01.02");
    EXPECT_EQ(rig.ui.find("version ").at(0).what, "version 01.02 wizard");
    EXPECT_EQ(rig.ui.logChanges, 2);

    rig.updater.flags.showVersionInWizard = false;
    receive(rig.updater, makeIdentityReply(0x00020803));
    rig.clock.pump();
    EXPECT_EQ(rig.ui.find("version ").back().what, "version 02.83");
}

TEST(MidiIn1SysEx, OnlyTheAmpsRepliesCountAndTheRestIsLogged) {
    UploadRig rig;
    receive(rig.updater, makeIdentityReply(0x00010600));
    receive(rig.updater, makeStatusReply(kReplyReady));
    EXPECT_EQ(rig.updater.replies.replyCode(), kReplyReady);
    // Another maker's message with a code at offset 6, and one too short for a code: neither counts.
    const std::uint8_t other[] = {0xF0, 0x7D, 0x01, 0x02, 0x03, 0x04, 0x7C, 0x01, 0x02, 0x03, 0xF7};
    receive(rig.updater, other);
    const std::uint8_t shortOne[] = {0xF0, 0x00, 0x5A, 0xF7};
    receive(rig.updater, shortOne);
    EXPECT_EQ(rig.updater.replies.replyCode(), kReplyReady);
    EXPECT_EQ(rig.updater.replies.ampVersion(), 0x00010600u);
    EXPECT_EQ(rig.updater.replies.take({kReplyPacketAccepted}), std::nullopt);
    rig.clock.pump();
    const std::vector<std::string> expected{
        "F0 7E 7F 06 02 00 00 5A 12 00 01 00 30 31 36 30 F7 ", "01.60", "F0 00 00 5A 12 01 7B F7 ",
        "not the amp, ignored: F0 7D 01 02 03 04 7C 01 ... (11 bytes)", "not the amp, ignored: F0 00 5A F7 (4 bytes)"};
    EXPECT_EQ(std::vector<std::string>(rig.updater.memo.lines().begin(), rig.updater.memo.lines().end()), expected);
}

TEST(MidiIn1SysEx, RepliesWaitInOrderUntilTakenOrCleared) {
    UploadRig rig;
    for (int code : {kReplyPacketError, kReplyVerified, kReplyProgrammed}) receive(rig.updater, makeStatusReply(code));
    auto& replies = rig.updater.replies;
    EXPECT_EQ(replies.replyCode(), kReplyProgrammed);  // the latest, for whatever shows it
    EXPECT_EQ(replies.take({kReplyPacketAccepted, kReplyPacketError}), kReplyPacketError);
    EXPECT_EQ(replies.take({kReplyProgrammed}), kReplyProgrammed);  // 7D passed over on the way
    EXPECT_EQ(replies.take({kReplyVerified}), std::nullopt);        // and gone, like every taken reply
    receive(rig.updater, makeStatusReply(kReplyPacketAccepted));
    replies.clearReplyCode();
    EXPECT_EQ(replies.replyCode(), 0);
    EXPECT_EQ(replies.take({kReplyPacketAccepted}), std::nullopt);
    // A babbling line keeps only the newest replies.
    for (std::size_t i = 0; i < ReplyState::kMaxWaiting; ++i) receive(rig.updater, makeStatusReply(kReplyReady));
    receive(rig.updater, makeStatusReply(kReplyVerified));
    EXPECT_EQ(replies.take({kReplyVerified}), kReplyVerified);
    rig.clock.pump();
}

TEST(MidiIn1SysEx, TheLogKeepsTwentyOneLinesOfReceivedMessages) {
    UploadRig rig;
    for (int i = 0; i < 30; ++i) receive(rig.updater, makeStatusReply(i));
    rig.clock.pump();
    const auto& lines = rig.updater.memo.lines();
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines.front(), "F0 00 00 5A 12 01 09 F7 ");
    EXPECT_EQ(lines.back(), "F0 00 00 5A 12 01 1D F7 ");
    // An Identity Reply then removes one line and adds two.
    receive(rig.updater, makeIdentityReply(0x00010002));
    rig.clock.pump();
    EXPECT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines.back(), "01.02");
}

TEST(MidiIn1SysEx, AWaiterThatSeesTheIdentityCodeFindsItsVersion) {
    UploadRig rig;
    std::thread input([&rig] {
        for (int i = 0; i < 2000; ++i) {
            const PackedVersion v = static_cast<PackedVersion>(i % 10) << 24 | static_cast<PackedVersion>(i % 7);
            if (i % 2) {
                receive(rig.updater, makeStatusReply(kReplyPacketAccepted));
            } else {
                receive(rig.updater, makeIdentityReply(v));
            }
        }
    });
    for (int i = 0; i < 2000; ++i) {
        const auto s = rig.updater.replies.snapshot();
        if (s.replyCode == kReplyIdentity) {
            EXPECT_EQ(versionText(s.ampVersion), s.ampVersionText);
        }
    }
    input.join();
    rig.clock.pump();
}

TEST(ReplyTimeOut, ExpiresOnceItsIntervalHasPassedAndReleasesThePorts) {
    UploadRig rig;
    EXPECT_FALSE(rig.updater.timeoutCheck());
    EXPECT_TRUE(rig.ui.events.empty());
    rig.updater.initTimeout(6000);
    rig.clock.pause(5999);
    EXPECT_FALSE(rig.updater.timeoutCheck());
    rig.clock.pause(1);
    EXPECT_TRUE(rig.updater.timeoutCheck());
    EXPECT_EQ(rig.ui.boxes(), std::vector<std::string>{"Status|Error. Device not responding. Power cycle amp and try again."});
    EXPECT_EQ(rig.amp.deSelectCalls(), 1);
    EXPECT_FALSE(rig.amp.outPortReady());
}

TEST(ReplyTimeOut, InitTimeoutRestartsTheFullInterval) {
    UploadRig rig;
    rig.updater.initTimeout(6000);
    rig.clock.pause(5000);
    rig.updater.initTimeout(6000);
    rig.clock.pause(5999);
    EXPECT_FALSE(rig.updater.timeoutCheck());
    rig.clock.pause(1);
    EXPECT_TRUE(rig.updater.timeoutCheck());
    // A new interval clears the expiry.
    rig.updater.initTimeout(100);
    EXPECT_FALSE(rig.updater.timeoutCheck());
}

TEST(CancelButton, DownShowsThePictureUpRequestsAndHidesBoth) {
    UploadRig rig;
    rig.updater.CancelMouseDown();
    EXPECT_TRUE(rig.ui.cancelPicture);
    EXPECT_FALSE(rig.updater.cancelRequested());
    rig.updater.CancelMouseUp();
    EXPECT_TRUE(rig.updater.cancelRequested());
    EXPECT_FALSE(rig.ui.cancelPicture);
    EXPECT_TRUE(rig.ui.saw("cancel label hidden"));
}

TEST(ResetCodeUpload, ReturnsTheWindowToItsIdleLook) {
    UploadRig rig;
    rig.loadPackets(test::kRev0200, 3);
    rig.shows.lightOnly(1, 5);
    rig.updater.loader.sendPointer = 37;
    rig.ui.events.clear();
    rig.updater.resetCodeUpload();
    EXPECT_EQ(rig.updater.loader.sendPointer, rig.updater.imageStart());
    EXPECT_FALSE(rig.ui.gaugeVisible);
    EXPECT_FALSE(rig.ui.warningBlink);
    EXPECT_TRUE(rig.ui.saw("warning hidden"));
    EXPECT_EQ(rig.ui.status2[2], " ");
    for (const auto& lamp : rig.panel.lamps) EXPECT_FALSE(lamp->isOn());
    // The cancel button and panel 3 stay as they are.
    EXPECT_FALSE(rig.ui.saw("cancel"));
    EXPECT_FALSE(rig.ui.saw("status2 3"));
}

TEST(Button1Click, RunsTheReconnectSequenceWithoutTheRevisionCheck) {
    UploadRig rig;
    rig.updater.Button1Click();
    std::vector<std::string> seen;
    for (const auto& e : rig.ui.events) {
        if (e.what.rfind("dialog", 0) == 0 || e.what.rfind("ports", 0) == 0 || e.what.rfind("status2 3", 0) == 0) {
            seen.push_back(std::to_string(e.atMs) + " " + e.what);
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"0 dialog Looks good! Unplug the USB cable and power cycle the amp.",
                                              "0 dialog Now plug in the USB cable and wait for the KALDO to enumerate.",
                                              "0 status2 3 Status -> Waiting for USB enumeration.",
                                              "3000 ports Now select the MIDI device."}));
    EXPECT_EQ(rig.amp.populateCalls(), 1);
}

}  // namespace
}  // namespace kaldo
