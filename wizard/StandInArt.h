#pragma once
// The pictures of the wizard and the two dialogs, drawn in code at their designed sizes until the
// program's artwork replaces them.
#include <QPixmap>
#include <QString>

namespace kaldo::art {

// A window background (467 x 350 for the wizard, 280 x 210 for the dialogs).
QPixmap background(int width, int height);
// A round drawn button ("NEXT", "TEST", "OK") in its normal or pressed look.
QPixmap roundButton(int size, const QString& caption, bool pressed);
// The amp's front panel with the stompbox, amp and effect rings, 263 x 107, placed at 103, 20.
QPixmap frontPanel();
// The close glyph of a borderless window.
QPixmap closeGlyph(int size);

}  // namespace kaldo::art
