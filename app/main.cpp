// kaldo-updater: puts new firmware into a KALDO amp. Takes no command line.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "QtClock.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("KaldoUpdater");
    QApplication::setApplicationDisplayName("KaldoUpdater");
    try {
        kaldo::QtClock clock;
        kaldo::TForm1 form1(clock);
        auto* form3 = new kaldo::TForm3(&form1);
        auto* form4 = new kaldo::TForm4(&form1);
        auto* form5 = new kaldo::TForm5(&form1);
        form1.attachWindows(form3, form4, form5);
        form1.show();
        QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "KaldoUpdater", QString::fromUtf8(e.what()));
    }
    return 0;
}
