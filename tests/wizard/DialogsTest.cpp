// The MIDI test dialog and the message and confirmation dialog: what they send, what they show,
// the confirmation's outcomes in the order the checks come, and the keyboard on their drawn buttons.
#include <QAbstractItemView>
#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QCoreApplication>
#include <QTimer>
#include <QTest>

#include <thread>

#include "FakeHost.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "WizardTexts.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

void click(CircleShape* shape) { QTest::mouseClick(shape, Qt::LeftButton, {}, shape->rect().center()); }

// Pixels of image inside rect (image coordinates) for which test holds.
template <class Test>
int countPixels(const QImage& image, const QRect& rect, Test test) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) n += test(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

bool gold(const QColor& c) { return c.red() > 120 && c.red() - c.blue() > 50; }  // frame, logo, focus marks

// A dialog in port selection with confirmation, ports ready, shown without blocking the test.
struct Confirmation {
    FakeHost host;
    TForm5 form{host, nullptr};
    Confirmation() {
        host.outReady = host.inReady = true;
        form.confirmMode = true;
        form.Label1->setText("Now select the MIDI device.");
        for (QWidget* w : std::initializer_list<QWidget*>{form.Label2, form.Label3, form.ComboBox1, form.ComboBox2})
            w->show();
        form.show();
    }
};

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void testDialogSendsIdentityThenPresets();
    void testDialogShowsTheLatestReply();
    void testWithoutReplySaysWhatToCheck();
    void keyboardWorksTheDrawnButtons();
    void portListsShowWholeNames();
    void chosenPortNamesShowWhole();
    void portListsAreFilledOnce();
    void portListsClickTheMenuItems();
    void portListsShowClosedPortsAsNotChosen();
    void confirmationSucceeds();
    void confirmationFindsTheWrongRevision();
    void confirmationTimesOutAndStaysReady();
    void confirmationAsksAgainUntilTheAmpHears();
    void confirmationChecksTheOutputPortFirst();
    void confirmationIgnoresOkWhileWaiting();
    void messageAndQuestionCloseOnOk();
    void closeGlyphsInsideTheGoldFrame();
    void nothingLiesOverTheWizardsButtons();
    void focusMarksShow();
};

void DialogsTest::testDialogSendsIdentityThenPresets() {
    FakeHost host;
    TForm4 form(host, nullptr);
    QCOMPARE(form.windowTitle(), QString("Midi Test"));
    QCOMPARE(form.size(), QSize(280, 210));
    form.show();
    QTest::mousePress(form.Shape1, Qt::LeftButton, {}, form.Shape1->rect().center());
    QVERIFY(form.Image2->isHidden() && form.Image3->isVisible());
    QTest::mouseRelease(form.Shape1, Qt::LeftButton, {}, form.Shape1->rect().center());
    QVERIFY(form.Image2->isVisible() && form.Image3->isHidden());
    for (int i = 0; i < 4; ++i) click(form.Shape1);
    std::vector<std::string> expected;
    for (const char* program : {"01", "02", "03", "00", "01"}) {
        expected.push_back("reply code 0");
        expected.push_back(kIdentityLine);
        expected.push_back(std::string("put2 C0 ") + program);
    }
    QCOMPARE(host.events, expected);
}

void DialogsTest::testDialogShowsTheLatestReply() {
    FakeHost host;
    TForm4 form(host, nullptr);
    QVERIFY(form.Label2->isHidden());
    form.showAmpVersion("01.59");  // also while the dialog is closed
    QCOMPARE(form.Label2->text(), QString("Connected, current code version is 01.59"));
    std::thread input([&] { form.showAmpVersion("01.60"); });
    input.join();
    QCOMPARE(form.Label2->text(), QString("Connected, current code version is 01.59"));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(form.Label2->text(), QString("Connected, current code version is 01.60"));
    QVERIFY(!form.Label2->isHidden());
    // "Test Connection" hides the old reply before showing the dialog.
    form.showTest();
    QVERIFY(form.isVisible() && form.Label2->isHidden());
    form.SpeedButton1->click();
    QVERIFY(!form.isVisible());
}

