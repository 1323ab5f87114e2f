// What the window shows when the MIDI system lets it down: a block the system lost is a failed
// upload with its message, not a sent one; input that a new message cut short is logged, not taken
// for a reply. The lost block goes to a model of the ALSA sequencer, where the amp's port vanishes.
#include <QTest>

#include "AlsaKernelModel.h"
#include "AppRig.h"
#include "DiagnosticsWindow.h"
#include "FirmwareWriter.h"
#include "InlineSenderFactory.h"

using namespace kaldo;

class MidiTroubleTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppRig> rig;
    std::unique_ptr<test::InlineSenderFactory> senders;
    std::shared_ptr<midi::testing::AlsaKernelModel> model;
    std::string ampPort;
    std::vector<std::uint8_t> image;

    // The amp on a sound card's port of the model, a single-block image loaded, the port chosen.
    TForm1& startOnTheModel() {
        model = std::make_shared<midi::testing::AlsaKernelModel>();
        ampPort = model->addCardPort({.bytesPerSecond = 100000});
        rig->system = model->backend();
        TForm1& form = rig->start(nullptr, senders.get());
        tools::FirmwareOptions firmware;
        firmware.format = tools::FirmwareFormat::SingleBlock;
        firmware.blockLength = 52576;
        image = tools::makeFirmware(firmware);
        const std::string path = (std::filesystem::path(rig->dir.path().toStdString()) / "fw.syx").string();
        tools::writeFile(path, image);
        form.updater->ReadFile(path);
        form.Out1->actions()[1]->trigger();
        return form;
    }

private slots:
    void init() {
        rig = std::make_unique<test::AppRig>();
        senders = std::make_unique<test::InlineSenderFactory>(rig->clock);
    }
    void cleanup() {
        rig->form.reset();
        senders.reset();
        rig.reset();
    }

    void aBlockTheAmpTookCompletes() {
        TForm1& form = startOnTheModel();
        form.UploadCode1->trigger();
        QCOMPARE(form.lastUpload().outcome, UploadOutcome::Completed);
        model->pause(std::chrono::seconds(1));  // the card's driver still held the last bytes
        QVERIFY(model->arrived(ampPort) == image);
        QVERIFY(rig->answers.seen.join('\n').contains("Firmware Sent."));
    }

    void aBlockLostOnTheWayIsAFailedUpload() {
        TForm1& form = startOnTheModel();
        model->vanishAfter(ampPort, 20000);  // the amp unplugged mid-block
        form.UploadCode1->trigger();
        QCOMPARE(form.lastUpload().outcome, UploadOutcome::Failed);
        QCOMPARE(form.lastUpload().failure, UploadFailure::SendFailed);
        QCOMPARE(rig->answers.seen,
                 QStringList{
                     "Midi Error | Error. The firmware could not be sent to the MIDI device. Power cycle amp "
                     "and try again."});
    }

    void inputCutShortGoesToTheReceiveLogOnly() {
        rig->midi->inputs = {"Amp In"};
        TForm1& form = rig->start();
        form.In1->actions()[1]->trigger();
        QVERIFY(form.selection->inPortReady);
        // A status reply whose end an overrun lost, then a whole one.
        rig->midi->inject("Amp In", {0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, 0x74});
        rig->midi->inject("Amp In", {0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, 0x7C, 0xF7});
        rig->clock.pause(10);
        QCOMPARE(form.updater->replies.replyCode(), 0x7C);
        form.Diagnostics1->trigger();
        const QString log = form.diagnostics->Memo1->toPlainText();
        QVERIFY2(log.contains("SysEx cut short by F0 after 7 bytes, dropped: F0 00 00 5A 12 01 74"),
                 qPrintable(log));
        QVERIFY(!log.contains("F0 00 00 5A 12 01 74 \n"));
    }
};

QTEST_MAIN(MidiTroubleTest)
#include "MidiTroubleTest.moc"
