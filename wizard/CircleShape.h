#pragma once
// A round shape of the wizard and dialog windows: either a transparent hit area over a drawn
// button's pictures (it only feels clicks inside its circle, and a disabled one feels none; it takes
// the keyboard focus, shows a ring then, and Space and Enter work it as the mouse does), or a filled
// marker dot.
#include <QColor>
#include <QWidget>

namespace kaldo {

class CircleShape : public QWidget {
    Q_OBJECT
public:
    // A transparent fill makes a hit area; an opaque one a visible dot.
    explicit CircleShape(QWidget* parent, QColor fill = Qt::transparent);

signals:
    void mouseDown(Qt::MouseButton button);
    void mouseUp(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool pressedByKey(QKeyEvent* event);

    QColor fill_;
};

}  // namespace kaldo
