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

// Replaces the list's entries with what the database holds now, keeping the selected position.
// Used after a failed write, so the list never shows a change the file does not hold. False
// (and the entries left as they are) when the tasks cannot be read.
[[nodiscard]] bool ReloadTaskList(HWND list);
