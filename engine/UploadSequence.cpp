#include "UploadSequence.h"

#include <optional>
#include <string>

#include "BlockSender.h"
#include "Clock.h"
#include "Messages.h"
#include "MidiLink.h"
#include "PanelShows.h"
#include "SleepGuard.h"
#include "Updater.h"
#include "UpdaterUi.h"

namespace kaldo {

namespace {

constexpr const char* kTryAgain = "An Error occurred. Try again.";
constexpr const char* kHandshakeTerminated = "User terminated code upload. Power cycle amp.";
constexpr const char* kBlindTerminated =
    "User terminated code upload. Switch the amp off, wait 5 seconds, then turn the amp back on.";
constexpr const char* kSendFailed =
    "Error. The firmware could not be sent to the MIDI device. Power cycle amp and try again.";
constexpr const char* kVerifyFailed =
    "The amp reported that the new code failed its verify check, so it was not programmed. "
    "Power cycle the amp and try the upload again.";
constexpr const char* kWaitingForUsb = "Status -> Waiting for USB enumeration.";
constexpr const char* kPortGone =
    "The amp's MIDI port went away before the whole firmware was sent, so the amp did not get all of it. Power "
    "cycle the amp, connect it again, choose its ports and repeat the upload.";
constexpr const char* kBlindSent =
    "Firmware Sent. If amp does not restart on its own, Switch the amp off, wait 5 seconds, then turn the amp back "
    "on.";
constexpr const char* kAmpSilentNote = "the amp did not answer, so the firmware was sent without checking each packet";

// The ends as the status row shows them, before any message box.
constexpr const char* kComplete = "Status -> Complete.";
constexpr const char* kStopped = "Status -> Stopped.";
constexpr const char* kNothingSent = "Status -> Upload cancelled: nothing was sent.";
// Once firmware has gone out, the revision the amp reported before is no longer what it runs.
constexpr const char* kVersionUnknown = "Version ?";

// How long the amp has to answer the Identity Request that starts an upload with an input port.
constexpr int kAskAmpMs = 2000;

constexpr int kHeaderLength = static_cast<int>(FirmwareLoader::kHeaderLength);
// Revolutions of the verify show after a failed verify: about three seconds of 65 ms steps.
constexpr int kVerifyFailedRevolutions = 4;

std::string sendingPacket(int i, int count) {
    return "Status -> Sending packet number " + std::to_string(i + 1) + " of " + std::to_string(count);
}

}  // namespace

UploadResult UploadSequence::run() {
    UpdaterUi& ui = u_.ui_;
    FirmwareLoader& loader = u_.loader;
    if (stopping()) return {UploadOutcome::Terminated, UploadWay::None, UploadFailure::Stopped, 0};
    if (!u_.link_.outPortReady()) {
        ui.messageBox("Select a MIDI Out Port", "Midi Error", Buttons::Ok);
        return {UploadOutcome::Failed, UploadWay::None, UploadFailure::NoOutPort, 0};
    }
    // From here on firmware may go out: the computer stays awake until the run ends, however it ends.
    const SleepHold awake(u_.sleep_);
    if (!awake.problem().empty()) u_.memo.addLine(awake.problem());
    u_.imageStart_ = loader.sendPointer;
    ui.setStatus2(3, " ");
    ui.setStatus2(2, " ");
    u_.errorCount_ = 0;
    // A press of the cancel button while no packet check followed must not end this upload.
    u_.cancelRequested_ = false;
    u_.shows_.resetProgress();

    UploadResult result;
    if (loader.loadResult == kSingleBlock && loader.sendPointer + loader.sendLength <= loader.imageSize()) {
        way_ = UploadWay::SingleBlock;
        result = singleBlock();
    } else if (loader.loadResult == kPacketFormat && imageHoldsPackets()) {
        // With an input port and a file the amp can take with replies, the amp is asked for its
        // revision now: a revision heard earlier may belong to firmware it no longer runs, and an amp
        // that does not answer must not be taken for one that does.
        const bool repliesPossible = u_.link_.inPortReady() && loader.fileVersion > kLastBlindOnlyVersion;
        if (repliesPossible && !askAmpVersion()) return finish(stopped());
        ampSilent_ = repliesPossible && u_.replies.ampVersion() == kNoVersion;
        way_ = repliesPossible && !ampSilent_ ? UploadWay::Handshake : UploadWay::Blind;
        if (ampSilent_) ui.setStatus2(3, "Status -> The amp did not answer: sending without checking each packet.");
        result = way_ == UploadWay::Handshake ? handshake() : blind();
    } else {
        if (loader.loadResult == kNotLoaded) ui.messageBox("Select Firmware file", "File Error", Buttons::Ok);
        u_.resetCodeUpload();
        result = {UploadOutcome::Failed, UploadWay::None, UploadFailure::NoFirmware, 0};
    }
    return finish(result);
}

UploadResult UploadSequence::finish(UploadResult result) {
    // A request left over (the button stays shown after a failure) is dropped with the upload.
    u_.cancelRequested_ = false;
    u_.ui_.setCancelLabelVisible(false);
    u_.ui_.setCancelPictureVisible(false);
    result.errorCount = u_.errorCount_;
    result.ampSilent = ampSilent_;
    return result;
}

// One Identity Request, and up to two seconds for the amp's answer. False when the run is to end.
bool UploadSequence::askAmpVersion() {
    ReplyState& replies = u_.replies;
    u_.ui_.setStatus2(3, "Status -> Asking the amp for its revision.");
    replies.clearAmpVersion();
    replies.clearReplyCode();
    if (!u_.link_.sysEx(kIdentityRequest.data(), kIdentityRequest.size())) return !stopping();
    const std::int64_t deadline = u_.clock_.nowMs() + kAskAmpMs;
    while (!replies.take({kReplyIdentity})) {
        const std::int64_t left = deadline - u_.clock_.nowMs();
        if (left <= 0) break;
        if (!waitForNotify(static_cast<int>(left))) return false;
    }
    return pump();  // the revision reaches the screen
}

bool UploadSequence::imageHoldsPackets() const {
    const FirmwareLoader& loader = u_.loader;
    if (loader.packetCount < 0 || loader.packetDataLength < 0) return false;
    const std::size_t length = static_cast<std::size_t>(loader.packetDataLength) + FirmwareLoader::kHeaderLength;
    const std::size_t end = loader.sendPointer + FirmwareLoader::kHeaderLength +
                            static_cast<std::size_t>(loader.packetCount) * length;
    return end <= loader.imageSize();
}

const std::uint8_t* UploadSequence::sendAddress() const { return u_.loader.image() + u_.loader.sendPointer; }

void UploadSequence::sendStarting(int gaugeMax) {
    firmwareSent_ = true;
    u_.ui_.setWarningBlink(true);
    u_.ui_.setGaugeVisible(true);
    u_.ui_.setGaugeProgress(0);
    u_.ui_.setGaugeMax(gaugeMax);
}

UploadResult UploadSequence::singleBlock() {
    UpdaterUi& ui = u_.ui_;
    FirmwareLoader& loader = u_.loader;
    PanelShows& shows = u_.shows_;
    Clock& clock = u_.clock_;

    firmwareSent_ = true;
    ui.setWarningBlink(true);
    for (int ring = 0; ring < 3; ++ring) shows.lightOnly(ring, 0);
    ui.setGaugeProgress(0);
    ui.setGaugeVisible(true);
    ui.setGaugeMax(100);

    const std::size_t length = loader.sendLength;
    u_.progressClock_.start(length, clock.nowMs());
    auto sender = u_.senders_.make(u_.link_);
    sender->start(sendAddress(), length);
    while (!sender->done()) {
        const int ticks = u_.progressClock_.tickCount(clock.nowMs());
        ui.setGaugeProgress(ticks / 10);
        shows.showOdometer(ticks);
        // The sender wakes this wait when the block has left; until then one tick of the clock.
        if (!waitForNotify(u_.progressClock_.interval())) return stopped();
    }
    if (!sender->finish()) return sendFailed();
    allSent_ = true;
    // The gauge follows the wire's time; a block that left sooner (a software port) is all sent now.
    ui.setGaugeProgress(100);

    ui.setWarningVisible(true);
    const int sweeps = static_cast<int>(length / 75000);
    shows.flashVfyShow(sweeps + 7);
    shows.flashPrgShow(sweeps + 9);
    ui.setGaugeVisible(false);
    if (stopping()) return stopped();

    showEnd(kComplete);
    if (u_.flags.wizardActive) {
        ui.wizardToFront();
    } else {
        ui.messageBox(
            "Firmware Sent. Wait for Amp to Restart. If amp does not restart on its own, power cycle and check amps "
            "code version number.",
            "File Sent", Buttons::Ok);
    }
    u_.releasePorts();
    return completed();
}

UploadResult UploadSequence::handshake() {
    UpdaterUi& ui = u_.ui_;
    FirmwareLoader& loader = u_.loader;
    PanelShows& shows = u_.shows_;
    ReplyState& replies = u_.replies;

    const PackedVersion ampVersion = replies.ampVersion();
    const char* question = nullptr;
    if (loader.fileVersion < ampVersion) {
        question = "You are trying to load code that is older than the current revision, Continue?";
    } else if (loader.fileVersion == ampVersion) {
        question = "You are trying to load code that is the same as the current revision, Continue?";
    }
    if (question && ui.messageBox(question, "", Buttons::OkCancel) != Answer::Ok) return declined();

    sendStarting(loader.packetCount - 1);
    // Cleared before the header goes out, not after the pause that follows it: an amp that answers
    // within those 200 ms would otherwise have its 7B wiped and the upload would time out.
    replies.clearReplyCode();
    if (!u_.link_.sysEx(sendAddress(), FirmwareLoader::kHeaderLength)) return sendFailed();
    if (!pump()) return stopped();
    for (int ring = 0; ring < 3; ++ring) shows.lightOnly(ring, 0);
    if (!pause(200)) return stopped();

    u_.initTimeout(6000);
    ui.setStatus2(3, "Status -> Waiting for device ready to receive data.");
    while (!replies.take({kReplyReady})) {
        if (!pump()) return stopped();
        if (u_.timeout_.expired()) return timedOut();
        if (!waitForNotify(10)) return stopped();
    }

    ui.setCancelLabelVisible(true);
    loader.sendPointer += FirmwareLoader::kHeaderLength;
    const int frame = loader.packetDataLength + kHeaderLength;
    loader.sendLength = static_cast<std::size_t>(frame);
    for (int i = 0; i < loader.packetCount; ++i) {
        ui.setStatus2(3, sendingPacket(i, loader.packetCount));
        replies.clearReplyCode();
        auto sender = u_.senders_.make(u_.link_);
        sender->start(sendAddress(), loader.sendLength);
        if (!pause(600)) return stopped();
        u_.initTimeout(12000);
        // The replies wait in arrival order, so the packet's own answer is the first 7C or 74 even when
        // the amp has verified (7D) and programmed (71) right behind it.
        for (;;) {
            const auto code = replies.take({kReplyPacketAccepted, kReplyPacketError});
            if (code == kReplyPacketAccepted) break;
            if (code == kReplyPacketError) {
                ++u_.errorCount_;
                ui.setStatus2(2, "Packet Error Count " + std::to_string(u_.errorCount_));
                break;
            }
            if (u_.timeout_.expired()) return timedOut();
            if (sender->done() && !sender->finish()) return sendFailed();
            if (!pump()) return stopped();
            shows.spinStep(frame);
            if (stopping()) return stopped();
        }
        loader.sendPointer += loader.sendLength;
        ui.setGaugeProgress(i);
        shows.showPacketCount(i);
        if (u_.cancelRequested_) return terminate(kHandshakeTerminated, true, *sender);
        if (!sender->finish()) return sendFailed();
    }
    allSent_ = true;

    u_.initTimeout(20000);
    ui.setStatus2(3, "Status -> Waiting for code Verify.");
    std::optional<int> verdict;
    while (!(verdict = replies.take({kReplyVerified, kReplyVerifyFailed}))) {
        if (!pump()) return stopped();
        shows.flashVfyShow(1);
        if (u_.timeout_.expired()) return timedOut();
    }
    if (*verdict == kReplyVerifyFailed) return verifyFailed();

    ui.setCancelLabelVisible(false);
    u_.initTimeout(20000);
    ui.setStatus2(3, "Status -> Waiting for code program complete.");
    while (!replies.take({kReplyProgrammed})) {
        if (!pump()) return stopped();
        shows.flashPrgShow(1);
        if (u_.timeout_.expired()) return timedOut();
    }

    u_.releasePorts();
    loader.sendPointer = u_.imageStart_;
    showEnd(kComplete);
    if (u_.flags.wizardActive) {
        ui.wizardToFront();
    } else {
        ui.dialogMessage("Looks good! Unplug the USB cable and power cycle the amp.");
        ui.dialogMessage("Now plug in the USB cable and wait for the KALDO to enumerate.");
        ui.setStatus2(3, kWaitingForUsb);
        if (!pause(3000)) return stopped();
        u_.link_.populateMidiSelect();
        ui.dialogPortSelection("Now select the MIDI device.", true);
    }
    return completed();
}

UploadResult UploadSequence::blind() {
    UpdaterUi& ui = u_.ui_;
    FirmwareLoader& loader = u_.loader;
    PanelShows& shows = u_.shows_;

    sendStarting(loader.packetCount - 1);
    if (!u_.link_.sysEx(sendAddress(), FirmwareLoader::kHeaderLength)) return sendFailed();
    if (!pump()) return stopped();
    for (int ring = 0; ring < 3; ++ring) shows.lightOnly(ring, 0);
    if (!pause(2000)) return stopped();

    ui.setCancelLabelVisible(true);
    loader.sendPointer += FirmwareLoader::kHeaderLength;
    const int frame = loader.packetDataLength + kHeaderLength;
    loader.sendLength = static_cast<std::size_t>(frame);
    for (int i = 0; i < loader.packetCount; ++i) {
        ui.setStatus2(3, sendingPacket(i, loader.packetCount));
        auto sender = u_.senders_.make(u_.link_);
        sender->start(sendAddress(), loader.sendLength);
        while (!sender->done()) {
            if (!pump()) return stopped();
            shows.spinRevolution(frame);
            if (stopping()) return stopped();
        }
        if (!sender->finish()) return sendFailed();
        loader.sendPointer += loader.sendLength;
        ui.setGaugeProgress(i);
        shows.showPacketCount(i);
        if (u_.cancelRequested_) return terminate(kBlindTerminated, false, *sender);
    }
    allSent_ = true;

    ui.setCancelLabelVisible(false);
    shows.flashVfyShow(19);
    shows.flashPrgShow(12);
    loader.sendPointer = u_.imageStart_;
    if (stopping()) return stopped();
    showEnd(kComplete);
    if (u_.flags.wizardActive) {
        ui.wizardToFront();
    } else {
        ui.dialogMessage(ampSilent_ ? std::string(kBlindSent) + "\n\nNote: " + kAmpSilentNote + "." : kBlindSent);
    }
    u_.releasePorts();
    if (loader.fileVersion > kLastBlindOnlyVersion && !usbOffer()) {
        return {UploadOutcome::Completed, way_, UploadFailure::None, 0};
    }
    return completed();
}

// False when the wait for the new device expired: the display then stays as the offer's own reset
// left it, with the time-out's messages on top.
bool UploadSequence::usbOffer() {
    UpdaterUi& ui = u_.ui_;
    MidiLink& link = u_.link_;
    if (!ui.dialogQuestion("Do you want to setup the KALDO USB MIDI interface?")) return true;
    int count = link.platformOutputCount();
    if (!pause(1000)) return true;
    u_.resetCodeUpload();
    ui.dialogMessage("Plug in usb cable and allow the Windows Driver installation complete.");
    ui.setStatus2(3, kWaitingForUsb);
    u_.initTimeout(5000);
    while (link.platformOutputCount() != count) {
        count = link.platformOutputCount();
        u_.memo.addLine(std::to_string(count));
        if (!pause(200)) return true;
        if (u_.timeoutCheck()) {
            ui.messageBox(kTryAgain, "Status", Buttons::Ok);
            return false;
        }
    }
    link.reCheckForMidiDevices();
    ui.dialogPortSelection(
        "Now select the MIDI devices. This will be called, \"USB Audio Device\" for both in and out.", true);
    return true;
}

// The window shows how the upload ended before anything asks for the user's attention: the warning
// off, the gauge hidden, the rings dark, and the end in the status row.
void UploadSequence::showEnd(const std::string& status) {
    u_.resetCodeUpload();
    forgetAmpVersion();
    u_.ui_.setStatus2(3, status);
}

// "Current Firmware" shows what the amp said last, or nothing: after firmware went out (all of it, or
// part), the revision it reported before the upload may no longer be what it runs.
void UploadSequence::forgetAmpVersion() {
    if (firmwareSent_) u_.ui_.setStatus2(1, kVersionUnknown);
}

UploadResult UploadSequence::completed() {
    u_.resetCodeUpload();
    return {UploadOutcome::Completed, way_, UploadFailure::None, 0};
}

UploadResult UploadSequence::declined() {
    u_.resetCodeUpload();
    u_.ui_.setStatus2(3, kNothingSent);
    return {UploadOutcome::Declined, way_, UploadFailure::None, 0};
}

UploadResult UploadSequence::timedOut() {
    showEnd("Status -> Failed: the amp did not answer in time.");
    u_.timeoutCheck();
    u_.ui_.messageBox(kTryAgain, "Status", Buttons::Ok);
    return {UploadOutcome::Failed, way_, UploadFailure::TimedOut, 0};
}

// A block refused or lost by the MIDI output: the amp has not received the image, whatever the
// rest of the run would say.
UploadResult UploadSequence::sendFailed() {
    showEnd("Status -> Failed: the firmware could not be sent.");
    u_.ui_.messageBox(kSendFailed, "Midi Error", Buttons::Ok);
    u_.releasePorts();
    return {UploadOutcome::Failed, way_, UploadFailure::SendFailed, 0};
}

// The amp checked the received image and refused it (7A): show it on the rings for a few seconds,
// the window live, then say so plainly.
UploadResult UploadSequence::verifyFailed() {
    u_.ui_.setStatus2(3, "Status -> Code Verify failed.");
    forgetAmpVersion();
    u_.shows_.flashVfyShow(kVerifyFailedRevolutions);
    u_.resetCodeUpload();
    u_.ui_.messageBox(kVerifyFailed, "Status", Buttons::Ok);
    u_.releasePorts();
    return {UploadOutcome::Failed, way_, UploadFailure::VerifyFailed, 0};
}

// The cancel button after a packet: the window shows the stop before the message about it.
UploadResult UploadSequence::terminate(const char* text, bool handshake, BlockSender& sender) {
    UpdaterUi& ui = u_.ui_;
    ui.setWarningBlink(false);
    ui.setWarningVisible(false);
    ui.setStatus2(3, "Status -> Upload Terminated.");
    forgetAmpVersion();
    for (int ring = 0; ring < 3; ++ring) u_.shows_.allOff(ring);
    ui.setGaugeVisible(false);
    u_.clock_.pump();
    ui.messageBox(text, "Status", Buttons::Ok);
    if (handshake) u_.releasePorts();
    u_.cancelRequested_ = false;
    u_.loader.sendPointer = u_.imageStart_;
    sender.finish();
    u_.flags.uploadAborted = true;
    ui.wizardResetStartup();
    return {UploadOutcome::Terminated, way_, UploadFailure::UserCancel, 0};
}

// The run cannot go on. Either the program is closing: end without questions or messages. Or the
// amp's output went away before the last packet: whatever followed would reach nobody. The sender
// is joined as it goes out of scope.
UploadResult UploadSequence::stopped() {
    if (!u_.stopRequested_) {
        showEnd("Status -> Failed: the amp's MIDI port went away.");
        u_.ui_.messageBox(kPortGone, "Midi Error", Buttons::Ok);
        u_.releasePorts();
        return {UploadOutcome::Failed, way_, UploadFailure::PortGone, 0};
    }
    showEnd(kStopped);
    return {UploadOutcome::Terminated, way_, UploadFailure::Stopped, 0};
}

bool UploadSequence::stopping() const { return u_.stopRequested_ || (u_.outputGone_ && !allSent_); }

bool UploadSequence::pump() {
    u_.clock_.pump();
    return !stopping();
}

bool UploadSequence::pause(int ms) {
    u_.clock_.pause(ms);
    return !stopping();
}

bool UploadSequence::waitForNotify(int ms) {
    u_.clock_.waitForNotify(ms);
    return !stopping();
}

}  // namespace kaldo
