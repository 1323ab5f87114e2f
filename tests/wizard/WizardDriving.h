#pragma once
// Drives the wizard as a user would: picks in its lists, clicks on its drawn buttons.
#include <QTest>

#include "FakeHost.h"
#include "TForm3.h"

namespace kaldo::test {

inline void pick(EditableList* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}

inline void click(CircleShape* shape) { QTest::mouseClick(shape, Qt::LeftButton, {}, shape->rect().center()); }

struct Wizard {
    FakeHost host;
    TForm3 form{host, nullptr};

    Wizard() { form.showWizard(); }

    void next() { click(form.Shape1); }
    void test() { click(form.Shape2); }

    // Welcome -> Connect -> Devices.
    void toDevices(bool usb) {
        pick(form.ComboBox5, usb ? 1 : 0);
        next();
        next();
    }
    // ... -> Test page, with the ports chosen.
    void toTest(bool usb) {
        toDevices(usb);
        pick(form.ComboBox1, 1);
        if (usb) pick(form.ComboBox6, 0);
        next();
    }
    // USB ... -> Start page: the test answered with this revision, the file chosen.
    void toStartUsb(PackedVersion version, const std::string& text) {
        toTest(true);
        test();
        host.answerIdentity(version, text);
        host.dialogAnswers.push_back("/fw/a.syx");
        next();
    }
    // Classic MIDI ... -> Read-revision page.
    void toReadRevision() {
        toTest(false);
        next();
        next();
    }
    int nextGroupShift() const {
        const int shift = form.Shape1->x() - 210;
        // The three parts of the drawn Next button always move together.
        if (form.Image2->x() - 204 != shift || form.Image3->x() - 204 != shift) return -999;
        return shift;
    }
};

}  // namespace kaldo::test
