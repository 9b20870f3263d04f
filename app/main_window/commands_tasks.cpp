// Commands on the task list: add, edit, remove, mark done and move.
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/dialogs/editor_dialog.h"
#include "app/dialogs/messages.h"
#include "app/main_window/commands.h"
#include "app/main_window/list_accessible.h"
#include "app/main_window/main_window.h"
#include "app/main_window/task_list.h"
#include "app/ui/entry_text.h"
#include "app/user_texts.h"
#include "tasks/task_list.h"

namespace {

// Shows what the file holds after a failure the user was just told of. A list that cannot be
// read now stays as it was: a second message about the same trouble would tell nothing new.
void ReloadAfterReportedFailure(MainWindowState& state) {
    static_cast<void>(ReloadTaskList(state.list, state.tasks.Table()));
}

// Reports a failed write and shows what the file holds now: the failed change is not shown as
// made, and changes other programs made meanwhile appear.
void FailedWrite(MainWindowState& state, HWND window, StoreFailure failure, const wchar_t* text) {
    ShowStoreError(window, failure, text);
    ReloadAfterReportedFailure(state);
}

// Shows what the file holds after the list lost an entry it could not take back (the file
// already has the change); tells the user when even that fails.
void ReloadAfterListFailure(MainWindowState& state, HWND window) {
    if (!ReloadTaskList(state.list, state.tasks.Table()))
        ShowError(window, UiText(TextId::kCannotReadTaskList));
}

// Exchanges the entries at `upperIndex` and the one below it, in the database and in the list,
// and selects the moved entry at `selectAfter`.
void ExchangeEntries(MainWindowState& state, HWND window, int upperIndex, int selectAfter) {
    const HWND list = state.list;
    TaskRecord* upper = RecordAt(list, upperIndex);
    TaskRecord* lower = RecordAt(list, upperIndex + 1);
    if (upper == nullptr || lower == nullptr) return;
    const bool renumbers = !HaveConsecutivePriorities(*upper, *lower);
    // Both rows move or neither: a half-written exchange would leave two tasks with one
    // priority, and the list would show an order the next start does not.
    if (const StoreFailure failure = state.tasks.Exchange(*upper, *lower, upperIndex);
        !Succeeded(failure)) {
        FailedWrite(state, window, failure, UiText(TextId::kCannotUpdateDatabase));
        return;
    }
    if (!SwapWithNext(list, upperIndex)) {
        ReloadAfterListFailure(state, window);
        return;
    }
    if (renumbers) NumberEntries(list);
    RepaintList(list);
    SelectEntry(list, selectAfter);
}

// Gives the list the keyboard focus with `index` selected (and so the caret), as the dialog's
// own focus moves do, so that the keyboard and a screen reader are on that entry.
void FocusEntry(HWND window, HWND list, int index) {
    if (index >= 0 && index < EntryCount(list)) SelectEntry(list, index);
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
}

}  // namespace

void CmdAddTask(MainWindowState& state, HWND window) {
    const HWND list = state.list;
    const int before = EntryCount(list);
    EditorRequest request;
    request.tasks = &state.tasks;
    request.addMode = true;
    RunEditor(window, request);
    if (request.statusChanged) state.statusChanged = true;
    if (request.listStale) ReloadAfterListFailure(state, window);
    // The new task is the last entry; after a cancelled editor the focus is where it was.
    const int after = EntryCount(list);
    FocusEntry(window, list, after > before ? after - 1 : -1);
}

void CmdEditSelected(MainWindowState& state, HWND window) {
    const HWND list = state.list;
    const auto selected = SelectedIndex(list);
    if (!selected) return;
    const TaskRecord* record = RecordAt(list, *selected);
    if (record == nullptr) return;
    const std::u16string nameBefore = TaskEntryName(*record);
    EditorRequest request;
    request.tasks = &state.tasks;
    request.addMode = false;
    request.task = *record;
    RunEditor(window, request);
    if (request.statusChanged) state.statusChanged = true;
    if (request.listStale) {
        ReloadAfterReportedFailure(state);
        return;
    }
    // The editor's loop ran since the entry was chosen: it is found again by its row.
    const std::optional<int64_t> rowId = request.task.rowId;
    const auto index = rowId ? FindEntry(list, *rowId) : std::nullopt;
    if (!index) {
        FocusEntry(window, list, -1);
        return;
    }
    if (!RefreshEntryText(list, *index)) {
        ReloadAfterListFailure(state, window);
        return;
    }
    RepaintList(list);
    const TaskRecord* edited = RecordAt(list, *index);
    if (edited != nullptr && TaskEntryName(*edited) != nameBefore) {
        AnnounceEntryNameChange(list, *index);
    }
    FocusEntry(window, list, *index);
}

