#include "TForm3.h"

#include <QEvent>

#include <QMetaObject>
#include <QShortcut>
#include <QStringList>

#include <functional>

#include "Look.h"
#include "PageText.h"
#include "WizardTexts.h"

namespace kaldo {

namespace {

using namespace wizard_text;

constexpr int kNextGroupMove = 60;
// The page text ends above this, where NEXT and TEST begin (less a few pixels of air).
constexpr int kButtonsTop = 238;

// Shows and hides a widget with another one, whatever shows or hides that one.
class ShownWith : public QObject {
public:
    ShownWith(QWidget* follower, QObject* parent) : QObject(parent), follower_(follower) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) follower_->show();
        if (event->type() == QEvent::Hide) follower_->hide();
        return false;
    }

private:
    QWidget* follower_;
};

EditableList* list(QWidget* parent, const QString& prompt, int left, int top, int width,
                   const QStringList& entries = {}) {
    auto* combo = new EditableList(parent);
    combo->addItems(entries);
    combo->setPrompt(prompt);
    combo->setGeometry(left, top, width, combo->sizeHint().height());
    return combo;
}

QStringList numbered(const QString& name, int count) {
    QStringList entries;
    for (int n = 1; n <= count; ++n) entries << QString("%1 %2").arg(name).arg(n);
    return entries;
}

}  // namespace

