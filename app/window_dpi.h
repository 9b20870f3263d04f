// What the system says about the display a window is on: its density and whether a
// high-contrast scheme is on. The functions that tell a window's own density are newer than
// Windows 7, so they are looked up at run time and older systems answer with the system-wide
// density instead.
#pragma once

#include <windows.h>

#include "app/ui/window_geometry.h"

// The density of the display `window` is on (96 for 100%, 144 for 150%, ...); a value the
// system reports as 0 or absurd counts as 96.
int WindowDpi(HWND window);

// True while the user has a high-contrast scheme on; the entries are then drawn in the
// scheme's colours rather than the designed ones.
bool HighContrastOn();

// Puts `window` at `size`, centred on the screen, and then wholly inside the work area of the
// monitor it is on (see FitInWorkArea).
void PlaceOnScreen(HWND window, Size size);

// Keeps a window where it is, unless it reaches outside its monitor's work area: then it is
// moved in, and cut down if it is larger.
void KeepInWorkArea(HWND window);
