#include "CircleShape.h"

#include <QMouseEvent>

#include "DrawnButton.h"
#include <QPainter>
#include <QRegion>

namespace kaldo {

CircleShape::CircleShape(QWidget* parent, QColor fill) : QWidget(parent), fill_(fill) {
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::PointingHandCursor);
    // A hit area is a button, reached with Tab; a marker dot is only shown.
    if (fill_.alpha() == 0) setFocusPolicy(Qt::TabFocus);
}

void CircleShape::paintEvent(QPaintEvent*) {
    if (fill_.alpha() == 0) {
        if (hasFocus()) drawn::paintFocusRing(this);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill_);
    painter.drawEllipse(rect());
}

void CircleShape::resizeEvent(QResizeEvent*) { setMask(QRegion(rect(), QRegion::Ellipse)); }

void CircleShape::mousePressEvent(QMouseEvent* event) { emit mouseDown(event->button()); }

void CircleShape::mouseReleaseEvent(QMouseEvent* event) { emit mouseUp(event->button()); }

bool CircleShape::pressedByKey(QKeyEvent* event) {
    return drawn::handleKey(
        event, [this] { emit mouseDown(Qt::LeftButton); }, [this] { emit mouseUp(Qt::LeftButton); });
}

void CircleShape::keyPressEvent(QKeyEvent* event) {
    if (!pressedByKey(event)) QWidget::keyPressEvent(event);
}

void CircleShape::keyReleaseEvent(QKeyEvent* event) {
    if (!pressedByKey(event)) QWidget::keyReleaseEvent(event);
}

// A pointing hand only where a click does something.
void CircleShape::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (isEnabled())
            setCursor(Qt::PointingHandCursor);
        else
            unsetCursor();
    }
    QWidget::changeEvent(event);
}

}  // namespace kaldo
