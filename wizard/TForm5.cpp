#include "TForm5.h"

#include "Look.h"

namespace kaldo {

namespace {
constexpr int kConfirmTimeoutMs = 5000;
// An amp whose MIDI is ready a moment after its USB does not hear the first requests: within the
// time-out the request is repeated this often.
constexpr int kRepeatMs = 1000;
}

TForm5::TForm5(WizardHost& host, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::FramelessWindowHint), host_(host), mainWindow_(mainWindow) {
    setWindowTitle("Form5");
    setFixedSize(280, 210);
    Image1 = look::picture(this, "dialog-background.jpg", {0, 0, 280, 210});
    // Designed 210 pixels wide at 31; the longest port-selection text then ran into the list headings,
    // so the label takes the dialog's width less a margin.
    Label1 = look::caption(this, "test", {12, 22, 256, 76}, 13);
    Image2 = look::roundPicture(this, "button-ok.jpg", {105, 133, 68, 68});
    Image3 = look::roundPicture(this, "button-ok-pressed.jpg", {105, 133, 68, 68});
    Image3->hide();
    Shape1 = new CircleShape(this);
    Shape1->setGeometry(109, 139, 60, 55);
    Label2 = look::caption(this, "Midi In", {57, 77, 80, 14}, 11, false);
    Label2->setAlignment(Qt::AlignLeft);
    Label3 = look::caption(this, "Midi Out", {185, 77, 80, 14}, 11, false);
    Label3->setAlignment(Qt::AlignLeft);
    ComboBox2 = new EditableList(this);
    ComboBox2->setPrompt("Midi In Devices");
    ComboBox2->setGeometry(12, 95, 128, ComboBox2->sizeHint().height());
    ComboBox1 = new EditableList(this);
    ComboBox1->setPrompt("Midi Out Devices");
    ComboBox1->setGeometry(146, 95, 127, ComboBox1->sizeHint().height());
    CheckBox1 = new QCheckBox(this);
    CheckBox1->setGeometry(101, 84, 14, 13);
    Label4 = look::caption(this, "Setup USB.", {120, 84, 100, 14}, 11, false);
    Label4->setAlignment(Qt::AlignLeft);
    for (QWidget* w : std::initializer_list<QWidget*>{Label2, Label3, ComboBox2, ComboBox1, CheckBox1, Label4})
        w->hide();
    SpeedButton1 = look::closeButton(this, {262, 3, 15, 15});
    // Left to right, then OK; the close glyph last.
    setTabOrder(ComboBox2, ComboBox1);
    setTabOrder(ComboBox1, CheckBox1);
    setTabOrder(CheckBox1, Shape1);
    setTabOrder(Shape1, SpeedButton1);

    connect(Shape1, &CircleShape::mouseDown, this, &TForm5::Shape1MouseDown);
    connect(Shape1, &CircleShape::mouseUp, this, &TForm5::Shape1MouseUp);
    connect(ComboBox1, &EditableList::entered, this, &TForm5::ComboBox1Enter);
    connect(ComboBox2, &EditableList::entered, this, &TForm5::ComboBox2Enter);
    connect(ComboBox1, &EditableList::changed, this, &TForm5::ComboBox1Change);
    connect(ComboBox2, &EditableList::changed, this, &TForm5::ComboBox2Change);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm5::SpeedButton1Click);
}

void TForm5::showModal(const QString& text) {
    Label1->setText(text);
    look::centreOver(this, mainWindow_);
    Shape1->setFocus();  // Enter answers OK
    exec();
}

// A plain message or question always closes on OK, even after a confirmation that the user left by
// the close glyph.
void TForm5::dialogMessage(const QString& text) {
    confirmMode = false;
    showModal(text);
}

bool TForm5::dialogQuestion(const QString& text) {
    confirmMode = false;
    Label4->show();
    CheckBox1->show();
    showModal(text);
    Label4->hide();
    CheckBox1->hide();
    return CheckBox1->isChecked();
}

void TForm5::dialogPortSelection(const QString& text, bool confirm) {
    confirmMode = confirm;
    // The lists show the ports as they stand: the callers rebuild the menus first, which closes the
    // ports, so a name chosen last time would be shown while OK refuses it as not selected.
    if (!host_.outPortReady()) ComboBox1->setPrompt("Midi Out Devices");
    if (!host_.inPortReady()) ComboBox2->setPrompt("Midi In Devices");
    setPortListsVisible(true);
    showModal(text);
}

void TForm5::setPortListsVisible(bool visible) {
    for (QWidget* w : std::initializer_list<QWidget*>{Label2, Label3, ComboBox1, ComboBox2}) w->setVisible(visible);
}

void TForm5::ComboBox1Enter() {
    if (!outListPending_) return;
    ComboBox1->addEntries(host_.outputDeviceNames());
    ComboBox1->setPrompt("Midi Out Devices");
    outListPending_ = false;
}

void TForm5::ComboBox2Enter() {
    if (!inListPending_) return;
    ComboBox2->addEntries(host_.inputDeviceNames());
    ComboBox2->setPrompt("Midi In Devices");
    inListPending_ = false;
}

void TForm5::ComboBox1Change() { host_.clickOutItem(ComboBox1->currentIndex() + 1); }

void TForm5::ComboBox2Change() { host_.clickInItem(ComboBox2->currentIndex() + 1); }

void TForm5::Shape1MouseDown(Qt::MouseButton) {
    Image2->hide();
    Image3->show();
}

void TForm5::Shape1MouseUp(Qt::MouseButton) {
    Image2->show();
    Image3->hide();
    if (confirming_) return;
    if (!confirmMode) {
        close();
        return;
    }
    if (!host_.outPortReady()) {
        host_.messageBox("Please select Midi Out Device", "Status");
        return;
    }
    if (!host_.inPortReady()) {
        host_.messageBox("Please select Midi In Device", "Status");
        return;
    }
    confirming_ = true;
    confirmRevision();
    confirming_ = false;
}

// Asks the amp for its version and compares it with the file's; the window stays live meanwhile.
void TForm5::confirmRevision() {
    host_.clearReplyCode();
    host_.initTimeout(kConfirmTimeoutMs);
    for (int i = 0; i < 3; ++i) host_.SysEx(kIdentityRequest.data(), kIdentityRequest.size());
    std::int64_t nextRequest = host_.nowMs() + kRepeatMs;
    while (!host_.takeReply(kReplyIdentity)) {
        host_.pump();
        if (host_.timeoutCheck()) {
            host_.resetCodeUpload();
            host_.messageBox("An Error occurred. Try again.", "Status");
            return;
        }
        if (host_.nowMs() >= nextRequest) {
            host_.SysEx(kIdentityRequest.data(), kIdentityRequest.size());
            nextRequest = host_.nowMs() + kRepeatMs;
        }
    }
    const auto reply = host_.ampVersion();
    if (reply && reply->version == host_.fileVersionUnmasked()) {
        Label1->setText("Success, new code rev is confirmed. Rock On!");
        host_.setStatusPanel3("Status -> Complete.");
    } else {
        Label1->setText("Fail, code rev is wrong. Power cycle the amp and try again.");
        host_.setStatusPanel3("Status -> Error.");
    }
    confirmMode = false;
    setPortListsVisible(false);
}

void TForm5::SpeedButton1Click() { close(); }

}  // namespace kaldo
