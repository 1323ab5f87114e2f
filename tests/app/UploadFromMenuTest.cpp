// "Upload Code" from the menu against the simulated amp on virtual time: what the window shows while
// it runs (status rows, gauge, warning, cancel button, rings, log), what it refuses meanwhile, the
// cancel button from the keyboard, and leaving in the middle (it asks first).
#include <QSignalSpy>
#include <QSignalSpy>
#include <QTest>

#include "AppRig.h"
#include "DiagnosticsWindow.h"
#include "FirmwareWriter.h"
#include "InProcessAmp.h"
#include "InlineSenderFactory.h"
#include "Messages.h"
#include "PictureLabel.h"
#include "TCGauge.h"
#include "TLEDImage.h"
#include "TForm3.h"
#include "TForm5.h"
#include "TStatusBar.h"
#if defined(KALDO_LOGIND_MOCK)
#include "LogindMock.h"
#endif

using namespace kaldo;

namespace {

// What the window showed at one moment of the upload.
struct Snapshot {
    bool gauge = false;
    int percent = 0;
    bool blinking = false;
    bool cancelLabel = false;
    QString status2;
    QString packets;
    int litLamps = 0;
    bool uploadEnabled = true;
};

}  // namespace

class UploadFromMenuTest : public QObject {
    Q_OBJECT

    static constexpr int kPackets = 8;
    std::unique_ptr<test::AppRig> rig;
    std::unique_ptr<sim::InProcessAmp> amp;
    std::unique_ptr<test::InlineSenderFactory> senders;
    std::vector<std::uint8_t> image;

    TForm1& startWithAmp(tools::FirmwareOptions firmware, sim::FaultPlan plan = {}) {
        rig->midi->outputs = {"Port A"};
        amp = std::make_unique<sim::InProcessAmp>(rig->clock, 0x00020500, plan);
        TForm1& form = rig->start(amp.get(), senders.get());
        amp->setReplySink([&form](std::span<const std::uint8_t> bytes) {
            form.updater->MidiIn1SysEx(bytes.data(), bytes.size());
        });
        image = tools::makeFirmware(firmware);
        const std::string path = (std::filesystem::path(rig->dir.path().toStdString()) / "fw.syx").string();
        tools::writeFile(path, image);
        form.updater->ReadFile(path);
        return form;
    }

    void identify() {
        amp->sysEx(kIdentityRequest.data(), kIdentityRequest.size());
        rig->clock.pause(100);
    }

    static tools::FirmwareOptions packets() {
        tools::FirmwareOptions firmware;
        firmware.packetCount = kPackets;
        return firmware;
    }
    static tools::FirmwareOptions singleBlock(std::size_t length) {
        tools::FirmwareOptions firmware;
        firmware.format = tools::FirmwareFormat::SingleBlock;
        firmware.blockLength = length;
        return firmware;
    }

    // The time by which a handshake upload of kPackets has sent its third packet.
    static constexpr int kMidUploadMs = 200 + 600 * 2 + 100;

    // Answers the question before leaving mid-upload with the button of that text.
    static void answerStopQuestion(TForm1& form, const QString& button) {
        QMessageBox* box = form.stopQuestion();
        QVERIFY(box);
        for (QAbstractButton* b : box->buttons())
            if (b->text() == button) b->click();
    }

    Snapshot snapshot() {
        const TForm1& form = *rig->form;
        Snapshot s;
        s.gauge = form.CGauge1->isVisibleTo(form.client());
        s.percent = form.CGauge1->PercentDone();
        s.blinking = form.Timer3.isActive();
        s.cancelLabel = form.Label1->isVisibleTo(form.client());
        s.status2 = form.StatusBar2->text(3);
        s.packets = form.StatusBar2->text(2);
        for (TLEDImage* lamp : form.lamps) s.litLamps += lamp->LEDOn() ? 1 : 0;
        s.uploadEnabled = form.UploadCode1->isEnabled();
        return s;
    }

private slots:
    void init() {
        rig = std::make_unique<test::AppRig>();
        senders = std::make_unique<test::InlineSenderFactory>(rig->clock);
    }
    void cleanup() {
        rig->form.reset();
        amp.reset();
        senders.reset();
        rig.reset();
    }

