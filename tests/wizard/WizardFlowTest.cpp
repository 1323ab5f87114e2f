// The wizard's page graph on both connection types, the retry pages, the drawn buttons, the reset
// and the stages of the update, including the ways an upload can end, and both paths by keyboard.
#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <functional>
#include <thread>
#include <vector>

#include "WizardDriving.h"

using namespace kaldo;
using namespace kaldo::test;
using Outcome = UploadOutcome;

namespace {
const QString kWelcome =
    "Welcome to the KALDO Updater. Are you ready to get started? What type of connection are you using?";
const QString kFirstStage = "First stage complete!";
const QString kFinalStage = "Final stage complete!";
}  // namespace

class WizardFlowTest : public QObject {
    Q_OBJECT
private slots:
    void windowAsDesigned();
    void classicPathRunsBothStagesFromThePanelRevision();
    void usbPathTakesTheRevisionFromTheReply();
    void usbNoReplyStartsAgainWithEmptyDeviceLists();
    void usbUntestedAsksForTheTest();
    void nextGroupReturnsHomeOnEveryWayOutOfTheTestPage();
    void devicesPageWaitsForTheNeededPorts();
    void findMyAmpFillsBothListsOnTheUsbPath();
    void typedTextSelectsNothing();
    void testButtonSendsPresetsBeforeIdentityRequests();
    void testButtonSaysWhatItSent();
    void tabReachesNextInTheOrderOfThePage();
    void drawnButtonsLooksAndHitAreas();
    void escapeNeverSkipsNextsChecks();
    void closeGlyphRestoresTheDesignedLayoutOnEveryPage();
    void closingOnReadRevisionKeepsRevisionMarks();
    void checkBoxWritesTheFirstTimeSetting();
    void failedStageIsNeverReportedComplete();
    void terminatedOrClosedUploadEndsTheStep();
    void missingFirmwareFileIsAskedForAgain();
    void closedPortsAreChosenAgainBeforeARetry();
    void replyCaptionArrivesOnTheWindowThread();
    void keyboardAloneCompletesBothPaths_data();
    void keyboardAloneCompletesBothPaths();
};

namespace {

// Presses a key where the keyboard focus is, as a user would.
void key(Wizard& w, Qt::Key k, int times = 1) {
    for (int i = 0; i < times; ++i) {
        QWidget* focus = w.form.focusWidget();
        QVERIFY2(focus && focus->isVisible() && focus->isEnabled(), "the focus is on no visible control");
        QTest::keyClick(focus, k);
    }
}

}  // namespace

void WizardFlowTest::keyboardAloneCompletesBothPaths_data() {
    QTest::addColumn<bool>("usb");
    QTest::newRow("classic MIDI, revision read off the panel, two stages") << false;
    QTest::newRow("USB, revision from the reply") << true;
}

// Every page reached with the arrows, Tab, Space and Enter: the focus lands on the page's list or
// the Test button, Tab leads on to Next, and Enter on Next goes on.
void WizardFlowTest::keyboardAloneCompletesBothPaths() {
    QFETCH(bool, usb);
    Wizard w;
    w.host.dialogAnswers.push_back("/fw/new.syx");
    QCOMPARE(w.form.focusWidget(), w.form.ComboBox5);
    key(w, Qt::Key_Down, usb ? 2 : 1);
    key(w, Qt::Key_Tab);
    QCOMPARE(w.form.focusWidget(), w.form.Shape1);
    key(w, Qt::Key_Return);  // -> Connect page
    key(w, Qt::Key_Return);  // -> Devices page
    QCOMPARE(w.form.focusWidget(), w.form.ComboBox1);
    key(w, Qt::Key_Down, 2);
    if (usb) {
        key(w, Qt::Key_Tab);
        QCOMPARE(w.form.focusWidget(), w.form.ComboBox6);
        key(w, Qt::Key_Down);
        key(w, Qt::Key_Tab);
        QCOMPARE(w.form.focusWidget(), w.form.FindAmpLink);
    }
    key(w, Qt::Key_Tab);
    QCOMPARE(w.form.focusWidget(), w.form.Shape1);
    key(w, Qt::Key_Return);  // -> Test page
    QCOMPARE(w.form.focusWidget(), w.form.Shape2);
    key(w, Qt::Key_Space);
    QCOMPARE(w.host.count(kIdentityLine), 1);
    if (usb) w.host.answerIdentity(0x00020500, "02.50");
    key(w, Qt::Key_Tab);
    QCOMPARE(w.form.focusWidget(), w.form.Shape1);
    key(w, Qt::Key_Return);
    if (!usb) {
        key(w, Qt::Key_Return);  // Panel-mode page -> Read-revision page
        QCOMPARE(w.form.focusWidget(), w.form.ComboBox2);
        key(w, Qt::Key_Down, 2);  // 1
        key(w, Qt::Key_Tab);
        key(w, Qt::Key_Down, 1);  // 0
        key(w, Qt::Key_Tab);
        key(w, Qt::Key_Down, 3);  // 2
        key(w, Qt::Key_Tab);
        QCOMPARE(w.form.focusWidget(), w.form.Shape1);
        QCOMPARE(w.form.revisionText(), std::string("1.02"));
        key(w, Qt::Key_Return);  // -> Power-cycle page
        key(w, Qt::Key_Return);  // file dialog -> Start page
        key(w, Qt::Key_Return);  // first stage
        QVERIFY2(w.form.Label1->text().startsWith(kFirstStage), qPrintable(w.form.Label1->text()));
    }
    QVERIFY2(w.form.Label1->text().startsWith("Let's start.") || !usb, qPrintable(w.form.Label1->text()));
    // The upload ends with a dialog of the main window, which takes the keyboard: the wizard's next
    // page takes it back.
    QWidget mainWindow;
    w.host.duringUpload = [&] {
        mainWindow.show();
        mainWindow.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&mainWindow));
    };
    key(w, Qt::Key_Return);  // final stage
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    QVERIFY2(w.form.Label1->text().startsWith(kFinalStage), qPrintable(w.form.Label1->text()));
    QCOMPARE(w.host.count("upload"), usb ? 1 : 2);
    key(w, Qt::Key_Return);
    QVERIFY(!w.form.isVisible());
    QVERIFY(!w.host.sharedFlags.wizardActive);
}

