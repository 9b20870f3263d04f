// The main window's commands: one function each, grouped by feature in commands_tasks.cpp
// (the task list), commands_data.cpp (the database and the status file as a whole) and
// recover_dialog.cpp (task lists whose item is gone).
#pragma once

#include <windows.h>

// Kept by the main window: whether one of its commands is running, and a close waiting for it.
struct CommandState {
    // Set while a command runs. A command that shows a window (the editor, a question, a
    // dialog) runs that window's message loop, and a command posted to the main window meanwhile
    // (by another program, or queued before the window opened) would run inside it: a second
    // editor over the first, or a list read again under a question about one of its entries.
    // Such a command is dropped, as the disabled window drops a click.
    bool running = false;
    // A close that arrived while a command ran (sent by another program, or by the command
    // itself): it is carried out once the command has returned, so that the list is never
    // emptied under a command that still holds one of its entries.
    bool closeDeferred = false;
};

struct MainWindowState;

// Carries out the command on the main window `window` and its state; false when the identifier
// is not one of ours.
bool RunCommand(HWND window, MainWindowState& state, int id, int notification);

// True when a command is running: the main window's close then waits until it has returned.
bool DeferCloseWhileCommandRuns(CommandState& commands);

void CmdAddTask(MainWindowState& state, HWND window);
void CmdEditSelected(MainWindowState& state, HWND window);
void CmdRemoveSelected(MainWindowState& state, HWND window);
void CmdRemoveAll(MainWindowState& state, HWND window);
void CmdMarkDone(MainWindowState& state, HWND window);
void CmdMoveUp(MainWindowState& state, HWND window);
void CmdMoveDown(MainWindowState& state, HWND window);
void CmdRebuildOverlays(MainWindowState& state, HWND window);
void CmdClearUnreferenced(MainWindowState& state, HWND window);
void CmdRecoverTasks(MainWindowState& state, HWND window);
void CmdTasksBelow(MainWindowState& state, HWND window);
void CmdAbout(MainWindowState& state, HWND window);
void CmdExit(MainWindowState& state, HWND window);
