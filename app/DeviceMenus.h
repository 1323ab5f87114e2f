#pragma once
// The "Out" and "In" radio submenus of "&Midi", kept true to the device selection and to the MIDI
// system: listed from the selection, clicked (undone while an upload holds the ports), listed again
// when the system says devices came or went, and what the status row says about the ports: what a
// look for devices found, a port that went, ports an upload closed. Such a note goes as soon as it is
// no longer so (devices came, a port was chosen again).
#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "MidiBackend.h"
#include "MidiSelection.h"

class QAction;
class QActionGroup;
class QMenu;

namespace kaldo {

class DiagnosticsWindow;
class TStatusBar;
class Updater;

class DeviceMenus : public QObject {
    Q_OBJECT

public:
    // out and in are the window's empty submenus; status is the lower status row, whose panel 3 the
    // notes go to; the diagnostics window shows the selected names.
    DeviceMenus(QMenu* out, QMenu* in, midi::MidiSelection& selection,
                std::shared_ptr<midi::MidiBackend> midi, Updater& updater, TStatusBar& status,
                DiagnosticsWindow* diagnostics);
    ~DeviceMenus() override;

    // The first listing, both on "None": with no device at all the status row says so at once, and
    // what to do. From then on the system's word about devices is heard.
    void listDevices();
    // Both menus as the selection stands.
    void render();
    // "Re-Check for Midi devices": lists again, says the counts, and watches a MIDI system that
    // started after the program from now on.
    void recheck();
    // An upload has ended: the lists that waited for it follow the devices now. When it did not
    // complete and closed the amp's ports (portsClosed), the status row says so after its end, and
    // how to open them again.
    void relistAfterUpload(bool portsClosed);
    // The window closes: no more word from the system.
    void stopWatching();

private:
    void syncMenu(QMenu* menu, QActionGroup* group, QAction* noDevices,
                  const std::vector<midi::MidiMenuItem>& items);
    void itemClicked(QMenu* menu, QAction* item);
    // Device changes: the system's watch, started when there is a system to watch; its word, on the
    // window thread; and what the user is told of it.
    void watch();
    void devicesChanged();
    void showChange(const midi::MidiSelection::DeviceChange& change);
    void showCounts();
    enum class Note { None, Counts, NoDevices, OutputGone, InputGone, PortsClosed };
    void say(Note note, const QString& text);
    void retireNote();

    QMenu* out_;
    QMenu* in_;
    midi::MidiSelection& selection_;
    std::shared_ptr<midi::MidiBackend> midi_;
    Updater& updater_;
    TStatusBar& status_;
    DiagnosticsWindow* diagnostics_;
    QActionGroup* outGroup_;
    QActionGroup* inGroup_;
    QAction* noOutDevices_;  // the disabled "No MIDI devices found" line under "None"
    QAction* noInDevices_;
    std::unique_ptr<midi::DeviceWatch> watch_;
    Note note_ = Note::None;  // what the status row says of ours, while nobody wrote over it
    QString noteText_;
};

}  // namespace kaldo
