// The main window: a modal dialog holding the owner-drawn task list, the menu bar and the
// right-click menu. Start-up runs it; the program ends when it ends.
#pragma once

#include <windows.h>

#include <string>

#include "app/main_window/commands.h"
#include "app/main_window/empty_list_hint.h"
#include "app/main_window/task_list_draw.h"
#include "tasks/task_list.h"
#include "win/unique_handle.h"

// What the main window holds while it is open; it reaches it through DWLP_USER from
// WM_INITDIALOG on, and its list through its parent. Its commands are given it.
struct MainWindowState {
    // The item's list on the window's own connection to the database, "tbl_" + folder key.
    explicit MainWindowState(std::string table) : tasks(TaskTable(store, std::move(table))) {}
    MainWindowState(const MainWindowState&) = delete;
    MainWindowState& operator=(const MainWindowState&) = delete;

    TaskStore store;
    TaskList tasks;  // on `store`
    HWND list = nullptr;
    WNDPROC listProc = nullptr;  // the list's own procedure, behind our key filter
    UniqueHMenu menuBar;
    UniqueHMenu contextMenu;
    DrawingResources resources;
    // Whether the caret entry shows its focus rectangle: from the first key in the list on, as
    // Windows shows keyboard cues once the keyboard is used. The list's own word (ODS_NOFOCUSRECT)
    // is honoured too, but not every system gives it, and a window opened by the mouse shows no
    // focus rectangle.
    bool focusCues = false;
    RecoveryOffer recoveryOffer;
    CommandState commands;
    // Set when the item's completion state may differ from what the status file holds.
    bool statusChanged = false;
};

// Runs the main window on `state` (its connection open) until it closes. True when a change made
// in it may have changed the item's completion state.
bool RunMainWindow(MainWindowState& state);

// Has the empty list's hint ask again whether the item's folder offers lists to recover.
void ForgetRecoveryOffer(MainWindowState& state);