void WizardFlowTest::windowAsDesigned() {
    Wizard w;
    QCOMPARE(w.form.windowTitle(), QString("Welcome!"));
    QCOMPARE(w.form.size(), QSize(467, 350));
    QVERIFY(w.form.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w.form.Label1->text(), kWelcome);
    QCOMPARE(w.form.ComboBox5->currentText(), QString("Conection?"));
    QCOMPARE(w.form.ComboBox5->count(), 2);
    QCOMPARE(w.form.CheckBox1->text(), QString("Do not show this next time"));
    QVERIFY(!w.form.Shape1->isEnabled());
    QVERIFY(!w.form.Shape2->isEnabled());
    QVERIFY(w.form.Image3->isVisible() && !w.form.Image2->isVisible());
    QCOMPARE(w.form.Image1->geometry(), QRect(0, 0, 467, 350));
    QCOMPARE(w.form.Image5->geometry(), QRect(103, 20, 263, 107));
    QCOMPARE(w.form.SpeedButton1->geometry(), QRect(451, 4, 14, 14));
    QVERIFY(w.form.Button1->y() >= 350);  // ran by the drawn button and Escape only
    QVERIFY(w.form.currentStep() == &TForm3::Button1Click);
}

void WizardFlowTest::classicPathRunsBothStagesFromThePanelRevision() {
    Wizard w;
    w.next();  // no connection chosen: Next is off
    QCOMPARE(w.form.Label1->text(), kWelcome);
    pick(w.form.ComboBox5, 0);
    w.next();
    QVERIFY(w.host.sharedFlags.wizardActive);
    QVERIFY(!w.form.CheckBox1->isVisible() && !w.form.CheckBox1->isEnabled());
    QVERIFY(!w.form.ComboBox5->isVisible());
    QVERIFY(w.form.Label1->text().startsWith("Connect the MIDI out from your computer"));
    w.next();
    QCOMPARE(w.form.Label1->text(), QString("Select your MIDI device from the drop down menu."));
    QCOMPARE(w.form.ComboBox1->count(), 2);
    QCOMPARE(w.form.ComboBox1->itemText(1), QString("USB Audio Device"));
    QVERIFY(w.form.ComboBox1->isVisible() && !w.form.ComboBox6->isVisible());
    pick(w.form.ComboBox1, 0);
    QCOMPARE(w.host.outClicks, std::vector<int>{1});
    w.next();
    QVERIFY(w.form.Label1->text().startsWith("Click test button to check MIDI connection."));
    QCOMPARE(w.nextGroupShift(), 60);
    w.next();
    QCOMPARE(w.nextGroupShift(), 0);
    QVERIFY(w.form.Image5->isVisible());
    QCOMPARE(w.form.Label1->text(),
             QString("Turn off the amp. Hold down preset buttons 1 and 4 on the amp and turn the power back on."));
    w.next();
    QVERIFY(w.form.Label1->text().startsWith("The LEDs around the StompBoxes"));
    QVERIFY(w.form.ComboBox2->isVisible() && w.form.ComboBox3->isVisible() && w.form.ComboBox4->isVisible());
    QVERIFY(w.form.Label2->isVisible());
    w.next();  // nothing read off the panel yet
    QVERIFY(w.form.currentStep() == &TForm3::Button1Next7Click);
    pick(w.form.ComboBox2, 1);
    pick(w.form.ComboBox3, 0);
    pick(w.form.ComboBox4, 2);
    w.next();
    QCOMPARE(w.form.Label1->text(), QString("Now turn the amp OFF, wait 5 seconds and turn the amp back ON."));
    QVERIFY(!w.form.Image5->isVisible() && !w.form.ComboBox2->isVisible() && !w.form.Label2->isVisible());
    QVERIFY(!w.form.Shape3->isVisible());

    w.host.dialogAnswers.push_back("/home/me/kaldo-2.83.syx");
    QString behindTheDialog;
    w.host.whileDialogOpen = [&] { behindTheDialog = w.form.Label1->text(); };
    w.next();
    QCOMPARE(behindTheDialog, QString("Select the latest firmware file you downloaded from Dorsen."));
    QCOMPARE(w.host.dialogFilters.back(), std::string("Syx files (*.syx)|*.syx"));
    QCOMPARE(w.form.Label1->text(),
             QString("Let's start. The program will update intermediate code if needed, then load the latest code."));
    QCOMPARE(w.form.intermediateNeeded(), 1);
    QVERIFY(w.form.currentStep() == &TForm3::Button1Next4Click);

    w.host.events.clear();
    w.next();
    const std::vector<std::string> firstStage{"front", "read /home/me/kaldo-2.83.syx intermediate=1", "upload",
                                              "pause 1000"};
    QCOMPARE(w.host.events, firstStage);
    QVERIFY(!w.host.sharedFlags.intermediateStage);
    QVERIFY(w.form.Label1->text().startsWith(kFirstStage));
    w.host.events.clear();
    w.next();
    const std::vector<std::string> finalStage{"front", "read /home/me/kaldo-2.83.syx intermediate=0", "upload"};
    QCOMPARE(w.host.events, finalStage);
    QCOMPARE(w.form.Label1->text(), QString("Final stage complete! The amp may have rebooted. If not, power cycle "
                                            "the amp. You should now have the latest code."));
    w.next();
    QCOMPARE(w.form.Label1->text(), kWelcome);
    QVERIFY(!w.form.isVisible());
    QVERIFY(!w.host.sharedFlags.wizardActive);
}

