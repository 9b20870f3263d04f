// The program-wide state of one run: set up by start-up, read by the main window, its commands
// and the editor. Everything runs on the one user-interface thread, so nothing here is locked.
#pragma once

#include <windows.h>

#include <string>

#include "app/win_handles.h"
#include "store/task_store.h"

struct AppState {
    HINSTANCE instance = nullptr;
    TaskStore store;                // the one connection; store.table is the item's table
    std::u16string folderName;      // the second argument, unchanged
    std::string folderKey;          // 32 hexadecimal digits of the folder name
    std::u16string statusFilePath;  // "pelmora.ini" beside the database
    std::u16string settingsPath;    // "config.ini" in the data folder; empty when unknown
    UniqueHIcon icon;
    // Set when the folder's completion state may differ from what the status file holds; only
    // ever set during a run, and read at exit.
    bool statusChanged = false;

    // Inputs of the editor, set just before it opens.
    bool editorAddMode = true;
    TaskRecord* currentTask = nullptr;
    // Set by the editor when a save failed: the list is read again once it has closed.
    bool editFailed = false;
};

extern AppState gApp;

// Bridges between the core's UTF-16 strings and the wide-character API (wchar_t is 16 bits on
// Windows).
inline const wchar_t* WidePtr(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string FromWide(const wchar_t* text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

// The whole text of a window or control, of any length.
std::u16string WindowText(HWND window);

// A message box owned by `owner` with an OK button (or the buttons in `type`).
int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// Told when an operation fails because another program holds the database: nothing is wrong
// with the file (deleting it, as the message for a damaged file advises, would lose every item's
// tasks), and trying again later will do. The first is for the start, the second for a change.
constexpr wchar_t kTaskListInUse[] =
    L"Cannot open the task list: pelmora.db is in use by another program.\n\nPlease try again in "
    L"a moment.";
constexpr wchar_t kDatabaseInUse[] =
    L"The change was not saved: pelmora.db is in use by another program.\n\nPlease try again in "
    L"a moment.";

// Reports a failed store operation with the error icon: `text` under `caption`, or
// kDatabaseInUse when the file was only busy.
void ShowStoreError(HWND owner, const wchar_t* text, const wchar_t* caption);
