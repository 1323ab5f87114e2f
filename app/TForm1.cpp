#include "TForm1.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>

#include "DiagnosticsWindow.h"
#include "LampLayout.h"
#include "PictureLabel.h"
#include "Pictures.h"
#include "RunLog.h"
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

}  // namespace

TForm1::TForm1(Clock& clock) : clock_(clock), runLog_(std::make_unique<RunLog>()) {
    setWindowTitle("Kaldo Updater v2.83");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    buildControls();
    buildLamps();
    buildMenus();
    diagnostics = new DiagnosticsWindow(this);
    Memo1.onLine = [this](const std::string& line) { runLog_->append(qs(line)); };

    Timer1.setInterval(1000);
    Timer2.setInterval(250);
    Timer2.setSingleShot(true);
    Timer3.setInterval(500);
    connect(&Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(&Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
    connect(&Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);

    // fixed size: the client area stays 703 x 375 below the menu bar
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

TForm1::~TForm1() = default;

void TForm1::attachWindows(TForm3* wizard, TForm4* test, TForm5* dialog) {
    Form3_ = wizard;
    Form4_ = test;
    Form5_ = dialog;
}

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
    Label1->setFont(designFont(11, true, false));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    setTextColour(Label1, Qt::black);
    Label1->hide();
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
    Exit1 = File1->addAction("E&xit");
    StartupHelp1 = File1->addAction("Startup Help");
    StartupHelp1->setCheckable(true);
    StartupHelp1->setChecked(true);
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);

    Midi1 = menuBar()->addMenu("&Midi");
    Out1 = Midi1->addMenu("Out");
    In1 = Midi1->addMenu("In");
    outGroup_ = new QActionGroup(this);
    inGroup_ = new QActionGroup(this);
    None = Out1->addAction("None");
    NoneIn = In1->addAction("None");
    for (auto [item, group] : {std::pair{None, outGroup_}, std::pair{NoneIn, inGroup_}}) {
        item->setCheckable(true);
        item->setChecked(true);
        item->setData(-1);  // the tag: device number, -1 for none
        QFont bold = item->font();
        bold.setBold(true);  // shown as the default item
        item->setFont(bold);
        group->addAction(item);
    }
    ReCheckforMididevices1 = Midi1->addAction("Re-Check for Midi devices");
    TestMidiConnection1 = Midi1->addAction("Test Connection");
    Midi1->addSeparator();
    Diagnostics1 = Midi1->addAction("Diagnostics");
    connect(Diagnostics1, &QAction::triggered, this, [this] {
        diagnostics->show();
        diagnostics->raise();
    });

    Run1 = menuBar()->addMenu("&Run");
    UploadCode1 = Run1->addAction("Upload Code");
}

void TForm1::setCommandsEnabled(bool enabled) {
    for (QAction* a : {Firmware1, ReCheckforMididevices1, TestMidiConnection1, UploadCode1}) a->setEnabled(enabled);
    Out1->setEnabled(enabled);
    In1->setEnabled(enabled);
}

// ---- UpdaterUi -------------------------------------------------------------------------------------

void TForm1::setStatus1(int panel, const std::string& text) { StatusBar1->setText(panel, qs(text)); }

void TForm1::setStatus2(int panel, const std::string& text) { StatusBar2->setText(panel, qs(text)); }

Answer TForm1::messageBox(const std::string& text, const std::string& caption, Buttons buttons) {
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

void TForm1::setCancelLabelVisible(bool visible) { Label1->setVisible(visible); }

void TForm1::setCancelPictureVisible(bool visible) { Image2->setVisible(visible); }

void TForm1::dialogMessage(const std::string& text) { Form5_->dialogMessage(qs(text)); }

bool TForm1::dialogQuestion(const std::string& text) { return Form5_->dialogQuestion(qs(text)); }

void TForm1::dialogPortSelection(const std::string& text, bool confirm) {
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
    QStringList lines;
    for (const std::string& line : Memo1.lines()) lines << qs(line);
    diagnostics->showLines(lines);
}

// ---- handlers --------------------------------------------------------------------------------------

void TForm1::Timer1Timer() {}

void TForm1::Timer2Timer() {
    Timer2.stop();
    Form3_->showWizard();
}

void TForm1::Timer3Timer() { Label3->setVisible(!Label3->isVisible()); }

void TForm1::CancelMouseDown() {}

void TForm1::CancelMouseUp() {}

void TForm1::Exit1Click() { close(); }

void TForm1::closeEvent(QCloseEvent* event) { event->accept(); }

}  // namespace kaldo
