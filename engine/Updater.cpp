#include "Updater.h"

#include <span>
#include <utility>
#include <vector>

#include "Clock.h"
#include "MidiLink.h"
#include "PanelShows.h"
#include "UpdaterUi.h"
#include "UploadSequence.h"

namespace kaldo {

Updater::Updater(Clock& clock, UpdaterUi& ui, MidiLink& link, PanelShows& shows, BlockSenderFactory& senders,
                 SleepGuard& sleep)
    : loader(ui, flags),
      clock_(clock),
      ui_(ui),
      link_(link),
      shows_(shows),
      senders_(senders),
      sleep_(sleep),
      timeout_(clock, ui, link) {
    memo.onLine = [this](const std::string&) { ui_.logChanged(); };
}

void Updater::MidiIn1SysEx(const std::uint8_t* bytes, std::size_t count) {
    const std::span<const std::uint8_t> message(bytes, count);
    ReplyState::Recorded recorded = replies.record(message);
    const bool fromTheAmp = recorded.kind != ReplyState::Kind::NotTheAmp;
    const bool inWizard = flags.showVersionInWizard.load();
    clock_.post([this, received = std::vector<std::uint8_t>(message.begin(), message.end()),
                 recorded = std::move(recorded), inWizard] {
        if (recorded.kind == ReplyState::Kind::NotTheAmp) {
            memo.addIgnored(received);
            return;
        }
        memo.addReceived(received);
        if (recorded.kind == ReplyState::Kind::Identity) {
            memo.addLine(recorded.versionText);
            ui_.showAmpVersion(recorded.versionText, inWizard);
        }
    });
    if (fromTheAmp) clock_.notify();
}

void Updater::CancelMouseDown() { ui_.setCancelPictureVisible(true); }

void Updater::CancelMouseUp() {
    cancelRequested_ = true;
    ui_.setCancelLabelVisible(false);
    ui_.setCancelPictureVisible(false);
}

void Updater::resetCodeUpload() {
    progressClock_.stop(clock_.nowMs());
    ui_.setWarningBlink(false);
    ui_.setWarningVisible(false);
    for (int ring = 0; ring < 3; ++ring) shows_.allOff(ring);
    loader.sendPointer = imageStart_;
    ui_.setGaugeVisible(false);
    ui_.setStatus2(2, " ");
}

void Updater::Button1Click() {
    // Button1 keeps the keyboard focus during a packet upload; a click then must not move the send
    // position under the running upload.
    if (running_) return;
    resetCodeUpload();
    ui_.dialogMessage("Looks good! Unplug the USB cable and power cycle the amp.");
    ui_.dialogMessage("Now plug in the USB cable and wait for the KALDO to enumerate.");
    ui_.setStatus2(3, "Status -> Waiting for USB enumeration.");
    clock_.pause(3000);
    link_.populateMidiSelect();
    ui_.dialogPortSelection("Now select the MIDI device.", false);
}

UploadResult Updater::Button2Click() {
    if (running_) {
        UploadResult busy;
        busy.failure = UploadFailure::Busy;
        return busy;
    }
    running_ = true;
    portsReleased_ = false;
    outputGone_ = false;
    UploadResult result = UploadSequence(*this).run();
    running_ = false;
    return result;
}

void Updater::releasePorts() {
    link_.deSelectCurrentMidi();
    portsReleased_ = true;
}

int Updater::ReadFile(const std::string& path) {
    if (running_) return loader.loadResult;
    return loader.ReadFile(path);
}

}  // namespace kaldo
