#pragma once
// The message and confirmation dialog, for now a plain modal dialog in its three uses: a message, a
// question with a check box, and the choice of ports from the main window's device menus.
#include <QDialog>
#include <QMenu>
#include <QString>

namespace kaldo {

class TForm5 : public QDialog {
    Q_OBJECT

public:
    explicit TForm5(QWidget* owner);

    void showMessage(const QString& text);
    // Returns whether the check box was ticked when the user pressed OK.
    bool askQuestion(const QString& text);
    // Lets the user pick an entry of each device menu and clicks the chosen items; with confirm the
    // dialog reads as the confirmation after an upload.
    void choosePorts(const QString& text, bool confirm, QMenu* out, QMenu* in);
};

}  // namespace kaldo
