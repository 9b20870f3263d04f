#include "app/commands.h"

#include "app/resource.h"

namespace {
// The list's double-click notification; any command that carries it opens the editor.
constexpr int kDoubleClick = LBN_DBLCLK;
}  // namespace

bool RunCommand(HWND window, int id, int notification) {
    // Enter arrives as IDOK; both it and a double click mean "edit the selected task".
    if (id == IDOK || notification == kDoubleClick) {
        CmdEditSelected(window);
        return true;
    }
    switch (id) {
        case IDM_ADD_TASK:
            CmdAddTask(window);
            return true;
        case IDM_EXIT:
            CmdExit(window);
            return true;
        case IDM_REMOVE_SELECTED:
            CmdRemoveSelected(window);
            return true;
        case IDM_REMOVE_ALL:
            CmdRemoveAll(window);
            return true;
        case IDM_MARK_DONE:
            CmdMarkDone(window);
            return true;
        case IDM_ABOUT:
            CmdAbout(window);
            return true;
        case IDM_EDIT_SELECTED:
            CmdEditSelected(window);
            return true;
        case IDM_INCREASE_PRIORITY:
            CmdMoveUp(window);
            return true;
        case IDM_DECREASE_PRIORITY:
            CmdMoveDown(window);
            return true;
        case IDM_REBUILD_OVERLAYS:
            CmdRebuildOverlays(window);
            return true;
        case IDM_CLEAR_UNREFERENCED:
            CmdClearUnreferenced(window);
            return true;
        case IDM_RECOVER_TASKS:
            CmdRecoverTasks(window);
            return true;
        default:
            // Escape (IDCANCEL) and anything else: not ours.
            return false;
    }
}