TForm3::TForm3(WizardHost& host, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window | Qt::FramelessWindowHint), host_(host), mainWindow_(mainWindow) {
    setWindowTitle("Welcome!");
    setFixedSize(467, 350);

    Image1 = look::picture(this, "wizard-background.jpg", {0, 0, 467, 350});
    Image5 = look::picture(this, "wizard-front-panel.jpg", {103, 20, 263, 107});
    Image5->hide();
    Label1 = new PageText(this, kWelcomeText, {45, 132, 377, 123}, kButtonsTop);
    Label3 = look::caption(this, "FW Rev", {105, 193, 259, 45}, 13);
    Label3->hide();

    ComboBox5 = list(this, "Conection?", 162, 194, 145, {"Midi", "USB Midi"});
    CheckBox1 = new QCheckBox("Do not show this next time", this);
    CheckBox1->setGeometry(152, 321, 199, 14);
    QPalette white = CheckBox1->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    CheckBox1->setPalette(white);
    QFont boldSmall = CheckBox1->font();
    boldSmall.setBold(true);
    boldSmall.setPixelSize(11);  // the caption fits the box's designed 199 pixels
    CheckBox1->setFont(boldSmall);
    // With the keyboard on it, its caption turns the drawn buttons' gold: Space then ticks it.
    CheckBox1->setStyleSheet("QCheckBox:focus { color: rgb(255, 200, 40); }");
    ComboBox1 = list(this, "Midi Out Devices", 46, 208, 178);
    ComboBox1->hide();
    ComboBox6 = list(this, "Midi In Devices", 250, 208, 178);
    ComboBox6->hide();
    // Under the output list, left of the logo, where the page has room: on the USB path only, which
    // is the one with both lists (an amp on a plain MIDI cable cannot answer).
    FindAmpLink = look::link(this, "Find my amp", "#find", {46, 236, 110, 18}, 11);
    FindAmpLink->setToolTip("Ask every MIDI port for the amp and choose its two ports");
    FindAmpLink->hide();
    ComboBox6->installEventFilter(new ShownWith(FindAmpLink, this));

    ComboBox2 = list(this, "Stompboxes", 39, 217, 111, numbered("Stomp", 12));
    ComboBox3 = list(this, "Amps", 175, 218, 114, numbered("Amp", 12) << QString());
    ComboBox4 = list(this, "Effects", 309, 217, 120, numbered("Effect", 12) << QString());
    for (auto* combo : {ComboBox2, ComboBox3, ComboBox4}) combo->hide();
    // Designed 46 pixels wide at 216; a 24-pixel "1.02" needs more, so it grows about the same middle.
    Label2 = look::caption(this, "x.xx", {199, 312, 80, 31}, 24, false);
    Label2->setWordWrap(false);
    Label2->hide();
    const QColor red(0xff, 0x00, 0x00);
    Shape3 = new CircleShape(this, red);
    Shape3->setGeometry(126, 76, 10, 10);
    Shape4 = new CircleShape(this, red);
    Shape4->setGeometry(208, 84, 10, 10);
    Shape5 = new CircleShape(this, red);
    Shape5->setGeometry(299, 82, 10, 10);
    for (auto* marker : {Shape3, Shape4, Shape5}) {
        marker->setAttribute(Qt::WA_TransparentForMouseEvents);
        marker->hide();
    }

    Image4 = look::roundPicture(this, "button-test.jpg", {138, 244, 66, 66});
    Image4->hide();
    Image9 = look::roundPicture(this, "button-test-pressed.jpg", {138, 244, 66, 66});
    Image9->hide();
    Shape2 = new CircleShape(this);
    Shape2->setGeometry(143, 249, 58, 57);
    Shape2->setEnabled(false);
    Image3 = look::roundPicture(this, "button-next.jpg", {204, 242, 68, 68});
    Image2 = look::roundPicture(this, "button-next-pressed.jpg", {204, 242, 68, 68});
    Image2->hide();
    Shape1 = new CircleShape(this);
    Shape1->setGeometry(210, 249, 57, 53);
    Shape1->setEnabled(false);

    SpeedButton1 = look::closeButton(this, {451, 4, 14, 14});

    Button1 = new QPushButton("Next", this);
    Button1->setGeometry(196, 427, 75, 25);
    Button2 = new QPushButton("Test Midi", this);
    Button2->setGeometry(100, 427, 75, 25);
    Button2->hide();
    ResetStartup = new QPushButton("ResetStartup", this);
    ResetStartup->setGeometry(292, 427, 75, 25);
    ResetStartup->hide();
    // The buttons below the visible area are worked by the drawn buttons and Escape; the keyboard
    // focus never goes where it cannot be seen.
    for (QPushButton* hidden : {Button1, Button2, ResetStartup}) hidden->setFocusPolicy(Qt::NoFocus);
    // Tab goes through the page's lists, then the Test and Next buttons; the close glyph comes last.
    const std::initializer_list<QWidget*> tabOrder{ComboBox5, ComboBox1, ComboBox6, FindAmpLink, ComboBox2, ComboBox3,
                                                   ComboBox4, Shape2,    Shape1,    CheckBox1,   SpeedButton1};
    for (auto it = tabOrder.begin(); it + 1 != tabOrder.end(); ++it) setTabOrder(*it, *(it + 1));

    connect(Button1, &QPushButton::clicked, this, &TForm3::runCurrentStep);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(ResetStartup, &QPushButton::clicked, this, &TForm3::ResetStartupClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm3::Button1Next10Click);
    // Escape works as NEXT would, and never past NEXT's own checks: while NEXT is off (nothing chosen
    // yet, a stage uploading) it does nothing, so that a user pressing it to get out is never taken
    // further in.
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, [this] {
        if (Shape1->isEnabled() && Shape1->isVisible()) Button1->click();
    });
    connect(Shape1, &CircleShape::mouseDown, this, &TForm3::Shape1MouseDown);
    connect(Shape1, &CircleShape::mouseUp, this, &TForm3::Shape1MouseUp);
    connect(Shape2, &CircleShape::mouseDown, this, &TForm3::Shape2MouseDown);
    connect(Shape2, &CircleShape::mouseUp, this, &TForm3::Shape2MouseUp);
    connect(ComboBox5, &EditableList::changed, this, &TForm3::ComboBox5Change);
    connect(FindAmpLink, &QLabel::linkActivated, this, &TForm3::FindAmpClick);
    connect(ComboBox1, &EditableList::changed, this, &TForm3::ComboBox1Change);
    connect(ComboBox6, &EditableList::changed, this, &TForm3::ComboBox6Change);
    connect(ComboBox2, &EditableList::changed, this, &TForm3::ComboBox2Change);
    connect(ComboBox3, &EditableList::changed, this, &TForm3::ComboBox3Change);
    connect(ComboBox4, &EditableList::changed, this, &TForm3::ComboBox4Change);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm3::CheckBox1Click);

    const auto imgs = images();
    const auto lists = combos();
    savedLayout_.shape1Left = Shape1->x();
    savedLayout_.shape2Left = Shape2->x();
    savedLayout_.shape1Enabled = Shape1->isEnabled();
    savedLayout_.shape2Enabled = Shape2->isEnabled();
    savedLayout_.label3Visible = !Label3->isHidden();
    for (std::size_t i = 0; i < imgs.size(); ++i) {
        savedLayout_.imageLeft[i] = imgs[i]->x();
        savedLayout_.imageVisible[i] = !imgs[i]->isHidden();
    }
    for (std::size_t i = 0; i < lists.size(); ++i) savedLayout_.comboVisible[i] = !lists[i]->isHidden();
    savedLayout_.checkBox1Enabled = CheckBox1->isEnabled();
    savedLayout_.checkBox1Visible = !CheckBox1->isHidden();
}

