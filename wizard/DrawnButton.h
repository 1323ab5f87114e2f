#pragma once
// The keyboard side of the drawn buttons (NEXT, TEST, OK and the main window's cancel knob): pictures
// that answer the mouse, so they get the focus ring and the keys of a real button here. Space works
// them as a mouse click does, down on press and up on release; Enter clicks at once.
#include <QKeyEvent>
#include <QWidget>
#include <functional>

namespace kaldo::drawn {

// Handles a key press or release on a drawn button by calling down and up as the mouse would.
// Returns false for any other key, which the widget then passes on.
bool handleKey(QKeyEvent* event, const std::function<void()>& down, const std::function<void()>& up);

// Draws the round focus ring inside widget; called from its paintEvent while it shows the focus.
void paintFocusRing(QWidget* widget);

// The focus ring of a drawn button whose focus-taking part is smaller than its picture (the cancel
// knob's "Push to Cancel" text, which a ring of its own would cover): a round ring at `around`, in
// the target's parent, shown while the target has the focus. Mouse clicks go through it.
class FocusRing : public QWidget {
public:
    FocusRing(QWidget* target, const QRect& around);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kaldo::drawn
