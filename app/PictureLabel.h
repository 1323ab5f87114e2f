#pragma once
// A label or picture that reports the mouse going down and up on it (the cancel button and its text).
#include <QLabel>

namespace kaldo {

class PictureLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void mouseDown();
    void mouseUp();

protected:
    void mousePressEvent(QMouseEvent*) override { emit mouseDown(); }
    void mouseReleaseEvent(QMouseEvent*) override { emit mouseUp(); }
};

}  // namespace kaldo