void WizardFlowTest::usbPathTakesTheRevisionFromTheReply() {
    Wizard w;
    w.toDevices(true);
    QCOMPARE(w.form.Label1->text(), QString(R"(Select the KALDO USB midi devices from the drop down menus. The should )"
                                            R"(both be named USB "Audio Device".)"));
    QVERIFY(w.form.ComboBox6->isVisible());
    QCOMPARE(w.form.ComboBox6->count(), 1);
    pick(w.form.ComboBox1, 1);
    pick(w.form.ComboBox6, 0);
    w.host.answerIdentity(0x00010002, "01.02");  // a stale reply from before the test page
    w.next();
    QVERIFY(w.form.Label1->text().startsWith("Click test button to check USB MIDI connection."));
    QVERIFY(!w.host.reply);  // cleared on entering the page
    w.test();
    w.host.answerIdentity(0x00010002, "01.02");
    w.form.showAmpVersion("01.02");
    QCOMPARE(w.form.Label3->text(), QString("Connected, current code version is 01.02"));
    QVERIFY(w.form.Label3->isVisible());

    w.host.dialogAnswers.push_back("C:\\fw\\new.syx");
    w.next();
    QCOMPARE(w.form.revisionText(), std::string("1.02"));
    QCOMPARE(w.form.intermediateNeeded(), 1);
    QVERIFY(w.form.currentStep() == &TForm3::Button1Next4Click);
    // The start page speaks only of the latest code although the intermediate stage is bound.
    QCOMPARE(w.form.Label1->text(), QString("Let's start. The program will send the latest code to the amp."));
    QVERIFY(!w.form.Label3->isVisible());
    QVERIFY(!w.form.Shape2->isEnabled() && !w.form.Image4->isVisible());
    QCOMPARE(w.nextGroupShift(), 0);

    w.next();
    QVERIFY(w.form.Label1->text().startsWith(kFirstStage));
    w.next();
    QCOMPARE(w.form.Label1->text(),
             QString("Final stage complete! You should now have the latest code. Power cycle the amp."));
    QCOMPARE(w.host.count("read C:\\fw\\new.syx intermediate=0"), 1);

    // A newer amp needs no intermediate stage.
    Wizard v;
    v.toTest(true);
    v.test();
    v.host.answerIdentity(0x00010509, "01.59");
    v.host.dialogAnswers.push_back("/fw/a.syx");
    v.next();
    QCOMPARE(v.form.revisionText(), std::string("1.59"));
    QVERIFY(v.form.currentStep() == &TForm3::Button1Next9Click);
}

void WizardFlowTest::usbNoReplyStartsAgainWithEmptyDeviceLists() {
    Wizard w;
    w.toTest(true);
    w.test();
    w.next();
    QCOMPARE(w.form.Label1->text(), QString("USB Midi in not working. Please try again."));
    QVERIFY(w.form.currentStep() == &TForm3::Button1Click);
    QCOMPARE(w.form.ComboBox1->count(), 0);
    QCOMPARE(w.form.ComboBox1->currentText(), QString("Midi Out Devices"));
    QCOMPARE(w.form.ComboBox6->count(), 0);
    QCOMPARE(w.form.ComboBox6->currentText(), QString("Midi In Devices"));
    QVERIFY(!w.form.Shape2->isEnabled() && !w.form.Image4->isVisible());
    QCOMPARE(w.nextGroupShift(), 0);
    w.next();
    QVERIFY(w.form.Label1->text().startsWith("Connect the USB from your computer"));
    QVERIFY(!w.form.ComboBox5->isVisible());
    w.next();
    QCOMPARE(w.form.ComboBox1->count(), 2);  // filled afresh, not appended
    QCOMPARE(w.form.ComboBox6->count(), 1);
}

