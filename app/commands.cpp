#include "app/commands.h"

#include "app/resource.h"

namespace {

using Command = void (*)(HWND window);

Command CommandFor(int id, int notification) {
    // Enter arrives as IDOK; both it and a double click on the task list mean "edit the selected
    // task". The notification code alone says nothing: another control's codes share its value.
    if (id == IDOK || (id == IDC_TASKLIST && notification == LBN_DBLCLK)) return &CmdEditSelected;
    switch (id) {
        case IDM_ADD_TASK:
            return &CmdAddTask;
        case IDM_EXIT:
            return &CmdExit;
        case IDM_REMOVE_SELECTED:
            return &CmdRemoveSelected;
        case IDM_REMOVE_ALL:
            return &CmdRemoveAll;
        case IDM_MARK_DONE:
            return &CmdMarkDone;
        case IDM_ABOUT:
            return &CmdAbout;
        case IDM_EDIT_SELECTED:
            return &CmdEditSelected;
        case IDM_INCREASE_PRIORITY:
            return &CmdMoveUp;
        case IDM_DECREASE_PRIORITY:
            return &CmdMoveDown;
        case IDM_REBUILD_OVERLAYS:
            return &CmdRebuildOverlays;
        case IDM_CLEAR_UNREFERENCED:
            return &CmdClearUnreferenced;
        case IDM_RECOVER_TASKS:
            return &CmdRecoverTasks;
        default:
            // Escape (IDCANCEL) and anything else: not ours.
            return nullptr;
    }
}

// Set while a command runs. A command that shows a window (the editor, a question, a dialog)
// runs that window's message loop, and a command posted to the main window meanwhile (by
// another program, or queued before the window opened) would run inside it: a second editor
// over the first, or a list read again under a question about one of its entries. Such a
// command is dropped, as the disabled window drops a click.
bool gCommandRunning = false;
// A close that arrived while a command ran (sent by another program, or by the command itself):
// it is carried out once the command has returned, so that the list is never emptied under a
// command that still holds one of its entries.
bool gCloseDeferred = false;

}  // namespace

bool DeferCloseWhileCommandRuns() {
    if (!gCommandRunning) return false;
    gCloseDeferred = true;
    return true;
}

bool RunCommand(HWND window, int id, int notification) {
    const Command command = CommandFor(id, notification);
    if (command == nullptr) return false;
    if (gCommandRunning) return true;
    gCommandRunning = true;
    command(window);
    gCommandRunning = false;
    if (gCloseDeferred) {
        gCloseDeferred = false;
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return true;
}
