#pragma once
// The common look of the wizard and the dialogs: the program's pictures at their designed places,
// transparent white captions and links over the background, the borderless windows' close glyph, the centring
// over the main window, and every window kept wholly on a screen.
#include <QLabel>
#include <QList>
#include <QRect>
#include <QString>
#include <QToolButton>

namespace kaldo::look {

// A picture of the program's artwork ("button-next.jpg") filling geometry.
QLabel* picture(QWidget* parent, const QString& name, const QRect& geometry);
// A drawn round button's picture: the artwork is square, the window shows only its circle, so that
// the background's gradient is not cut by the square's corners.
QLabel* roundPicture(QWidget* parent, const QString& name, const QRect& geometry);
// Centred, word-wrapped caption in white; bold unless said otherwise.
QLabel* caption(QWidget* parent, const QString& text, const QRect& geometry, int pixelSize, bool bold = true);
// Gives label the captions' look.
void styleCaption(QLabel* label, int pixelSize, bool bold);
// A caption of one link in the drawn buttons' gold, worked from the keyboard as one Tab stop with a
// solid frame in the focus rings' gold while it has the focus: Enter or Space follows the link as a
// click does.
QLabel* link(QWidget* parent, const QString& text, const QString& href, const QRect& geometry, int pixelSize);
// The close glyph, with its pressed look while held.
QToolButton* closeButton(QWidget* parent, const QRect& geometry);
// Centres window over mainWindow, on the screen.
void centreOver(QWidget* window, const QWidget* mainWindow);

// Where a window whose frame would be `wanted` is wholly on one screen: unchanged when a screen
// holds it, moved into the screen that shows most of it, or centred in `fallback` when no screen
// shows any of it (a monitor since unplugged). `screens` are the screens' available areas.
QRect placeOnScreens(const QRect& wanted, const QList<QRect>& screens, const QRect& fallback);
// Moves window to topLeft, or to the nearest place wholly on a screen of this desktop.
void moveOnScreen(QWidget* window, const QPoint& topLeft);

}  // namespace kaldo::look
