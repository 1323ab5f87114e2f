#include "UpdateStages.h"

#include "IdentityWait.h"

namespace kaldo {

namespace {

const char* const kSyxFilter = "Syx files (*.syx)|*.syx";
// How long the amp may take to answer after a stage: it may be restarting on its new code.
constexpr int kRevisionReadMs = 5000;

}  // namespace

bool UpdateStages::chooseFile() {
    const auto chosen = host_.runOpenDialog(kSyxFilter);
    if (chosen) fileName_ = *chosen;
    return chosen.has_value();
}

bool UpdateStages::loadIntermediate() {
    host_.pump();
    host_.mainToFront();
    auto& flags = host_.flags();
    flags.intermediateStage = true;
    const int loadResult = host_.ReadFile(fileName_);
    // The flag only selects what this load reads; left set, a later "Open Firmware" would load the
    // carried image in place of the user's file.
    flags.intermediateStage = false;
    return loadResult != 0;
}

bool UpdateStages::loadFinal() {
    host_.mainToFront();
    host_.pump();
    intermediateNeeded_ = 0;
    host_.flags().intermediateStage = false;
    if (host_.ReadFile(fileName_) != 0) return true;
    fileName_.clear();
    return false;
}

UploadOutcome UpdateStages::run() {
    auto& flags = host_.flags();
    flags.uploadAborted = false;
    const int resetsBefore = resets_;
    const auto outcome = host_.clickUploadCode();
    // A reset during the upload (terminated, or the wizard closed meanwhile) ends the step here.
    if (flags.uploadAborted || resets_ != resetsBefore) return UploadOutcome::Terminated;
    // The upload's last dialogs (the USB offer, a failure) belong to the main window, which the window
    // system then activates: the next page is the wizard's, and the keyboard with it.
    toFront_();
    return outcome;
}

// The version "Current Firmware" showed is out of date. Over USB the amp is asked again on the
// stage's ports, and the reply handling shows what it says; without an answer, or over a MIDI cable,
// the row says that the revision is not known. An upload releases the ports when it ends (the amp may
// restart): they are opened for the question only, and the next stage asks for them again as before.
std::optional<std::string> UpdateStages::readRevision(bool usb, int outItem, int inItem) {
    host_.setStatusPanel1("Version ?");
    if (!usb) return std::nullopt;
    // The reply handling shows the reply in the status row; the page shows what this returns.
    host_.flags().showVersionInWizard = false;
    const bool released = !host_.outPortReady() || !host_.inPortReady();
    if (released) {
        host_.clickOutItem(outItem);
        host_.clickInItem(inItem);
    }
    std::optional<std::string> version;
    if (host_.outPortReady() && host_.inPortReady()) {
        host_.clearReplyCode();
        host_.SysEx(kIdentityRequest.data(), kIdentityRequest.size());
        if (awaitIdentityReply(host_, kRevisionReadMs)) {
            if (const auto reply = host_.ampVersion()) version = reply->text;
        }
    }
    if (released) {
        host_.clickOutItem(0);
        host_.clickInItem(0);
    }
    return version;
}

}  // namespace kaldo
