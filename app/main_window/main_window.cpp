#include "app/main_window/main_window.h"

#include <windowsx.h>

#include <memory>

#include "app/app_state.h"
#include "app/dialogs/dialog_box.h"
#include "app/dialogs/messages.h"
#include "app/main_window/commands.h"
#include "app/main_window/empty_list_hint.h"
#include "app/main_window/task_list.h"
#include "app/main_window/task_list_accessible.h"
#include "app/main_window/task_list_draw.h"
#include "app/resource.h"
#include "app/settings.h"
#include "app/text_util.h"
#include "app/ui/menu_keys.h"
#include "app/ui/window_geometry.h"
#include "app/user_texts.h"
#include "app/window_dpi.h"
#include "text/text_encoding.h"
#include "win/window_proc.h"

namespace {

MainWindowState* StateOf(HWND window) {
    return reinterpret_cast<MainWindowState*>(GetWindowLongPtrW(window, DWLP_USER));
}

// The keyboard's two ways to the right-click menu, Shift+F10 and the menu key: the menu opens
// when the key goes down, and both the press and the release are kept from the list, so the
// system neither opens the menu a second time nor enters the menu bar on F10's release.
bool IsContextMenuKey(UINT message, WPARAM key) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
            return key == VK_APPS;
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            return key == VK_F10 && GetKeyState(VK_SHIFT) < 0;
        default:
            return false;
    }
}

// The first key (or the system's word that cues are now shown) brings the focus rectangle.
void ShowFocusCues(MainWindowState& state, HWND list) {
    if (state.focusCues) return;
    state.focusCues = true;
    InvalidateRect(list, nullptr, FALSE);
}

// The list's keys that are commands of the window: Insert (with any modifier) adds a task,
// Shift with Up or Down moves the selected one. They never reach the list itself; plain arrows
// do, so they still move the selection. Shift+F10 and the menu key open the right-click menu.

LRESULT CALLBACK TaskListFilter(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    // The list is filtered only while the main window's state is set (from WM_INITDIALOG until
    // the list is destroyed), so it is always found.
    MainWindowState& state = *StateOf(GetParent(list));
    const WNDPROC listProc = state.listProc;
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN ||
        (message == WM_UPDATEUISTATE && LOWORD(wParam) == UIS_CLEAR &&
         (HIWORD(wParam) & UISF_HIDEFOCUS) != 0)) {
        ShowFocusCues(state, list);
    }
    if (IsContextMenuKey(message, wParam)) {
        if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
            SendMessageW(GetParent(list), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list),
                         MAKELPARAM(-1, -1));
        }
        return 0;
    }
    if (message == WM_KEYDOWN) {
        const bool shift = GetKeyState(VK_SHIFT) < 0;
        int command = 0;
        if (wParam == VK_INSERT) command = IDM_ADD_TASK;
        if (wParam == 'R' && GetKeyState(VK_CONTROL) < 0) command = IDM_RECOVER_TASKS;
        if (wParam == VK_UP && shift) command = IDM_INCREASE_PRIORITY;
        if (wParam == VK_DOWN && shift) command = IDM_DECREASE_PRIORITY;
        if (command != 0) {
            SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(command, 0), 0);
            return 0;
        }
    } else if (message == WM_DESTROY) {
        // Put back while the list still has its parent, and so the state: Wine takes a window
        // from its parent before its WM_NCDESTROY.
        UnchainWindowProc(list, listProc);
        state.listProc = nullptr;
    }
    LRESULT hinted = 0;
    if (FilterEmptyListHint(list, listProc, message, wParam, lParam,
                            state.resources.listBackground.get(), state.tasks.Table(),
                            state.recoveryOffer, hinted)) {
        return hinted;
    }
    return CallWindowProcW(listProc, list, message, wParam, lParam);
}