void WizardFlowTest::usbUntestedAsksForTheTest() {
    Wizard w;
    w.toTest(true);
    w.next();
    QCOMPARE(w.form.Label1->text(), QString("USB Midi in not tested. Please press the midi test button"));
    QVERIFY(w.form.currentStep() == &TForm3::Button1Next5Click);
    QCOMPARE(w.nextGroupShift(), 0);
    QVERIFY(!w.form.Shape2->isEnabled());
    w.next();
    QCOMPARE(w.nextGroupShift(), 60);
    QVERIFY(w.form.Shape2->isEnabled() && w.form.Image4->isVisible());
    w.test();
    w.host.answerIdentity(0x00010600, "01.60");
    w.host.dialogAnswers.push_back("/fw/a.syx");
    w.next();
    QCOMPARE(w.nextGroupShift(), 0);
}

void WizardFlowTest::nextGroupReturnsHomeOnEveryWayOutOfTheTestPage() {
    {  // classic: test page -> panel mode
        Wizard w;
        w.toTest(false);
        QCOMPARE(w.nextGroupShift(), 60);
        w.next();
        QCOMPARE(w.nextGroupShift(), 0);
    }
    {  // USB with a reply, through the file choice to the start page
        Wizard w;
        w.toTest(true);
        w.test();
        w.host.answerIdentity(0x00010600, "01.60");
        w.next();
        QCOMPARE(w.nextGroupShift(), 0);
    }
    {  // USB: not tested twice, then no reply, then through again
        Wizard w;
        w.toTest(true);
        w.next();
        QCOMPARE(w.nextGroupShift(), 0);
        w.next();
        w.next();
        QCOMPARE(w.nextGroupShift(), 0);
        w.next();
        QCOMPARE(w.nextGroupShift(), 60);
        w.test();
        w.next();
        QCOMPARE(w.nextGroupShift(), 0);
        w.next();
        w.next();
        pick(w.form.ComboBox1, 1);
        pick(w.form.ComboBox6, 0);
        w.next();
        QCOMPARE(w.nextGroupShift(), 60);
    }
    {  // closed on the test page
        Wizard w;
        w.toTest(true);
        w.form.SpeedButton1->click();
        QCOMPARE(w.nextGroupShift(), 0);
    }
}

// The USB device page offers "Find my amp" (the classic path cannot: the amp there only listens): it
// fills both lists with the amp's ports, opened as picking them would, and Next may go on.
void WizardFlowTest::findMyAmpFillsBothListsOnTheUsbPath() {
    {
        Wizard w;
        w.toDevices(false);
        QVERIFY(!w.form.FindAmpLink->isVisible());
    }
    Wizard w;
    w.toDevices(true);
    QVERIFY(w.form.FindAmpLink->isVisible());
    // One Tab stop, worked by Enter and Space as a button is.
    w.form.FindAmpLink->setFocus();
    QTest::keyClick(w.form.FindAmpLink, Qt::Key_Return);  // nothing answered: the host said so
    QCOMPARE(w.host.count("find amp"), 1);
    QVERIFY(!w.form.Shape1->isEnabled());
    w.host.amp = FoundAmp{{1, "USB Audio Device"}, {0, "USB Audio Device"}, 0x00020800, "02.80"};
    QTest::keyClick(w.form.FindAmpLink, Qt::Key_Space);
    QCOMPARE(w.host.count("find amp"), 2);
    QCOMPARE(w.form.ComboBox1->currentText(), QString("USB Audio Device"));
    QCOMPARE(w.form.ComboBox6->currentText(), QString("USB Audio Device"));
    QVERIFY(w.host.outReady && w.host.inReady);
    QVERIFY(w.form.Shape1->isEnabled());
    w.next();  // on to the test page: the link goes with the lists
    QVERIFY(!w.form.FindAmpLink->isVisible());
}

void WizardFlowTest::devicesPageWaitsForTheNeededPorts() {
    {  // classic: the output alone is enough
        Wizard w;
        w.toDevices(false);
        QVERIFY(!w.form.Shape1->isEnabled());
        pick(w.form.ComboBox1, 0);
        QVERIFY(w.form.Shape1->isEnabled());
    }
    {  // USB: output, then input
        Wizard w;
        w.toDevices(true);
        pick(w.form.ComboBox1, 0);
        QVERIFY(!w.form.Shape1->isEnabled());
        pick(w.form.ComboBox6, 0);
        QVERIFY(w.form.Shape1->isEnabled());
        QCOMPARE(w.host.inClicks, std::vector<int>{1});
    }
    {  // USB: input, then output
        Wizard w;
        w.toDevices(true);
        pick(w.form.ComboBox6, 0);
        QVERIFY(!w.form.Shape1->isEnabled());
        pick(w.form.ComboBox1, 1);
        QVERIFY(w.form.Shape1->isEnabled());
        QCOMPARE(w.host.outClicks, std::vector<int>{2});
    }
}