    void handshakeUploadShowsItsProgress() {
        TForm1& form = startWithAmp(packets());
        identify();
        QCOMPARE(form.StatusBar2->text(1), QString("Version 02.50"));
        Snapshot during;
        bool wizardCommandsEnabled = true;
        bool wizardOpened = true;
        rig->clock.schedule(200 + 600 * 3 + 300, [&] {
            during = snapshot();
            // Meanwhile nothing may change the image, the send position or the ports.
            const std::size_t pointer = form.updater->loader.sendPointer;
            form.Button2Click();
            form.Firmware1Click();
            form.Out1->actions()[1]->trigger();
            form.ReCheckforMididevices1Click();
            // nor open the wizard over the progress and the cancel button
            wizardCommandsEnabled = form.UpdateWizard1->isEnabled() || form.StartupHelp1->isEnabled();
            form.UpdateWizard1Click();
            form.StartupHelp1->setChecked(true);
            form.StartupHelp1Click();
            wizardOpened = form.findChild<TForm3*>()->isVisible();
            QCOMPARE(form.updater->loader.sendPointer, pointer);
            QCOMPARE(form.selection->selectedOutPort, -1);
            QVERIFY(form.Out1->actions()[0]->isChecked());
            QVERIFY(rig->midi->openOutputs().empty());
        });
        form.UploadCode1->trigger();

        QCOMPARE(form.lastUpload().outcome, UploadOutcome::Completed);
        QCOMPARE(form.lastUpload().way, UploadWay::Handshake);
        QVERIFY(amp->receivedImage() == image);
        QVERIFY(during.gauge);
        QVERIFY(during.percent > 0 && during.percent < 100);
        QVERIFY(during.blinking);
        QVERIFY(during.cancelLabel);
        QVERIFY2(during.status2.startsWith("Status -> Sending packet number ") &&
                     during.status2.endsWith(QString(" of %1").arg(kPackets)),
                 qPrintable(during.status2));
        QCOMPARE(during.litLamps, 3);  // one lamp of each ring
        QVERIFY(!during.uploadEnabled);
        QVERIFY(!wizardCommandsEnabled);
        QVERIFY(!wizardOpened);
        QCOMPARE(amp->deSelectCalls(), 1);  // only the upload's own release of the ports
        QCOMPARE(amp->reCheckCalls(), 0);

        // afterwards: the idle look again, the commands back
        const Snapshot after = snapshot();
        QVERIFY(!after.gauge);
        QVERIFY(!after.blinking);
        QVERIFY(!form.Label3->isVisibleTo(form.client()));
        QCOMPARE(after.litLamps, 0);
        QVERIFY(after.uploadEnabled);
        QVERIFY(form.Out1->isEnabled());
        // the replies are in the log, on screen and in the log file
        const QString log = form.diagnostics->Memo1->toPlainText();
        QVERIFY(log.contains("F0 00 00 5A"));
        QVERIFY(log.contains("02.50"));
        QFile file(form.logFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("02.50"));
        QVERIFY(rig->answers.seen.join('\n').contains("Looks good!"));
    }

    // An upload that fails closes the amp's ports: the status row says so after the failure, whole
    // within its panel, and how to open them again; choosing a port again ends the note.
    void aFailedUploadSaysItClosedThePorts() {
        sim::FaultPlan silent;
        silent.silentAt = sim::Stage::Packet;
        silent.silentPacket = 2;
        TForm1& form = startWithAmp(packets(), silent);
        identify();
        form.UploadCode1->trigger();
        QCOMPARE(form.lastUpload().failure, UploadFailure::TimedOut);
        QLabel* panel = form.StatusBar2->panel(3);
        QCOMPARE(panel->text(), QString("Status -> Failed: the amp did not answer in time. The amp's ports were closed: "
                                        "Midi > Find Amp opens them again."));
        QVERIFY(panel->heightForWidth(panel->width()) <= panel->height());
        form.Out1->actions()[1]->trigger();
        QCOMPARE(panel->text(), QString(" "));
    }

    // The upload's closing dialog asks for the amp's ports again while the upload still runs: it
    // has released them, so the choice takes effect.
    void portsChosenInTheClosingDialogOpen() {
        rig->midi->inputs = {"Port B"};
        TForm1& form = startWithAmp(packets());
        identify();
        bool asked = false;
        bool runningMeanwhile = false;
        bool portsOpen = false;
        rig->answers.answerDialog = [&](QDialog* dialog) {
            auto* ports = qobject_cast<TForm5*>(dialog);
            if (ports && ports->ComboBox1->isVisible()) {
                asked = true;
                runningMeanwhile = form.updater->uploadRunning();
                ports->ComboBox1Enter();
                ports->ComboBox2Enter();
                for (EditableList* list : {ports->ComboBox1, ports->ComboBox2}) {
                    list->setCurrentIndex(0);
                    emit list->activated(0);
                }
                portsOpen = form.selection->outPortReady && form.selection->inPortReady &&
                            rig->midi->openOutputs().size() == 1;
            }
            dialog->close();
        };
        form.UploadCode1->trigger();
        QCOMPARE(form.lastUpload().outcome, UploadOutcome::Completed);
        QVERIFY(asked && runningMeanwhile);
        QVERIFY(portsOpen);
        QVERIFY(form.Out1->actions()[1]->isChecked());
    }

