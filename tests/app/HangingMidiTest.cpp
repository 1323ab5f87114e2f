// A MIDI system that hangs (a JACK server that was stopped): the window is made, opens, lists, finds
// and closes within its time limit, says which system did not answer, and lists the devices (and
// opens the amp's remembered ports) once the system answers again. On the in-memory MIDI system,
// which the test makes hang.
#include <QTest>

#include "AppRig.h"
#include "TStatusBar.h"

using namespace kaldo;
using test::captions;

namespace {

const QString kSilent =
    "Status -> JACK did not answer within 1 s, so its MIDI devices are not listed; they will be as soon as it "
    "answers.";

}  // namespace

class HangingMidiTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppRig> rig;

    QString status() const { return rig->form->StatusBar2->text(3); }

private slots:
    void init() {
        rig = std::make_unique<test::AppRig>();
        rig->midiLimit = std::chrono::seconds(1);
        rig->midi->name = "JACK";
        rig->midi->outputs = {"KALDO Amp In"};
        rig->midi->inputs = {"KALDO Amp Out"};
        test::writeText(rig->settingsPath(), "[INI_VERSION]\r\nVERSION=1\r\n[FIRST_TIME]\r\nFT=0\r\n"
                                             "[MIDI_SELECTION]\r\nOUT_NAME=KALDO Amp In\r\nIN_NAME=KALDO Amp Out\r\n");
    }
    // Whatever still waits on the system returns before the system goes.
    void cleanup() {
        rig->midi->answerAgain();
        QTRY_COMPARE(rig->midi->hungCalls(), 0);
        rig.reset();
    }

    void hangingAtStartTheWindowComesAndListsTheDevicesOnceTheSystemAnswers() {
        rig->midi->hang();
        TForm1& form = rig->start();
        QCOMPARE(status(), kSilent);
        QCOMPARE(captions(form.Out1), QStringList{"None"});
        QVERIFY(!form.selection->outPortReady);

        rig->midi->answerAgain();
        QTRY_COMPARE(captions(form.Out1), (QStringList{"None", "KALDO Amp In"}));
        QCOMPARE(captions(form.In1), (QStringList{"None", "KALDO Amp Out"}));
        QTRY_VERIFY(form.selection->outPortReady && form.selection->inPortReady);  // last time's ports
        QVERIFY(rig->midi->watched());
        QCOMPARE(status(), QString("Status -> Found 1 MIDI output and 1 MIDI input."));
    }

    // Every command that asks the system comes back: the first within the limit, the others at once
    // while it stays silent, each saying which system did not answer.
    void stoppedLaterEveryCommandComesBackAndSaysWhichSystem() {
        TForm1& form = rig->start();
        form.Out1->actions()[0]->trigger();  // None: the remembered port closed again
        rig->midi->hang();

        form.Out1->actions()[1]->trigger();
        QTRY_COMPARE(rig->answers.seen, QStringList{"MIDI Error | That port is not ready."});
        QVERIFY(!form.selection->outPortReady);
        QCOMPARE(status(), kSilent);

        form.StatusBar2->setText(3, "");
        form.ReCheckforMididevices1->trigger();
        QCOMPARE(status(), kSilent);

        form.FindAmp1->trigger();
        QTRY_COMPARE(rig->answers.seen.size(), 2);
        QVERIFY2(rig->answers.seen[1].startsWith("Find Amp | JACK did not answer within 1 s, so no amp could be asked."),
                 qPrintable(rig->answers.seen[1]));
        QVERIFY(form.FindAmp1->isEnabled());

        rig->midi->answerAgain();
        QTRY_COMPARE(captions(form.Out1), (QStringList{"None", "KALDO Amp In"}));
    }

    // The ports close on a thread of their own: the window goes at once, the ports when the system
    // gets round to it, and what they receive meanwhile reaches nobody.
    void closingWhileTheSystemHangsEndsAtOnceAndThePortsCloseWhenItAnswers() {
        TForm1& form = rig->start();
        QVERIFY(form.selection->outPortReady && form.selection->inPortReady);
        rig->midi->hang();
        rig->form.reset();
        QVERIFY(rig->midi->hungCalls() > 0);
        rig->midi->inject("KALDO Amp Out", {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7});
        rig->midi->answerAgain();
        QTRY_VERIFY(rig->midi->openOutputs().empty() && rig->midi->openInputs().empty());
    }
};

QTEST_MAIN(HangingMidiTest)
#include "HangingMidiTest.moc"
