#include "MainWindowHost.h"

#include <QApplication>
#include <QFileDialog>

#include "Clock.h"
#include "MidiSelection.h"
#include "Settings.h"
#include "TForm1.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "Updater.h"

namespace kaldo {

namespace {

// "Syx files (*.syx)|*.syx" (description|pattern pairs) as Qt's "Syx files (*.syx)".
QString qtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) filters << parts[i];
    return filters.join(";;");
}

// How long one pump may wait for something to happen when nothing is pending.
constexpr int kPumpWaitMs = 5;

}  // namespace

MainWindowHost::MainWindowHost(TForm1& form, Clock& clock, Updater& updater, midi::MidiSelection& selection,
                               midi::TMidiOut& out, midi::TMidiIn& in, const Settings& settings)
    : form_(form), clock_(clock), updater_(updater), selection_(selection), out_(out), in_(in), settings_(settings) {}

std::vector<std::string> MainWindowHost::outputDeviceNames() {
    std::vector<std::string> names;
    for (int i = 0; i < out_.NumDevs(); ++i) names.push_back(out_.deviceName(i));
    return names;
}

std::vector<std::string> MainWindowHost::inputDeviceNames() {
    std::vector<std::string> names;
    for (int i = 0; i < in_.NumDevs(); ++i) names.push_back(in_.deviceName(i));
    return names;
}

// A device change under a running upload would pull its port away: refused until the upload has
// released the ports (its closing dialogs then ask for them again).
void MainWindowHost::clickOutItem(int item) {
    if (!updater_.devicesLocked()) selection_.Dev1Click(item);
}

void MainWindowHost::clickInItem(int item) {
    if (!updater_.devicesLocked()) selection_.NoneInClick(item);
}

bool MainWindowHost::outPortReady() { return selection_.outPortReady; }

bool MainWindowHost::inPortReady() { return selection_.inPortReady; }

std::optional<FoundAmp> MainWindowHost::findAmp() { return form_.findTheAmp(false); }

void MainWindowHost::Put2(std::uint8_t status, std::uint8_t data) { out_.Put2(status, data); }

void MainWindowHost::SysEx(const std::uint8_t* data, std::size_t length) { out_.SysEx(data, length); }

// Over the window that asks (the wizard), so that the window system gives it the keyboard back after.
std::optional<std::string> MainWindowHost::runOpenDialog(const std::string& filter) {
    QWidget* asking = QApplication::activeWindow() ? QApplication::activeWindow() : &form_;
    const QString path = QFileDialog::getOpenFileName(asking, "Open", QString(), qtFilter(filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

int MainWindowHost::ReadFile(const std::string& path) { return updater_.ReadFile(path); }

// Through the menu command, so that the window refuses the other commands while the upload runs
// and a close in the meantime is handled when it ends.
UploadOutcome MainWindowHost::clickUploadCode() {
    if (updater_.uploadRunning()) return UploadOutcome::Failed;
    form_.Button2Click();
    return form_.lastUpload().outcome;
}

void MainWindowHost::mainToFront() {
    form_.raise();
    form_.activateWindow();
}

void MainWindowHost::pump() { clock_.waitForNotify(kPumpWaitMs); }

void MainWindowHost::pause(int ms) { clock_.pause(ms); }

std::int64_t MainWindowHost::nowMs() { return clock_.nowMs(); }

void MainWindowHost::setFirstTime(bool showAtStart) {
    settings_.writeFirstTime(showAtStart);
    form_.StartupHelp1->setChecked(showAtStart);
}

std::optional<IdentityReply> MainWindowHost::ampVersion() {
    const auto snapshot = updater_.replies.snapshot();
    if (snapshot.ampVersion == kNoVersion) return std::nullopt;
    return IdentityReply{snapshot.ampVersion, snapshot.ampVersionText};
}

void MainWindowHost::clearAmpVersion() { updater_.replies.clearAmpVersion(); }

PackedVersion MainWindowHost::fileVersionUnmasked() { return updater_.loader.fileVersionUnmasked; }


void MainWindowHost::clearReplyCode() { updater_.replies.clearReplyCode(); }

bool MainWindowHost::takeReply(int code) { return updater_.replies.take({code}).has_value(); }

void MainWindowHost::initTimeout(int ms) { updater_.initTimeout(ms); }

bool MainWindowHost::timeoutCheck() { return updater_.timeoutCheck(); }

void MainWindowHost::resetCodeUpload() { updater_.resetCodeUpload(); }

void MainWindowHost::setStatusPanel1(const std::string& text) { form_.setStatus2(1, text); }

void MainWindowHost::setStatusPanel3(const std::string& text) { form_.setStatus2(3, text); }

void MainWindowHost::messageBox(const std::string& text, const std::string& caption) {
    form_.messageBox(text, caption, Buttons::Ok);
}

SharedFlags& MainWindowHost::flags() { return updater_.flags; }

}  // namespace kaldo
