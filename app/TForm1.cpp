#include "TForm1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QShortcut>

#include "AboutBox.h"
#include "BackendDetectionLine.h"
#include "DiagnosticsWindow.h"
#include "DrawnButton.h"
#include "LampLayout.h"
#include "Look.h"
#include "MainWindowHost.h"
#include "PictureLabel.h"
#include "Pictures.h"
#include "RunLog.h"
#include "SystemMidi.h"
#include "SystemSleepGuard.h"
#include "TCGauge.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TLEDImage.h"
#include "TStatusBar.h"

namespace kaldo {

namespace {

// The design's fonts are not free; these are the nearest free ones. "MS Sans Serif" 8 pt becomes
// DejaVu Sans 11 px, "Futura Bk" and "Futura Hv" become DejaVu Sans Condensed Bold (Futura is narrow,
// and the note line must fit on the 700-pixel panel).
QFont designFont(int pixelSize, bool bold, bool condensed) {
    QFont f(condensed ? "DejaVu Sans Condensed" : "DejaVu Sans");
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void setTextColour(QLabel* label, const QColor& colour) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
}

QString qs(const std::string& s) { return QString::fromStdString(s); }

const char* const kStopQuestion =
    "An upload is running. Stopping now leaves the amp without working firmware until you update it again. "
    "Stop the upload?";
const char* const kNoDevices = "No MIDI devices found";

// "1 MIDI output", "2 MIDI inputs".
QString counted(int n, const char* what) { return QString("%1 MIDI %2%3").arg(n).arg(what).arg(n == 1 ? "" : "s"); }

// The question before leaving mid-upload was answered with "Stop".
bool answeredStop(QMessageBox* box) {
    return box->clickedButton() && box->buttonRole(box->clickedButton()) == QMessageBox::DestructiveRole;
}

// Any other control of the window, as the ring collection sees it: its class name without our
// namespace, and the Tag the design gave it.
class ChildControl : public PanelControl {
public:
    explicit ChildControl(QWidget* widget) : widget_(widget) {}
    std::string className() const override {
        const std::string name = widget_->metaObject()->className();
        return name.substr(name.rfind(':') == std::string::npos ? 0 : name.rfind(':') + 1);
    }
    int left() const override { return widget_->x(); }
    int top() const override { return widget_->y(); }
    std::int32_t tag() const override { return widget_->property("Tag").toInt(); }
    void setTag(std::int32_t tag) override { widget_->setProperty("Tag", tag); }

private:
    QWidget* widget_;
};

}  // namespace

TForm1::TForm1(const Environment& env)
    : MidiOut1(env.midi),
      MidiIn1(env.midi),
      shows(env.clock),
      clock_(env.clock),
      settings_(env.settings),
      midi_(env.midi),
      runLog_(std::make_unique<RunLog>()) {
    setWindowTitle("Kaldo Updater v2.83");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    BlockSenderFactory* senders = env.senders;
    if (!senders) {
        ownSenders_ = std::make_unique<ThreaderFactory>(&clock_);
        senders = ownSenders_.get();
    }
    SleepGuard* sleep = env.sleep;
    if (!sleep) {
        ownSleep_ = power::systemSleepGuard();
        sleep = ownSleep_.get();
    }
    updater = std::make_unique<Updater>(clock_, *this, link_, shows, *senders, *sleep);
    MidiOut1.Init();
    MidiIn1.Init();
    MidiIn1.OnSysEx = [this](midi::TMidiIn&, const std::uint8_t* bytes, int size) {
        updater->MidiIn1SysEx(bytes, static_cast<std::size_t>(size));
    };
    // Input that never reaches the reply handler still goes into the receive log.
    MidiIn1.OnDropped = [this](midi::TMidiIn&, const std::string& line) {
        clock_.post([this, line] { updater->memo.addReceivedLine(line); });
    };
    selection = std::make_unique<midi::MidiSelection>(*env.midi, MidiOut1, MidiIn1, *this, updater->memo);
    selectedLink_ = std::make_unique<midi::SelectedMidiLink>(MidiOut1, *selection);
    link_.setTarget(env.link ? env.link : selectedLink_.get());
    host_ = std::make_unique<MainWindowHost>(*this, clock_, *updater, *selection, MidiOut1, MidiIn1, settings_);

    // 1. the window and its controls
    buildControls();
    buildLamps();
    buildMenus();
    diagnostics = new DiagnosticsWindow(this, runLog_->path());
    connect(diagnostics->Button4, &QPushButton::clicked, this, [this] {
        selection->Button4Click();
        renderDeviceMenus();
    });
    connect(diagnostics->Button9, &QPushButton::clicked, this, [this] {
        selection->Button9Click();
        renderDeviceMenus();
    });
    Timer2.setInterval(250);
    Timer2.setSingleShot(true);
    Timer3.setInterval(500);
    connect(&Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
    connect(&Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    // Escape works the cancel button while it is shown, as a click on it would.
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, [this] {
        if (!Label1->isVisible()) return;
        CancelMouseDown();
        CancelMouseUp();
    });
    // The end of the desktop session must not cut an upload short without asking.
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
            if (!updater->uploadRunning()) return;
            const bool canAsk = manager.allowsInteraction();
            if (!sessionMayEnd(canAsk)) manager.cancel();
            if (canAsk) manager.release();
        });
    }
    // fixed size: the client area stays 703 x 375 below the menu bar
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    // 2. the rings, collected from the window's direct children
    std::vector<std::unique_ptr<PanelControl>> others;
    std::vector<PanelControl*> children;
    for (QObject* child : client_->children()) {
        if (auto* lamp = qobject_cast<TLEDImage*>(child)) {
            children.push_back(lamp);
        } else if (auto* widget = qobject_cast<QWidget*>(child)) {
            others.push_back(std::make_unique<ChildControl>(widget));
            children.push_back(others.back().get());
        }
    }
    shows.init_leds(children);

    // 3. the device menus, both on "None"
    selection->onChanged = [this] { renderDeviceMenus(); };
    selection->populateMidiSelect();
    renderDeviceMenus();
    // With no device at all the status row says so at once, and what to do.
    if (selection->outItems().size() == 1 && selection->inItems().size() == 1) showDeviceCounts();
    // Devices coming and going: the system says so, nothing polls.
    watchDevices();

    // 4 to 10. the settings and the remembered firmware file
    readSettings();
}

