// The main window as designed: size, every control's place, texts and visibility, the status rows,
// the gauge, the menus and the warning's blink; what the MIDI commands say when they find nothing,
// the shortcuts, the About box and the diagnostics window.
#include <QMenuBar>
#include <QTest>

#include "AppRig.h"
#include "DiagnosticsWindow.h"
#include "PictureLabel.h"
#include "TCGauge.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TLEDImage.h"
#include "TStatusBar.h"

using namespace kaldo;

namespace {

// The items a user sees.
QStringList itemTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions())
        if (a->isVisible()) texts << (a->isSeparator() ? "-" : a->text());
    return texts;
}

QList<int> panelWidths(TStatusBar* bar) {
    QList<int> widths;
    for (int i = 0; i < bar->panelCount(); ++i) widths << bar->panel(i)->width() + 2;
    return widths;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppRig> rig;
    TForm1* form = nullptr;

    QStringList lampNames(int ring) {
        QStringList names;
        RingLed& r = form->shows.ring(ring);
        for (int i = 0; i < r.count(); ++i) names << dynamic_cast<TLEDImage*>(r.lamp(i))->objectName();
        return names;
    }

private slots:
    void init() {
        rig = std::make_unique<test::AppRig>();
        rig->midi->outputs = {"Port A", "Port B", "Amp & Co"};
        rig->midi->inputs = {"In A", "In B"};
        rig->midi->refusing = {"Port B"};
        form = &rig->start();
    }
    void cleanup() { rig.reset(); }

    void windowFrame() {
        QCOMPARE(form->windowTitle(), QString("Kaldo Updater v2.83"));
        QCOMPARE(form->client()->size(), QSize(703, 375));
        QCOMPARE(form->client()->y(), form->menuBar()->height());
        QCOMPARE(form->minimumSize(), form->maximumSize());  // not resizable
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(form->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowCloseButtonHint);
    }

    void controlsAtTheirPlaces() {
        QCOMPARE(form->Image1->geometry(), QRect(0, -1, 700, 284));
        QCOMPARE(form->Image1->pixmap().deviceIndependentSize().toSize(), QSize(700, 284));
        QCOMPARE(form->Image2->geometry(), QRect(320, 98, 66, 66));
        QCOMPARE(form->Image2->pixmap().deviceIndependentSize().toSize(), QSize(66, 66));
        QCOMPARE(form->Label1->geometry(), QRect(334, 108, 40, 39));
        QCOMPARE(form->Label1->text(), QString("Push to Cancel"));
        QVERIFY(form->Label1->font().bold());
        QCOMPARE(form->Label3->pos(), QPoint(146, 3));
        QCOMPARE(form->Label3->text(), QString("Programming in Progress. Do not turn off amp."));
        QCOMPARE(form->Label3->palette().color(QPalette::WindowText), QColor(Qt::red));
        QVERIFY(form->Label3->font().bold());
        QCOMPARE(form->Label3->font().pixelSize(), 16);
        QCOMPARE(form->Label2->pos(), QPoint(137, 266));
        QCOMPARE(form->Label2->text(),
                 QString("*Note: Indicator lights are approximate and may not exactly duplicate the action on "
                         "the amp."));
        QCOMPARE(form->Label2->font().pixelSize(), 11);
        QVERIFY(form->Label2->geometry().right() < 700);  // the whole line on the panel
        QCOMPARE(form->CGauge1->geometry(), QRect(0, 317, 703, 27));
        // hidden until an upload runs; the note is always there
        QVERIFY(!form->Image2->isVisible());
        QVERIFY(!form->Label1->isVisible());
        QVERIFY(!form->Label3->isVisible());
        QVERIFY(!form->CGauge1->isVisible());
        QVERIFY(form->Label2->isVisible());
        // the cancel button and its text lie over the lamps of the middle ring
        QVERIFY(form->client()->children().indexOf(form->Image2) >
                form->client()->children().indexOf(form->lamps.back()));
    }

    // "Push to Cancel" lies on the middle knob: its text is light on a dark plate, and all of it
    // stays within the round box it is given.
    void cancelTextReadsOnTheKnob() {
        form->setCancelLabelVisible(true);
        const QImage shot = form->client()->grab(form->Label1->geometry()).toImage().scaled(form->Label1->size());
        const double rx = shot.width() / 2.0, ry = shot.height() / 2.0;
        int light = 0, lightOutside = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                if (qGray(shot.pixel(x, y)) < 230) continue;  // the knob's cap is never this light
                ++light;
                const double dx = (x + 0.5 - rx) / rx, dy = (y + 0.5 - ry) / ry;
                lightOutside += dx * dx + dy * dy > 1.0 ? 1 : 0;
            }
        }
        QVERIFY2(light > 30, qPrintable(QString::number(light)));
        QCOMPARE(lightOutside, 0);
        QVERIFY(qGray(shot.pixel(4, shot.height() / 2)) < 100);  // the plate beside the text
        form->setCancelLabelVisible(false);
    }

    void statusRows() {
        QCOMPARE(form->StatusBar1->geometry(), QRect(0, 284, 702, 32));
        QCOMPARE(form->StatusBar2->geometry(), QRect(0, 343, 703, 32));
        QCOMPARE(panelWidths(form->StatusBar1), (QList<int>{100, 100, 200, 180, 122}));
        // the last panel stretches to the right edge
        QCOMPARE(panelWidths(form->StatusBar2), (QList<int>{100, 100, 150, 353}));
        QCOMPARE(form->StatusBar1->text(0), QString("New Firmware"));
        QCOMPARE(form->StatusBar2->text(0), QString("Current Firmware"));
        for (TStatusBar* bar : {form->StatusBar1, form->StatusBar2})
            for (int i = 0; i < bar->panelCount(); ++i) QCOMPARE(bar->panel(i)->alignment(), Qt::AlignCenter);
        form->setStatus2(3, "Status -> Sending");
        QCOMPARE(form->StatusBar2->text(3), QString("Status -> Sending"));
        form->showAmpVersion("01.02", false);
        QCOMPARE(form->StatusBar2->text(1), QString("Version 01.02"));
    }

    void lampsAsDesigned() {
        QCOMPARE(form->lamps.size(), std::size_t{36});
        QCOMPARE(form->lamps.front()->objectName(), QString("sLED1"));
        QCOMPARE(form->lamps.back()->objectName(), QString("LEDImage20"));
        QCOMPARE(form->lamps.back()->pos(), QPoint(394, 137));
        for (TLEDImage* lamp : form->lamps) {
            QCOMPARE(lamp->parent(), form->client());  // direct children of the window
            QCOMPARE(lamp->size(), QSize(13, 13));
            // init_leds has switched every lamp off, made it bright; ring 2 lights green
            QVERIFY(!lamp->LEDOn());
            QCOMPARE(lamp->Color(), clGray);
            QVERIFY(lamp->Brightness());
            QCOMPARE(lamp->picture().cacheKey(), TLEDImage::LedGray->cacheKey());
        }
    }

    void ringsInRingOrder() {
        QCOMPARE(lampNames(0), (QStringList{"sLED1", "LEDImage1", "LEDImage3", "LEDImage4", "LEDImage5", "LEDImage6",
                                            "LEDImage12", "LEDImage11", "LEDImage10", "LEDImage9", "LEDImage8",
                                            "LEDImage7"}));
        QCOMPARE(lampNames(1), (QStringList{"LEDImage2", "LEDImage13", "LEDImage14", "LEDImage15", "LEDImage16",
                                            "LEDImage17", "LEDImage23", "LEDImage22", "LEDImage21", "LEDImage20",
                                            "LEDImage19", "LEDImage18"}));
        QCOMPARE(lampNames(2), (QStringList{"LEDImage24", "LEDImage25", "LEDImage26", "LEDImage27", "LEDImage28",
                                            "LEDImage29", "LEDImage35", "LEDImage34", "LEDImage33", "LEDImage32",
                                            "LEDImage31", "LEDImage30"}));
        // right halves marked, left halves keep their ring number; the picture with Tag 1 is no lamp
        for (int r = 0; r < 3; ++r) {
            for (int i = 0; i < 12; ++i) {
                const std::int32_t expected = i < 6 ? r : (r | RingLed::kRightHalf);
                QCOMPARE(form->shows.ring(r).lamp(i)->tag(), expected);
            }
        }
        QCOMPARE(form->Image1->property("Tag").toInt(), 1);
        auto* lamp = dynamic_cast<TLEDImage*>(form->shows.ring(2).lamp(3));
        QCOMPARE(lamp->OnColor(), clGreen);
        QCOMPARE(dynamic_cast<TLEDImage*>(form->shows.ring(0).lamp(3))->OnColor(), clRed);
        form->shows.lightOnly(2, 3);
        QCOMPARE(lamp->picture().cacheKey(), TLEDImage::LedGreen->cacheKey());  // normal, not bright
        QCOMPARE(form->lamps.front()->className(), std::string("TLEDImage"));
    }

    void gauge() {
        form->setGaugeVisible(true);
        form->setGaugeMax(100);
        form->setGaugeProgress(42);
        QVERIFY(form->CGauge1->isVisible());
        QCOMPARE(form->CGauge1->PercentDone(), 42);
        form->setGaugeMax(200);
        form->setGaugeProgress(300);  // held at the maximum
        QCOMPARE(form->CGauge1->PercentDone(), 100);
        const QImage shot = form->CGauge1->grab().toImage();
        QCOMPARE(shot.pixelColor(3, 3), QColor(0, 255, 0));  // lime bar
        form->setGaugeProgress(0);
        QCOMPARE(form->CGauge1->grab().toImage().pixelColor(3, 3), QColor(Qt::black));
    }

    void menus() {
        const QList<QAction*> bar = form->menuBar()->actions();
        QCOMPARE(bar.size(), 4);
        QCOMPARE(bar[0]->text(), QString("&File"));
        QCOMPARE(bar[1]->text(), QString("&Midi"));
        QCOMPARE(bar[2]->text(), QString("&Run"));
        QCOMPARE(bar[3]->text(), QString("&Help"));
        QCOMPARE(itemTexts(form->File1), (QStringList{"Open &Firmware", "E&xit", "Startup Help"}));
        QVERIFY(form->StartupHelp1->isCheckable());
        QCOMPARE(itemTexts(form->Midi1),
                 (QStringList{"Out", "In", "Re-Check for Midi devices", "Test Connection", "Find Amp", "-", "Diagnostics"}));
        QCOMPARE(itemTexts(form->Run1), (QStringList{"Upload Code", "Update &Wizard"}));
        QCOMPARE(itemTexts(form->Help1), QStringList{"About KALDO Updater"});
    }

    void deviceMenusFollowTheSelection() {
        QCOMPARE(itemTexts(form->Out1), (QStringList{"None", "Port A", "Port B", "Amp && Co"}));
        QCOMPARE(itemTexts(form->In1), (QStringList{"None", "In A", "In B"}));
        const QList<QAction*> out = form->Out1->actions();
        for (int i = 0; i < itemTexts(form->Out1).size(); ++i) {
            QCOMPARE(out[i]->data().toInt(), i - 1);  // item k+1 is device k
            QVERIFY(out[i]->isCheckable());
            QCOMPARE(out[i]->isChecked(), i == 0);
        }
        QVERIFY(form->In1->actions()[0]->isChecked());
        QVERIFY(form->Out1->actions()[0]->font().bold());  // "None" is the default item

        out[1]->trigger();
        QCOMPARE(form->selection->selectedOutPort, 0);
        QVERIFY(form->selection->outPortReady);
        QVERIFY(out[1]->isChecked() && !out[0]->isChecked());
        QVERIFY(form->In1->actions()[0]->isChecked());  // the groups are per submenu
        QCOMPARE(rig->midi->openOutputs(), std::vector<std::string>{"Port A"});

        out[2]->trigger();  // refuses to open: the message, the item stays checked, not ready
        QCOMPARE(rig->answers.seen.last(), QString("MIDI Error | That port is not ready."));
        QCOMPARE(form->selection->selectedOutPort, 1);
        QVERIFY(!form->selection->outPortReady);
        QVERIFY(out[2]->isChecked());
        QVERIFY(rig->midi->openOutputs().empty());

        form->In1->actions()[2]->trigger();
        QCOMPARE(form->selection->selectedInPort, 1);
        QVERIFY(form->selection->inPortReady);

        rig->midi->outputs.push_back("USB Amp");  // plugged in, then "Re-Check for Midi devices"
        form->ReCheckforMididevices1->trigger();
        QCOMPARE(itemTexts(form->Out1), (QStringList{"None", "Port A", "Port B", "Amp && Co", "USB Amp"}));
        QVERIFY(form->Out1->actions()[0]->isChecked());
        QVERIFY(form->In1->actions()[0]->isChecked());
        QCOMPARE(form->selection->selectedOutPort, -1);
        QCOMPARE(form->selection->selectedInPort, -1);
        QCOMPARE(form->diagnostics->Label4->text(), QString("4"));
        QCOMPARE(form->diagnostics->Label5->text(), QString("2"));

        QCOMPARE(form->StatusBar2->text(3), QString("Status -> Found 4 MIDI outputs and 2 MIDI inputs."));

        rig->midi->outputs.resize(1);  // fewer devices: the surplus items go
        rig->midi->inputs.resize(1);
        form->ReCheckforMididevices1->trigger();
        QCOMPARE(itemTexts(form->Out1), (QStringList{"None", "Port A"}));
        QCOMPARE(form->StatusBar2->text(3), QString("Status -> Found 1 MIDI output and 1 MIDI input."));
    }

    // Without any MIDI device the menus say so under "None", and the status row says what to do; a
    // device that turns up is found by "Re-Check for Midi devices".
    void noDevicesAreSaidSo() {
        rig = std::make_unique<test::AppRig>();
        form = &rig->start();
        for (QMenu* menu : {form->Out1, form->In1}) {
            QCOMPARE(itemTexts(menu), (QStringList{"None", "No MIDI devices found"}));
            QVERIFY(!menu->actions().last()->isEnabled());
            QVERIFY(menu->actions()[0]->isChecked());
        }
        const QString hint = form->StatusBar2->text(3);
        QVERIFY2(hint.startsWith("Status -> No MIDI devices found.") && hint.contains("Re-Check"), qPrintable(hint));
        form->ReCheckforMididevices1->trigger();
        QCOMPARE(form->StatusBar2->text(3), hint);

        rig->midi->outputs = {"USB Amp"};
        form->ReCheckforMididevices1->trigger();
        QCOMPARE(itemTexts(form->Out1), (QStringList{"None", "USB Amp"}));
        QCOMPARE(itemTexts(form->In1), (QStringList{"None", "No MIDI devices found"}));
        form->Out1->actions()[1]->trigger();
        QVERIFY(form->selection->outPortReady);
        QCOMPARE(form->StatusBar2->text(3), QString("Status -> Found 1 MIDI output and 0 MIDI inputs."));
    }

    // "Test Connection" with no output says so instead of opening a test that could send nothing.
    void testConnectionNeedsAnOutput() {
        auto* test = form->findChild<TForm4*>();
        form->TestMidiConnection1->trigger();
        QCOMPARE(rig->answers.seen, QStringList{"Midi Error | Select a MIDI Out Port"});
        QVERIFY(!test->isVisible());
        form->Out1->actions()[1]->trigger();
        form->TestMidiConnection1->trigger();
        QVERIFY(test->isVisible());
        QVERIFY(test->isModal());
        QCOMPARE(test->geometry().center(), form->geometry().center());
    }

    // Ctrl+O, Ctrl+U and F5 run their commands; the captions stay as designed.
    void shortcutsRunTheirCommands() {
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTest::keyClick(form, Qt::Key_F5);
        QCOMPARE(form->StatusBar2->text(3), QString("Status -> Found 3 MIDI outputs and 2 MIDI inputs."));
        QTest::keyClick(form, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(rig->answers.seen, QStringList{"Midi Error | Select a MIDI Out Port"});
        QCOMPARE(form->Firmware1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        QCOMPARE(form->Firmware1->text(), QString("Open &Firmware"));
        QCOMPARE(form->UploadCode1->text(), QString("Upload Code"));
        QCOMPARE(form->ReCheckforMididevices1->text(), QString("Re-Check for Midi devices"));
    }

    // The wizard's file dialog opens over the wizard, which then gets the keyboard back.
    void fileDialogOpensOverTheWindowThatAsks() {
        auto* wizard = form->findChild<TForm3*>();
        wizard->showWizard();
        QVERIFY(QTest::qWaitForWindowActive(wizard));
        QWidget* owner = nullptr;
        rig->answers.answerDialog = [&](QDialog* dialog) {
            owner = dialog->parentWidget();
            dialog->reject();
        };
        QVERIFY(!form->host().runOpenDialog("Syx files (*.syx)|*.syx"));
        QCOMPARE(owner, wizard);
    }

    void aboutSaysVersionAndWhereThingsAre() {
        form->About1->trigger();
        QCOMPARE(rig->answers.seen.size(), 1);
        const QString about = rig->answers.seen.first();
        QVERIFY2(about.startsWith("About KALDO Updater | "), qPrintable(about));
        for (const QString& part : {QString("KALDO Updater 2.83"), QString("Licence"),
                                    QString::fromStdString(rig->settingsPath().string()), form->logFilePath()})
            QVERIFY2(about.contains(part), qPrintable(part));
    }

    void diagnosticsReachable() {
        form->Diagnostics1->trigger();
        QVERIFY(form->diagnostics->isVisible());
        // over the main window (give or take the frames), with the log file's path and what the lines mean
        const QPoint offCentre = form->diagnostics->frameGeometry().center() - form->frameGeometry().center();
        QVERIFY2(offCentre.manhattanLength() <= 4, qPrintable(QString("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
        QVERIFY(form->diagnostics->logFile->text().endsWith(form->logFilePath()));
        QVERIFY(form->diagnostics->legend->text().contains("7C packet accepted"));
        form->updater->memo.addLine("0007");
        // the menu item counts of the first build, then the code
        QCOMPARE(form->diagnostics->Memo1->toPlainText(), QString("1\n1\n0007"));
        QCOMPARE(form->diagnostics->Label4->text(), QString("?"));
        form->diagnostics->Button4->click();
        form->diagnostics->Button9->click();
        QCOMPARE(form->diagnostics->Label4->text(), QString("3"));
        QCOMPARE(form->diagnostics->Label5->text(), QString("2"));
        QFile log(form->logFilePath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().trimmed().endsWith("0007"));
    }

    void warningBlinks() {
        QVERIFY(!form->Timer3.isActive());
        QCOMPARE(form->Timer3.interval(), 500);
        form->setWarningBlink(true);
        QVERIFY(form->Timer3.isActive());
        form->Timer3Timer();
        QVERIFY(form->Label3->isVisible());
        form->Timer3Timer();
        QVERIFY(!form->Label3->isVisible());
        form->setWarningBlink(false);
        QVERIFY(!form->Timer3.isActive());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
