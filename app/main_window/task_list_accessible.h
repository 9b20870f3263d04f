// The task list as a screen reader meets it: a list named "Tasks" whose entries say their state
// and title, e.g. "done 2024-05-02: Pay rent".
#pragma once

#include <windows.h>

// Call before the list's key filter replaces its window procedure.
bool AttachTaskListAccessible(HWND list);
