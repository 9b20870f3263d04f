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

// Carries out the command; false when the identifier is not one of ours.
bool RunCommand(HWND window, CommandState& commands, int id, int notification);

// True when a command is running: the main window's close then waits until it has returned.
bool DeferCloseWhileCommandRuns(CommandState& commands);

void CmdAddTask(HWND window);
void CmdEditSelected(HWND window);
void CmdRemoveSelected(HWND window);
void CmdRemoveAll(HWND window);
void CmdMarkDone(HWND window);
void CmdMoveUp(HWND window);
void CmdMoveDown(HWND window);
void CmdRebuildOverlays(HWND window);
void CmdClearUnreferenced(HWND window);
void CmdRecoverTasks(HWND window);
void CmdAbout(HWND window);
void CmdExit(HWND window);
