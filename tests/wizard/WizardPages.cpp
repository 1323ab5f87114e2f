// Saves a picture of every wizard page and of the dialogs, to look at them as a first-time user
// would: kaldo_wizard_pages <folder>.
#include <QApplication>
#include <QDir>

#include "TForm4.h"
#include "TForm5.h"
#include "WizardDriving.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

QString folder;
int shot = 0;

void save(QWidget& window, const QString& name) {
    const QString path = QString("%1/%2-%3.png").arg(folder).arg(++shot, 2, 10, QChar('0')).arg(name);
    window.grab().save(path);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    folder = argc > 1 ? argv[1] : QString(".");
    QDir().mkpath(folder);

    {
        Wizard w;
        save(w.form, "welcome");
        pick(w.form.ComboBox5, 0);
        w.next();
        save(w.form, "connect-midi");
        w.next();
        save(w.form, "devices-midi");
        pick(w.form.ComboBox1, 1);
        w.next();
        save(w.form, "test-midi");
        w.next();
        save(w.form, "panel-mode");
        w.next();
        save(w.form, "read-revision-empty");
        pick(w.form.ComboBox2, 1);
        pick(w.form.ComboBox3, 0);
        pick(w.form.ComboBox4, 2);
        save(w.form, "read-revision-1.02");
        w.next();
        save(w.form, "power-cycle");
        w.host.dialogAnswers.push_back("/fw/kaldo.syx");
        w.next();
        save(w.form, "start-midi");
        w.host.uploadOutcomes = {UploadOutcome::Failed};
        w.next();
        save(w.form, "first-stage-failed");
        w.next();
        save(w.form, "first-stage");
        w.next();
        save(w.form, "final-midi");
    }
    {
        Wizard w;
        QApplication::setActiveWindow(&w.form);
        w.form.CheckBox1->setFocus();
        save(w.form, "welcome-focus-on-do-not-show");
        w.toDevices(true);
        save(w.form, "devices-usb");
        QApplication::setActiveWindow(&w.form);
        w.form.FindAmpLink->setFocus();
        save(w.form, "devices-usb-focus-on-find-my-amp");
        pick(w.form.ComboBox1, 1);
        pick(w.form.ComboBox6, 0);
        w.next();
        save(w.form, "test-usb");
        w.next();
        save(w.form, "usb-not-tested");
        w.next();
        w.test();
        w.next();
        save(w.form, "usb-no-reply");
        w.next();
        w.next();
        pick(w.form.ComboBox1, 1);
        pick(w.form.ComboBox6, 0);
        w.next();
        w.test();
        w.host.answerIdentity(0x00010600, "01.60");
        w.form.showAmpVersion("01.60");
        save(w.form, "test-usb-reply");
        w.next();
        save(w.form, "start-usb-no-file");
        w.next();
        save(w.form, "no-file");
        w.host.dialogAnswers.push_back("/fw/kaldo.syx");
        w.next();
        save(w.form, "final-usb");
    }
    {
        FakeHost host;
        TForm4 test(host, nullptr);
        test.show();
        save(test, "midi-test");
        test.showAmpVersion("01.60");
        save(test, "midi-test-reply");
        TForm5 dialog(host, nullptr);
        dialog.show();
        dialog.Label1->setText("Firmware Sent. Wait for Amp to Restart.");
        save(dialog, "message");
        dialog.Label1->setText("Do you want to setup the KALDO USB MIDI interface?");
        dialog.Label4->show();
        dialog.CheckBox1->show();
        save(dialog, "question");
        dialog.Label4->hide();
        dialog.CheckBox1->hide();
        dialog.Label1->setText(R"(Now select the MIDI devices. This will be called, "USB Audio Device" for both in and out.)");
        for (QWidget* wdg : std::initializer_list<QWidget*>{dialog.Label2, dialog.Label3, dialog.ComboBox1, dialog.ComboBox2})
            wdg->show();
        save(dialog, "port-selection");
        host.outNames = {"KALDO Amp Sim In:in"};
        host.inNames = {"KALDO Amp Sim Out:out"};
        dialog.ComboBox1Enter();
        dialog.ComboBox2Enter();
        pick(dialog.ComboBox1, 0);
        pick(dialog.ComboBox2, 0);
        save(dialog, "port-selection-chosen");
        dialog.Label1->setText("Success, new code rev is confirmed. Rock On!");
        for (QWidget* wdg : std::initializer_list<QWidget*>{dialog.Label2, dialog.Label3, dialog.ComboBox1, dialog.ComboBox2})
            wdg->hide();
        save(dialog, "confirmed");
    }
    return 0;
}
