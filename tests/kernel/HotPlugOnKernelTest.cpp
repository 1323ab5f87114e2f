// The desktop program on the real kernel (run in the rig's guest by the ctest kernel.desktop): the main
// window on the ALSA sequencer while the amp, a USB MIDI gadget, is unplugged and plugged in again.
// The window learns of it from the sequencer's announcements, as on a user's desktop.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QElapsedTimer>

#include "QtClock.h"
#include "Settings.h"
#include "SystemMidi.h"
#include "TForm1.h"
#include "TStatusBar.h"

using namespace kaldo;

namespace {

constexpr int kSlowMs = 30000;  // an emulated machine: a USB unplug takes its time

// The amp's entry in a menu, as the sequencer names it ("KALDO Amp:KALDO Amp MIDI 1 20:0").
QAction* ampIn(QMenu* menu) {
    for (QAction* item : menu->actions()) {
        if (item->text().startsWith("KALDO Amp:KALDO Amp MIDI 1")) return item;
    }
    return nullptr;
}

// gadget.sh plug|unplug 0: returns once the kernel has made the amp's card (and its sequencer client),
// or once its USB device has gone.
bool gadget(const QString& what) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start("bash", {KALDO_RIG_DIR "/gadget.sh", what, "0"});
    return process.waitForFinished(kSlowMs) && process.exitCode() == 0;
}

}  // namespace

class HotPlugOnKernelTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QtClock clock;
    std::unique_ptr<TForm1> form;

private slots:
    void init() {
        QFile settings(dir.filePath("kaldo-updater.INI"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[FIRST_TIME]\r\nFT=0\r\n");
        settings.close();
        form = std::make_unique<TForm1>(
            TForm1::Environment{clock, midi::systemMidi("kaldo-updater"),
                                Settings((dir.path() + "/kaldo-updater.INI").toStdString())});
        form->show();
    }
    void cleanup() { form.reset(); }

    // Unplugged, the chosen amp drops out of both menus, the selection falls back to None and the
    // status row says so; plugged in again, it is listed within a second of its port's return.
    void theAmpUnpluggedAndPluggedInAgain() {
        QTRY_VERIFY_WITH_TIMEOUT(ampIn(form->Out1) && ampIn(form->In1), kSlowMs);
        ampIn(form->Out1)->trigger();
        ampIn(form->In1)->trigger();
        QVERIFY(form->selection->outPortReady && form->selection->inPortReady);

        QVERIFY(gadget("unplug"));
        QTRY_VERIFY_WITH_TIMEOUT(!ampIn(form->Out1) && !ampIn(form->In1), kSlowMs);
        QVERIFY(!form->selection->outPortReady && !form->selection->inPortReady);
        QVERIFY(form->Out1->actions()[0]->isChecked());
        QVERIFY(form->In1->actions()[0]->isChecked());
        QVERIFY2(form->StatusBar2->text(3).contains("went away"), qPrintable(form->StatusBar2->text(3)));

        QVERIFY(gadget("plug"));
        // Timed by the wall clock: QTRY counts its own steps, which take longer than they say on an
        // emulated processor.
        QElapsedTimer listed;
        listed.start();
        while (!(ampIn(form->Out1) && ampIn(form->In1)) && listed.elapsed() < kSlowMs) QTest::qWait(10);
        const qint64 ms = listed.elapsed();
        qInfo("listed again %lld ms after its port was back", static_cast<long long>(ms));
        QVERIFY2(ms <= 1000, qPrintable(QString("listed again only after %1 ms").arg(ms)));
        QVERIFY(form->Out1->actions()[0]->isChecked());  // listed, not chosen behind the user's back
    }
};

QTEST_MAIN(HotPlugOnKernelTest)
#include "HotPlugOnKernelTest.moc"