void WizardFlowTest::typedTextSelectsNothing() {
    {  // typed connection: Next stays off
        Wizard w;
        QTest::keyClicks(w.form.ComboBox5->lineEdit(), "usb");
        QCOMPARE(w.form.ComboBox5->currentIndex(), -1);
        QVERIFY(!w.form.Shape1->isEnabled());
    }
    {  // chosen, then typed over: goes on as classic MIDI
        Wizard w;
        pick(w.form.ComboBox5, 1);
        QTest::keyClicks(w.form.ComboBox5->lineEdit(), "x");
        QCOMPARE(w.form.ComboBox5->currentIndex(), -1);
        w.next();
        QVERIFY(!w.form.usbConnection());
        QVERIFY(w.form.Label1->text().startsWith("Connect the MIDI out"));
    }
    {  // typed device: the "None" item is clicked
        Wizard w;
        w.toDevices(false);
        pick(w.form.ComboBox1, 0);
        QTest::keyClicks(w.form.ComboBox1->lineEdit(), "q");
        QCOMPARE(w.host.outClicks.back(), 0);
        QVERIFY(!w.host.outReady);
    }
}

void WizardFlowTest::testButtonSendsPresetsBeforeIdentityRequests() {
    Wizard w;
    w.toTest(true);
    w.host.events.clear();
    w.host.sharedFlags.showVersionInWizard = false;
    for (int i = 0; i < 5; ++i) w.test();
    QVERIFY(w.host.sharedFlags.showVersionInWizard);
    std::vector<std::string> expected;
    for (const char* program : {"01", "02", "03", "00", "01"}) {
        expected.push_back(std::string("put2 C0 ") + program);
        expected.push_back("clear version");
        expected.push_back(kIdentityLine);
    }
    QCOMPARE(w.host.events, expected);
}

// Over a MIDI cable nothing answers: each press of TEST says on the page what it sent, and the page
// after the test no longer shows it.
void WizardFlowTest::testButtonSaysWhatItSent() {
    Wizard w;
    w.toTest(false);
    QVERIFY(w.form.Label3->isHidden());
    for (const char* preset : {"2", "3", "4", "1"}) {
        w.test();
        QVERIFY(!w.form.Label3->isHidden());
        QCOMPARE(w.form.Label3->text(), QString("Sent preset %1 and an ID request. Did the amp's preset change?").arg(preset));
    }
    w.next();
    QVERIFY(w.form.Label3->isHidden());
}

void WizardFlowTest::drawnButtonsLooksAndHitAreas() {
    Wizard w;
    pick(w.form.ComboBox5, 0);
    // Only the circle of a hit area feels the mouse.
    const QPoint corner = w.form.Shape1->geometry().topLeft() + QPoint(1, 1);
    QVERIFY(w.form.childAt(w.form.Shape1->geometry().center()) == w.form.Shape1);
    QVERIFY(w.form.childAt(corner) != w.form.Shape1);

    QTest::mousePress(w.form.Shape1, Qt::LeftButton, {}, w.form.Shape1->rect().center());
    QVERIFY(w.form.Image2->isVisible());
    QTest::mouseRelease(w.form.Shape1, Qt::LeftButton, {}, w.form.Shape1->rect().center());
    QVERIFY(!w.form.Image2->isVisible());
    QVERIFY(w.form.currentStep() == &TForm3::Button1Next8Click);
    // Any other button goes on without the pressed look.
    QTest::mouseClick(w.form.Shape1, Qt::RightButton, {}, w.form.Shape1->rect().center());
    QVERIFY(w.form.currentStep() == &TForm3::Button1Next5Click);

    pick(w.form.ComboBox1, 0);
    w.next();
    QTest::mousePress(w.form.Shape2, Qt::LeftButton, {}, w.form.Shape2->rect().center());
    QVERIFY(w.form.Image9->isVisible() && !w.form.Image4->isVisible());
    QTest::mouseRelease(w.form.Shape2, Qt::LeftButton, {}, w.form.Shape2->rect().center());
    QVERIFY(!w.form.Image9->isVisible() && w.form.Image4->isVisible());
    QCOMPARE(w.host.count(kIdentityLine), 1);

    // Leaving the test page turns the Test button off.
    w.next();
    w.test();
    QCOMPARE(w.host.count(kIdentityLine), 1);
}

