#include "DeviceMenus.h"

#include <QActionGroup>
#include <QLabel>
#include <QMenu>

#include "DiagnosticsWindow.h"
#include "SystemMidi.h"
#include "TStatusBar.h"
#include "Updater.h"

namespace kaldo {

namespace {

const char* const kNoDevices = "No MIDI devices found";
const char* const kPortsClosed = "The amp's ports were closed: Midi > Find Amp opens them again.";

QString qs(const std::string& s) { return QString::fromStdString(s); }

// "1 MIDI output", "2 MIDI inputs".
std::string counted(int n, const char* what) {
    return std::to_string(n) + " MIDI " + what + (n == 1 ? "" : "s");
}

}  // namespace

DeviceMenus::DeviceMenus(QMenu* out, QMenu* in, midi::MidiSelection& selection,
                         std::shared_ptr<midi::BoundedMidi> midi, Updater& updater, TStatusBar& status,
                         DiagnosticsWindow* diagnostics)
    : out_(out),
      in_(in),
      selection_(selection),
      midi_(std::move(midi)),
      updater_(updater),
      status_(status),
      diagnostics_(diagnostics),
      outGroup_(new QActionGroup(this)),
      inGroup_(new QActionGroup(this)),
      noOutDevices_(out->addAction(kNoDevices)),
      noInDevices_(in->addAction(kNoDevices)) {
    for (QAction* line : {noOutDevices_, noInDevices_}) line->setEnabled(false);
}

DeviceMenus::~DeviceMenus() { selection_.onChanged = nullptr; }

void DeviceMenus::listDevices() {
    selection_.onChanged = [this] { render(); };
    selection_.populateMidiSelect();
    render();
    if (selection_.outItems().size() == 1 && selection_.inItems().size() == 1) showCounts();
    // Devices coming and going: the system says so, nothing polls.
    watch();
}

void DeviceMenus::render() {
    syncMenu(out_, outGroup_, noOutDevices_, selection_.outItems());
    syncMenu(in_, inGroup_, noInDevices_, selection_.inItems());
    diagnostics_->Label4->setText(qs(selection_.Label4().empty() ? "?" : selection_.Label4()));
    diagnostics_->Label5->setText(qs(selection_.Label5().empty() ? "?" : selection_.Label5()));
    if (!midi_->silentSystem().empty() && !toldSilent_) {
        toldSilent_ = true;
        showCounts();
    }
    retireNote();
}

// Brings a submenu in line with the selection's items. Items are updated in place and surplus ones
// deleted later, because this runs inside the click handler of one of them. The line saying that
// there are no devices stays last and shows only while "None" is alone.
void DeviceMenus::syncMenu(QMenu* menu, QActionGroup* group, QAction* noDevices,
                           const std::vector<midi::MidiMenuItem>& items) {
    QList<QAction*> actions = menu->actions();
    actions.removeOne(noDevices);
    while (actions.size() > static_cast<qsizetype>(items.size())) {
        QAction* surplus = actions.takeLast();
        menu->removeAction(surplus);
        group->removeAction(surplus);
        surplus->deleteLater();
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        QAction* item;
        if (i < static_cast<std::size_t>(actions.size())) {
            item = actions[static_cast<qsizetype>(i)];
        } else {
            item = new QAction(menu);
            menu->insertAction(noDevices, item);
            item->setCheckable(true);
            group->addAction(item);
            connect(item, &QAction::triggered, this, [this, menu, item] { itemClicked(menu, item); });
            if (i == 0) {  // "None", the default item
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
        }
        QString caption = qs(items[i].caption);
        item->setText(caption.replace('&', "&&"));  // device names are not accelerators
        item->setData(items[i].tag);
        item->setChecked(items[i].checked);
    }
    noDevices->setVisible(items.size() == 1);
}

void DeviceMenus::itemClicked(QMenu* menu, QAction* item) {
    const int index = static_cast<int>(menu->actions().indexOf(item));
    // While an upload holds the ports they must not change under it: the click is undone.
    if (index >= 0 && !updater_.devicesLocked()) {
        if (menu == out_)
            selection_.Dev1Click(index);
        else
            selection_.NoneInClick(index);
    }
    render();
}

void DeviceMenus::recheck() {
    selection_.ReCheckforMididevices();
    render();
    showCounts();
    watch();
}

void DeviceMenus::relistAfterUpload(bool portsClosed) {
    showChange(selection_.relistIfPending());
    if (!portsClosed) return;
    const QString end = status_.text(3).trimmed();
    say(Note::PortsClosed, (end.isEmpty() ? QString("Status ->") : end) + " " + kPortsClosed);
}

void DeviceMenus::systemAnswers() {
    toldSilent_ = false;
    showChange(selection_.devicesChanged(updater_.devicesLocked()));
    watch();
    if (!updater_.uploadRunning()) showCounts();
}

void DeviceMenus::stopWatching() { watch_.reset(); }

void DeviceMenus::watch() {
    if (watch_) return;
    watch_ = midi_->watchDevices(
        [this] { QMetaObject::invokeMethod(this, &DeviceMenus::devicesChanged, Qt::QueuedConnection); });
}

void DeviceMenus::devicesChanged() { showChange(selection_.devicesChanged(updater_.devicesLocked())); }

void DeviceMenus::showChange(const midi::MidiSelection::DeviceChange& change) {
    // During an upload the engine ends it and says why; otherwise the status row says what went.
    if (!change.outputGone.empty() && updater_.uploadRunning()) {
        updater_.outputPortGone();
    } else if (!change.outputGone.empty()) {
        say(Note::OutputGone,
            qs("Status -> The MIDI output \"" + change.outputGone + "\" went away: Midi > Out is back on None."));
    } else if (!change.inputGone.empty() && !updater_.uploadRunning()) {
        say(Note::InputGone,
            qs("Status -> The MIDI input \"" + change.inputGone + "\" went away: Midi > In is back on None."));
    }
}

// What a look for devices found, in the status row: the counts, or what to connect or start, or
// that the system did not answer and will be listed when it does.
void DeviceMenus::showCounts() {
    if (const std::string silence = midi_->silence(); !silence.empty()) {
        say(Note::Silent, qs("Status -> " + silence +
                             ", so its MIDI devices are not listed; they will be as soon as it answers."));
        return;
    }
    const int outputs = static_cast<int>(selection_.outItems().size()) - 1;
    const int inputs = static_cast<int>(selection_.inItems().size()) - 1;
    if (outputs == 0 && inputs == 0) {
        say(Note::NoDevices, qs("Status -> No MIDI devices found. " + midi::noDevicesAdvice() +
                                ", then Re-Check for Midi devices (F5)."));
        return;
    }
    say(Note::Counts,
        qs("Status -> Found " + counted(outputs, "output") + " and " + counted(inputs, "input") + "."));
}

void DeviceMenus::say(Note note, const QString& text) {
    status_.setText(3, text);
    note_ = note;
    noteText_ = text;
}

// A note that is no longer so goes: "no devices" once there are some (with their counts), a port
// that went or ports an upload closed once a port is chosen again. One written over by another part
// of the program is not ours any more.
void DeviceMenus::retireNote() {
    if (note_ == Note::None) return;
    if (status_.text(3) != noteText_) {
        note_ = Note::None;
        return;
    }
    const bool devices = selection_.outItems().size() > 1 || selection_.inItems().size() > 1;
    if (note_ == Note::NoDevices && devices) {
        showCounts();
    } else if ((note_ == Note::OutputGone || note_ == Note::PortsClosed) && selection_.outPortReady) {
        say(Note::None, " ");
    } else if (note_ == Note::InputGone && selection_.inPortReady) {
        say(Note::None, " ");
    }
}

}  // namespace kaldo
