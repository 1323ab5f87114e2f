// The main window as designed: size, every control's place, texts and visibility, the status rows,
// the gauge, the menus and the warning's blink.
#include <QMenuBar>
#include <QtTest>

#include "DiagnosticsWindow.h"
#include "PictureLabel.h"
#include "TCGauge.h"
#include "TForm1.h"
#include "../wizard/FakeHost.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TLEDImage.h"
#include "TStatusBar.h"
#include "VirtualClock.h"

using namespace kaldo;

namespace {

QStringList itemTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions()) texts << (a->isSeparator() ? "-" : a->text());
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

    VirtualClock clock;
    test::FakeHost host;
    std::unique_ptr<TForm1> form;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init() {
        form = std::make_unique<TForm1>(clock);
        form->attachWindows(new TForm3(host, form.get()), new TForm4(host, form.get()), new TForm5(host, form.get()));
        form->show();
    }
    void cleanup() { form.reset(); }

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
            QVERIFY(lamp->Tag >= 0 && lamp->Tag <= 2);
        }
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
        QCOMPARE(bar.size(), 3);
        QCOMPARE(bar[0]->text(), QString("&File"));
        QCOMPARE(bar[1]->text(), QString("&Midi"));
        QCOMPARE(bar[2]->text(), QString("&Run"));
        QCOMPARE(itemTexts(form->File1), (QStringList{"Open &Firmware", "E&xit", "Startup Help"}));
        QVERIFY(form->StartupHelp1->isCheckable());
        QCOMPARE(itemTexts(form->Midi1),
                 (QStringList{"Out", "In", "Re-Check for Midi devices", "Test Connection", "-", "Diagnostics"}));
        QCOMPARE(itemTexts(form->Run1), QStringList{"Upload Code"});
        QCOMPARE(itemTexts(form->Out1).first(), QString("None"));
        QCOMPARE(itemTexts(form->In1).first(), QString("None"));
        QVERIFY(form->None->isChecked());
        QVERIFY(form->NoneIn->isChecked());
        QCOMPARE(form->None->data().toInt(), -1);
    }

    void diagnosticsReachable() {
        form->Diagnostics1->trigger();
        QVERIFY(form->diagnostics->isVisible());
        form->Memo1.addLine("0007");
        form->logChanged();
        QCOMPARE(form->diagnostics->Memo1->toPlainText(), QString("0007"));
        QCOMPARE(form->diagnostics->Label4->text(), QString("?"));
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