void DialogsTest::testWithoutReplySaysWhatToCheck() {
    FakeHost host;
    TForm4 form(host, nullptr);
    form.showTest();
    const QString instructions = form.Label1->text();
    host.waiting.push_back(kReplyIdentity);  // left over from an earlier question: does not count
    click(form.Shape1);
    QVERIFY(host.now >= TForm4::kReplyWaitMs && host.now <= TForm4::kReplyWaitMs + FakeHost::kPumpMs);
    QVERIFY(form.Label2->isVisible());
    QCOMPARE(form.Label2->text(), QString("No reply from the amp within 2 seconds."));
    QVERIFY2(form.Label1->text().contains("USB MIDI mode"), qPrintable(form.Label1->text()));

    // The next test is answered: the reply shows, the advice goes, and the wait ends with it.
    const std::int64_t pressed = host.now;
    host.onPump = [&](int) {
        host.answerIdentity(0x00020803, "02.83");
        form.showAmpVersion("02.83");
    };
    click(form.Shape1);
    QCOMPARE(host.now - pressed, std::int64_t{FakeHost::kPumpMs});
    QCOMPARE(form.Label2->text(), QString("Connected, current code version is 02.83"));
    QCOMPARE(form.Label1->text(), instructions);

    // Shown again, the dialog starts from its instructions.
    host.onPump = nullptr;
    click(form.Shape1);
    form.close();
    form.showTest();
    QCOMPARE(form.Label1->text(), instructions);
    QVERIFY(form.Label2->isHidden());
}

