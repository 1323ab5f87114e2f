#pragma once
// A label or picture that reports the mouse going down and up on it (the cancel button and its text).
// Given the focus (the "Push to Cancel" text is), Space and Enter work it as the mouse does.
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
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    bool pressedByKey(QKeyEvent* event);
};

}  // namespace kaldo