std::array<QLabel*, 6> TForm3::images() const { return {Image1, Image2, Image3, Image4, Image5, Image9}; }

std::array<EditableList*, 6> TForm3::combos() const {
    return {ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6};
}

void TForm3::showWizard() {
    look::centreOver(this, mainWindow_);
    show();
    raise();
    activateWindow();
    placeFocus();
}

void TForm3::wizardToFront() {
    bringForward();
    // The stage's upload has completed: the page says so before any question the upload asks next.
    if (stageCompleted_) std::invoke(stageCompleted_, *this);
}

void TForm3::bringForward() {
    show();
    raise();
    activateWindow();
}

void TForm3::showAmpVersion(const QString& versionText) {
    QMetaObject::invokeMethod(
        this,
        [this, versionText] {
            Label3->setText(kConnectedText + versionText);
            Label3->show();
        },
        Qt::AutoConnection);
}

void TForm3::runCurrentStep() {
    std::invoke(currentStep_, *this);
    placeFocus();
}

// After every step the keyboard is on what the page asks for first: a list to choose from, the Test
// button, or Next. Never on a control the page has hidden or disabled.
void TForm3::placeFocus() {
    for (QWidget* first : std::initializer_list<QWidget*>{ComboBox5, ComboBox1, ComboBox2, Shape2, Shape1}) {
        if (first->isVisibleTo(this) && first->isEnabled()) {
            first->setFocus();
            return;
        }
    }
}

void TForm3::moveNextGroup(int dx) {
    for (QWidget* part : std::initializer_list<QWidget*>{Shape1, Image2, Image3}) part->move(part->x() + dx, part->y());
}

void TForm3::fillDeviceLists() {
    ComboBox1->addEntries(host_.outputDeviceNames());
    ComboBox1->setPrompt("Midi Out Devices");
    ComboBox1->show();
    if (!usbConnection_) return;
    ComboBox6->addEntries(host_.inputDeviceNames());
    ComboBox6->setPrompt("Midi In Devices");
    ComboBox6->show();
}

void TForm3::clearDeviceLists() {
    ComboBox1->clear();
    ComboBox1->setPrompt("Midi Out Devices");
    ComboBox6->clear();
    ComboBox6->setPrompt("Midi In Devices");
}

// --- the steps ----------------------------------------------------------------------------------

void TForm3::ComboBox5Change() {
    if (ComboBox5->currentIndex() < 0) return;
    Shape1->setEnabled(true);
    Shape1->show();
}

