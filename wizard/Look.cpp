#include "Look.h"

#include <QIcon>
#include <QRegion>

#include "Pictures.h"

namespace kaldo::look {

QLabel* picture(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setPixmap(kaldo::picture(name));
    label->setScaledContents(true);
    label->setGeometry(geometry);
    return label;
}

QLabel* roundPicture(QWidget* parent, const QString& name, const QRect& geometry) {
    QLabel* label = picture(parent, name, geometry);
    label->setMask(QRegion(label->rect(), QRegion::Ellipse));
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
    const QIcon normal(kaldo::picture("close.jpg"));
    const QIcon pressed(kaldo::picture("close-pressed.jpg"));
    button->setIcon(normal);
    button->setIconSize(geometry.size());
    button->setStyleSheet("border: none; padding: 0; background: transparent;");
    button->setCursor(Qt::PointingHandCursor);
    QObject::connect(button, &QToolButton::pressed, button, [button, pressed] { button->setIcon(pressed); });
    QObject::connect(button, &QToolButton::released, button, [button, normal] { button->setIcon(normal); });
    return button;
}

void centreOver(QWidget* window, const QWidget* mainWindow) {
    if (mainWindow) window->move(mainWindow->geometry().center() - window->rect().center());
}

}  // namespace kaldo::look
