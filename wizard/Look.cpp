#include "Look.h"

#include <QIcon>

#include "StandInArt.h"

namespace kaldo::look {

QLabel* picture(QWidget* parent, const QPixmap& pixmap, int left, int top) {
    auto* label = new QLabel(parent);
    label->setPixmap(pixmap);
    label->setGeometry(left, top, pixmap.width(), pixmap.height());
    return label;
}

QLabel* caption(QWidget* parent, const QString& text, const QRect& geometry, int pixelSize, bool bold) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setBold(bold);
    font.setPixelSize(pixelSize);
    label->setFont(font);
    label->setStyleSheet("color: white; background: transparent;");
    return label;
}

QToolButton* closeButton(QWidget* parent, const QRect& geometry) {
    auto* button = new QToolButton(parent);
    button->setGeometry(geometry);
    button->setIcon(QIcon(art::closeGlyph(geometry.width())));
    button->setIconSize(geometry.size());
    button->setAutoRaise(true);
    button->setStyleSheet("border: none; background: transparent;");
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

void centreOver(QWidget* window, const QWidget* mainWindow) {
    if (mainWindow) window->move(mainWindow->geometry().center() - window->rect().center());
}

}  // namespace kaldo::look