// The menu bar's texts in the chosen language: the menus by their place, the items by their
// command.
void TranslateMenu(HMENU bar) {
    static constexpr TextId kMenus[] = {TextId::kMenuFile, TextId::kMenuEdit, TextId::kMenuHelp};
    static constexpr ControlText kItems[] = {
        {IDM_ADD_TASK, TextId::kMenuAddTask},
        {IDM_RECOVER_TASKS, TextId::kMenuRecoverTasks},
        {IDM_TASKS_BELOW, TextId::kMenuTasksBelow},
        {IDM_CLEAR_UNREFERENCED, TextId::kMenuClearUnreferenced},
        {IDM_REBUILD_OVERLAYS, TextId::kMenuRebuildOverlays},
        {IDM_EXIT, TextId::kMenuExit},
        {IDM_EDIT_SELECTED, TextId::kMenuEditSelected},
        {IDM_REMOVE_SELECTED, TextId::kMenuRemoveSelected},
        {IDM_REMOVE_ALL, TextId::kMenuRemoveAll},
        {IDM_MARK_DONE, TextId::kMarkAsDone},
        {IDM_INCREASE_PRIORITY, TextId::kMenuIncreasePriority},
        {IDM_DECREASE_PRIORITY, TextId::kMenuDecreasePriority},
        {IDM_ABOUT, TextId::kMenuAbout},
    };
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    for (UINT place = 0; place < sizeof kMenus / sizeof kMenus[0]; ++place) {
        info.dwTypeData = const_cast<wchar_t*>(UiText(kMenus[place]));
        SetMenuItemInfoW(bar, place, TRUE, &info);
    }
    for (const ControlText& item : kItems) {
        info.dwTypeData = const_cast<wchar_t*>(UiText(item.text));
        SetMenuItemInfoW(bar, static_cast<UINT>(item.control), FALSE, &info);
    }
}

// Makes the brushes and fonts for `dpi` and the current colour scheme, and gives the list the
// entry height for that density.
void PrepareDrawing(MainWindowState& state, int dpi) {
    state.resources = CreateDrawingResources(dpi, HighContrastOn());
    if (state.list != nullptr) {
        SendMessageW(state.list, LB_SETITEMHEIGHT, 0, TaskEntryHeight(state.resources.dpi));
    }
}

