#include "DiagnosticsWindow.h"

#include <QFontDatabase>
#include <QGridLayout>

namespace kaldo {

namespace {
const char* const kLegend =
    "Each line is a message received, in hex; a revision the amp reported (such as 02.83); a count of menu "
    "items or MIDI devices; or 0007 when devices came or went. In the amp's answers (F0 00 00 5A ... F7) the "
    "seventh byte says: 7B ready, 7C packet accepted, 74 packet error, 7D verified, 7A verify failed, "
    "71 programmed. F0 7E ... is its identity reply.";
}  // namespace

DiagnosticsWindow::DiagnosticsWindow(QWidget* owner, const QString& logPath) : QWidget(owner, Qt::Window) {
    setWindowTitle("Diagnostics");
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Label4 = new QLabel("?", this);
    Label5 = new QLabel("?", this);
    Button4 = new QPushButton("MidiOutGetNumDevs Test", this);
    Button9 = new QPushButton("MidiInGetNumDevs Test", this);
    logFile = new QLabel("Log file: " + logPath, this);
    logFile->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    logFile->setWordWrap(true);
    legend = new QLabel(kLegend, this);
    legend->setWordWrap(true);
    auto* grid = new QGridLayout(this);
    grid->addWidget(legend, 0, 0, 1, 2);
    grid->addWidget(Memo1, 1, 0, 1, 2);
    grid->addWidget(logFile, 2, 0, 1, 2);
    grid->addWidget(Button4, 3, 0);
    grid->addWidget(Label4, 3, 1);
    grid->addWidget(Button9, 4, 0);
    grid->addWidget(Label5, 4, 1);
    resize(520, 420);
}

void DiagnosticsWindow::showLines(const QStringList& lines) {
    Memo1->setPlainText(lines.join('\n'));
    Memo1->moveCursor(QTextCursor::End);  // the newest line in view
}

}  // namespace kaldo
