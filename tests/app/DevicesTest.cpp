// Devices that come and go while the window is open, and "Find Amp": on the in-memory MIDI system,
// whose watch the test fires as the system would.
#include <QInputDialog>
#include <QTest>

#include "AppRig.h"
#include "DiagnosticsWindow.h"
#include "Messages.h"
#include "TStatusBar.h"

using namespace kaldo;
using test::captions;

class DevicesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppRig> rig;

    // The system tells of a change, on its own thread; the window hears of it at its next events.
    void announce() {
        std::thread([midi = rig->midi] { midi->announce(); }).join();
        QCoreApplication::processEvents();
    }

private slots:
    void init() {
        rig = std::make_unique<test::AppRig>();
        rig->midi->outputs = {"Synth Out"};
        rig->midi->inputs = {"Synth In"};
    }
    void cleanup() { rig.reset(); }

    void anAmpPluggedInIsListedAndTheChoiceStaysByName() {
        TForm1& form = rig->start();
        QVERIFY(rig->midi->watched());
        form.Out1->actions()[1]->trigger();  // "Synth Out"
        rig->midi->outputs = {"KALDO Amp In", "Synth Out"};
        rig->midi->inputs = {"KALDO Amp Out", "Synth In"};
        announce();
        QCOMPARE(captions(form.Out1), (QStringList{"None", "KALDO Amp In", "Synth Out"}));
        QCOMPARE(captions(form.In1), (QStringList{"None", "KALDO Amp Out", "Synth In"}));
        QVERIFY(form.Out1->actions()[2]->isChecked());
        QCOMPARE(form.selection->selectedOutName(), std::string("Synth Out"));
        QVERIFY(form.selection->outPortReady);
        QCOMPARE(form.diagnostics->Memo1->toPlainText().split('\n').last(), QString("0007"));
    }

    void aSelectedDeviceThatGoesFallsBackToNoneAndTheStatusRowSaysSo() {
        TForm1& form = rig->start();
        form.Out1->actions()[1]->trigger();
        form.In1->actions()[1]->trigger();
        rig->midi->outputs.clear();
        announce();
        QVERIFY(form.Out1->actions()[0]->isChecked());
        QVERIFY(!form.selection->outPortReady);
        QVERIFY(rig->midi->openOutputs().empty());
        QVERIFY(form.selection->inPortReady);
        QCOMPARE(form.StatusBar2->text(3),
                 QString("Status -> The MIDI output \"Synth Out\" went away: Midi > Out is back on None."));
        QVERIFY(rig->answers.seen.isEmpty());
    }

    // What the status row says about the ports goes once it is no longer so: "no devices" when the
    // amp turns up (the system says so, no Re-Check needed), a port that went once a port is chosen
    // again; what another part of the program wrote since stays.
    void portNotesGoWhenNoLongerSo() {
        rig->midi->outputs.clear();
        rig->midi->inputs.clear();
        TForm1& form = rig->start();
        QVERIFY(form.StatusBar2->text(3).startsWith("Status -> No MIDI devices found."));
        rig->midi->outputs = {"KALDO Amp In"};
        rig->midi->inputs = {"KALDO Amp Out"};
        announce();
        QCOMPARE(form.StatusBar2->text(3), QString("Status -> Found 1 MIDI output and 1 MIDI input."));

        for (const bool overwritten : {false, true}) {
            form.Out1->actions()[1]->trigger();
            rig->midi->outputs.clear();
            announce();
            const QString gone = "Status -> The MIDI output \"KALDO Amp In\" went away: Midi > Out is back on None.";
            QCOMPARE(form.StatusBar2->text(3), gone);
            rig->midi->outputs = {"KALDO Amp In"};
            announce();
            QCOMPARE(form.StatusBar2->text(3), gone);  // back, yet Out is still on None
            if (overwritten) form.setStatus2(3, "Status -> Complete.");
            form.Out1->actions()[1]->trigger();
            QCOMPARE(form.StatusBar2->text(3), overwritten ? QString("Status -> Complete.") : QString(" "));
        }
    }

    void findAmpSelectsTheOnlyAmpsPorts() {
        rig->midi->outputs = {"Synth Out", "KALDO Amp In"};
        rig->midi->inputs = {"KALDO Amp Out", "Synth In"};
        rig->midi->answer = [midi = rig->midi.get()](const std::string& device,
                                                     std::vector<std::uint8_t> block) {
            if (block.size() != kIdentityRequest.size()) return;
            const auto reply = makeIdentityReply(0x00020800);
            if (device == "KALDO Amp In") midi->inject("KALDO Amp Out", {reply.begin(), reply.end()});
        };
        TForm1& form = rig->start();
        form.FindAmp1->trigger();
        QCOMPARE(form.selection->selectedOutName(), std::string("KALDO Amp In"));
        QCOMPARE(form.selection->selectedInName(), std::string("KALDO Amp Out"));
        QVERIFY(form.selection->outPortReady && form.selection->inPortReady);
        QCOMPARE(rig->answers.seen,
                 QStringList{"Find Amp | Found the amp on KALDO Amp In / KALDO Amp Out, version 02.80"});
        QCOMPARE(form.StatusBar2->text(1), QString("Version 02.80"));  // Current Firmware agrees
        QVERIFY(form.FindAmp1->isEnabled() && form.UploadCode1->isEnabled());
    }

    void findAmpSaysWhenNoneAnsweredAndLetsTheUserPickAmongSeveral() {
        rig->midi->outputs = {"Amp A In", "Amp B In"};
        rig->midi->inputs = {"Amp A Out", "Amp B Out"};
        TForm1& form = rig->start();
        form.FindAmp1->trigger();
        QCOMPARE(rig->answers.seen.size(), 1);
        QVERIFY(rig->answers.seen[0].startsWith("Find Amp | No amp answered."));
        QCOMPARE(form.selection->selectedOutPort, -1);

        rig->midi->answer = [midi = rig->midi.get()](const std::string& device, std::vector<std::uint8_t>) {
            const auto reply = makeIdentityReply(device == "Amp A In" ? 0x00010002 : 0x00020803);
            midi->inject(device == "Amp A In" ? "Amp A Out" : "Amp B Out", {reply.begin(), reply.end()});
        };
        QStringList offered;
        rig->answers.answerDialog = [&](QDialog* dialog) {
            auto* pick = qobject_cast<QInputDialog*>(dialog);
            QVERIFY(pick);
            offered = pick->comboBoxItems();
            pick->setTextValue(offered.value(1));
            pick->accept();
        };
        form.FindAmp1->trigger();
        QCOMPARE(offered,
                 (QStringList{"Amp A In / Amp A Out, version 01.02", "Amp B In / Amp B Out, version 02.83"}));
        QCOMPARE(form.selection->selectedOutName(), std::string("Amp B In"));
        QCOMPARE(form.selection->selectedInName(), std::string("Amp B Out"));
    }
};

QTEST_MAIN(DevicesTest)
#include "DevicesTest.moc"
