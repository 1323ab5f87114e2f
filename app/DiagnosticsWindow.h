#pragma once
// The diagnostic controls of the main window, where a user can find them: the receive log Memo1, the
// device-count labels Label4 and Label5 with their test buttons Button4 and Button9. Opened from
// "&Midi" / "Diagnostics"; every line of the log is also written to a log file in the per-user folder,
// whose path the window shows with a line that explains what the log's lines mean.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <string>

namespace kaldo {

class DiagnosticsWindow : public QWidget {
    Q_OBJECT

public:
    DiagnosticsWindow(QWidget* owner, const QString& logPath);

    QPlainTextEdit* Memo1;
    QLabel* Label4;
    QLabel* Label5;
    QPushButton* Button4;
    QPushButton* Button9;
    QLabel* logFile;  // where the log is copied
    QLabel* legend;   // what its lines mean

    // Shows the log as the engine now holds it.
    void showLines(const QStringList& lines);
};

}  // namespace kaldo
