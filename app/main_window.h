// The main window: a modal dialog holding the owner-drawn task list, the menu bar and the
// right-click menu. Start-up runs it; the program ends when it ends.
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The light-grey brush of the list background, also used for the editor's fields. Null while
// the main window is not open.
HBRUSH ListBackgroundBrush();

// The task list of the main window that `dialog` belongs to (the main window or a dialog it
// owns).
HWND TaskListOf(HWND dialog);

// Shows the tasks as the database now holds them (after a change made outside the list). False
// when they could not be read; the list is then empty.
bool ReloadTaskList(HWND window);
