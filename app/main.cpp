// kaldo-updater: puts new firmware into a KALDO amp. Takes no command line but --version.
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <memory>
#include <string_view>

#include "AppIcon.h"
#include "CarriedFonts.h"
#include "ProgramVersion.h"
#include "QtClock.h"
#include "SystemMidi.h"
#include "Settings.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "UpdaterApplication.h"
#include "Utf8.h"

int main(int argc, char** argv) {
    // Answered before the application object exists: no window, and no display needed.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("kaldo-updater %s\n", kaldo::kProgramVersion);
        return 0;
    }
    try {
        kaldo::UpdaterApplication app(argc, argv);
        kaldo::UpdaterApplication::setWindowIcon(kaldo::applicationIcon());
        kaldo::addCarriedFonts();
        try {
            kaldo::QtClock clock;
            kaldo::TForm1::Environment env{
                clock, kaldo::midi::systemMidi("kaldo-updater"),
                kaldo::Settings::forExecutable(
                    kaldo::pathFromUtf8(QCoreApplication::applicationFilePath().toStdString()))};
            // The four windows, in this order; only the main window is shown.
            kaldo::TForm1 form1(env);
            auto* form3 = new kaldo::TForm3(form1.host(), &form1);
            auto* form4 = new kaldo::TForm4(form1.host(), &form1);
            auto* form5 = new kaldo::TForm5(form1.host(), &form1);
            form1.attachWindows(form3, form4, form5);
            QObject::connect(&form1, &kaldo::TForm1::closed, &app, &QCoreApplication::quit);
            form1.show();
            kaldo::UpdaterApplication::exec();
        } catch (const std::exception& e) {
            kaldo::UpdaterApplication::showError(QString::fromUtf8(e.what()));
        }
    } catch (...) {
        // Not even the application object could be made: nothing to show an error in.
    }
    return 0;
}
