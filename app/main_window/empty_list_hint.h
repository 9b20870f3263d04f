// The one grey line an empty task list shows: how to add a task and, when the item's folder holds
// task lists whose item is gone, that one of them may be brought back with "Recover Tasks...".
// A list with entries is drawn as before.
#pragma once

#include <windows.h>

#include <optional>

#include "store/sqlite/task_table.h"

// Whether the item's folder offers lists to recover, kept by the main window: found out when the
// empty list is first drawn (it costs a folder listing), so a list with entries costs nothing.
// Emptied to have it asked again when the hint is next drawn.
using RecoveryOffer = std::optional<bool>;

// Takes the messages of the task list that concern the hint: paints the empty list, and redraws
// it whole when it becomes empty or stops being empty. `own` is the item's table, left out of
// the lists on offer. True (with `result` set) when the message
// was answered here.
bool FilterEmptyListHint(HWND list,
                         WNDPROC listProc,
                         UINT message,
                         WPARAM wParam,
                         LPARAM lParam,
                         HBRUSH background,
                         TaskTable& own,
                         RecoveryOffer& offer,
                         LRESULT& result);