void CmdRemoveSelected(MainWindowState& state, HWND window) {
    const HWND list = state.list;
    const auto selected = SelectedIndex(list);
    if (!selected) return;
    const TaskRecord* record = RecordAt(list, *selected);
    if (record == nullptr) return;
    const std::optional<int64_t> rowId = record->rowId;
    if (!AskYesNo(window, UiText(TextId::kConfirmRemoveTask))) return;
    // The question ran a message loop: the task is found again by its row, and the place and
    // the record seen before it are not used. A list read again meanwhile without the task has
    // nothing left to remove.
    const auto index = rowId ? FindEntry(list, *rowId) : std::nullopt;
    if (rowId && !index) return;
    // The deletion and the renumbering of the rest are one change: a removal that left a gap in
    // the stored priorities would make later moves exchange the wrong neighbours.
    const StoreFailure failure = rowId ? state.tasks.Remove(*rowId) : StoreFailure::kNotFound;
    if (!Succeeded(failure)) {
        FailedWrite(state, window, failure, UiText(TextId::kCannotRemoveRecord));
        return;
    }
    RemoveEntry(list, *index);
    NumberEntries(list);
    state.statusChanged = true;
    // The keyboard stays in the list: on the entry that took the removed one's place, or on the
    // one above when the last went.
    const int count = EntryCount(list);
    if (count > 0) FocusEntry(window, list, *index < count ? *index : count - 1);
}

void CmdRemoveAll(MainWindowState& state, HWND window) {
    const HWND list = state.list;
    if (EntryCount(list) == 0) return;
    if (!AskYesNo(window, UiText(TextId::kConfirmRemoveAll))) return;
    // The rows are those the list holds once the question is answered.
    const int count = EntryCount(list);
    if (count == 0) return;
    std::vector<int64_t> rowIds;
    rowIds.reserve(static_cast<size_t>(count));
    bool allKeyed = true;
    for (int i = 0; i < count; ++i) {
        const TaskRecord* record = RecordAt(list, i);
        if (record == nullptr || !record->rowId) {
            allKeyed = false;
        } else {
            rowIds.push_back(*record->rowId);
        }
    }
    // All rows go in one statement, and only when the table holds exactly the rows shown: when
    // it does not, none is deleted, and the list then shows what the database holds.
    const StoreFailure failure = allKeyed ? state.tasks.RemoveAll(rowIds) : StoreFailure::kNotFound;
    if (!Succeeded(failure)) {
        FailedWrite(state, window, failure, UiText(TextId::kCannotRemoveRecord));
        return;
    }
    RemoveAllEntries(list);
    state.statusChanged = true;
}

void CmdMarkDone(MainWindowState& state, HWND window) {
    const HWND list = state.list;
    const auto selected = SelectedIndex(list);
    if (!selected) return;
    TaskRecord* record = RecordAt(list, *selected);
    if (record == nullptr) return;
    // The record changes only once its row has: a failed mark is never shown as made.
    // A row without a key of its own (a foreign table hiding its rowid) is never written.
    const TaskChange marked = record->rowId ? state.tasks.MarkDone(*record->rowId) : TaskChange{};
    if (!marked.task) {
        FailedWrite(state, window, record->rowId ? marked.failure : StoreFailure::kNotFound,
                    UiText(TextId::kCannotUpdateDatabase));
        return;
    }
    record->done = marked.task->done;
    record->doneDate = marked.task->doneDate;
    RepaintList(list);
    AnnounceEntryNameChange(list, *selected);
    state.statusChanged = true;
}

void CmdMoveUp(MainWindowState& state, HWND window) {
    const HWND list = state.list;
    const auto selected = SelectedIndex(list);
    if (!selected || *selected == 0) return;
    ExchangeEntries(state, window, *selected - 1, *selected - 1);
}

void CmdMoveDown(MainWindowState& state, HWND window) {
    const HWND list = state.list;
    const auto selected = SelectedIndex(list);
    if (!selected || *selected + 1 >= EntryCount(list)) return;
    ExchangeEntries(state, window, *selected, *selected + 1);
}
