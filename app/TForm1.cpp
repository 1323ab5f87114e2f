#include "TForm1.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QShortcut>

#include "AboutBox.h"
#include "AmpFinder.h"
#include "DeviceMenus.h"
#include "DiagnosticsWindow.h"
#include "DrawnButton.h"
#include "LampLayout.h"
#include "Look.h"
#include "MainWindowHost.h"
#include "PictureLabel.h"
#include "Pictures.h"
#include "RunLog.h"
#include "StopQuestion.h"
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
// and the note line must fit on the 700-pixel panel). The condensed face comes in a package of its own
// (Debian's fonts-dejavu-extra) that many systems lack: there Qt narrows DejaVu Sans to the condensed
// width itself, and the note still fits.
QFont designFont(int pixelSize, bool bold, bool condensed) {
    QFont f(condensed ? "DejaVu Sans Condensed" : "DejaVu Sans");
    if (condensed && !QFontDatabase::hasFamily("DejaVu Sans Condensed")) {
        f.setFamily("DejaVu Sans");
        f.setStretch(QFont::SemiCondensed);
    }
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
    : midi_(std::make_shared<midi::BoundedMidi>(env.midi, env.midiLimit)),
      MidiOut1(midi_),
      MidiIn1(midi_),
      shows(env.clock),
      clock_(env.clock),
      settings_(env.settings),
      runLog_(std::make_unique<RunLog>()),
      stopQuestion_(new StopQuestion(this)) {
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
    selection = std::make_unique<midi::MidiSelection>(*midi_, MidiOut1, MidiIn1, *this, updater->memo);
    selectedLink_ = std::make_unique<midi::SelectedMidiLink>(MidiOut1, *selection);
    link_.setTarget(env.link ? env.link : selectedLink_.get());
    host_ = std::make_unique<MainWindowHost>(*this, clock_, *updater, *selection, MidiOut1, MidiIn1, settings_);

    // 1. the window and its controls
    buildControls();
    buildLamps();
    buildMenus();
    diagnostics = new DiagnosticsWindow(this, runLog_->path());
    deviceMenus_ = std::make_unique<DeviceMenus>(Out1, In1, *selection, midi_, *updater, *StatusBar2, diagnostics);
    ampFinder_ = std::make_unique<AmpFinder>(this, *this, clock_, midi_, *selection, *updater, FindAmp1,
                                             [this](bool enabled) { setCommandsEnabled(enabled); });
    connect(diagnostics->Button4, &QPushButton::clicked, this, [this] {
        selection->Button4Click();
        deviceMenus_->render();
    });
    connect(diagnostics->Button9, &QPushButton::clicked, this, [this] {
        selection->Button9Click();
        deviceMenus_->render();
    });
    Timer2.setInterval(250);
    Timer2.setSingleShot(true);
    Timer3.setInterval(500);
    connect(&Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
    connect(&Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    // Escape works the cancel button while it is shown, as a click on it would: it asks first.
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
    midi_->setOnAnswering([this] { QMetaObject::invokeMethod(this, &TForm1::midiAnswers, Qt::QueuedConnection); });
    deviceMenus_->listDevices();

    // 4 to 10. the settings and the remembered firmware file
    readSettings();
}

TForm1::~TForm1() {
    midi_->setOnAnswering({});
    deviceMenus_->stopWatching();
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
    rememberedOut_ = start.outName;
    rememberedIn_ = start.inName;
    selection->selectByName(start.outName, start.inName);
}

void TForm1::midiAnswers() {
    deviceMenus_->systemAnswers();
    if (!updater->uploadRunning() && selection->selectedOutPort < 0 && selection->selectedInPort < 0)
        selection->selectByName(rememberedOut_, rememberedIn_);
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
    Label1->setFont(designFont(9, true, true));  // two lines inside the round plate
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    // It lies on the middle knob's cap: white on a red round plate the size of the cap reads on any
    // part of the knob, where black text on its grey did not.
    Label1->setStyleSheet("color: white; background: rgb(170, 30, 25); border-radius: 19px;");
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
    UpdateWizard1 = Run1->addAction("Update &Wizard");
    connect(UpdateWizard1, &QAction::triggered, this, &TForm1::UpdateWizard1Click);

    Help1 = menuBar()->addMenu("&Help");
    About1 = Help1->addAction("About KALDO Updater");
    connect(About1, &QAction::triggered, this,
            [this] { showAbout(this, QString::fromStdString(settings_.path().string()), logFilePath()); });
}

// Also the ways into the wizard: opened during an upload, it would lie over the progress and the
// cancel button and offer steps that cannot run.
void TForm1::setCommandsEnabled(bool enabled) {
    for (QAction* a : {Firmware1, ReCheckforMididevices1, TestMidiConnection1, FindAmp1, UploadCode1, StartupHelp1,
                       UpdateWizard1})
        a->setEnabled(enabled);
    Out1->setEnabled(enabled);
    In1->setEnabled(enabled);
}

// ---- UpdaterUi -------------------------------------------------------------------------------------

void TForm1::setStatus1(int panel, const std::string& text) { StatusBar1->setText(panel, qs(text)); }

void TForm1::setStatus2(int panel, const std::string& text) { StatusBar2->setText(panel, qs(text)); }

Answer TForm1::messageBox(const std::string& text, const std::string& caption, Buttons buttons) {
    stopQuestion_->dismiss();
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
    stopQuestion_->dismiss();
    Form5_->dialogMessage(qs(text));
}

bool TForm1::dialogQuestion(const std::string& text) {
    stopQuestion_->dismiss();
    return Form5_->dialogQuestion(qs(text));
}

void TForm1::dialogPortSelection(const std::string& text, bool confirm) {
    stopQuestion_->dismiss();
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
    if (firstTime && !updater->uploadRunning()) Form3_->showWizard();
}

void TForm1::UpdateWizard1Click() {
    if (!updater->uploadRunning()) Form3_->showWizard();
}

void TForm1::ReCheckforMididevices1Click() {
    if (updater->uploadRunning()) return;
    deviceMenus_->recheck();
}

void TForm1::FindAmp1Click() { findTheAmp(true); }

std::optional<FoundAmp> TForm1::findTheAmp(bool tellFound) { return ampFinder_->find(tellFound); }

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
    const bool portsOpen = link_.outPortReady();
    lastUpload_ = updater->Button2Click();
    // An upload that ended while the user was asked whether to stop it needs no answer any more.
    stopQuestion_->dismiss();
    setCommandsEnabled(true);
    deviceMenus_->relistAfterUpload(portsOpen && !link_.outPortReady() &&
                                    lastUpload_.outcome != UploadOutcome::Completed);
    // The window was closed while the upload ran: its close handler waited for the upload to stop.
    if (closePending_) FormClose();
}

void TForm1::Timer2Timer() {
    Timer2.stop();
    Form3_->showWizard();
}

void TForm1::Timer3Timer() { Label3->setVisible(!Label3->isVisible()); }

void TForm1::CancelMouseDown() { updater->CancelMouseDown(); }

// The cancel button asks before it stops the upload; the upload goes on meanwhile, and the button
// stays for another try when the answer is to keep uploading.
void TForm1::CancelMouseUp() {
    if (!updater->uploadRunning()) return;
    stopQuestion_->ask([this] { updater->CancelMouseUp(); }, [this] { setCancelPictureVisible(false); });
}

void TForm1::FormClose() {
    if (closeHandled_) return;
    closeHandled_ = true;
    deviceMenus_->stopWatching();
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

void TForm1::stopUploadAndClose() {
    if (!updater->uploadRunning()) return;
    closePending_ = true;
    updater->requestStop();
    close();
}

QMessageBox* TForm1::stopQuestion() const { return stopQuestion_->box(); }

bool TForm1::sessionMayEnd(bool userCanAnswer) {
    if (!updater->uploadRunning()) return true;
    // Nobody to ask: the amp is better served by an upload that finishes.
    if (!userCanAnswer || !stopQuestion_->askAndWait()) return false;
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
        stopQuestion_->ask([this] { stopUploadAndClose(); });
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
