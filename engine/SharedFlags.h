#pragma once
// Flags the wizard and the engine share (they live as long as the program).
#include <atomic>

namespace kaldo {

struct SharedFlags {
    bool wizardActive = false;       // the guided update runs; the upload brings the wizard forward
    bool intermediateStage = false;  // the next load takes the carried intermediate image
    bool uploadAborted = false;      // the user terminated the last upload
    // Read on the MIDI input thread by the reply handling, written by the wizard.
    std::atomic<bool> showVersionInWizard{true};
};

}  // namespace kaldo
