#pragma once
// The wizard's page text (Label1): in its designed box under the picture band, and kept clear of the
// NEXT and TEST buttons below it. A text too long for the room above them (the first stage's) grows
// upward into the free band instead of running over the buttons.
#include <QLabel>

namespace kaldo {

class PageText : public QLabel {
    Q_OBJECT
public:
    // designed: the box of the design; keepAbove: the y that the text must end above.
    PageText(QWidget* parent, const QString& text, const QRect& designed, int keepAbove);

    // Shows text, in the designed box when it fits above keepAbove, else moved up just enough.
    void setPage(const QString& text);

private:
    QRect designed_;
    int keepAbove_;
};

}  // namespace kaldo
