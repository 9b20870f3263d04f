// The main window: a modal dialog holding the owner-drawn task list, the menu bar and the
// right-click menu. Start-up runs it; the program ends when it ends.
#pragma once

#include <windows.h>

// Runs the main window until it closes; it keeps its state for that long. True when a change
// made in it may have changed the item's completion state.
bool RunMainWindow();

// Notes that the item's completion state may now differ from what the status file holds.
void MarkStatusChanged(HWND window);

// Has the empty list's hint of the main window `window` ask again whether the item's folder offers
// lists to recover.
void ForgetRecoveryOffer(HWND window);
