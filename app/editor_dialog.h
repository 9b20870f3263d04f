// The task editor: adds a task (add mode) or changes the current task in place (edit mode), as
// the main window set up in the program-wide state just before opening it.
#pragma once

#include <windows.h>

void RunEditor(HWND owner);