TForm1::~TForm1() {
    deviceWatch_.reset();
    // The input's handler reaches the engine: no reply may arrive once the engine is gone.
    MidiIn1.SetUsing(false);
    MidiOut1.SetUsing(false);
}

void TForm1::readSettings() {
    const StartupSettings start = settings_.load();
    StartupHelp1->setChecked(start.firstTime);
    if (start.firstTime) {
        Timer2.setInterval(400);
        Timer2.start();
    }
    // X is the top edge and Y the left edge, as the file has always kept them. A position on a
    // monitor that has since gone, or half off a screen, is brought back where the window is seen.
    look::moveOnScreen(this, QPoint(start.left, start.top));
    if (start.firmwareFile) updater->ReadFile(*start.firmwareFile);
    // The amp's ports of last time, when they are there.
    selection->selectByName(start.outName, start.inName);
}

void TForm1::attachWindows(TForm3* wizard, TForm4* test, TForm5* dialog) {
    Form3_ = wizard;
    Form4_ = test;
    Form5_ = dialog;
}

WizardHost& TForm1::host() { return *host_; }

QString TForm1::logFilePath() const { return runLog_->path(); }

void TForm1::buildControls() {
    client_ = new QWidget(this);
    client_->setFixedSize(kClientWidth, kClientHeight);
    client_->setAutoFillBackground(true);
    QPalette pal = client_->palette();
    pal.setColor(QPalette::Window, QColor(0x40, 0x40, 0x40));  // the 3-D dark shadow colour
    client_->setPalette(pal);
    client_->setFont(designFont(11, false, false));
    setCentralWidget(client_);

    Image1 = new QLabel(client_);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, -1, 700, 284);
    Image1->setPixmap(picture("front-panel.jpg"));
    Image1->setProperty("Tag", 1);  // the design gave the panel picture Tag 1; it is no lamp

    Image2 = new PictureLabel(client_);
    Image2->setObjectName("Image2");
    Image2->setGeometry(320, 98, 66, 66);
    Image2->setPixmap(picture("cancel-button.jpg"));
    Image2->hide();

    Label1 = new PictureLabel("Push to Cancel", client_);
    Label1->setObjectName("Label1");
    Label1->setGeometry(334, 108, 40, 39);
    Label1->setFont(designFont(11, true, true));  // "Cancel" must fit the 40-pixel width
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    setTextColour(Label1, Qt::black);
    Label1->setFocusPolicy(Qt::TabFocus);  // the cancel button, for the keyboard
    Label1->hide();
    new drawn::FocusRing(Label1, Image2->geometry());
    for (PictureLabel* cancel : {Image2, Label1}) {
        connect(cancel, &PictureLabel::mouseDown, this, &TForm1::CancelMouseDown);
        connect(cancel, &PictureLabel::mouseUp, this, &TForm1::CancelMouseUp);
    }

    Label3 = new QLabel("Programming in Progress. Do not turn off amp.", client_);
    Label3->setObjectName("Label3");
    Label3->setFont(designFont(16, true, true));
    setTextColour(Label3, Qt::red);
    Label3->move(146, 3);
    Label3->adjustSize();
    Label3->hide();

    Label2 = new QLabel(
        "*Note: Indicator lights are approximate and may not exactly duplicate the action on the amp.", client_);
    Label2->setObjectName("Label2");
    Label2->setFont(designFont(11, true, true));
    setTextColour(Label2, QColor(0xC0, 0xC0, 0xC0));
    Label2->move(137, 266);
    Label2->adjustSize();

    StatusBar1 = new TStatusBar(client_, {100, 100, 200, 180, 100}, QColor(0xC0, 0xC0, 0xC0));
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setGeometry(0, 284, 702, 32);
    StatusBar1->setText(0, "New Firmware");

    CGauge1 = new TCGauge(client_);
    CGauge1->setObjectName("CGauge1");
    CGauge1->setGeometry(0, 317, 703, 27);
    CGauge1->hide();

    StatusBar2 = new TStatusBar(client_, {100, 100, 150, 50}, QColor(0x80, 0x80, 0x80));
    StatusBar2->setObjectName("StatusBar2");
    StatusBar2->setGeometry(0, 343, 703, 32);
    StatusBar2->setText(0, "Current Firmware");
}

