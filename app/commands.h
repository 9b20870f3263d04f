// The main window's commands: one function each, grouped by feature in commands_tasks.cpp
// (the task list), commands_data.cpp (the database and the status file as a whole) and
// recover_dialog.cpp (task lists whose item is gone).
#pragma once

#include <windows.h>

// Carries out the command; false when the identifier is not one of ours.
bool RunCommand(HWND window, int id, int notification);

// True when a command is running: the main window's close then waits until it has returned.
bool DeferCloseWhileCommandRuns();

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