// Escape works as NEXT would, and never past NEXT's own checks: on every page where NEXT can be off
// it does nothing while NEXT is off, and runs the step once NEXT is on. A stage's upload keeps NEXT
// (mouse or Escape) from starting the stage again under it.
void WizardFlowTest::escapeNeverSkipsNextsChecks() {
    struct Case {
        const char* page;
        std::function<void(Wizard&)> toPage;  // leaves NEXT off
        std::function<void(Wizard&)> allowNext;
    };
    const auto toFinalRetry = [](Wizard& w) {
        w.toStartUsb(0x00010600, "01.60");
        w.host.uploadOutcomes = {Outcome::Failed};
        w.host.duringUpload = [&w] { w.host.outReady = w.host.inReady = false; };
        w.next();
        w.host.duringUpload = nullptr;
        w.next();  // the lists again, NEXT off
    };
    const std::vector<Case> cases{
        {"welcome, no connection chosen", [](Wizard&) {}, [](Wizard& w) { pick(w.form.ComboBox5, 0); }},
        {"MIDI devices, no port", [](Wizard& w) { w.toDevices(false); },
         [](Wizard& w) { pick(w.form.ComboBox1, 1); }},
        {"USB devices, only the output", [](Wizard& w) {
             w.toDevices(true);
             pick(w.form.ComboBox1, 1);
         }, [](Wizard& w) { pick(w.form.ComboBox6, 0); }},
        {"read revision, two knobs", [](Wizard& w) {
             w.toReadRevision();
             pick(w.form.ComboBox2, 1);
             pick(w.form.ComboBox3, 0);
         }, [](Wizard& w) { pick(w.form.ComboBox4, 2); }},
        {"final stage again, ports closed", toFinalRetry, [](Wizard& w) {
             pick(w.form.ComboBox1, 1);
             pick(w.form.ComboBox6, 0);
         }},
    };
    for (const Case& c : cases) {
        Wizard w;
        QApplication::setActiveWindow(&w.form);
        c.toPage(w);
        QVERIFY2(!w.form.Shape1->isEnabled(), c.page);
        const auto step = w.form.currentStep();
        const QString text = w.form.Label1->text();
        const int uploads = w.host.count("upload");
        QTest::keyClick(&w.form, Qt::Key_Escape);
        QVERIFY2(w.form.currentStep() == step && w.form.Label1->text() == text, c.page);
        QCOMPARE(w.host.count("upload"), uploads);
        c.allowNext(w);
        QVERIFY2(w.form.Shape1->isEnabled(), c.page);
        QTest::keyClick(&w.form, Qt::Key_Escape);
        QVERIFY2(w.form.currentStep() != step || w.host.count("upload") > uploads, c.page);
    }

    // During a stage's upload neither the mouse nor Escape starts it again.
    Wizard u;
    QApplication::setActiveWindow(&u.form);
    u.toStartUsb(0x00010600, "01.60");
    bool nextOff = false;
    u.host.duringUpload = [&] {
        nextOff = !u.form.Shape1->isEnabled();
        u.host.duringUpload = nullptr;
        QTest::keyClick(&u.form, Qt::Key_Escape);
        u.next();
    };
    u.next();
    QVERIFY(nextOff);
    QCOMPARE(u.host.count("upload"), 1);
    QVERIFY(u.form.Label1->text().startsWith(kFinalStage));
    QVERIFY(u.form.Shape1->isEnabled());

    // Escape that closes an open drop-down list only closes the list.
    Wizard v;
    QApplication::setActiveWindow(&v.form);
    v.toDevices(false);
    v.form.ComboBox1->showPopup();
    QVERIFY(QApplication::activePopupWidget());
    QTest::keyClick(v.form.ComboBox1->view(), Qt::Key_Escape);
    QVERIFY(!QApplication::activePopupWidget());
    QVERIFY(v.form.currentStep() == &TForm3::Button1Next5Click);
    QCOMPARE(v.form.Label1->text(), QString("Select your MIDI device from the drop down menu."));
}

void WizardFlowTest::closeGlyphRestoresTheDesignedLayoutOnEveryPage() {
    struct Snapshot {
        QList<QRect> geometry;
        QList<bool> visible, enabled;
        bool operator==(const Snapshot&) const = default;
    };
    const auto snapshot = [](TForm3& f) {
        Snapshot s;
        for (QWidget* c : std::initializer_list<QWidget*>{f.Shape1, f.Shape2, f.Image1, f.Image2, f.Image3, f.Image4,
                                                           f.Image5, f.Image9, f.Label3, f.ComboBox1, f.ComboBox2,
                                                           f.ComboBox3, f.ComboBox4, f.ComboBox5, f.ComboBox6,
                                                           f.CheckBox1}) {
            s.geometry << c->geometry();
            s.visible << !c->isHidden();
            s.enabled << c->isEnabled();
        }
        return s;
    };
    Wizard designed;
    const Snapshot home = snapshot(designed.form);

    for (bool usb : {false, true}) {
        for (int steps = 0; steps <= (usb ? 5 : 7); ++steps) {
            Wizard w;
            pick(w.form.ComboBox5, usb ? 1 : 0);
            for (int i = 0; i < steps; ++i) {
                if (w.form.currentStep() == &TForm3::Button1Next5Click) {
                    pick(w.form.ComboBox1, 1);
                    if (usb) pick(w.form.ComboBox6, 0);
                }
                if (w.form.currentStep() == &TForm3::Button1Next7Click) {
                    pick(w.form.ComboBox2, 2);
                    pick(w.form.ComboBox3, 0);
                    pick(w.form.ComboBox4, 3);
                }
                if (w.form.currentStep() == &TForm3::Button1Next20Click) w.test();
                w.next();
            }
            w.form.SpeedButton1->click();
            const QString where = QString("usb %1, %2 steps").arg(usb).arg(steps);
            QVERIFY2(!w.form.isVisible(), qPrintable(where));
            QVERIFY2(w.form.currentStep() == &TForm3::Button1Click, qPrintable(where));
            QCOMPARE(w.form.Label1->text(), kWelcome);
            QVERIFY2(!w.host.sharedFlags.wizardActive && !w.host.sharedFlags.showVersionInWizard, qPrintable(where));
            QCOMPARE(w.form.ComboBox1->count(), 0);
            QCOMPARE(w.form.ComboBox6->count(), 0);
            QCOMPARE(w.form.ComboBox1->currentText(), QString("Midi Out Devices"));
            QCOMPARE(w.form.ComboBox5->currentText(), QString("Connection?"));
            QCOMPARE(w.form.ComboBox5->currentIndex(), -1);
            Snapshot now = snapshot(w.form);
            // The amp's revision marks outlive a reset; the lists and the picture do not.
            QVERIFY2(now == home, qPrintable(where));
            w.form.showWizard();
            QCOMPARE(w.form.Label1->text(), kWelcome);
        }
    }
}