void TForm1::buildLamps() {
    for (const LampPlace& place : kLampLayout) {
        auto* lamp = new TLEDImage(client_);
        lamp->setObjectName(place.name);
        lamp->move(place.left, place.top);
        lamp->Tag = place.tag;
        // As stored with the form: Color red, then LEDOn true, so every lamp comes up lit red.
        lamp->SetColor(clRed);
        lamp->TurnOn(true);
        lamps.push_back(lamp);
    }
    // the cancel button and the texts lie over the lamps
    for (QWidget* w : std::initializer_list<QWidget*>{Image2, Label1, Label3, Label2}) w->raise();
}

void TForm1::buildMenus() {
    File1 = menuBar()->addMenu("&File");
    Firmware1 = File1->addAction("Open &Firmware");
    Firmware1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Exit1 = File1->addAction("E&xit");
    StartupHelp1 = File1->addAction("Startup Help");
    StartupHelp1->setCheckable(true);
    StartupHelp1->setChecked(true);
    connect(Firmware1, &QAction::triggered, this, &TForm1::Firmware1Click);
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    connect(StartupHelp1, &QAction::triggered, this, &TForm1::StartupHelp1Click);

    Midi1 = menuBar()->addMenu("&Midi");
    Out1 = Midi1->addMenu("Out");
    In1 = Midi1->addMenu("In");
    outGroup_ = new QActionGroup(this);
    inGroup_ = new QActionGroup(this);
    noOutDevices_ = Out1->addAction(kNoDevices);
    noInDevices_ = In1->addAction(kNoDevices);
    for (QAction* line : {noOutDevices_, noInDevices_}) line->setEnabled(false);
    ReCheckforMididevices1 = Midi1->addAction("Re-Check for Midi devices");
    ReCheckforMididevices1->setShortcut(QKeySequence(Qt::Key_F5));
    TestMidiConnection1 = Midi1->addAction("Test Connection");
    FindAmp1 = Midi1->addAction("Find Amp");
    Midi1->addSeparator();
    Diagnostics1 = Midi1->addAction("Diagnostics");
    connect(ReCheckforMididevices1, &QAction::triggered, this, &TForm1::ReCheckforMididevices1Click);
    connect(TestMidiConnection1, &QAction::triggered, this, &TForm1::TestMidiConnection1Click);
    connect(FindAmp1, &QAction::triggered, this, &TForm1::FindAmp1Click);
    connect(Diagnostics1, &QAction::triggered, this, [this] {
        if (!diagnostics->isVisible()) look::centreOver(diagnostics, this);
        diagnostics->show();
        diagnostics->raise();
    });

    Run1 = menuBar()->addMenu("&Run");
    UploadCode1 = Run1->addAction("Upload Code");
    UploadCode1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    connect(UploadCode1, &QAction::triggered, this, &TForm1::Button2Click);

    Help1 = menuBar()->addMenu("&Help");
    About1 = Help1->addAction("About KALDO Updater");
    connect(About1, &QAction::triggered, this,
            [this] { showAbout(this, QString::fromStdString(settings_.path().string()), logFilePath()); });
}