void TForm3::Button1Click() {
    host_.flags().wizardActive = true;
    usbConnection_ = ComboBox5->currentIndex() == 1;
    CheckBox1->hide();
    CheckBox1->setEnabled(false);
    ComboBox5->hide();
    Label1->setPage(usbConnection_ ? kConnectUsbText : kConnectMidiText);
    bind(&TForm3::Button1Next8Click);
}

void TForm3::Button1Next8Click() {
    Shape1->setEnabled(false);
    Label1->setPage(usbConnection_ ? kDevicesUsbText : kDevicesMidiText);
    fillDeviceLists();
    bind(&TForm3::Button1Next5Click);
}

void TForm3::ComboBox1Change() {
    host_.clickOutItem(ComboBox1->currentIndex() + 1);
    const bool ready = usbConnection_ ? host_.inPortReady() && host_.outPortReady() : host_.outPortReady();
    if (ready) {
        Shape1->setEnabled(true);
        Shape1->show();
    }
}

void TForm3::ComboBox6Change() {
    host_.clickInItem(ComboBox6->currentIndex() + 1);
    if (host_.inPortReady() && host_.outPortReady()) {
        Shape1->setEnabled(true);
        Shape1->show();
    }
}

void TForm3::FindAmpClick() {
    const auto amp = host_.findAmp();
    if (!amp) return;
    // The host opened the ports as clicking their items would; the lists show which.
    ComboBox1->setCurrentIndex(ComboBox1->findText(QString::fromStdString(amp->out.name)));
    ComboBox6->setCurrentIndex(ComboBox6->findText(QString::fromStdString(amp->in.name)));
    if (host_.inPortReady() && host_.outPortReady()) {
        Shape1->setEnabled(true);
        Shape1->show();
        Shape1->setFocus();
    }
}

void TForm3::Button1Next5Click() {
    ComboBox1->hide();
    ComboBox6->hide();
    moveNextGroup(kNextGroupMove);
    Shape2->setEnabled(true);
    Image4->show();
    if (!usbConnection_) {
        Label1->setPage(kTestMidiText);
        bind(&TForm3::Button1Next1Click);
        return;
    }
    Label1->setPage(kTestUsbText);
    bind(&TForm3::Button1Next20Click);
    test_.start();
}

// What went out shows at once: on a cable that only listens, the amp's presets are the only answer.
// An Identity Reply (USB) replaces it.
void TForm3::Button2Click() {
    test_.send();
    Label3->setText(QString(kTestSentText).arg(test_.presetSent() + 1));
    Label3->show();
}

void TForm3::Button1Next1Click() {
    Label3->hide();
    moveNextGroup(-kNextGroupMove);
    Shape2->setEnabled(false);
    Image4->hide();
    Image5->show();
    Label1->setPage(kPanelModeText);
    bind(&TForm3::Button1Next2Click);
}

void TForm3::Button1Next2Click() {
    Shape1->setEnabled(false);
    Label1->setPage(kReadRevisionText);
    for (QWidget* w : std::initializer_list<QWidget*>{ComboBox2, ComboBox3, ComboBox4, Label2}) w->show();
    bind(&TForm3::Button1Next7Click);
}

void TForm3::Button1Next7Click() {
    for (QWidget* w : std::initializer_list<QWidget*>{Image5, ComboBox2, ComboBox3, ComboBox4, Shape3, Shape4, Shape5})
        w->hide();
    Label1->setPage(kPowerCycleText);
    Label2->hide();
    bind(&TForm3::Button1Next6Click);
}

void TForm3::Button1Next20Click() {
    const auto verdict = test_.verdict();
    if (verdict.result == ConnectionTest::Result::Answered) {
        reportedRevision_ = verdict.revision;
        stages_.skipIntermediate();
        bind(&TForm3::Button1Next6Click);
        Button1->click();
        Shape2->setEnabled(false);
        Image4->hide();
        return;
    }
    Label3->hide();
    if (verdict.result == ConnectionTest::Result::Silent) {
        Label1->setPage(kNoReplyText);
        bind(&TForm3::Button1Click);
        Shape2->setEnabled(false);
        Image4->hide();
        clearDeviceLists();
        moveNextGroup(-kNextGroupMove);
        return;
    }
    Label1->setPage(kNotTestedText);
    bind(&TForm3::Button1Next5Click);
    moveNextGroup(-kNextGroupMove);
    Shape2->setEnabled(false);
    Image4->hide();
}