void WizardFlowTest::closingOnReadRevisionKeepsRevisionMarks() {
    Wizard w;
    w.toReadRevision();
    pick(w.form.ComboBox3, 4);
    w.form.SpeedButton1->click();
    QVERIFY(!w.form.Label2->isHidden());
    QVERIFY(!w.form.Shape4->isHidden());
    QVERIFY(w.form.ComboBox3->isHidden());
    QCOMPARE(w.form.revisionText(), std::string("x.4x"));
}

void WizardFlowTest::checkBoxWritesTheFirstTimeSetting() {
    Wizard w;
    w.form.CheckBox1->click();
    w.form.CheckBox1->click();
    QCOMPARE(w.host.firstTimeWrites, (std::vector<bool>{false, true}));
}

void WizardFlowTest::failedStageIsNeverReportedComplete() {
    for (Outcome failure : {Outcome::Failed, Outcome::Declined}) {
        Wizard w;
        w.toTest(true);
        w.test();
        w.host.answerIdentity(0x00010002, "01.02");
        w.host.dialogAnswers.push_back("/fw/a.syx");
        w.next();
        // A declined question sent nothing, and the page says just that.
        const QString notDone = failure == Outcome::Declined ? "Nothing was sent." : "The first stage did not complete.";
        w.host.uploadOutcomes = {failure};
        w.next();
        QVERIFY(!w.form.Label1->text().contains("complete!"));
        QVERIFY(w.form.Label1->text().startsWith(notDone));
        QVERIFY(w.form.currentStep() == &TForm3::Button1Next4Click);
        QVERIFY(w.form.isVisible());
        // Whatever the stage's end, a later "Open Firmware" loads the user's file again.
        QVERIFY(!w.host.sharedFlags.intermediateStage);
        w.next();  // try again, completes
        QVERIFY(w.form.Label1->text().startsWith(kFirstStage));
        QCOMPARE(w.host.count("read /fw/a.syx intermediate=1"), 2);

        w.host.uploadOutcomes = {failure};
        w.next();
        QVERIFY(w.form.Label1->text().startsWith(failure == Outcome::Declined ? notDone
                                                                              : "The final stage did not complete."));
        QVERIFY(w.form.currentStep() == &TForm3::Button1Next9Click);
        w.next();
        QVERIFY(w.form.Label1->text().startsWith(kFinalStage));
    }
    {  // the carried image would not load: nothing is sent
        Wizard w;
        w.host.dialogAnswers.push_back("/fw/a.syx");
        w.toReadRevision();
        pick(w.form.ComboBox2, 1);
        pick(w.form.ComboBox3, 0);
        pick(w.form.ComboBox4, 2);
        w.next();
        w.next();
        w.host.loadResult = 0;
        w.next();
        QCOMPARE(w.host.count("upload"), 0);
        QVERIFY(w.form.Label1->text().startsWith("The first stage did not complete."));
    }
}

void WizardFlowTest::terminatedOrClosedUploadEndsTheStep() {
    {  // terminated: the upload sequence resets the wizard through ResetStartup
        Wizard w;
        w.toTest(true);
        w.test();
        w.host.answerIdentity(0x00010600, "01.60");
        w.host.dialogAnswers.push_back("/fw/a.syx");
        w.next();
        w.host.duringUpload = [&] {
            w.host.sharedFlags.uploadAborted = true;
            w.form.ResetStartup->click();
        };
        w.host.uploadOutcomes = {Outcome::Terminated};
        w.next();
        QCOMPARE(w.form.Label1->text(), kWelcome);
        QVERIFY(w.form.currentStep() == &TForm3::Button1Click);
        QVERIFY(!w.form.isVisible());
    }
    {  // the user closed the wizard while the upload ran, which then completed
        Wizard w;
        w.toTest(true);
        w.test();
        w.host.answerIdentity(0x00010600, "01.60");
        w.host.dialogAnswers.push_back("/fw/a.syx");
        w.next();
        w.host.duringUpload = [&] { w.form.SpeedButton1->click(); };
        w.next();
        QCOMPARE(w.form.Label1->text(), kWelcome);
        QVERIFY(w.form.currentStep() == &TForm3::Button1Click);
    }
}

