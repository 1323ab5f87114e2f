#include "UpdaterApplication.h"

#include <QMessageBox>
#include <exception>

namespace kaldo {

UpdaterApplication::UpdaterApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // Named, but without a display name: the window system would append it to every window title,
    // which must read exactly as designed ("Kaldo Updater v2.83", "Welcome!").
    setApplicationName("KaldoUpdater");
    // The main window decides when the program ends: after its close handler has run, which waits
    // for a running upload to stop first.
    setQuitOnLastWindowClosed(false);
}

bool UpdaterApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError("Unknown error");
    }
    return false;
}

void UpdaterApplication::showError(const QString& text) {
    QMessageBox::critical(nullptr, applicationName(), text);
}

}  // namespace kaldo
