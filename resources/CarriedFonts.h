#pragma once
// The fonts the main window is designed in (DejaVu Sans, DejaVu Sans Condensed Bold), for systems that
// lack them: a Windows build carries them in its resources (CMake decides), and the program adds them
// at start, before any window exists. Without them the window falls back to the system's font, and the
// note under the front panel runs past its edge. A build for a system that has them carries none.
namespace kaldo {

// Adds every carried font to the application's fonts.
void addCarriedFonts();

}  // namespace kaldo