void TForm3::Button1Next6Click() {
    // The test's reply is old news from here on: the upload's own question to the amp must not
    // bring it back, and after a stage the page shows the revision read then.
    Label3->hide();
    host_.flags().showVersionInWizard = false;
    stages_.planFor(revisionText());
    Label1->setPage(kChooseFileText);
    stages_.chooseFile();
    bind(&TForm3::Button1Next3Click);
    Button1->click();
}

void TForm3::Button1Next3Click() {
    if (usbConnection_) {
        Label1->setPage(kStartUsbText);
        moveNextGroup(-kNextGroupMove);
    } else {
        Label1->setPage(kStartMidiText);
    }
    bind(stages_.intermediateNeeded() == 1 ? &TForm3::Button1Next4Click : &TForm3::Button1Next9Click);
}

// Before any stage sends anything, a firmware file must be at hand: asking now beats an upload that
// can only fail. With none chosen the page says so and Next asks again.
bool TForm3::firmwareFileChosen() {
    if (!stages_.fileName().empty()) return true;
    Label1->setPage(kChooseFileText);
    if (stages_.chooseFile()) return true;
    Label1->setPage(kNoFileText);
    return false;
}

// A failed upload may have closed the ports (a reply time-out releases them); retrying a stage
// then first shows the device lists again, and Next stays off until the ports are open.
bool TForm3::stagePortsReady() {
    const bool ready = host_.outPortReady() && (!usbConnection_ || host_.inPortReady());
    if (ready) {
        ComboBox1->hide();
        ComboBox6->hide();
        return true;
    }
    Shape1->setEnabled(false);
    clearDeviceLists();
    Label1->setPage(usbConnection_ ? kDevicesUsbText : kDevicesMidiText);
    fillDeviceLists();
    return false;
}

void TForm3::Button1Next4Click() {
    if (!firmwareFileChosen() || !stagePortsReady()) return;
    const auto outcome = stages_.loadIntermediate() ? runStage(&TForm3::showFirstStageDone) : UploadOutcome::Failed;
    if (outcome == UploadOutcome::Terminated) return;
    if (outcome != UploadOutcome::Completed) {
        Label1->setPage(outcome == UploadOutcome::Declined ? kDeclinedText : kFirstStageFailedText);
        return;
    }
    host_.pause(1000);
    showFirstStageDone();
    bind(&TForm3::Button1Next9Click);
    readRevisionAfterStage();
}

void TForm3::Button1Next9Click() {
    if (!firmwareFileChosen() || !stagePortsReady()) return;
    if (!stages_.loadFinal()) {
        // The loader has said what is wrong with the file; Next asks for another one.
        Label1->setPage(kNoFileText);
        return;
    }
    const auto outcome = runStage(&TForm3::showFinalStageDone);
    if (outcome == UploadOutcome::Terminated) return;
    if (outcome != UploadOutcome::Completed) {
        Label1->setPage(outcome == UploadOutcome::Declined ? kDeclinedText : kFinalStageFailedText);
        return;
    }
    showFinalStageDone();
    bind(&TForm3::Button1Next10Click);
    readRevisionAfterStage();
}

// While a stage uploads NEXT is off: pressed again, it would start the stage anew under the running
// upload. `completed` shows the page of a completed stage, also as soon as the upload has sent it.
UploadOutcome TForm3::runStage(Step completed) {
    Label3->hide();  // the revision read after the stage before is no longer so
    Shape1->setEnabled(false);
    stageCompleted_ = completed;
    const auto outcome = stages_.run();
    stageCompleted_ = nullptr;
    if (outcome != UploadOutcome::Terminated) Shape1->setEnabled(true);
    return outcome;
}

