// The task editor: adds a task (add mode) or changes one (edit mode), as the request it is
// opened with says, and reports back in that request.
#pragma once

#include <windows.h>

#include "tasks/task_list.h"

struct EditorRequest {
    TaskList* tasks = nullptr;  // the item's list the task is saved to
    bool addMode = true;
    // Edit mode: the task as it was when the editor opened. After a save it holds what was
    // written; the list's entry for it is found by its row, never kept across the editor.
    TaskRecord task;
    // Set by the editor when a save failed, or when the list could not take the change: the
    // list is to be read again once the editor has closed.
    bool listStale = false;
    // Set by the editor when a save may have changed the item's completion state.
    bool statusChanged = false;
};

// Runs the editor modally over `owner` until it closes.
void RunEditor(HWND owner, EditorRequest& request);
