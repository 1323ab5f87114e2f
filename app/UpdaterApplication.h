#pragma once
// The application object: titled "KaldoUpdater"; an error that escapes an event handler is shown in
// the standard error box and the program goes on.
#include <QApplication>

namespace kaldo {

class UpdaterApplication : public QApplication {
    Q_OBJECT

public:
    UpdaterApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    static void showError(const QString& text);
};

}  // namespace kaldo
