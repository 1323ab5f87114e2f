#include "RunLog.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

namespace kaldo {

RunLog::RunLog() {
    // ~/.local/share/KaldoUpdater on Linux; on Windows %APPDATA%\KaldoUpdater, beside the settings
    // (the roaming folder, where AppLocalDataLocation would be the local one).
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    file_.setFileName(dir + "/kaldo-updater.log");
    // A log that cannot be written must not stop the program: append() then does nothing.
    if (file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        append("--- " + QDateTime::currentDateTime().toString(Qt::ISODate));
}

void RunLog::append(const QString& line) {
    if (!file_.isOpen()) return;
    file_.write(line.toUtf8() + '\n');
    file_.flush();
}

}  // namespace kaldo
