// The revision the user reads off the front panel on the Read-revision page: the three lists,
// the markers on the picture, the text and when Next comes on.
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <array>

#include "WizardDriving.h"

using namespace kaldo;
using namespace kaldo::test;

class PanelRevisionTest : public QObject {
    Q_OBJECT
private slots:
    void listsAsDesigned();
    void nextComesOnWithTheThirdDifferentListInAnyOrder();
    void rechoosingChangesOnlyItsDigitAndMarker();
    void partialChoicesShowTheirDigits();
    void typedTextChangesNothing();
    void entriesGiveTheirCharacters();
    void markersSitOnTheLitLeds();
    void revisionDecidesTheIntermediateStage();
    void choicesOutliveAReset();
    void aRevisionReportedOverUsbIsNoPanelDigit();
};

void PanelRevisionTest::listsAsDesigned() {
    Wizard w;
    QCOMPARE(w.form.ComboBox2->count(), 12);
    QCOMPARE(w.form.ComboBox3->count(), 13);
    QCOMPARE(w.form.ComboBox4->count(), 13);
    QCOMPARE(w.form.ComboBox2->itemText(11), QString("Stomp 12"));
    QCOMPARE(w.form.ComboBox3->itemText(0), QString("Amp 1"));
    QCOMPARE(w.form.ComboBox3->itemText(12), QString());
    QCOMPARE(w.form.ComboBox4->itemText(11), QString("Effect 12"));
    QCOMPARE(w.form.ComboBox2->currentText(), QString("Stompboxes"));
    QCOMPARE(w.form.ComboBox3->currentText(), QString("Amps"));
    QCOMPARE(w.form.ComboBox4->currentText(), QString("Effects"));
    QCOMPARE(w.form.Label2->text(), QString("x.xx"));
    QVERIFY(w.form.Shape3->isHidden() && w.form.Shape4->isHidden() && w.form.Shape5->isHidden());
}

void PanelRevisionTest::nextComesOnWithTheThirdDifferentListInAnyOrder() {
    std::array<int, 3> order{0, 1, 2};
    do {
        Wizard w;
        w.toReadRevision();
        EditableList* lists[] = {w.form.ComboBox2, w.form.ComboBox3, w.form.ComboBox4};
        pick(lists[order[0]], 3);
        pick(lists[order[0]], 4);  // the same list twice still counts once
        QVERIFY(!w.form.Shape1->isEnabled());
        pick(lists[order[1]], 5);
        QVERIFY(!w.form.Shape1->isEnabled());
        pick(lists[order[2]], 6);
        QVERIFY(w.form.Shape1->isEnabled());
        QCOMPARE(w.form.panelRevision().panelSelectionMask(), 7u);
    } while (std::next_permutation(order.begin(), order.end()));
}

void PanelRevisionTest::rechoosingChangesOnlyItsDigitAndMarker() {
    Wizard w;
    w.toReadRevision();
    pick(w.form.ComboBox2, 1);
    pick(w.form.ComboBox3, 0);
    pick(w.form.ComboBox4, 2);
    const QPoint stomp = w.form.Shape3->pos();
    const QPoint effect = w.form.Shape5->pos();
    pick(w.form.ComboBox3, 7);
    QCOMPARE(w.form.revisionText(), std::string("1.72"));
    QCOMPARE(w.form.Label2->text(), QString("1.72"));
    QCOMPARE(w.form.Shape4->pos(), QPoint(135 + 87, 82));
    QCOMPARE(w.form.Shape3->pos(), stomp);
    QCOMPARE(w.form.Shape5->pos(), effect);
}

void PanelRevisionTest::partialChoicesShowTheirDigits() {
    Wizard w;
    w.toReadRevision();
    pick(w.form.ComboBox4, 2);
    QCOMPARE(w.form.Label2->text(), QString("x.x2"));
    QVERIFY(w.form.Shape5->isVisible() && w.form.Shape3->isHidden());
    pick(w.form.ComboBox2, 0);
    QCOMPARE(w.form.Label2->text(), QString("0.x2"));
}

void PanelRevisionTest::typedTextChangesNothing() {
    Wizard w;
    w.toReadRevision();
    QTest::keyClicks(w.form.ComboBox2->lineEdit(), "2");
    QCOMPARE(w.form.ComboBox2->currentIndex(), -1);
    QCOMPARE(w.form.Label2->text(), QString("x.xx"));
    QCOMPARE(w.form.panelRevision().panelSelectionMask(), 0u);
    QVERIFY(w.form.Shape3->isHidden());
    // Typed over an earlier choice: the earlier digit and marker stay.
    pick(w.form.ComboBox3, 5);
    QTest::keyClicks(w.form.ComboBox3->lineEdit(), "9");
    QCOMPARE(w.form.revisionText(), std::string("x.5x"));
    QCOMPARE(w.form.Shape4->pos(), QPoint(154 + 87, 76));
}

