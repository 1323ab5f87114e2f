#pragma once
// The closing question: leaving during an upload ("E&xit", the close box, the end of the desktop
// session) first asks "Stop the upload?", since a stopped upload leaves the amp without working
// firmware. "Keep uploading" is the default and the answer to Escape.
#include <QObject>
#include <QPointer>
#include <functional>

class QMessageBox;
class QWidget;

namespace kaldo {

class StopQuestion : public QObject {
public:
    // stop is run when the user answers Stop to the question ask() opened.
    StopQuestion(QWidget* window, std::function<void()> stop);

    // Opens the question window-modal over the window and returns: the upload goes on while it is
    // open. Asked again while open, it comes to the front.
    void ask();
    // Asks and waits for the answer (the session's end cannot wait for a window-modal box): true
    // when the answer is Stop. Closes an open ask() first.
    bool askAndWait();
    // Closes an open question as if kept uploading: the upload ended, or something else asks now.
    void dismiss();
    // The question ask() opened, while it is open.
    QMessageBox* box() const { return box_; }

private:
    QMessageBox* make();

    QWidget* window_;
    std::function<void()> stop_;
    QPointer<QMessageBox> box_;
};

}  // namespace kaldo
