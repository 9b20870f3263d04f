// The main window's task list: an owner-drawn list box whose entries each own one TaskRecord
// (as item data) and whose text is the record's display title. Entry i is the task with the
// i-th lowest priority.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "store/sqlite/task_table.h"

// Adds the record as the last entry; the list owns it from then on. False (and the record
// freed) when the list could not take it.
[[nodiscard]] bool AppendListItem(HWND list, std::unique_ptr<TaskRecord> record);

// True when an entry's record has exactly this stored title (byte for byte, so with case).
bool TitleExists(HWND list, const std::string& title);

int EntryCount(HWND list);
TaskRecord* RecordAt(HWND list, int index);
std::optional<int> SelectedIndex(HWND list);
// The entry whose record has this row key. A command that ran a message loop (a question, a
// dialog) finds its task again this way: a place or a record seen before the loop may be gone.
std::optional<int> FindEntry(HWND list, int64_t rowId);
void SelectEntry(HWND list, int index);

// Removes the entry and frees its record.
void RemoveEntry(HWND list, int index);

// Removes every entry and frees every record.
void RemoveAllEntries(HWND list);

// Exchanges the entries at `index` and `index + 1`, records and texts together. False when the
// list could not take the moved entry back: it is then missing, and its record freed.
[[nodiscard]] bool SwapWithNext(HWND list, int index);

// Gives the entry at `index` its record's current display title as its text (after an edit
// changed the title in place), keeping the record and the selection. False when the list could
// not take the entry back: it is then missing, and its record freed.
[[nodiscard]] bool RefreshEntryText(HWND list, int index);

// Redraws every entry (after a record changed in place).
void RepaintList(HWND list);

// Gives every record its list position as its priority, as the store's renumbering does.
void NumberEntries(HWND list);

// Frees the record an entry carried; called for WM_DELETEITEM, which the list sends for every
// entry it drops, whether by removal, by reset or when it is destroyed.
void ReleaseEntryRecord(const DELETEITEMSTRUCT& item);

// Fills the list with the tasks `table` holds. Fails when the tasks could not be read (the
// list is then left as it is) or the list could not take them all (it then shows those it took).
StoreFailure LoadTaskList(HWND list, TaskTable& table);

// Replaces the list's entries with what the database holds now, keeping the selected position.
// Used after a failed write, so the list never shows a change the file does not hold. False
// (and the entries left as they are) when the tasks cannot be read.
[[nodiscard]] bool ReloadTaskList(HWND list, TaskTable& table);

// The task list of the main window that `dialog` belongs to (the main window or a dialog it
// owns).
HWND TaskListOf(HWND dialog);
