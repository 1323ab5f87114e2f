#pragma once
// The question before an upload is stopped: leaving during one ("E&xit", the close box, the end of the
// desktop session) and its cancel button (the mouse, Space, Enter, Escape) first ask "Stop the
// upload?", since a stopped upload leaves the amp without working firmware. "Keep uploading" is the
// default and the answer to Escape, so a stray key never stops an upload.
#include <QObject>
#include <QPointer>
#include <functional>

class QMessageBox;
class QWidget;

namespace kaldo {

class StopQuestion : public QObject {
public:
    explicit StopQuestion(QWidget* window);

    // Opens the question window-modal over the window and returns: the upload goes on while it is
    // open. The answer runs stop or keep. Asked again while open, it comes to the front and the
    // later caller's answers take the place of the earlier one's (closing outranks cancelling).
    void ask(std::function<void()> stop, std::function<void()> keep = {});
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
    std::function<void()> keep_;
    QPointer<QMessageBox> box_;
};

}  // namespace kaldo