    void singleBlockUploadFillsTheGaugeAndTurnsTheRings() {
        TForm1& form = startWithAmp(singleBlock(150000));
        senders->sendTimeMs = 48000;  // 150000 bytes at 0.32 ms each
        QList<Snapshot> seen;
        for (int t = 1000; t <= 60000; t += 1000) rig->clock.schedule(t, [&] { seen << snapshot(); });
        form.UploadCode1->trigger();
        QCOMPARE(form.lastUpload().outcome, UploadOutcome::Completed);
        QCOMPARE(form.lastUpload().way, UploadWay::SingleBlock);
        QVERIFY(amp->receivedImage() == image);
        int most = 0;
        for (const Snapshot& s : seen) {
            if (s.gauge) most = std::max(most, s.percent);
        }
        QCOMPARE(most, 100);
        QVERIFY(std::any_of(seen.begin(), seen.end(), [](const Snapshot& s) { return s.litLamps == 3; }));
        QCOMPARE(snapshot().litLamps, 0);
    }

#if defined(KALDO_LOGIND_MOCK)  // a stand-in logind, where there is one (Linux)
    // From the start of an upload to its end the computer is kept from sleeping, and only then: after
    // it completed, and after the window was closed in the middle of one.
    void theComputerStaysAwakeWhileAnUploadRuns() {
        test::LogindMock logind;
        TForm1& form = startWithAmp(packets());
        identify();
        QVERIFY(logind.inhibitors().empty());
        std::vector<test::Inhibitor> during;
        rig->clock.schedule(200 + 600 * 2 + 100, [&] { during = logind.inhibitors(); });
        form.UploadCode1->trigger();
        QCOMPARE(form.lastUpload().outcome, UploadOutcome::Completed);
        QCOMPARE(during.size(), std::size_t{1});
        QCOMPARE(during[0].what, std::string("sleep:idle:handle-lid-switch:handle-suspend-key"));
        QCOMPARE(during[0].who, std::string("KALDO Updater"));
        QCOMPARE(during[0].why, std::string("Updating the amp's firmware"));
        QCOMPARE(during[0].mode, std::string("block"));
        QVERIFY(logind.inhibitors().empty());

        amp->selectPorts();
        identify();
        during.clear();
        rig->clock.schedule(200 + 600 * 2 + 100, [&] {
            during = logind.inhibitors();
            form.close();
            answerStopQuestion(form, "Stop");
        });
        form.UploadCode1->trigger();
        QCOMPARE(form.lastUpload().failure, UploadFailure::Stopped);
        QCOMPARE(during.size(), std::size_t{1});
        QVERIFY(logind.inhibitors().empty());
    }

    // Without logind (a container, another init system) the upload goes on, and the log says why the
    // computer may sleep meanwhile; no message box.
    void withoutLogindTheUploadGoesOnAndTheLogSaysSo() {
        test::LogindMock busOnly(test::LogindMock::On::busOnly);
        TForm1& form = startWithAmp(packets());
        identify();
        form.UploadCode1->trigger();
        QCOMPARE(form.lastUpload().outcome, UploadOutcome::Completed);
        QVERIFY(form.diagnostics->Memo1->toPlainText().contains("Cannot keep the computer awake"));
        QVERIFY(!rig->answers.seen.join('\n').contains("awake"));
    }
#endif

    // Exit (or the close box) mid-upload asks, Keep uploading being the default and Escape's answer;
    // with Keep the upload goes on to the end; a question left open goes when the upload ends.
    void leavingMidUploadAsksAndKeepGoesOn() {
        TForm1& form = startWithAmp(packets());
        identify();
        QSignalSpy closed(&form, &TForm1::closed);
        QString asked, byDefault, onEscape;
        bool runningAfterKeep = false;
        rig->clock.schedule(kMidUploadMs, [&] {
            form.Exit1->trigger();
            QMessageBox* box = form.stopQuestion();
            QVERIFY(box && box->isVisible());
            asked = box->text();
            byDefault = box->defaultButton()->text();
            onEscape = box->escapeButton()->text();
            answerStopQuestion(form, "Keep uploading");
        });
        rig->clock.schedule(kMidUploadMs + 600, [&] {
            runningAfterKeep = form.updater->uploadRunning() && !form.stopQuestion();
            form.close();  // asked again, and left unanswered
        });
        form.UploadCode1->trigger();
        QCOMPARE(asked, QString("An upload is running. Stopping now leaves the amp without working firmware until "
                                "you update it again. Stop the upload?"));
        QCOMPARE(byDefault, QString("Keep uploading"));
        QCOMPARE(onEscape, QString("Keep uploading"));
        QVERIFY(runningAfterKeep);
        QCOMPARE(form.lastUpload().outcome, UploadOutcome::Completed);
        QVERIFY(amp->receivedImage() == image);
        QVERIFY(!form.stopQuestion());
        QCOMPARE(closed.count(), 0);
        QVERIFY(form.isVisible());
    }

