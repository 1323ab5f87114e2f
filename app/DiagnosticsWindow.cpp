#include "DiagnosticsWindow.h"

#include <QFontDatabase>
#include <QGridLayout>

namespace kaldo {

DiagnosticsWindow::DiagnosticsWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setWindowTitle("Diagnostics");
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Label4 = new QLabel("?", this);
    Label5 = new QLabel("?", this);
    Button4 = new QPushButton("MidiOutGetNumDevs Test", this);
    Button9 = new QPushButton("MidiInGetNumDevs Test", this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(Memo1, 0, 0, 1, 2);
    grid->addWidget(Button4, 1, 0);
    grid->addWidget(Label4, 1, 1);
    grid->addWidget(Button9, 2, 0);
    grid->addWidget(Label5, 2, 1);
    resize(520, 360);
}

void DiagnosticsWindow::showLines(const QStringList& lines) {
    Memo1->setPlainText(lines.join('\n'));
    Memo1->moveCursor(QTextCursor::End);  // the newest line in view
}

}  // namespace kaldo