void WizardFlowTest::missingFirmwareFileIsAskedForAgain() {
    Wizard w;
    w.toTest(true);
    w.test();
    w.host.answerIdentity(0x00010600, "01.60");
    w.next();  // file dialog cancelled
    QVERIFY(w.form.wizardFileName().empty());
    w.next();  // the final stage asks again; cancelled again
    QCOMPARE(w.host.count("file dialog"), 2);
    QCOMPARE(w.host.count("read"), 0);
    QCOMPARE(w.host.count("upload"), 0);
    QCOMPARE(w.form.Label1->text(),
             QString("No firmware file was chosen. Press Next to choose the firmware file you downloaded."));
    QVERIFY(w.form.currentStep() == &TForm3::Button1Next9Click);
    w.host.dialogAnswers.push_back("/fw/b.syx");
    w.next();
    QCOMPARE(w.host.count("read /fw/b.syx"), 1);
    QVERIFY(w.form.Label1->text().startsWith(kFinalStage));

    // A file that will not load is asked for again, instead of being sent.
    Wizard v;
    v.toTest(true);
    v.test();
    v.host.answerIdentity(0x00010600, "01.60");
    v.host.dialogAnswers.push_back("/fw/broken.syx");
    v.next();
    v.host.loadResult = 0;
    v.next();
    QCOMPARE(v.host.count("upload"), 0);
    QVERIFY(v.form.wizardFileName().empty());
    v.host.loadResult = 2;
    v.host.dialogAnswers.push_back("/fw/good.syx");
    v.next();
    QCOMPARE(v.host.count("read /fw/good.syx"), 1);
    QVERIFY(v.form.Label1->text().startsWith(kFinalStage));
}

void WizardFlowTest::closedPortsAreChosenAgainBeforeARetry() {
    Wizard w;
    w.toTest(true);
    w.test();
    w.host.answerIdentity(0x00010600, "01.60");
    w.host.dialogAnswers.push_back("/fw/a.syx");
    w.next();
    w.host.uploadOutcomes = {Outcome::Failed};
    w.host.duringUpload = [&] { w.host.outReady = w.host.inReady = false; };  // a time-out released them
    w.next();
    w.host.duringUpload = nullptr;
    QVERIFY(w.form.Label1->text().startsWith("The final stage did not complete."));
    w.next();
    QCOMPARE(w.host.count("upload"), 1);
    QVERIFY(w.form.ComboBox1->isVisible() && w.form.ComboBox6->isVisible());
    QCOMPARE(w.form.ComboBox1->count(), 2);
    QVERIFY(!w.form.Shape1->isEnabled());
    pick(w.form.ComboBox1, 1);
    pick(w.form.ComboBox6, 0);
    w.next();
    QCOMPARE(w.host.count("upload"), 2);
    QVERIFY(!w.form.ComboBox1->isVisible());
    QVERIFY(w.form.Label1->text().startsWith(kFinalStage));
}

void WizardFlowTest::replyCaptionArrivesOnTheWindowThread() {
    Wizard w;
    std::thread input([&] { w.form.showAmpVersion("01.60"); });
    input.join();
    QVERIFY(w.form.Label3->isHidden());  // not touched from the input thread
    QCoreApplication::sendPostedEvents();
    QCOMPARE(w.form.Label3->text(), QString("Connected, current code version is 01.60"));
    QVERIFY(!w.form.Label3->isHidden());
}

// Tab goes through what the page shows in the order it is read, and reaches NEXT as soon as NEXT is
// on; hidden and disabled controls are passed over.
void WizardFlowTest::tabReachesNextInTheOrderOfThePage() {
    const auto stops = [](Wizard& w) {
        TForm3& f = w.form;
        const std::pair<QWidget*, const char*> names[] = {
            {f.ComboBox5, "Conn"},  {f.ComboBox1, "Out"},    {f.ComboBox6, "In"},    {f.FindAmpLink, "Find"},
            {f.ComboBox2, "Stomp"}, {f.ComboBox3, "Amp"},    {f.ComboBox4, "Effect"}, {f.Shape2, "TEST"},
            {f.Shape1, "NEXT"},     {f.CheckBox1, "Check"}, {f.SpeedButton1, "Close"}};
        QApplication::setActiveWindow(&f);
        f.SpeedButton1->setFocus();
        QStringList seen;
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QString name = "?";
            for (const auto& [widget, label] : names) {
                if (widget == QApplication::focusWidget() || widget->isAncestorOf(QApplication::focusWidget())) name = label;
            }
            if (name == "Close") break;
            seen << name;
        }
        return seen.join(" > ");
    };
    Wizard a;
    pick(a.form.ComboBox5, 0);
    QCOMPARE(stops(a), QString("Conn > NEXT > Check"));
    Wizard b;
    b.toDevices(false);
    QCOMPARE(stops(b), QString("Out"));
    pick(b.form.ComboBox1, 1);
    QCOMPARE(stops(b), QString("Out > NEXT"));
    Wizard c;
    c.toDevices(true);
    pick(c.form.ComboBox1, 1);
    pick(c.form.ComboBox6, 0);
    QCOMPARE(stops(c), QString("Out > In > Find > NEXT"));
    Wizard d;
    d.toTest(false);
    QCOMPARE(stops(d), QString("TEST > NEXT"));
    d.next();
    QCOMPARE(stops(d), QString("NEXT"));
    d.next();
    for (EditableList* knob : {d.form.ComboBox2, d.form.ComboBox3, d.form.ComboBox4}) pick(knob, 1);
    QCOMPARE(stops(d), QString("Stomp > Amp > Effect > NEXT"));
}

QTEST_MAIN(WizardFlowTest)
#include "WizardFlowTest.moc"
