#include "AboutBox.h"

#include <QMessageBox>

#include "ProgramVersion.h"

namespace kaldo {

void showAbout(QWidget* owner, const QString& settingsPath, const QString& logPath) {
    const QString text =
        QString(
            "<p><b>KALDO Updater %1</b></p>"
            "<p>Puts new firmware into a KALDO guitar amplifier over MIDI: through a MIDI cable or the amp's "
            "USB MIDI interface. It checks the firmware file, sends it, watches the amp's answers and shows "
            "the progress on a picture of the front panel. The wizard under \"Startup Help\" leads you "
            "through a first update.</p>"
            "<p>Licence: see the copyright file installed with the program.</p>"
            "<p>Settings: %2<br>Log: %3</p>")
            .arg(kProgramVersion, settingsPath.toHtmlEscaped(), logPath.toHtmlEscaped());
    QMessageBox box(QMessageBox::NoIcon, "About KALDO Updater", text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::RichText);
    // The paths can be copied into a mail or a file manager.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

}  // namespace kaldo
