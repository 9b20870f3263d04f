// Every message box the program shows. Each kind has its caption and icon fixed here, once; the
// callers only choose the kind and the text. All boxes are modal to `owner` (null at start-up,
// before there is a window).
#pragma once

#include <windows.h>

#include <string>

#include "store/sqlite/store_failure.h"
#include "store/sqlite/task_table.h"

// An error: "Pelmora Error" with the error icon.
void ShowError(HWND owner, const wchar_t* text);
void ShowError(HWND owner, const std::u16string& text);

// A failed change to the database, as ShowError; when the file was only busy (another program
// holds it) the box says so instead of `text`, since trying again later will do.
void ShowStoreError(HWND owner, StoreFailure failure, const wchar_t* text);
// The task list `table` could not be opened or read, as ShowError; when the file was only busy the
// box says so instead of `text`, and a value too long to read is named with its size.
void ShowLoadError(HWND owner, StoreFailure failure, const wchar_t* text, TaskTable& table);
// The item's table could not be created at start-up, as ShowLoadError; a file that may only be
// read, or that could not be written (a full disk), is named as such instead of `text`, which
// is for a damaged file.
void ShowCreateError(HWND owner, StoreFailure failure, const wchar_t* text);
// The editor's own failed change: as ShowStoreError, under "Error".
void ShowEditorStoreError(HWND owner, StoreFailure failure, const wchar_t* text);

// The database file is write-protected: "Pelmora Warning" with the warning icon.
void ShowReadOnlyNotice(HWND owner, const wchar_t* text);

// A warning with the warning icon. The editor tells its two kinds of empty title apart by the
// caption, so it has captions of its own.
enum class WarningCaption {
    kWarning,   // "Warning"
    kWarning1,  // "Warning1"
    kWarning2,  // "Warning2"
};
void ShowWarning(HWND owner,
                 const wchar_t* text,
                 WarningCaption caption = WarningCaption::kWarning);
void ShowWarning(HWND owner, const std::u16string& text);

// A success: "Success" with the information icon.
void ShowSuccess(HWND owner, const wchar_t* text);
void ShowSuccess(HWND owner, const std::u16string& text);

// A question under "Confirm" with Yes and No, the question icon and Yes as the default.
// True for Yes.
bool AskYesNo(HWND owner, const wchar_t* text);
// A question whose Yes destroys data: "Confirm" with Yes and No, the warning icon and No as the
// default, so that a hasty Enter keeps the data. True for Yes.
bool AskYesNoDefaultNo(HWND owner, const std::u16string& text);
