// Commands on the task list: add, edit, remove, mark done and move.
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/editor_dialog.h"
#include "app/main_window.h"
#include "app/task_edits.h"
#include "app/task_list.h"

namespace {

bool Confirm(HWND window, const wchar_t* question) {
    return ShowMessage(window, question, L"Confirm", MB_ICONQUESTION | MB_YESNO) == IDYES;
}

void ShowError(HWND window, const wchar_t* text) {
    ShowMessage(window, text, L"Pelmora Error", MB_ICONERROR);
}

// Exchanges the entries at `upperIndex` and the one below it, in the database and in the list,
// and selects the moved entry at `selectAfter`.
void ExchangeEntries(HWND window, HWND list, int upperIndex, int selectAfter) {
    TaskRecord* upper = RecordAt(list, upperIndex);
    TaskRecord* lower = RecordAt(list, upperIndex + 1);
    if (upper == nullptr || lower == nullptr) return;
    // Both rows move or neither: a half-written exchange would leave two tasks with one
    // priority, and the list would show an order the next start does not.
    if (!ExchangePriorities(gApp.store, *upper, StoredTitleOf(*upper), *lower,
                            StoredTitleOf(*lower))) {
        ShowError(window, L"Cannot update database!");
        return;
    }
    SetStoredTitle(*upper, upper->title);
    SetStoredTitle(*lower, lower->title);
    SwapWithNext(list, upperIndex);
    RepaintList(list);
    SelectEntry(list, selectAfter);
}

}  // namespace

void CmdAddTask(HWND window) {
    gApp.editorAddMode = true;
    gApp.currentTask = nullptr;
    RunEditor(window);
}

void CmdEditSelected(HWND window) {
    const HWND list = TaskListOf(window);
    const auto selected = SelectedIndex(list);
    if (!selected) return;
    TaskRecord* record = RecordAt(list, *selected);
    if (record == nullptr) return;
    gApp.editorAddMode = false;
    gApp.currentTask = record;
    RunEditor(window);
    gApp.currentTask = nullptr;
    RefreshEntryText(list, *selected);
    RepaintList(list);
}

void CmdRemoveSelected(HWND window) {
    const HWND list = TaskListOf(window);
    const auto selected = SelectedIndex(list);
    if (!selected) return;
    const TaskRecord* record = RecordAt(list, *selected);
    if (record == nullptr) return;
    if (!Confirm(window, L"Are you sure you want delete the selected task?")) return;
    // The deletion and the renumbering of the rest are one change: a removal that left a gap in
    // the stored priorities would make later moves exchange the wrong neighbours.
    if (!RemoveTask(gApp.store, StoredTitleOf(*record))) {
        ShowError(window, L"Cannot remove record from database!");
        return;
    }
    RemoveEntry(list, *selected);
    const int count = EntryCount(list);
    for (int i = 0; i < count; ++i) {
        if (TaskRecord* rest = RecordAt(list, i)) rest->priority = i;
    }
    gApp.statusChanged = true;
}

void CmdRemoveAll(HWND window) {
    const HWND list = TaskListOf(window);
    const int count = EntryCount(list);
    if (count == 0) return;
    if (!Confirm(window, L"Are you sure you want delete all tasks?")) return;
    std::vector<std::string> titles;
    titles.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (const TaskRecord* record = RecordAt(list, i)) titles.push_back(StoredTitleOf(*record));
    }
    // All rows go in one transaction: when one cannot be deleted none is, and the list keeps
    // showing exactly what the database holds.
    if (!RemoveTasks(gApp.store, titles)) {
        ShowError(window, L"Cannot remove record from database!");
        return;
    }
    RemoveAllEntries(list);
    gApp.statusChanged = true;
}

void CmdMarkDone(HWND window) {
    const HWND list = TaskListOf(window);
    const auto selected = SelectedIndex(list);
    if (!selected) return;
    TaskRecord* record = RecordAt(list, *selected);
    if (record == nullptr) return;
    record->done_date = TodayDate();
    record->done = 1;
    if (UpdateTask(gApp.store, *record, StoredTitleOf(*record))) {
        SetStoredTitle(*record, record->title);
    } else {
        ShowError(window, L"Cannot update database!");
    }
    RepaintList(list);
    gApp.statusChanged = true;
}

void CmdMoveUp(HWND window) {
    const HWND list = TaskListOf(window);
    const auto selected = SelectedIndex(list);
    if (!selected || *selected == 0) return;
    ExchangeEntries(window, list, *selected - 1, *selected - 1);
}

void CmdMoveDown(HWND window) {
    const HWND list = TaskListOf(window);
    const auto selected = SelectedIndex(list);
    if (!selected || *selected + 1 >= EntryCount(list)) return;
    ExchangeEntries(window, list, *selected, *selected + 1);
}
