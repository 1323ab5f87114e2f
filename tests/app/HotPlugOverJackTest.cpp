// Devices that come and go on a real MIDI system: the main window on the tests' JACK server, with
// kaldo-amp-sim started and stopped as a process of its own while the window is open. The window
// learns of it from the system's own notification; nothing polls.
#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "FirmwareWriter.h"
#include "QtClock.h"
#include "Settings.h"
#include "SystemMidi.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TStatusBar.h"

using namespace kaldo;

namespace {

constexpr int kSlowMs = 30000;  // generous: the JACK server shares the machine with the sanitizers

QStringList captions(QMenu* menu) {
    QStringList texts;
    for (QAction* item : menu->actions()) texts << item->text();
    return texts;
}

bool pickPort(QMenu* menu, const QString& name) {
    for (QAction* item : menu->actions()) {
        if (item->text() == name) {
            item->trigger();
            return true;
        }
    }
    return false;
}

}  // namespace

class HotPlugOverJackTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QtClock clock;
    std::unique_ptr<TForm1> form;
    QProcess amp;
    QString name;

    void startAmp(const QStringList& faults = {}) {
        amp.setProcessChannelMode(QProcess::MergedChannels);
        amp.start(KALDO_AMP_SIM, QStringList{"--name", name, "--reply-delay", "5", "--verify-delay", "300",
                                             "--programming-delay", "100"} +
                                     faults);
        QVERIFY(amp.waitForStarted());
    }
    // SIGTERM: the amp leaves JACK properly, as an amp switched off does from the system's view.
    void stopAmp() {
        amp.terminate();
        QVERIFY(amp.waitForFinished(10000));
    }

private slots:
    void init() {
        name = QString("KALDO Plug %1").arg(QCoreApplication::applicationPid());
        QFile settings(dir.filePath("kaldo-updater.INI"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[FIRST_TIME]\r\nFT=0\r\n");
        settings.close();
        form = std::make_unique<TForm1>(
            TForm1::Environment{clock, midi::systemMidi("kaldo-updater"),
                                Settings((dir.path() + "/kaldo-updater.INI").toStdString())});
        form->attachWindows(new TForm3(form->host(), form.get()), new TForm4(form->host(), form.get()),
                            new TForm5(form->host(), form.get()));
        form->show();
    }
    void cleanup() {
        if (amp.state() != QProcess::NotRunning) stopAmp();
        form.reset();
    }

    void anAmpPluggedInAfterTheWindowOpenedIsListed() {
        QVERIFY(!captions(form->Out1).contains(name + " In:in"));
        startAmp();
        QTRY_VERIFY_WITH_TIMEOUT(captions(form->Out1).contains(name + " In:in"), kSlowMs);
        QTRY_VERIFY_WITH_TIMEOUT(captions(form->In1).contains(name + " Out:out"), kSlowMs);
        QVERIFY(form->Out1->actions()[0]->isChecked());  // listed, not chosen
    }

    void aSelectedAmpThatGoesEndsAsNoneAndNotReady() {
        startAmp();
        QTRY_VERIFY_WITH_TIMEOUT(captions(form->Out1).contains(name + " In:in"), kSlowMs);
        QVERIFY(pickPort(form->Out1, name + " In:in"));
        QVERIFY(pickPort(form->In1, name + " Out:out"));
        QVERIFY(form->selection->outPortReady && form->selection->inPortReady);
        stopAmp();
        QTRY_VERIFY_WITH_TIMEOUT(!form->selection->outPortReady, kSlowMs);
        QTRY_VERIFY_WITH_TIMEOUT(!form->selection->inPortReady, kSlowMs);
        QVERIFY(form->Out1->actions()[0]->isChecked());
        QVERIFY(form->In1->actions()[0]->isChecked());
        QVERIFY(!captions(form->Out1).contains(name + " In:in"));
        QVERIFY(form->StatusBar2->text(3).contains("went away"));
    }

    // The amp's ports go in the middle of a blind upload: with nothing read back, only the system's
    // word that the port went tells that the rest of the file reaches nobody.
    void anOutputThatGoesMidUploadFailsTheUpload() {
        tools::FirmwareOptions firmware;
        firmware.version = 0x00010509;  // 01.59: blind, whatever the amp says
        firmware.packetCount = 12;
        firmware.packetDataLength = 256;
        const QString file = dir.filePath("fw.syx");
        QVERIFY(tools::writeFile(file.toStdString(), tools::makeFirmware(firmware)));
        QCOMPARE(form->updater->ReadFile(file.toStdString()), kPacketFormat);
        startAmp({"--vanish-at-packet", "3"});
        QTRY_VERIFY_WITH_TIMEOUT(captions(form->Out1).contains(name + " In:in"), kSlowMs);
        QVERIFY(pickPort(form->Out1, name + " In:in"));
        QStringList boxes;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->text();
                box->close();
            } else if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                dialog->close();
            }
        });
        answer.start(10);
        form->UploadCode1->trigger();
        QCOMPARE(form->lastUpload().outcome, UploadOutcome::Failed);
        QCOMPARE(form->lastUpload().failure, UploadFailure::PortGone);
        QVERIFY2(boxes.join('\n').contains("went away before the whole firmware was sent"),
                 qPrintable(boxes.join('\n')));
        QVERIFY(form->Out1->actions()[0]->isChecked());
    }
};

QTEST_MAIN(HotPlugOverJackTest)
#include "HotPlugOverJackTest.moc"
