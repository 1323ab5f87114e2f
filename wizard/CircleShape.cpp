#include "CircleShape.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

namespace kaldo {

CircleShape::CircleShape(QWidget* parent, QColor fill) : QWidget(parent), fill_(fill) {
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::PointingHandCursor);
}

void CircleShape::paintEvent(QPaintEvent*) {
    if (fill_.alpha() == 0) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill_);
    painter.drawEllipse(rect());
}

void CircleShape::resizeEvent(QResizeEvent*) { setMask(QRegion(rect(), QRegion::Ellipse)); }

void CircleShape::mousePressEvent(QMouseEvent* event) { emit mouseDown(event->button()); }

void CircleShape::mouseReleaseEvent(QMouseEvent* event) { emit mouseUp(event->button()); }

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
