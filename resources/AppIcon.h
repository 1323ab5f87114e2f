#pragma once
// The program's icon (a knob in its ring of lamps, drawn by tools/make-artwork), compiled in at every
// size a window frame, task bar or switcher asks for; set once on the application, it marks the main
// window and every dialog.
#include <QIcon>

namespace kaldo {

QIcon applicationIcon();

}  // namespace kaldo