    // The session ends mid-upload: with nobody to answer the upload goes on and the session is asked
    // to wait; a user who answers Stop ends it like a close.
    void sessionEndMidUploadKeepsUploadingUnlessTheUserStops() {
        TForm1& form = startWithAmp(packets());
        identify();
        QSignalSpy closed(&form, &TForm1::closed);
        bool mayEndUnasked = true;
        rig->clock.schedule(kMidUploadMs, [&] { mayEndUnasked = form.sessionMayEnd(false); });
        form.UploadCode1->trigger();
        QVERIFY(!mayEndUnasked);
        QCOMPARE(form.lastUpload().outcome, UploadOutcome::Completed);
        QVERIFY(form.sessionMayEnd(false));  // nothing running: nothing to protect

        amp->selectPorts(true, true);  // the upload released them
        identify();
        rig->answers.answerButton = "Stop";
        bool mayEndAsked = false;
        rig->clock.schedule(kMidUploadMs, [&] { mayEndAsked = form.sessionMayEnd(true); });
        form.UploadCode1->trigger();
        QVERIFY(mayEndAsked);
        QVERIFY(rig->answers.seen.join('\n').contains("Stop the upload?"));
        QCOMPARE(form.lastUpload().failure, UploadFailure::Stopped);
        QCOMPARE(closed.count(), 1);
    }

    // The cancel button takes the keyboard focus when it shows. Space, Enter, Escape and the mouse
    // work it, and each asks first: Keep uploading (the default) goes on, Stop ends the upload.
    void cancelButtonAsksFirst_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Space on the button") << "space";
        QTest::newRow("Enter on the button") << "enter";
        QTest::newRow("Escape in the window") << "escape";
        QTest::newRow("mouse on Push to Cancel") << "mouse";
    }
    void cancelButtonAsksFirst() {
        QFETCH(QString, how);
        TForm1& form = startWithAmp(packets());
        identify();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const auto press = [&] {
            if (how == "mouse")
                QTest::mouseClick(form.Label1, Qt::LeftButton);
            else if (how == "escape")
                QTest::keyClick(&form, Qt::Key_Escape);
            else
                QTest::keyClick(form.Label1, how == "space" ? Qt::Key_Space : Qt::Key_Return);
        };
        bool focused = false;
        bool askedFirst = false;
        bool keptOn = false;
        rig->clock.schedule(kMidUploadMs, [&] {
            focused = form.Label1->isVisible() && form.focusWidget() == form.Label1;
            press();
            askedFirst = form.stopQuestion() && form.stopQuestion()->defaultButton()->text() == "Keep uploading";
            answerStopQuestion(form, "Keep uploading");
        });
        rig->clock.schedule(kMidUploadMs + 600, [&] {
            keptOn = form.updater->uploadRunning() && form.Label1->isVisible() && !form.Image2->isVisible();
            press();
            answerStopQuestion(form, "Stop");
        });
        form.UploadCode1->trigger();
        QVERIFY(focused);
        QVERIFY(askedFirst);
        QVERIFY(keptOn);
        QCOMPARE(form.lastUpload().failure, UploadFailure::UserCancel);
        QVERIFY(amp->received().size() < std::size_t{kPackets + 1});
        QVERIFY(rig->answers.seen.join('\n').contains("User terminated code upload."));
    }

    void closingMidUploadStopsItThenClosesAndSaves() {
        TForm1& form = startWithAmp(packets());
        identify();
        QSignalSpy closed(&form, &TForm1::closed);
        int closedWhileRunning = -1;
        rig->clock.schedule(kMidUploadMs, [&] {
            form.close();
            answerStopQuestion(form, "Stop");
            closedWhileRunning = static_cast<int>(closed.count());
        });
        form.UploadCode1->trigger();
        QCOMPARE(closedWhileRunning, 0);  // the close handler waited for the upload
        QCOMPARE(closed.count(), 1);
        QCOMPARE(form.lastUpload().outcome, UploadOutcome::Terminated);
        QCOMPARE(form.lastUpload().failure, UploadFailure::Stopped);
        QVERIFY(amp->received().size() < std::size_t{kPackets + 1});
        QVERIFY(!form.isVisible());
        QVERIFY(std::filesystem::exists(rig->settingsPath()));
        // the program is closing: no message after the stop
        QVERIFY(!rig->answers.seen.join('\n').contains("terminated"));
    }
};

QTEST_MAIN(UploadFromMenuTest)
#include "UploadFromMenuTest.moc"
