// The main window: a modal dialog holding the owner-drawn task list, the menu bar and the
// right-click menu. Start-up runs it; the program ends when it ends.
#pragma once

#include <windows.h>

// Runs the main window until it closes; it keeps its state for that long.
void RunMainWindow();

// Has the empty list's hint of the main window `window` ask again whether the item's folder offers
// lists to recover.
void ForgetRecoveryOffer(HWND window);
