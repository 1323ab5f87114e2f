#pragma once
// The common look of the wizard and the dialogs: pictures, transparent white captions over the
// background, the borderless windows' close glyph, and the centring over the main window.
#include <QLabel>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QToolButton>

namespace kaldo::look {

QLabel* picture(QWidget* parent, const QPixmap& pixmap, int left, int top);
// Centred, word-wrapped caption in white; bold unless said otherwise.
QLabel* caption(QWidget* parent, const QString& text, const QRect& geometry, int pixelSize, bool bold = true);
QToolButton* closeButton(QWidget* parent, const QRect& geometry);
void centreOver(QWidget* window, const QWidget* mainWindow);

}  // namespace kaldo::look
