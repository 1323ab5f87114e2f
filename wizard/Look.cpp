#include "Look.h"

#include <algorithm>

#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QRegion>
#include <QScreen>

#include "Pictures.h"

namespace kaldo::look {

namespace {

// Enter or Space on a link label follows its link. (A label that lets the keyboard reach its links
// takes two Tab stops, itself unmarked and then the link.)
class LinkKeys : public QObject {
public:
    LinkKeys(QLabel* label, const QString& href) : QObject(label), label_(label), href_(href) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space) return false;
        emit label_->linkActivated(href_);
        return true;
    }

private:
    QLabel* label_;
    QString href_;
};

}  // namespace

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
    styleCaption(label, pixelSize, bold);
    return label;
}

void styleCaption(QLabel* label, int pixelSize, bool bold) {
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setBold(bold);
    font.setPixelSize(pixelSize);
    label->setFont(font);
    label->setStyleSheet("color: white; background: transparent;");
}

QLabel* link(QWidget* parent, const QString& text, const QString& href, const QRect& geometry,
             int pixelSize) {
    QLabel* label = caption(parent, QString("<a href=\"%1\" style=\"color: #f0d080\">%2</a>").arg(href, text),
                            geometry, pixelSize, false);
    label->setAlignment(Qt::AlignLeft);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    label->setFocusPolicy(Qt::TabFocus);
    // The frame is there, unseen, without the focus too, so that the text does not move under it.
    label->setStyleSheet("QLabel { border: 2px solid transparent; padding: 0 2px; }"
                         "QLabel:focus { border-color: rgb(255, 200, 40); }");
    label->resize(std::min(geometry.width(), label->sizeHint().width()), geometry.height());
    label->installEventFilter(new LinkKeys(label, href));
    return label;
}

QToolButton* closeButton(QWidget* parent, const QRect& geometry) {
    auto* button = new QToolButton(parent);
    button->setGeometry(geometry);
    const QIcon normal(kaldo::picture("close.jpg"));
    const QIcon pressed(kaldo::picture("close-pressed.jpg"));
    button->setIcon(normal);
    button->setIconSize(geometry.size());
    // Reached with Tab, it shows a ring in the drawn buttons' colour: Space on it closes the window.
    button->setStyleSheet("QToolButton { border: none; padding: 0; background: transparent; }"
                          "QToolButton:focus { border: 1px solid rgb(255, 200, 40); }");
    button->setCursor(Qt::PointingHandCursor);
    QObject::connect(button, &QToolButton::pressed, button, [button, pressed] { button->setIcon(pressed); });
    QObject::connect(button, &QToolButton::released, button, [button, normal] { button->setIcon(normal); });
    return button;
}

void centreOver(QWidget* window, const QWidget* mainWindow) {
    if (!mainWindow) return;
    const QRect frame(QPoint(), window->frameGeometry().size());
    moveOnScreen(window, mainWindow->frameGeometry().center() - frame.center());
}

QRect placeOnScreens(const QRect& wanted, const QList<QRect>& screens, const QRect& fallback) {
    const QRect* best = nullptr;
    int bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect shown = screen.intersected(wanted);
        const int area = shown.width() * shown.height();
        if (area > bestArea) {
            best = &screen;
            bestArea = area;
        }
    }
    QRect placed = wanted;
    if (!best) {
        placed.moveCenter(fallback.center());
        best = &fallback;
    }
    // Pushed in from the right and bottom first, so that a window larger than the screen keeps its
    // top left corner (and its title bar) in view.
    placed.moveRight(std::min(placed.right(), best->right()));
    placed.moveBottom(std::min(placed.bottom(), best->bottom()));
    placed.moveLeft(std::max(placed.left(), best->left()));
    placed.moveTop(std::max(placed.top(), best->top()));
    return placed;
}

void moveOnScreen(QWidget* window, const QPoint& topLeft) {
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (screens.isEmpty() || !primary) {
        window->move(topLeft);
        return;
    }
    const QRect frame(topLeft, window->frameGeometry().size());
    window->move(placeOnScreens(frame, screens, primary->availableGeometry()).topLeft());
}

}  // namespace kaldo::look