void TForm3::showFirstStageDone() { Label1->setPage(kFirstStageText); }

void TForm3::showFinalStageDone() { Label1->setPage(usbConnection_ ? kFinalUsbText : kFinalMidiText); }

// The amp runs other code now; on the USB path it is asked on the ports the lists show, and the page
// shows what it said.
void TForm3::readRevisionAfterStage() {
    const auto version =
        stages_.readRevision(usbConnection_, ComboBox1->currentIndex() + 1, ComboBox6->currentIndex() + 1);
    if (!version) return;
    Label3->setText(kConnectedText + QString::fromStdString(*version));
    Label3->show();
}

void TForm3::Button1Next10Click() {
    stages_.reset();
    stageCompleted_ = nullptr;
    bind(&TForm3::Button1Click);
    Label1->setPage(kWelcomeText);
    Label3->setVisible(savedLayout_.label3Visible);
    Shape1->move(savedLayout_.shape1Left, Shape1->y());
    Shape2->move(savedLayout_.shape2Left, Shape2->y());
    Shape1->setEnabled(savedLayout_.shape1Enabled);
    Shape2->setEnabled(savedLayout_.shape2Enabled);
    const auto imgs = images();
    for (std::size_t i = 0; i < imgs.size(); ++i) {
        imgs[i]->move(savedLayout_.imageLeft[i], imgs[i]->y());
        imgs[i]->setVisible(savedLayout_.imageVisible[i]);
    }
    ComboBox1->setCurrentIndex(-1);
    ComboBox5->setCurrentIndex(-1);
    ComboBox5->setPrompt("Connection?");
    const auto lists = combos();
    for (std::size_t i = 0; i < lists.size(); ++i) lists[i]->setVisible(savedLayout_.comboVisible[i]);
    CheckBox1->setEnabled(savedLayout_.checkBox1Enabled);
    CheckBox1->setVisible(savedLayout_.checkBox1Visible);
    clearDeviceLists();
    auto& flags = host_.flags();
    flags.showVersionInWizard = false;
    flags.wizardActive = false;
    close();
}

void TForm3::ResetStartupClick() {
    bind(&TForm3::Button1Next10Click);
    Button1->click();
}

// --- drawn buttons, first-time setting, revision from the panel -------------------------------------

void TForm3::Shape1MouseDown(Qt::MouseButton button) {
    if (button == Qt::LeftButton) Image2->show();
}

void TForm3::Shape1MouseUp(Qt::MouseButton button) {
    if (button == Qt::LeftButton) Image2->hide();
    Button1->click();
}

void TForm3::Shape2MouseDown(Qt::MouseButton button) {
    if (button != Qt::LeftButton) return;
    Image9->show();
    Image4->hide();
}

void TForm3::Shape2MouseUp(Qt::MouseButton button) {
    if (button == Qt::LeftButton) {
        Image9->hide();
        Image4->show();
    }
    Button2->click();
}

void TForm3::CheckBox1Click() { host_.setFirstTime(!CheckBox1->isChecked()); }

void TForm3::panelChange(PanelRevision::Knob knob, EditableList* list, CircleShape* marker) {
    const auto place = panel_.choose(knob, list->currentIndex());
    if (!place) return;
    Label2->setText(QString::fromStdString(panel_.revisionText()));
    marker->move(place->left, place->top);
    marker->show();
    if (panel_.complete()) Shape1->setEnabled(true);
}

void TForm3::ComboBox2Change() { panelChange(PanelRevision::Stomp, ComboBox2, Shape3); }
void TForm3::ComboBox3Change() { panelChange(PanelRevision::Amp, ComboBox3, Shape4); }
void TForm3::ComboBox4Change() { panelChange(PanelRevision::Effect, ComboBox4, Shape5); }

}  // namespace kaldo