// The keyboard lands on the drawn button (never on the close glyph, which Space would press),
// Space and Enter work it, and Tab goes round the dialog in reading order.
void DialogsTest::keyboardWorksTheDrawnButtons() {
    FakeHost host;
    host.onPump = [&](int) { host.answerIdentity(0x00020803, "02.83"); };
    TForm4 test(host, nullptr);
    test.showTest();
    QCOMPARE(test.focusWidget(), test.Shape1);
    QTest::keyClick(test.Shape1, Qt::Key_Space);
    QTest::keyClick(test.Shape1, Qt::Key_Return);
    QCOMPARE(host.count(kIdentityLine), 2);
    QVERIFY(test.isVisible());
    QTest::keyClick(test.Shape1, Qt::Key_Tab);
    QCOMPARE(test.focusWidget(), test.SpeedButton1);

    TForm5 dialog(host, nullptr);
    QWidget* focusAtStart = nullptr;
    QStringList order;
    QTimer::singleShot(0, &dialog, [&] {
        focusAtStart = dialog.focusWidget();
        for (int i = 0; i < 4 && dialog.focusWidget(); ++i) {
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
            order << dialog.focusWidget()->objectName();
        }
        dialog.close();
    });
    for (auto [w, name] : {std::pair<QWidget*, const char*>{dialog.ComboBox1, "out"}, {dialog.ComboBox2, "in"},
                           {dialog.Shape1, "ok"}, {dialog.SpeedButton1, "close"}})
        w->setObjectName(name);
    dialog.dialogPortSelection("Now select the MIDI device.", false);
    QCOMPARE(focusAtStart, dialog.Shape1);
    QCOMPARE(order, (QStringList{"close", "in", "out", "ok"}));
    // Enter on OK is a click: a message closes.
    dialog.show();
    QTest::keyClick(dialog.Shape1, Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
}

// A drop-down opens as wide as its longest port name, and each entry carries the whole name.
void DialogsTest::portListsShowWholeNames() {
    Confirmation c;
    const std::string longName = "KALDO Amp Sim Out:out plus a long USB MIDI interface name";
    c.host.outNames = {"Port A", longName};
    c.form.ComboBox1Enter();
    QCOMPARE(c.form.ComboBox1->itemData(1, Qt::ToolTipRole).toString(), QString::fromStdString(longName));
    c.form.ComboBox1->showPopup();
    QWidget* dropDown = c.form.ComboBox1->view()->window();
    const int needed = c.form.ComboBox1->view()->fontMetrics().horizontalAdvance(QString::fromStdString(longName));
    QVERIFY2(dropDown->width() > needed, qPrintable(QString("%1 <= %2").arg(dropDown->width()).arg(needed)));
    QCOMPARE(c.form.ComboBox1->width(), 127);  // the list itself keeps its designed width
    c.form.ComboBox1->hidePopup();
}

// A chosen name shows from its first letter to its last in the dialog's narrow lists.
void DialogsTest::chosenPortNamesShowWhole() {
    Confirmation c;
    c.host.outNames = {"KALDO Amp Sim In:in"};
    c.host.inNames = {"KALDO Amp Sim Out:out"};
    c.form.ComboBox1Enter();
    c.form.ComboBox2Enter();
    for (EditableList* list : {c.form.ComboBox1, c.form.ComboBox2}) {
        list->setCurrentIndex(0);
        emit list->activated(0);
        QLineEdit* shown = list->lineEdit();
        const int needed = QFontMetrics(shown->font()).horizontalAdvance(shown->text());
        QVERIFY2(needed <= shown->width() - 4, qPrintable(QString("%1: %2 > %3").arg(shown->text()).arg(needed).arg(shown->width())));
        QVERIFY(QFontInfo(shown->font()).pixelSize() >= 9);
    }
}

void DialogsTest::portListsAreFilledOnce() {
    Confirmation c;
    c.form.ComboBox1Enter();
    c.form.ComboBox2Enter();
    QCOMPARE(c.form.ComboBox1->count(), 2);
    QCOMPARE(c.form.ComboBox2->count(), 1);
    c.host.outNames.push_back("KALDO USB");
    c.host.inNames.push_back("KALDO USB");
    c.form.ComboBox1->setFocus();
    c.form.ComboBox1->showPopup();
    c.form.ComboBox1->hidePopup();
    c.form.ComboBox2Enter();
    QCOMPARE(c.form.ComboBox1->count(), 2);
    QCOMPARE(c.form.ComboBox2->count(), 1);
    QCOMPARE(c.form.ComboBox1->currentText(), QString("Midi Out Devices"));

    // Reaching a list for the first time fills it.
    FakeHost host;
    TForm5 fresh(host, nullptr);
    fresh.ComboBox2->show();
    fresh.show();
    fresh.ComboBox2->showPopup();
    fresh.ComboBox2->hidePopup();
    QCOMPARE(fresh.ComboBox2->count(), 1);
}

void DialogsTest::portListsClickTheMenuItems() {
    Confirmation c;
    c.form.ComboBox1Enter();
    c.form.ComboBox2Enter();
    c.form.ComboBox1->setCurrentIndex(1);
    emit c.form.ComboBox1->activated(1);
    c.form.ComboBox2->setCurrentIndex(0);
    emit c.form.ComboBox2->activated(0);
    QCOMPARE(c.host.outClicks, std::vector<int>{2});
    QCOMPARE(c.host.inClicks, std::vector<int>{1});
}

// After an upload the menus are rebuilt and the ports closed before the lists show again: a list whose
// port is closed shows its prompt, not last time's name, which OK would refuse as not selected.
void DialogsTest::portListsShowClosedPortsAsNotChosen() {
    FakeHost host;
    TForm5 form(host, nullptr);
    form.ComboBox1Enter();
    form.ComboBox2Enter();
    form.ComboBox1->setCurrentIndex(1);
    emit form.ComboBox1->activated(1);
    form.ComboBox2->setCurrentIndex(0);
    emit form.ComboBox2->activated(0);
    host.inReady = false;  // the output is still open, the input was closed
    QString outShown, inShown;
    QTimer::singleShot(0, &form, [&] {
        outShown = form.ComboBox1->currentText();
        inShown = form.ComboBox2->currentText();
        form.SpeedButton1->click();
    });
    form.dialogPortSelection("Now select the MIDI device.", true);
    QCOMPARE(outShown, QString::fromStdString(host.outNames[1]));
    QCOMPARE(inShown, QString("Midi In Devices"));
    QCOMPARE(form.ComboBox2->currentIndex(), -1);
}

void DialogsTest::confirmationSucceeds() {
    Confirmation c;
    c.host.fileVersion = 0x00020803;
    c.host.onPump = [&](int n) {
        if (n == 3) c.host.answerIdentity(0x00020803, "02.83");
    };
    c.host.waiting = {0x7C, kReplyIdentity};  // left over from the upload and an earlier test
    click(c.form.Shape1);
    const std::vector<std::string> sent(c.host.events.begin(), c.host.events.begin() + 5);
    const std::vector<std::string> expected{"reply code 0", "timeout 5000", kIdentityLine, kIdentityLine, kIdentityLine};
    QCOMPARE(sent, expected);
    QCOMPARE(c.host.pumps, 3);
    QCOMPARE(c.form.Label1->text(), QString("Success, new code rev is confirmed. Rock On!"));
    QCOMPARE(c.host.statusPanel3, std::string("Status -> Complete."));
    QVERIFY(!c.form.confirmMode);
    QVERIFY(c.form.ComboBox1->isHidden() && c.form.ComboBox2->isHidden());
    QVERIFY(c.form.Label2->isHidden() && c.form.Label3->isHidden());
    QVERIFY(c.form.isVisible());
    click(c.form.Shape1);
    QVERIFY(!c.form.isVisible());
    QCOMPARE(c.host.count(kIdentityLine), 3);
}

void DialogsTest::confirmationFindsTheWrongRevision() {
    Confirmation c;
    c.host.fileVersion = 0x00020803;
    c.host.onPump = [&](int) { c.host.answerIdentity(0x00010002, "01.02"); };
    click(c.form.Shape1);
    QCOMPARE(c.form.Label1->text(), QString("Fail, code rev is wrong. Power cycle the amp and try again."));
    QCOMPARE(c.host.statusPanel3, std::string("Status -> Error."));
    QVERIFY(!c.form.confirmMode);
    click(c.form.Shape1);
    QVERIFY(!c.form.isVisible());
}

void DialogsTest::confirmationTimesOutAndStaysReady() {
    Confirmation c;
    c.host.timeoutAfterPumps = 50;
    click(c.form.Shape1);
    const std::vector<std::string> tail(c.host.events.end() - 3, c.host.events.end());
    const std::vector<std::string> expected{"box Status: Error. Device not responding. Power cycle amp and try again.",
                                            "reset", "box Status: An Error occurred. Try again."};
    QCOMPARE(tail, expected);
    QCOMPARE(c.host.pumps, 50);
    QVERIFY(c.form.confirmMode);
    QVERIFY(c.form.isVisible() && c.form.ComboBox1->isVisible());
    QCOMPARE(c.form.Label1->text(), QString("Now select the MIDI device."));
    // The next OK tries again, and this time the amp answers.
    c.host.timeoutAfterPumps = -1;
    c.host.fileVersion = 0x00020803;
    c.host.onPump = [&](int) { c.host.answerIdentity(0x00020803, "02.83"); };
    click(c.form.Shape1);
    QCOMPARE(c.host.timeouts, (std::vector<int>{5000, 5000}));
    QCOMPARE(c.form.Label1->text(), QString("Success, new code rev is confirmed. Rock On!"));
}

void DialogsTest::confirmationAsksAgainUntilTheAmpHears() {
    Confirmation c;
    c.host.timeoutAfterPumps = 5000 / FakeHost::kPumpMs;
    c.host.fileVersion = 0x00020803;
    // The amp's MIDI is up 1.5 s after its USB: it answers only a request that comes after that.
    int requests = 0;
    c.host.onPump = [&](int) {
        const int sent = c.host.count(kIdentityLine);
        if (sent > requests && c.host.now >= 1500) c.host.answerIdentity(0x00020803, "02.83");
        requests = sent;
    };
    click(c.form.Shape1);
    QCOMPARE(c.form.Label1->text(), QString("Success, new code rev is confirmed. Rock On!"));
    QCOMPARE(c.host.count(kIdentityLine), 5);  // three at once, then one a second
    QCOMPARE(c.host.timeouts, std::vector<int>{5000});
}

void DialogsTest::confirmationChecksTheOutputPortFirst() {
    Confirmation c;
    c.host.outReady = false;
    c.host.inReady = true;
    click(c.form.Shape1);
    c.host.inReady = false;
    click(c.form.Shape1);
    c.host.outReady = true;
    click(c.form.Shape1);
    const std::vector<std::string> expected{"box Status: Please select Midi Out Device",
                                            "box Status: Please select Midi Out Device",
                                            "box Status: Please select Midi In Device"};
    QCOMPARE(c.host.events, expected);
    QVERIFY(c.form.isVisible() && c.form.confirmMode);
}

void DialogsTest::confirmationIgnoresOkWhileWaiting() {
    Confirmation c;
    c.host.onPump = [&](int n) {
        if (n == 1) click(c.form.Shape1);  // impatient user
        if (n == 2) c.host.answerIdentity(c.host.fileVersion, "01.60");
    };
    click(c.form.Shape1);
    QCOMPARE(c.host.count(kIdentityLine), 3);
    QCOMPARE(c.host.timeouts.size(), std::size_t{1});
    QVERIFY(c.form.isVisible());
}

void DialogsTest::messageAndQuestionCloseOnOk() {
    FakeHost host;
    TForm5 form(host, nullptr);
    QCOMPARE(form.Label1->text(), QString("test"));
    QTimer::singleShot(0, &form, [&] {
        QCOMPARE(form.Label1->text(), QString("Looks good! Unplug the USB cable and power cycle the amp."));
        click(form.Shape1);
    });
    form.dialogMessage("Looks good! Unplug the USB cable and power cycle the amp.");
    QVERIFY(!form.isVisible());

    QTimer::singleShot(0, &form, [&] {
        QVERIFY(form.CheckBox1->isVisible() && form.Label4->isVisible());
        QCOMPARE(form.Label4->text(), QString("Setup USB."));
        form.CheckBox1->click();
        click(form.Shape1);
    });
    QVERIFY(form.dialogQuestion("Do you want to setup the KALDO USB MIDI interface?"));
    QVERIFY(form.CheckBox1->isHidden() && form.Label4->isHidden());

    // Port selection without confirmation closes on the first OK, whatever the ports.
    QTimer::singleShot(0, &form, [&] {
        QVERIFY(form.ComboBox1->isVisible() && form.Label2->isVisible());
        click(form.Shape1);
    });
    form.dialogPortSelection("Now select the MIDI device.", false);
    QCOMPARE(host.count("box"), 0);

    // A confirmation left by the close glyph does not turn the next message into one.
    QTimer::singleShot(0, &form, [&] { form.SpeedButton1->click(); });
    form.dialogPortSelection("Now select the MIDI device.", true);
    QVERIFY(form.confirmMode);
    QTimer::singleShot(0, &form, [&] { click(form.Shape1); });
    form.dialogMessage("Firmware Sent.");
    QVERIFY(!form.isVisible());
    QCOMPARE(host.count("box"), 0);
}

// The close glyph of each borderless window lies inside its gold frame: no frame under it.
void DialogsTest::closeGlyphsInsideTheGoldFrame() {
    FakeHost host;
    TForm3 wizard(host, nullptr);
    TForm4 test(host, nullptr);
    TForm5 message(host, nullptr);
    const std::pair<QLabel*, QToolButton*> windows[] = {
        {wizard.Image1, wizard.SpeedButton1}, {test.Image1, test.SpeedButton1}, {message.Image1, message.SpeedButton1}};
    for (const auto& [background, glyph] : windows) {
        const QImage picture = background->grab().toImage();
        QCOMPARE(picture.size(), background->size());
        QCOMPARE(countPixels(picture, glyph->geometry(), gold), 0);
        QVERIFY(countPixels(picture, QRect(0, 0, picture.width(), 3), gold) > picture.width());  // the frame is there
    }
}

// NEXT and TEST lie on plain background, wherever the pages put them, and every page text ends above
// them (below the logo).
void DialogsTest::nothingLiesOverTheWizardsButtons() {
    FakeHost host;
    TForm3 wizard(host, nullptr);
    const QImage picture = wizard.Image1->grab().toImage();
    // the faint logo: warmer than the grey panel
    const auto logoColour = [](const QColor& c) { return c.red() - c.blue() > 20; };
    for (const int dx : {0, 60}) {
        QCOMPARE(countPixels(picture, wizard.Image3->geometry().translated(dx, 0), logoColour), 0);
        QCOMPARE(countPixels(picture, wizard.Image4->geometry().translated(dx, 0), logoColour), 0);
    }
    const QRect logo(10, 30, picture.width() - 20, 60);
    QVERIFY(countPixels(picture, logo, logoColour) > 100);
    using namespace wizard_text;
    for (const char* text : {kWelcomeText, kConnectMidiText, kConnectUsbText, kDevicesMidiText, kDevicesUsbText,
                             kTestMidiText, kTestUsbText, kNotTestedText, kNoReplyText, kPanelModeText,
                             kReadRevisionText, kPowerCycleText, kChooseFileText, kStartMidiText, kStartUsbText,
                             kFirstStageText, kFinalMidiText, kFinalUsbText, kFirstStageFailedText,
                             kFinalStageFailedText, kNoFileText, kDeclinedText}) {
        wizard.Label1->setPage(text);
        const int bottom = wizard.Label1->y() + wizard.Label1->heightForWidth(wizard.Label1->width());
        QVERIFY2(bottom <= wizard.Image3->y() && wizard.Label1->y() >= logo.bottom(), text);
        QCOMPARE(wizard.Label1->x(), 45);
    }
}

// The focus marks of the link and the check box are plain to see: a frame, a caption in gold.
void DialogsTest::focusMarksShow() {
    FakeHost host;
    TForm3 wizard(host, nullptr);
    wizard.show();
    QApplication::setActiveWindow(&wizard);
    wizard.FindAmpLink->show();
    for (QWidget* marked : std::initializer_list<QWidget*>{wizard.FindAmpLink, wizard.CheckBox1}) {
        wizard.Shape2->setFocus();
        const QImage before = marked->grab().toImage();
        marked->setFocus();
        QVERIFY(marked->hasFocus());
        const QImage after = marked->grab().toImage();
        const auto bright = [](const QColor& c) { return gold(c) && c.green() > 150 && c.blue() < 100; };
        QCOMPARE(countPixels(before, before.rect(), bright), 0);
        QVERIFY2(countPixels(after, after.rect(), bright) > marked->width(), marked->metaObject()->className());
    }
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