void PanelRevisionTest::entriesGiveTheirCharacters() {
    PanelRevision panel;
    panel.choose(PanelRevision::Stomp, 0);
    panel.choose(PanelRevision::Amp, 9);
    panel.choose(PanelRevision::Effect, 9);
    QCOMPARE(panel.revisionText(), std::string("0.99"));
    panel.choose(PanelRevision::Stomp, 10);
    panel.choose(PanelRevision::Amp, 11);
    panel.choose(PanelRevision::Effect, 12);  // the empty last entry
    QCOMPARE(panel.revisionText(), std::string(":.;<"));
    panel.choose(PanelRevision::Stomp, 1);
    panel.choose(PanelRevision::Amp, 0);
    panel.choose(PanelRevision::Effect, 2);
    QCOMPARE(panel.revisionText(), std::string("1.02"));
}

void PanelRevisionTest::markersSitOnTheLitLeds() {
    Wizard w;
    w.toReadRevision();
    pick(w.form.ComboBox2, 0);
    pick(w.form.ComboBox3, 0);
    pick(w.form.ComboBox4, 0);
    QCOMPARE(w.form.Shape3->geometry(), QRect(134, 42, 10, 10));
    QCOMPARE(w.form.Shape4->geometry(), QRect(221, 42, 10, 10));
    QCOMPARE(w.form.Shape5->geometry(), QRect(311, 42, 10, 10));
    pick(w.form.ComboBox4, 11);
    QCOMPARE(w.form.Shape5->pos(), QPoint(125 + 177, 48));
    pick(w.form.ComboBox2, 4);
    QCOMPARE(w.form.Shape3->pos(), QPoint(159, 68));
    // The empty entry lights no LED: its marker sits in the middle of the ring, inside the picture.
    pick(w.form.ComboBox3, 12);
    QCOMPARE(w.form.Shape4->pos(), QPoint(140 + 87, 62));
    QVERIFY(w.form.Image5->geometry().contains(w.form.Shape4->geometry()));
    QVERIFY(w.form.Shape4->isVisible());
}

void PanelRevisionTest::revisionDecidesTheIntermediateStage() {
    struct Case {
        int stomp, amp, effect;
        int intermediate;
    };
    for (const Case c : {Case{1, 0, 2, 1}, Case{1, 0, 3, 0}, Case{0, 9, 8, 0}, Case{1, 0, 12, 0}}) {
        Wizard w;
        w.toReadRevision();
        pick(w.form.ComboBox2, c.stomp);
        pick(w.form.ComboBox3, c.amp);
        pick(w.form.ComboBox4, c.effect);
        w.next();
        w.host.dialogAnswers.push_back("/fw/a.syx");
        w.next();
        QCOMPARE(w.form.intermediateNeeded(), c.intermediate);
        QVERIFY(w.form.currentStep() ==
                (c.intermediate ? &TForm3::Button1Next4Click : &TForm3::Button1Next9Click));
    }
}

void PanelRevisionTest::choicesOutliveAReset() {
    Wizard w;
    w.toReadRevision();
    pick(w.form.ComboBox2, 1);
    pick(w.form.ComboBox3, 0);
    pick(w.form.ComboBox4, 2);
    w.next();
    w.form.SpeedButton1->click();
    w.form.showWizard();
    w.toReadRevision();
    QVERIFY(!w.form.Shape1->isEnabled());
    QCOMPARE(w.form.ComboBox3->currentIndex(), 0);
    pick(w.form.ComboBox4, 3);  // the mask is still full: one change is enough
    QVERIFY(w.form.Shape1->isEnabled());
    QCOMPARE(w.form.revisionText(), std::string("1.03"));
}

// The revision the amp reported over USB in an earlier run is not the panel's: the page builds its
// text from the knobs alone, so one knob chosen shows one digit.
void PanelRevisionTest::aRevisionReportedOverUsbIsNoPanelDigit() {
    Wizard w;
    w.toStartUsb(0x00020800, "02.80");
    QCOMPARE(w.form.revisionText(), std::string("2.80"));
    w.form.SpeedButton1->click();
    w.form.showWizard();
    w.toReadRevision();
    pick(w.form.ComboBox2, 1);
    QCOMPARE(w.form.Label2->text(), QString("1.xx"));
    QCOMPARE(w.form.revisionText(), std::string("1.xx"));
}

QTEST_MAIN(PanelRevisionTest)
#include "PanelRevisionTest.moc"