BOOL OnInitDialog(HWND window, MainWindowState& state) {
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    SetClassLongPtrW(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(gApp.icon.get()));
    const int dpi = WindowDpi(window);
    state.resources = CreateDrawingResources(dpi, HighContrastOn());

    const std::u16string caption = FormatText(TextId::kMainCaption, {gApp.folderName});
    SetWindowTextW(window, WidePtr(caption));

    state.menuBar.reset(LoadMenuW(gApp.instance, MAKEINTRESOURCEW(IDR_MAIN_MENU)));
    TranslateMenu(state.menuBar.get());
    SetMenu(window, state.menuBar.get());
    state.contextMenu.reset(CreatePopupMenu());
    InsertMenuW(state.contextMenu.get(), 0, MF_BYPOSITION | MF_STRING, IDM_CONTEXT_MARK_DONE,
                UiText(TextId::kMarkAsDone));

    state.list = GetDlgItem(window, IDC_TASKLIST);
    state.focusCues = false;
    AttachTaskListAccessible(state.list);
    state.listProc = ChainWindowProc(state.list, &TaskListFilter);

    // The settings file keeps 96-DPI sizes; a stored size below the minimum is used as it is,
    // one no window could have counts as absent, and the window always opens on screen.
    const Size stored{ReadSetting(kMainWidthKey, kMainWindowSize.width),
                      ReadSetting(kMainHeightKey, kMainWindowSize.height)};
    PlaceOnScreen(window, ScaleSize(SaneStoredSize(stored, kMainWindowSize), dpi));
    ShowWindow(window, SW_SHOW);
    // The menu bar took its height from the client area. When the window already had the
    // stored size no WM_SIZE follows, and the list would reach under the bottom frame.
    RECT client;
    GetClientRect(window, &client);
    MoveWindow(state.list, 0, 0, client.right, client.bottom, FALSE);

    if (const StoreFailure failure = LoadTaskList(state.list, state.tasks.Table());
        !Succeeded(failure)) {
        ShowLoadError(window, failure, UiText(TextId::kCannotReadTaskList), state.tasks.Table());
        SendMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Asked while the dialog creates the list, before the drawing resources exist.
void OnMeasureItem(HWND window, MEASUREITEMSTRUCT* measure) {
    measure->itemHeight = static_cast<UINT>(TaskEntryHeight(WindowDpi(window)));
}

void OnDrawItem(const MainWindowState& state, const DRAWITEMSTRUCT* draw) {
    if (draw->CtlID != IDC_TASKLIST || draw->itemID == static_cast<UINT>(-1)) return;
    const auto* record = reinterpret_cast<const TaskRecord*>(draw->itemData);
    if (record == nullptr) return;
    TaskEntryState entry;
    entry.index = static_cast<int>(draw->itemID);
    entry.selected = (draw->itemState & ODS_SELECTED) != 0;
    entry.isLast = entry.index == EntryCount(draw->hwndItem) - 1;
    // Every action, a focus change too, draws the whole entry, so the focus rectangle below is
    // drawn once on a fresh card and never left behind.
    DrawTaskEntry(draw->hDC, draw->rcItem, *record, entry, state.resources);
    // The caret entry of a focused list, unless focus cues are hidden (a mouse user who has not
    // touched the keyboard). Inside the outline, in every colour scheme.
    if ((draw->itemState & ODS_FOCUS) != 0 && (draw->itemState & ODS_NOFOCUSRECT) == 0 &&
        state.focusCues) {
        RECT focus = draw->rcItem;
        const int inset = ScaleForDpi(2, state.resources.dpi);
        InflateRect(&focus, -inset, -inset);
        DrawFocusRect(draw->hDC, &focus);
    }
}

void OnDeleteItem(HWND, const DELETEITEMSTRUCT* item) {
    if (item->CtlID == IDC_TASKLIST) ReleaseEntryRecord(*item);
}

HBRUSH OnCtlColorListbox(const MainWindowState& state, HDC dc) {
    // The list fills some areas with the text background colour rather than the brush (an
    // empty list that has the focus, for one); keep those the list's colour.
    SetBkColor(dc, state.resources.listColour);
    return state.resources.listBackground.get();
}

void OnSize(const MainWindowState& state, HWND window, int width, int height) {
    if (state.list != nullptr) MoveWindow(state.list, 0, 0, width, height, TRUE);
    // The entries are laid out from the list's width ("Done" and the ellipsis sit at its right
    // edge), so the list is redrawn with the window.
    RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void OnSizing(const MainWindowState& state, RECT* proposed) {
    Box box{proposed->left, proposed->top, proposed->right, proposed->bottom};
    if (KeepMinimumSize(box, ScaleSize(kMainWindowSize, state.resources.dpi))) {
        proposed->right = box.right;
        proposed->bottom = box.bottom;
    }
}

// -2 tells the list that Delete was handled here; -1 lets it do its default for other keys.
int OnVkeyToItem(const MainWindowState& state, HWND window, UINT key, HWND list) {
    if (key == VK_DELETE && list == state.list) {
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_REMOVE_SELECTED, 0), 0);
        return -2;
    }
    return -1;
}

void OnContextMenu(MainWindowState& state, HWND window, HWND target, int x, int y) {
    if (target != state.list || EntryCount(state.list) == 0) return;
    POINT screen{x, y};
    int index = -1;
    if (x == -1 && y == -1) {
        // The keyboard's menu key brings no point: offer the menu under the selected entry,
        // scrolled into view, or at the top of the list when none is selected.
        const auto selected = SelectedIndex(state.list);
        RECT entry{};
        if (selected) {
            SelectEntry(state.list, *selected);
            SendMessageW(state.list, LB_GETITEMRECT, static_cast<WPARAM>(*selected),
                         reinterpret_cast<LPARAM>(&entry));
        }
        screen = POINT{entry.left + ScaleForDpi(10, state.resources.dpi),
                       selected ? entry.bottom : ScaleForDpi(10, state.resources.dpi)};
        ClientToScreen(state.list, &screen);
        index = selected.value_or(-1);
    } else {
        POINT client = screen;
        ScreenToClient(state.list, &client);
        const LRESULT hit =
            SendMessageW(state.list, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
        // The high word is set when the point lies below the last entry.
        if (HIWORD(hit) != 0) return;
        index = LOWORD(hit);
        if (index >= EntryCount(state.list)) return;
    }
    if (index >= 0) SelectEntry(state.list, index);
    // With nothing selected there is nothing to mark: the item says so rather than do nothing.
    EnableMenuItem(state.contextMenu.get(), IDM_CONTEXT_MARK_DONE,
                   MF_BYCOMMAND | (index >= 0 ? MF_ENABLED : MF_GRAYED));
    const int chosen = TrackPopupMenu(
        state.contextMenu.get(),
        // A mirrored window's menu opens leftwards from the point and reads right to left.
        (RightToLeftLanguage() ? TPM_RIGHTALIGN | TPM_LAYOUTRTL : TPM_LEFTALIGN) | TPM_TOPALIGN |
            TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
        screen.x, screen.y, 0, window, nullptr);
    if (chosen == IDM_CONTEXT_MARK_DONE) {
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_MARK_DONE, 0), 0);
    }
}

