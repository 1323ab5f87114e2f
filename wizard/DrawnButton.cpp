#include "DrawnButton.h"

#include <QPainter>

namespace kaldo::drawn {

bool handleKey(QKeyEvent* event, const std::function<void()>& down, const std::function<void()>& up) {
    const int key = event->key();
    const bool space = key == Qt::Key_Space;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!space && !enter) return false;
    event->accept();
    // A held key repeats; the button is pressed once.
    if (event->isAutoRepeat()) return true;
    if (event->type() == QEvent::KeyPress) {
        down();
        if (enter) up();
    } else if (space) {
        up();
    }
    return true;
}

void paintFocusRing(QWidget* widget) {
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    // A light ring with a dark one inside it, so that it shows on the silver caps and on the dark
    // panel alike.
    const QRectF outer = QRectF(widget->rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const QRectF inner = outer.adjusted(2, 2, -2, -2);
    painter.setPen(QPen(QColor(255, 200, 40), 2));
    painter.drawEllipse(outer);
    painter.setPen(QPen(QColor(20, 20, 20), 2));
    painter.drawEllipse(inner);
}

FocusRing::FocusRing(QWidget* target, const QRect& around) : QWidget(target->parentWidget()) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setGeometry(around);
    hide();
    target->installEventFilter(this);
}

bool FocusRing::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        show();
        raise();
    } else if (event->type() == QEvent::FocusOut || event->type() == QEvent::Hide) {
        hide();
    }
    return false;
}

void FocusRing::paintEvent(QPaintEvent*) {
    paintFocusRing(this);
}

}  // namespace kaldo::drawn
