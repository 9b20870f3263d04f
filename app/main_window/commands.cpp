#include "app/main_window/commands.h"

#include "app/main_window/main_window.h"

#include "app/resource.h"

namespace {

using Command = void (*)(MainWindowState& state, HWND window);

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
        case IDM_TASKS_BELOW:
            return &CmdTasksBelow;
        default:
            // Escape (IDCANCEL) and anything else: not ours.
            return nullptr;
    }
}

}  // namespace

bool DeferCloseWhileCommandRuns(CommandState& commands) {
    if (!commands.running) return false;
    commands.closeDeferred = true;
    return true;
}

bool RunCommand(HWND window, MainWindowState& state, int id, int notification) {
    CommandState& commands = state.commands;
    const Command command = CommandFor(id, notification);
    if (command == nullptr) return false;
    if (commands.running) return true;
    commands.running = true;
    command(state, window);
    commands.running = false;
    if (commands.closeDeferred) {
        commands.closeDeferred = false;
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return true;
}
