// The whole program on a real MIDI system: the main window on the machine's MIDI (the tests' JACK
// server) and the wizard's USB path against kaldo-amp-sim at 01.02, running as a process of its own.
// The carried intermediate image goes first, then the chosen file, and the message and confirmation
// dialog reads the new revision back from the amp.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include "AmpProcess.h"
#include "FirmwareWriter.h"
#include "QtClock.h"
#include "Settings.h"
#include "SystemMidi.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TStatusBar.h"
#include "WizardDriving.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

constexpr int kSlowMs = 30000;  // generous: the JACK server shares the machine with the sanitizers

// Answers the file dialog with the test's firmware file; any message box is a failure on this path,
// noted and closed so that the run goes on to report it.
class ModalWatcher : public QObject {
public:
    explicit ModalWatcher(QString file) : file_(std::move(file)) {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] { answer(); });
        timer_.start();
    }
    QStringList boxes;
    int filesChosen = 0;

private:
    void answer() {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            // Typed into the file name box, as a user does: selectFile() leaves that box alone
            // while it has the keyboard focus.
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            if (!name) {
                boxes << "a file dialog without its file name box";
                dialog->close();
                return;
            }
            if (++filesChosen > 3) {  // it keeps refusing the file: let the test fail, not hang
                boxes << "the file dialog refused " + file_;
                dialog->close();
                return;
            }
            name->setText(file_);
            static_cast<QDialog*>(dialog)->accept();  // public there, and reaches the file dialog's own
        } else if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->windowTitle() + ": " + box->text();
            box->close();
        }
    }
    QString file_;
    QTimer timer_;
};

// Picks the entry whose text starts with prefix; false when the list has none.
bool pickDevice(EditableList* list, const QString& prefix) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i).startsWith(prefix)) {
            pick(list, i);
            return true;
        }
    }
    return false;
}

QString listText(EditableList* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items.join(", ");
}

}  // namespace

class WizardOverJackTest : public QObject {
    Q_OBJECT
private slots:
    void usbAmpAt102TakesBothStagesAndConfirms();
};

void WizardOverJackTest::usbAmpAt102TakesBothStagesAndConfirms() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    tools::FirmwareOptions firmware;
    firmware.version = 0x00020803;
    // Two packets: this is about the two stages and the confirmation, not about counting packets.
    firmware.packetCount = 2;
    firmware.packetDataLength = 256;
    const auto image = tools::makeFirmware(firmware);
    const QString file = dir.filePath("fw-02.83.syx");
    tools::writeFile(file.toStdString(), image);

    // The amp, with short delays of its own (the updater's pauses still apply).
    const QString name = QString("KALDO Wizard %1").arg(QCoreApplication::applicationPid());
    const QString received = dir.filePath("received.syx");
    AmpProcess amp;
    amp.process.setProcessChannelMode(QProcess::MergedChannels);
    amp.process.start(KALDO_AMP_SIM, {"--name", name, "--revision", "01.02", "--transcript", "--write-image", received,
                                      "--reply-delay", "5", "--verify-delay", "700", "--programming-delay", "100"});
    const auto readAmp = [&] { return amp.transcript(); };
    QTRY_VERIFY_WITH_TIMEOUT(readAmp().contains("kaldo-amp-sim ready"), kSlowMs);

    // The program as it starts for the first time: the wizard comes up by itself.
    QtClock clock;
    TForm1 form(TForm1::Environment{clock, midi::systemMidi("kaldo-updater"),
                                    Settings((dir.path() + "/kaldo-updater.INI").toStdString())});
    auto* wizard = new TForm3(form.host(), &form);
    auto* dialog = new TForm5(form.host(), &form);
    form.attachWindows(wizard, new TForm4(form.host(), &form), dialog);
    form.show();
    ModalWatcher modals(file);
    QTRY_VERIFY_WITH_TIMEOUT(wizard->isVisible(), 5000);
    TForm3& w = *wizard;

    pick(w.ComboBox5, 1);  // USB
    click(w.Shape1);
    click(w.Shape1);
    QVERIFY2(pickDevice(w.ComboBox1, name + " In"), qPrintable(listText(w.ComboBox1)));
    QVERIFY2(pickDevice(w.ComboBox6, name + " Out"), qPrintable(listText(w.ComboBox6)));
    click(w.Shape1);
    click(w.Shape2);  // the test
    QTRY_COMPARE_WITH_TIMEOUT(w.Label3->text(), QString("Connected, current code version is 01.02"), kSlowMs);
    QVERIFY(readAmp().contains("<- program change 1"));

    click(w.Shape1);  // through the file choice to the start page
    QCOMPARE(modals.filesChosen, 1);
    QCOMPARE(w.revisionText(), std::string("1.02"));
    QVERIFY(w.currentStep() == &TForm3::Button1Next4Click);

    click(w.Shape1);  // the first stage runs to its end inside this click
    QVERIFY2(w.Label1->text().startsWith("First stage complete!"), qPrintable(w.Label1->text() + "\n" + readAmp()));
    QVERIFY2(readAmp().contains("<- single-block image (52576 bytes)"), qPrintable(readAmp()));

    // The upload released the ports: they are chosen again before the final stage.
    click(w.Shape1);
    QVERIFY(!w.Shape1->isEnabled());
    QVERIFY2(pickDevice(w.ComboBox1, name + " In"), qPrintable(listText(w.ComboBox1)));
    QVERIFY2(pickDevice(w.ComboBox6, name + " Out"), qPrintable(listText(w.ComboBox6)));
    click(w.Shape1);
    QVERIFY2(w.Label1->text().startsWith("Final stage complete!"), qPrintable(w.Label1->text() + "\n" + readAmp()));
    QVERIFY2(readAmp().contains("<- header: 2 packets"), qPrintable(readAmp()));
    QCOMPARE(modals.boxes, QStringList{});
    // The amp keeps what it received until the upload has ended.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(received).size() == static_cast<qint64>(image.size()), kSlowMs);
    QFile receivedFile(received);
    QVERIFY(receivedFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = receivedFile.readAll();
    QVERIFY(std::equal(image.begin(), image.end(), reinterpret_cast<const std::uint8_t*>(bytes.constData())));

    // The user picks the amp's ports again in the confirmation dialog; OK asks the amp.
    QString result;
    QTimer::singleShot(0, dialog, [&] {
        dialog->ComboBox1Enter();
        dialog->ComboBox2Enter();
        const bool picked = pickDevice(dialog->ComboBox1, name + " In") && pickDevice(dialog->ComboBox2, name + " Out");
        if (picked) click(dialog->Shape1);
        result = dialog->Label1->text();
        dialog->close();
    });
    form.dialogPortSelection("Now select the MIDI device.", true);
    QCOMPARE(result, QString("Success, new code rev is confirmed. Rock On!"));
    QCOMPARE(form.StatusBar2->text(3), QString("Status -> Complete."));

    click(w.Shape1);
    QVERIFY(!w.isVisible());
}

QTEST_MAIN(WizardOverJackTest)
#include "WizardOverJackTest.moc"
