#pragma once
// A copy of the diagnostic log in a file of the per-user data folder (kaldo-updater.log), so that a
// user can send it along when asking for help. Each run starts with a dated line.
#include <QFile>
#include <QString>

namespace kaldo {

class RunLog {
public:
    RunLog();
    QString path() const { return file_.fileName(); }
    void append(const QString& line);

private:
    QFile file_;
};

}  // namespace kaldo
