#include "TForm4.h"

#include <QMetaObject>

#include "IdentityWait.h"
#include "Look.h"

namespace kaldo {

namespace {
const char* const kInstructions =
    R"(Press the "Test Midi" button to send an ID request and preset changes. Presets should change if Midi is working.)";
const char* const kNoReply = "No reply from the amp within 2 seconds.";
const char* const kWhatToCheck =
    "Presets changed? Then the amp hears you. For a reply: the amp on, in USB MIDI mode, Out to the amp and "
    "In from it.";
}  // namespace

TForm4::TForm4(WizardHost& host, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::FramelessWindowHint), host_(host), mainWindow_(mainWindow) {
    setWindowTitle("Midi Test");
    setFixedSize(280, 210);
    Image1 = look::picture(this, "dialog-background.jpg", {0, 0, 280, 210});
    Label1 = look::caption(this, kInstructions, {20, 18, 240, 72}, 13);
    Image3 = look::roundPicture(this, "button-test-pressed.jpg", {107, 137, 66, 66});
    Image2 = look::roundPicture(this, "button-test.jpg", {107, 137, 66, 66});
    Shape1 = new CircleShape(this);
    Shape1->setGeometry(112, 137, 57, 66);
    Label2 = look::caption(this, QString(), {31, 95, 220, 32}, 13);
    Label2->setStyleSheet("color: rgb(255, 128, 128); background: transparent;");
    Label2->hide();
    SpeedButton1 = look::closeButton(this, {261, 5, 13, 16});
    setTabOrder(Shape1, SpeedButton1);

    connect(Shape1, &CircleShape::mouseDown, this, &TForm4::Shape1MouseDown);
    connect(Shape1, &CircleShape::mouseUp, this, &TForm4::Shape1MouseUp);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm4::SpeedButton1Click);
}

void TForm4::showTest() {
    Label1->setText(kInstructions);
    Label2->hide();
    look::centreOver(this, mainWindow_);
    setWindowModality(Qt::ApplicationModal);
    show();
    // Space or Enter must test, not close the dialog through its close glyph.
    Shape1->setFocus();
}

void TForm4::showAmpVersion(const QString& versionText) {
    QMetaObject::invokeMethod(
        this,
        [this, versionText] {
            Label2->setText("Connected, current code version is " + versionText);
            Label2->show();
        },
        Qt::AutoConnection);
}

void TForm4::Shape1MouseDown(Qt::MouseButton) {
    Image2->hide();
    Image3->show();
    host_.clearReplyCode();
    host_.SysEx(kIdentityRequest.data(), kIdentityRequest.size());
    dialogPresetCounter_ = static_cast<std::int8_t>((dialogPresetCounter_ + 1) % 4);
    host_.Put2(kProgramChangeChannel1, static_cast<std::uint8_t>(dialogPresetCounter_));
    // An amp that hears the request answers within milliseconds; the reply handling shows it.
    if (awaitIdentityReply(host_, kReplyWaitMs)) {
        Label1->setText(kInstructions);
        return;
    }
    Label1->setText(kWhatToCheck);
    Label2->setText(kNoReply);
    Label2->show();
}

void TForm4::Shape1MouseUp(Qt::MouseButton) {
    Image2->show();
    Image3->hide();
}

void TForm4::SpeedButton1Click() { close(); }

}  // namespace kaldo
