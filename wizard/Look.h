#pragma once
// The common look of the wizard and the dialogs: the program's pictures at their designed places,
// transparent white captions over the background, the borderless windows' close glyph, and the
// centring over the main window.
#include <QLabel>
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
// The close glyph, with its pressed look while held.
QToolButton* closeButton(QWidget* parent, const QRect& geometry);
void centreOver(QWidget* window, const QWidget* mainWindow);

}  // namespace kaldo::look
