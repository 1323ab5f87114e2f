// kaldo-updater: puts new firmware into a KALDO amp. Takes no command line.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "Program.h"
#include "QtClock.h"
#include "SystemMidi.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("KaldoUpdater");
    QApplication::setApplicationDisplayName("KaldoUpdater");
    try {
        kaldo::QtClock clock;
        kaldo::Program program(clock, kaldo::midi::systemMidi("kaldo-updater"), QApplication::applicationFilePath());
        program.form1.show();
        QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "KaldoUpdater", QString::fromUtf8(e.what()));
    }
    return 0;
}