// The window moved to a display of another density: fonts and entry height for the new one, and
// the size and place the system suggests, which keep the window's look on the new display.
void OnDpiChanged(MainWindowState& state, HWND window, int dpi, const RECT* suggested) {
    PrepareDrawing(state, dpi);
    if (suggested != nullptr) {
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// A high-contrast scheme was turned on or off, or the system colours changed.
void OnColoursChanged(MainWindowState& state, HWND window) {
    PrepareDrawing(state, state.resources.dpi);
    RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void OnClose(MainWindowState& state, HWND window) {
    if (DeferCloseWhileCommandRuns(state.commands)) return;
    RECT outer{};
    GetWindowRect(window, &outer);
    const Size stored =
        UnscaleSize(Size{outer.right - outer.left, outer.bottom - outer.top}, state.resources.dpi);
    WriteSetting(kMainWidthKey, stored.width);
    WriteSetting(kMainHeightKey, stored.height);
    ShowWindow(window, SW_HIDE);
    RemoveAllEntries(state.list);
    EndDialog(window, 1);
    SetMenu(window, nullptr);
    state.menuBar.reset();
    state.contextMenu.reset();
    state.resources = DrawingResources();
}

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(window, *reinterpret_cast<MainWindowState*>(lParam));
        case WM_MEASUREITEM:
            OnMeasureItem(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DELETEITEM:
            OnDeleteItem(window, reinterpret_cast<const DELETEITEMSTRUCT*>(lParam));
            return TRUE;
        default:
            break;
    }
    // Nothing else needs answering before WM_INITDIALOG has set the state.
    MainWindowState* found = StateOf(window);
    if (found == nullptr) return FALSE;
    MainWindowState& state = *found;
    switch (message) {
        case WM_DRAWITEM:
            OnDrawItem(state, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORLISTBOX:
            return reinterpret_cast<INT_PTR>(
                OnCtlColorListbox(state, reinterpret_cast<HDC>(wParam)));
        case WM_SIZE:
            OnSize(state, window, LOWORD(lParam), HIWORD(lParam));
            return TRUE;
        case WM_SIZING:
            OnSizing(state, reinterpret_cast<RECT*>(lParam));
            return TRUE;
        case WM_VKEYTOITEM:
            return OnVkeyToItem(state, window, LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        case WM_CONTEXTMENU:
            OnContextMenu(state, window, reinterpret_cast<HWND>(wParam), GET_X_LPARAM(lParam),
                          GET_Y_LPARAM(lParam));
            return TRUE;
        case WM_MENUCHAR:
            SetWindowLongPtrW(window, DWLP_MSGRESULT,
                              FirstLetterMenuChar(static_cast<wchar_t>(LOWORD(wParam)),
                                                  reinterpret_cast<HMENU>(lParam)));
            return TRUE;
        case WM_COMMAND:
            return RunCommand(window, state, LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_DPICHANGED:
            OnDpiChanged(state, window, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return TRUE;
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            OnColoursChanged(state, window);
            return FALSE;
        case WM_CLOSE:
            OnClose(state, window);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool RunMainWindow(MainWindowState& state) {
    RunDialog(gApp.instance, IDD_MAIN, nullptr, MainWindowProc, reinterpret_cast<LPARAM>(&state));
    return state.statusChanged;
}

void ForgetRecoveryOffer(MainWindowState& state) {
    state.recoveryOffer.reset();
}
