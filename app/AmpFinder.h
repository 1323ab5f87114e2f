#pragma once
// "&Midi" > "Find Amp" in the window, and the wizard's "Find my amp" through it: detection
// (engine/AmpDetection) over the MIDI system with the window live, a busy cursor and the commands off
// meanwhile; then the one amp's ports chosen as picking them by hand would, the user asked which when
// several answered, and told plainly what to check when none did.
#include <functional>
#include <memory>
#include <optional>

#include "AmpDetection.h"
#include "MidiBackend.h"

class QAction;
class QWidget;

namespace kaldo {

class Clock;
class Updater;
class UpdaterUi;

namespace midi {
class MidiSelection;
}

class AmpFinder {
public:
    // command is "Find Amp": while it is off (another look, an upload) nothing is looked for.
    // commandsEnabled turns the window's commands off and on again around the look.
    AmpFinder(QWidget* window, UpdaterUi& ui, Clock& clock, std::shared_ptr<midi::MidiBackend> midi,
              midi::MidiSelection& selection, Updater& updater, QAction* command,
              std::function<void(bool)> commandsEnabled);

    // Looks for the amp on every MIDI port and selects the ports of the one that answers (the user
    // picks when several do). Says so when none or several answered; with tellFound also when one
    // did. The chosen amp, when its ports opened.
    std::optional<FoundAmp> find(bool tellFound);

private:
    QWidget* window_;
    UpdaterUi& ui_;
    Clock& clock_;
    std::shared_ptr<midi::MidiBackend> midi_;
    midi::MidiSelection& selection_;
    Updater& updater_;
    QAction* command_;
    std::function<void(bool)> commandsEnabled_;
};

}  // namespace kaldo