void TForm1::renderDeviceMenus() {
    syncDeviceMenu(Out1, outGroup_, noOutDevices_, selection->outItems());
    syncDeviceMenu(In1, inGroup_, noInDevices_, selection->inItems());
    diagnostics->Label4->setText(qs(selection->Label4().empty() ? "?" : selection->Label4()));
    diagnostics->Label5->setText(qs(selection->Label5().empty() ? "?" : selection->Label5()));
}

// Brings a submenu in line with the selection's items. Items are updated in place and surplus ones
// deleted later, because this runs inside the click handler of one of them. The line saying that
// there are no devices stays last and shows only while "None" is alone.
void TForm1::syncDeviceMenu(QMenu* menu, QActionGroup* group, QAction* noDevices,
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
            connect(item, &QAction::triggered, this, [this, menu, item] { deviceItemClicked(menu, item); });
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

void TForm1::deviceItemClicked(QMenu* menu, QAction* item) {
    const int index = static_cast<int>(menu->actions().indexOf(item));
    // While an upload holds the ports they must not change under it: the click is undone.
    if (index >= 0 && !updater->devicesLocked()) {
        if (menu == Out1)
            selection->Dev1Click(index);
        else
            selection->NoneInClick(index);
    }
    renderDeviceMenus();
}

void TForm1::setCommandsEnabled(bool enabled) {
    for (QAction* a : {Firmware1, ReCheckforMididevices1, TestMidiConnection1, FindAmp1, UploadCode1})
        a->setEnabled(enabled);
    Out1->setEnabled(enabled);
    In1->setEnabled(enabled);
}

// ---- UpdaterUi -------------------------------------------------------------------------------------

void TForm1::setStatus1(int panel, const std::string& text) { StatusBar1->setText(panel, qs(text)); }

void TForm1::setStatus2(int panel, const std::string& text) { StatusBar2->setText(panel, qs(text)); }

Answer TForm1::messageBox(const std::string& text, const std::string& caption, Buttons buttons) {
    dismissStopQuestion();
    QMessageBox box(QMessageBox::NoIcon, qs(caption), qs(text),
                    buttons == Buttons::Ok ? QMessageBox::Ok : QMessageBox::Ok | QMessageBox::Cancel, this);
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

void TForm1::setGaugeVisible(bool visible) { CGauge1->setVisible(visible); }

void TForm1::setGaugeMax(int max) { CGauge1->SetMaxValue(max); }

void TForm1::setGaugeProgress(int progress) { CGauge1->SetProgress(progress); }

void TForm1::setWarningVisible(bool visible) { Label3->setVisible(visible); }

void TForm1::setWarningBlink(bool enabled) {
    if (enabled)
        Timer3.start();
    else
        Timer3.stop();
}

// Shown, the cancel button takes the keyboard focus, so that Space or Enter cancels at once.
void TForm1::setCancelLabelVisible(bool visible) {
    Label1->setVisible(visible);
    if (visible) Label1->setFocus();
}

void TForm1::setCancelPictureVisible(bool visible) { Image2->setVisible(visible); }

void TForm1::dialogMessage(const std::string& text) {
    dismissStopQuestion();
    Form5_->dialogMessage(qs(text));
}

bool TForm1::dialogQuestion(const std::string& text) {
    dismissStopQuestion();
    return Form5_->dialogQuestion(qs(text));
}

void TForm1::dialogPortSelection(const std::string& text, bool confirm) {
    dismissStopQuestion();
    Form5_->dialogPortSelection(qs(text), confirm);
}

void TForm1::wizardToFront() { Form3_->wizardToFront(); }

void TForm1::wizardResetStartup() { Form3_->ResetStartupClick(); }

void TForm1::showAmpVersion(const std::string& versionText, bool inWizard) {
    StatusBar2->setText(1, "Version " + qs(versionText));
    Form4_->showAmpVersion(qs(versionText));
    if (inWizard) Form3_->showAmpVersion(qs(versionText));
}

void TForm1::logChanged() {
    const std::deque<std::string>& lines = updater->memo.lines();
    if (!lines.empty()) runLog_->append(qs(lines.back()));
    QStringList shown;
    for (const std::string& line : lines) shown << qs(line);
    diagnostics->showLines(shown);
}

// ---- handlers --------------------------------------------------------------------------------------

void TForm1::Firmware1Click() {
    if (updater->uploadRunning()) return;
    const QString path = QFileDialog::getOpenFileName(this, "Open", QString(), "Syx files (*.syx)");
    if (!path.isEmpty()) updater->ReadFile(path.toStdString());
}

void TForm1::Exit1Click() { close(); }

void TForm1::StartupHelp1Click() {
    // The action has already toggled its check mark: that is the new first-time flag.
    const bool firstTime = StartupHelp1->isChecked();
    settings_.writeFirstTime(firstTime);
    if (firstTime) Form3_->showWizard();
}

void TForm1::ReCheckforMididevices1Click() {
    if (updater->uploadRunning()) return;
    selection->ReCheckforMididevices();
    renderDeviceMenus();
    showDeviceCounts();
    watchDevices();  // a MIDI system that started after the program is watched from now on
}

void TForm1::watchDevices() {
    if (deviceWatch_) return;
    deviceWatch_ = midi_->watchDevices(
        [this] { QMetaObject::invokeMethod(this, &TForm1::devicesChanged, Qt::QueuedConnection); });
}

void TForm1::devicesChanged() { showDeviceChange(selection->devicesChanged(updater->devicesLocked())); }

void TForm1::showDeviceChange(const midi::MidiSelection::DeviceChange& change) {
    // During an upload the engine ends it and says why; otherwise the status row says what went.
    if (!change.outputGone.empty() && updater->uploadRunning()) {
        updater->outputPortGone();
    } else if (!change.outputGone.empty()) {
        setStatus2(3, "Status -> The MIDI output \"" + change.outputGone + "\" went away: Midi > Out is back on None.");
    } else if (!change.inputGone.empty() && !updater->uploadRunning()) {
        setStatus2(3, "Status -> The MIDI input \"" + change.inputGone + "\" went away: Midi > In is back on None.");
    }
}

// What a look for devices found, in the status row: the counts, or what to connect or start.
void TForm1::showDeviceCounts() {
    const int outputs = static_cast<int>(selection->outItems().size()) - 1;
    const int inputs = static_cast<int>(selection->inItems().size()) - 1;
    StatusBar2->setText(
        3, outputs == 0 && inputs == 0
               ? "Status -> No MIDI devices found. " + qs(midi::noDevicesAdvice()) +
                     ", then Re-Check for Midi devices (F5)."
               : "Status -> Found " + counted(outputs, "output") + " and " + counted(inputs, "input") + ".");
}

void TForm1::FindAmp1Click() { findTheAmp(true); }

std::optional<FoundAmp> TForm1::findTheAmp(bool tellFound) {
    if (updater->uploadRunning() || !FindAmp1->isEnabled()) return std::nullopt;
    setCommandsEnabled(false);
    setStatus2(3, "Status -> Looking for the amp on every MIDI port...");
    QApplication::setOverrideCursor(Qt::BusyCursor);
    Detection found;
    {
        midi::BackendDetectionLine line(midi_);
        found = detectAmps(line, clock_);
    }
    QApplication::restoreOverrideCursor();
    setCommandsEnabled(true);

    std::optional<FoundAmp> amp;
    if (found.amps.size() == 1) amp = found.amps.front();
    if (found.amps.empty()) {
        setStatus2(3, "Status -> No amp answered.");
        messageBox("No amp answered. Check that the amp is switched on, that its USB cable is plugged in (or "
                   "both MIDI cables: the amp's MIDI out to the computer's MIDI in, and back), and that a USB amp "
                   "is in its USB MIDI mode. Then try again.",
                   "Find Amp", Buttons::Ok);
        return std::nullopt;
    }
    if (found.amps.size() > 1) {
        QStringList choices;
        for (const FoundAmp& a : found.amps) {
            choices << qs(a.out.name + " / " + a.in.name + ", version " + a.versionText);
        }
        bool picked = false;
        const QString choice = QInputDialog::getItem(
            this, "Find Amp", QString("%1 amps answered. Which one do you want to update?").arg(found.amps.size()),
            choices, 0, false, &picked);
        if (!picked) return std::nullopt;
        amp = found.amps.at(static_cast<std::size_t>(choices.indexOf(choice)));
    }
    selection->selectByName(amp->out.name, amp->in.name);
    if (!selection->outPortReady || !selection->inPortReady) return std::nullopt;  // it said why
    const std::string text = "Found the amp on " + amp->out.name + " / " + amp->in.name + ", version " + amp->versionText;
    setStatus2(3, "Status -> " + text);
    if (tellFound) messageBox(text, "Find Amp", Buttons::Ok);
    return amp;
}

void TForm1::TestMidiConnection1Click() {
    if (updater->uploadRunning()) return;
    // Without an output the test could send nothing, and would say nothing.
    if (!selection->outPortReady) {
        messageBox("Select a MIDI Out Port", "Midi Error", Buttons::Ok);
        return;
    }
    Form4_->showTest();
}

void TForm1::Button2Click() {
    if (updater->uploadRunning()) return;
    setCommandsEnabled(false);
    lastUpload_ = updater->Button2Click();
    // An upload that ended while the user was asked whether to stop it needs no answer any more.
    dismissStopQuestion();
    setCommandsEnabled(true);
    showDeviceChange(selection->relistIfPending());
    // The window was closed while the upload ran: its close handler waited for the upload to stop.
    if (closePending_) FormClose();
}

void TForm1::Timer2Timer() {
    Timer2.stop();
    Form3_->showWizard();
}

void TForm1::Timer3Timer() { Label3->setVisible(!Label3->isVisible()); }

void TForm1::CancelMouseDown() { updater->CancelMouseDown(); }

void TForm1::CancelMouseUp() { updater->CancelMouseUp(); }

void TForm1::FormClose() {
    if (closeHandled_) return;
    closeHandled_ = true;
    deviceWatch_.reset();
    MidiOut1.SetUsing(false);
    MidiIn1.SetUsing(false);
    ClosingSettings values;
    values.outPort = selection->selectedOutPort;
    values.inPort = selection->selectedInPort;
    values.outName = selection->selectedOutName();
    values.inName = selection->selectedInName();
    values.top = y();
    values.left = x();
    if (updater->loader.loadResult != kNotLoaded) values.loadedPath = updater->loader.loadedPath;
    settings_.save(values, *this);
    emit closed();
}

// Leaving mid-upload asks first; the question does not hold the upload up, which goes on while it
// is open. Keep uploading is the default, and the answer to Escape.
QMessageBox* TForm1::makeStopQuestion() {
    auto* box = new QMessageBox(QMessageBox::Warning, "Status", kStopQuestion, QMessageBox::NoButton, this);
    box->addButton("Stop", QMessageBox::DestructiveRole);
    QPushButton* keep = box->addButton("Keep uploading", QMessageBox::RejectRole);
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    return box;
}

void TForm1::askToStopUpload() {
    if (stopQuestion_) {
        stopQuestion_->raise();
        return;
    }
    stopQuestion_ = makeStopQuestion();
    stopQuestion_->setAttribute(Qt::WA_DeleteOnClose);
    QMessageBox* box = stopQuestion_;
    connect(box, &QMessageBox::finished, this, [this, box] {
        stopQuestion_.clear();
        if (answeredStop(box)) stopUploadAndClose();
    });
    box->open();
}

void TForm1::stopUploadAndClose() {
    if (!updater->uploadRunning()) return;
    closePending_ = true;
    updater->requestStop();
    close();
}

void TForm1::dismissStopQuestion() {
    if (stopQuestion_) stopQuestion_->done(QMessageBox::Rejected);
}

bool TForm1::sessionMayEnd(bool userCanAnswer) {
    if (!updater->uploadRunning()) return true;
    // Nobody to ask: the amp is better served by an upload that finishes.
    if (!userCanAnswer) return false;
    dismissStopQuestion();
    std::unique_ptr<QMessageBox> box(makeStopQuestion());
    box->exec();
    if (!answeredStop(box.get())) return false;
    stopUploadAndClose();
    return true;
}

// Placed before it was shown, the window did not know its frame yet: with the frame, it may stand
// out at the screen's edge, and is pulled in once more.
void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    look::moveOnScreen(this, pos());
}

void TForm1::closeEvent(QCloseEvent* event) {
    // A running upload is not left without asking; once the user chose to stop it, the close
    // handler runs when it has stopped, so the ports are not closed under the sender thread.
    if (updater->uploadRunning() && !closePending_) {
        event->ignore();
        askToStopUpload();
        return;
    }
    event->accept();
    for (QWidget* window : {static_cast<QWidget*>(diagnostics), static_cast<QWidget*>(Form3_),
                            static_cast<QWidget*>(Form4_)})
        if (window) window->hide();
    if (updater->uploadRunning()) return;
    FormClose();
}

}  // namespace kaldo
