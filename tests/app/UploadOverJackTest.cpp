// The desktop program on a busy MIDI line: the main window on the machine's MIDI (the tests' JACK
// server), kaldo-amp-sim as a process of its own with other gear talking around it. "Test Connection"
// shows the amp's revision, not the other device's, and "Upload Code" counts each of the amp's packet
// errors once, whatever else the line carries.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "AmpProcess.h"
#include "DiagnosticsWindow.h"
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

// Closes the upload's closing dialogs as a user would, noting what they said; message boxes are noted
// and closed too, so the test can tell what the user saw.
class ModalCloser : public QObject {
public:
    ModalCloser() {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                seen << box->windowTitle() + ": " + box->text();
                box->close();
            } else if (auto* dialog = qobject_cast<TForm5*>(modal)) {
                seen << "dialog: " + dialog->Label1->text();
                dialog->close();
            }
        });
        timer_.start();
    }
    QStringList seen;

private:
    QTimer timer_;
};

// Triggers the menu item whose text starts with prefix; false when the menu has none.
bool pickPort(QMenu* menu, const QString& prefix) {
    for (QAction* item : menu->actions()) {
        if (item->text().startsWith(prefix)) {
            item->trigger();
            return true;
        }
    }
    return false;
}

}  // namespace

class UploadOverJackTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    AmpProcess amp;
    QString name;
    std::vector<std::uint8_t> image;
    std::unique_ptr<QtClock> clock;
    std::unique_ptr<TForm1> form;
    TForm4* test = nullptr;

    // The amp with the given faults and short delays of its own, the window with its ports chosen and
    // the file loaded. A check that fails here returns from here only: the caller must stop too.
    void start(const QStringList& faults, int packets) {
        name = QString("KALDO Line %1 %2").arg(QCoreApplication::applicationPid()).arg(++started_);
        amp.process.setProcessChannelMode(QProcess::MergedChannels);
        amp.process.start(KALDO_AMP_SIM, QStringList{"--name", name, "--transcript", "--write-image",
                                                     dir.filePath("received.syx"), "--reply-delay", "5"} +
                                             faults);
        QTRY_VERIFY_WITH_TIMEOUT(amp.transcript().contains("kaldo-amp-sim ready"), kSlowMs);

        tools::FirmwareOptions firmware;
        firmware.version = 0x00020803;
        firmware.packetCount = static_cast<std::uint32_t>(packets);
        firmware.packetDataLength = 128;
        image = tools::makeFirmware(firmware);
        const QString file = dir.filePath("fw.syx");
        tools::writeFile(file.toStdString(), image);

        clock = std::make_unique<QtClock>();
        writeText(dir.filePath("kaldo-updater.INI"), "[FIRST_TIME]\r\nFT=0\r\n");
        form = std::make_unique<TForm1>(
            TForm1::Environment{*clock, midi::systemMidi("kaldo-updater"),
                                Settings((dir.path() + "/kaldo-updater.INI").toStdString())});
        test = new TForm4(form->host(), form.get());
        form->attachWindows(new TForm3(form->host(), form.get()), test, new TForm5(form->host(), form.get()));
        form->show();
        QVERIFY(pickPort(form->Out1, name + " In"));
        QVERIFY(pickPort(form->In1, name + " Out"));
        QVERIFY(form->selection->outPortReady && form->selection->inPortReady);
        QCOMPARE(form->updater->ReadFile(file.toStdString()), kPacketFormat);
    }

    static void writeText(const QString& path, const QByteArray& text) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    void expectReceivedWhole() {
        QTRY_VERIFY_WITH_TIMEOUT(
            QFile(dir.filePath("received.syx")).size() == static_cast<qint64>(image.size()), kSlowMs);
        QFile received(dir.filePath("received.syx"));
        QVERIFY(received.open(QIODevice::ReadOnly));
        const QByteArray bytes = received.readAll();
        QVERIFY(
            std::equal(image.begin(), image.end(), reinterpret_cast<const std::uint8_t*>(bytes.constData())));
    }

    int started_ = 0;

private slots:
    void cleanup() {
        form.reset();
        clock.reset();
        amp.process.terminate();
        amp.process.waitForFinished(10000);
        amp.output.clear();
    }

    // Four packets: errors on the second and the last, each after an accepted one, with the other
    // gear's status-like codes before and after every reply.
    void aBusyLineWithAnotherMakersAnswers() {
        start({"--revision", "01.02", "--foreign-identity", "--foreign-sysex", "status-like",
               "--duplicate-replies", "--packet-error", "1", "--packet-error", "3", "--verify-delay", "700",
               "--programming-delay", "100"},
              4);
        if (QTest::currentTestFailed()) return;  // no window to drive: its checks failed above
        // The other device answers 200 ms sooner, as 09.99; the test shows the amp's revision.
        form->TestMidiConnection1->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(test->isVisible(), 5000);
        click(test->Shape1);
        QTRY_COMPARE_WITH_TIMEOUT(test->Label2->text(), QString("Connected, current code version is 01.02"),
                                  kSlowMs);
        QTest::qWait(500);  // the amp's reply has come and gone; nothing replaces it
        QCOMPARE(test->Label2->text(), QString("Connected, current code version is 01.02"));
        QVERIFY(!form->diagnostics->Memo1->toPlainText().contains("09.99"));
        test->SpeedButton1->click();

        ModalCloser closer;
        form->UploadCode1->trigger();
        QVERIFY2(form->lastUpload().outcome == UploadOutcome::Completed,
                 qPrintable(closer.seen.join('\n') + "\n" + amp.transcript()));
        QCOMPARE(form->lastUpload().way, UploadWay::Handshake);
        QCOMPARE(form->lastUpload().errorCount, 2);
        QVERIFY2(!closer.seen.join('\n').contains("older"), qPrintable(closer.seen.join('\n')));
        QVERIFY(closer.seen.join('\n').contains("Looks good!"));
        QCOMPARE(amp.transcript().count("<- packet "), 4);
        expectReceivedWhole();
        // The other gear is in the receive log, never in the reply state.
        QVERIFY(form->diagnostics->Memo1->toPlainText().contains("not the amp, ignored: F0 7D"));
    }

    void everyErrorCountsWhenTheVerdictFollowsAtOnce() {
        start(
            {"--revision", "02.80", "--all-packets-error", "--verify-delay", "0", "--programming-delay", "0"},
            2);
        if (QTest::currentTestFailed()) return;
        form->TestMidiConnection1->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(test->isVisible(), 5000);
        click(test->Shape1);
        QTRY_COMPARE_WITH_TIMEOUT(test->Label2->text(), QString("Connected, current code version is 02.80"),
                                  kSlowMs);
        test->SpeedButton1->click();
        ModalCloser closer;
        form->UploadCode1->trigger();
        QCOMPARE(form->lastUpload().outcome, UploadOutcome::Completed);
        QCOMPARE(form->lastUpload().errorCount, 2);
    }
};

QTEST_MAIN(UploadOverJackTest)
#include "UploadOverJackTest.moc"
