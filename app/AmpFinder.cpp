#include "AmpFinder.h"

#include <QAction>
#include <QApplication>
#include <QInputDialog>

#include "BackendDetectionLine.h"
#include "MidiSelection.h"
#include "Updater.h"
#include "UpdaterUi.h"

namespace kaldo {

AmpFinder::AmpFinder(QWidget* window, UpdaterUi& ui, Clock& clock, std::shared_ptr<midi::MidiBackend> midi,
                     midi::MidiSelection& selection, Updater& updater, QAction* command,
                     std::function<void(bool)> commandsEnabled)
    : window_(window),
      ui_(ui),
      clock_(clock),
      midi_(std::move(midi)),
      selection_(selection),
      updater_(updater),
      command_(command),
      commandsEnabled_(std::move(commandsEnabled)) {}

std::optional<FoundAmp> AmpFinder::find(bool tellFound) {
    if (updater_.uploadRunning() || !command_->isEnabled()) return std::nullopt;
    commandsEnabled_(false);
    ui_.setStatus2(3, "Status -> Looking for the amp on every MIDI port...");
    QApplication::setOverrideCursor(Qt::BusyCursor);
    Detection found;
    {
        midi::BackendDetectionLine line(midi_);
        found = detectAmps(line, clock_);
    }
    QApplication::restoreOverrideCursor();
    commandsEnabled_(true);

    std::optional<FoundAmp> amp;
    if (found.amps.size() == 1) amp = found.amps.front();
    if (found.amps.empty()) {
        ui_.setStatus2(3, "Status -> No amp answered.");
        ui_.messageBox(
            "No amp answered. Check that the amp is switched on, that its USB cable is plugged in (or "
            "both MIDI cables: the amp's MIDI out to the computer's MIDI in, and back), and that a USB "
            "amp is in its USB MIDI mode. Then try again.",
            "Find Amp", Buttons::Ok);
        return std::nullopt;
    }
    if (found.amps.size() > 1) {
        QStringList choices;
        for (const FoundAmp& a : found.amps) {
            choices << QString::fromStdString(a.out.name + " / " + a.in.name + ", version " + a.versionText);
        }
        bool picked = false;
        const QString choice = QInputDialog::getItem(
            window_, "Find Amp",
            QString("%1 amps answered. Which one do you want to update?").arg(found.amps.size()), choices, 0,
            false, &picked);
        if (!picked) return std::nullopt;
        amp = found.amps.at(static_cast<std::size_t>(choices.indexOf(choice)));
    }
    selection_.selectByName(amp->out.name, amp->in.name);
    if (!selection_.outPortReady || !selection_.inPortReady) return std::nullopt;  // it said why
    const std::string text =
        "Found the amp on " + amp->out.name + " / " + amp->in.name + ", version " + amp->versionText;
    ui_.setStatus2(3, "Status -> " + text);
    ui_.setStatus2(1, "Version " + amp->versionText);  // what the amp just said, as its reply would show
    if (tellFound) ui_.messageBox(text, "Find Amp", Buttons::Ok);
    return amp;
}

}  // namespace kaldo
