#pragma once
// The update the wizard runs, in one stage or two, through the main window: the firmware file the
// user chose, whether the carried intermediate image must go first (an amp at 1.02), each stage's
// load and upload, and asking the amp for its revision after a stage. The wizard's pages say what
// came of it.
#include <functional>
#include <optional>
#include <string>

#include "WizardHost.h"

namespace kaldo {

class UpdateStages {
public:
    // toFront brings the wizard forward after an upload that was not terminated.
    UpdateStages(WizardHost& host, std::function<void()> toFront)
        : host_(host), toFront_(std::move(toFront)) {}

    // The file the user chose for the final stage, empty while none is.
    const std::string& fileName() const { return fileName_; }
    // Asks for the file; false when the user chose none (a file chosen before stays).
    bool chooseFile();

    // 1 when the intermediate stage must run first: the amp is at 1.02.
    int intermediateNeeded() const { return intermediateNeeded_; }
    void planFor(const std::string& revision) { intermediateNeeded_ = revision == "1.02" ? 1 : 0; }
    void skipIntermediate() { intermediateNeeded_ = 0; }

    // Loads the carried intermediate image (while the shared flag says so), or the chosen file for
    // the final stage; false when nothing could be loaded. A refused file is forgotten: the loader
    // has said what is wrong with it, and the next attempt asks for another one.
    bool loadIntermediate();
    bool loadFinal();
    // Runs "Upload Code" for the loaded stage. Terminated also when the wizard was reset meanwhile.
    UploadOutcome run();
    // The wizard was reset (closed, or the user terminated an upload): a stage running now ends.
    void reset() { ++resets_; }

    // The amp runs other code now: asks it for its revision on the stage's ports (USB path,
    // outItem and inItem as in the "Out" and "In" menus), so that "Current Firmware" shows it. The
    // revision it reported ("02.83"), or none.
    std::optional<std::string> readRevision(bool usb, int outItem, int inItem);

private:
    WizardHost& host_;
    std::function<void()> toFront_;
    std::string fileName_;
    int intermediateNeeded_ = 0;
    // Counts resets, so that a step whose upload ran while the user closed the wizard stops.
    int resets_ = 0;
};

}  // namespace kaldo
