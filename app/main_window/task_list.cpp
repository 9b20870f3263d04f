#include "app/main_window/task_list.h"

#include "app/resource.h"
#include "text/text_encoding.h"

namespace {

const wchar_t* EntryText(const TaskRecord& record) {
    static const char16_t kEmpty[] = u"";
    return reinterpret_cast<const wchar_t*>(record.displayTitle ? record.displayTitle->c_str()
                                                                : kEmpty);
}

// Inserts the record's entry at `index` (-1 appends) and hands it the record; false, with the
// record freed, when the list is out of room.
[[nodiscard]] bool InsertEntry(HWND list, int index, std::unique_ptr<TaskRecord> record) {
    const LRESULT at = SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(index),
                                    reinterpret_cast<LPARAM>(EntryText(*record)));
    if (at == LB_ERR || at == LB_ERRSPACE) return false;
    SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(at),
                 reinterpret_cast<LPARAM>(record.release()));
    return true;
}

// Takes the record away from its entry, so that removing the entry leaves the record alive.
std::unique_ptr<TaskRecord> DetachRecord(HWND list, int index) {
    std::unique_ptr<TaskRecord> record(RecordAt(list, index));
    SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), 0);
    return record;
}

void InvalidateEntry(HWND list, int index) {
    if (index < 0) return;
    RECT entry{};
    if (SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&entry)) != LB_ERR) {
        InvalidateRect(list, &entry, TRUE);
    }
}

}  // namespace

bool AppendListItem(HWND list, std::unique_ptr<TaskRecord> record) {
    if (!InsertEntry(list, -1, std::move(record))) return false;
    // The entry above was the last one and drew its own bottom line, which now doubles the
    // new entry's top line.
    InvalidateEntry(list, EntryCount(list) - 2);
    return true;
}

bool TitleExists(HWND list, const std::string& title) {
    const int count = EntryCount(list);
    for (int i = 0; i < count; ++i) {
        const TaskRecord* record = RecordAt(list, i);
        if (record != nullptr && record->title == title) return true;
    }
    return false;
}

int EntryCount(HWND list) {
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    return count == LB_ERR ? 0 : static_cast<int>(count);
}

TaskRecord* RecordAt(HWND list, int index) {
    const LRESULT data = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    if (data == LB_ERR) return nullptr;
    return reinterpret_cast<TaskRecord*>(data);
}

std::optional<int> SelectedIndex(HWND list) {
    const LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return std::nullopt;
    return static_cast<int>(index);
}

std::optional<int> FindEntry(HWND list, int64_t rowId) {
    const int count = EntryCount(list);
    for (int i = 0; i < count; ++i) {
        const TaskRecord* record = RecordAt(list, i);
        if (record != nullptr && record->rowId == rowId) return i;
    }
    return std::nullopt;
}

void SelectEntry(HWND list, int index) {
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void RemoveEntry(HWND list, int index) {
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    // When the last entry went, the one above it becomes the last and needs its bottom line.
    InvalidateEntry(list, EntryCount(list) - 1);
}

void RemoveAllEntries(HWND list) {
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
}

bool SwapWithNext(HWND list, int index) {
    // The upper entry is taken out and put back one place lower; its record travels with it.
    std::unique_ptr<TaskRecord> upper = DetachRecord(list, index);
    RemoveEntry(list, index);
    return InsertEntry(list, index + 1, std::move(upper));
}

bool RefreshEntryText(HWND list, int index) {
    const auto selected = SelectedIndex(list);
    std::unique_ptr<TaskRecord> record = DetachRecord(list, index);
    if (!record) return true;  // no such entry: nothing to refresh
    // A list box keeps its own copy of each text; the only way to change one is to replace the
    // entry.
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    if (!InsertEntry(list, index, std::move(record))) return false;
    if (selected) SelectEntry(list, *selected);
    return true;
}

void RepaintList(HWND list) {
    RedrawWindow(list, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE);
}

void NumberEntries(HWND list) {
    const int count = EntryCount(list);
    for (int i = 0; i < count; ++i) {
        if (TaskRecord* record = RecordAt(list, i)) record->priority = i;
    }
}

void ReleaseEntryRecord(const DELETEITEMSTRUCT& item) {
    delete reinterpret_cast<TaskRecord*>(item.itemData);
}

StoreFailure LoadTaskList(HWND list, TaskTable& table) {
    auto tasks = table.Load();
    if (!tasks) return tasks.Failure();
    RemoveAllEntries(list);
    // One allocation for all entries, and one repaint at the end rather than one scroll-bar
    // update and redraw per entry: the window is already showing while the list fills.
    SendMessageW(list, LB_INITSTORAGE, tasks->size(), 0);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    bool complete = true;
    for (TaskRecord& task : *tasks) {
        task.displayTitle = Utf8ToUtf16(Base64Decode(task.title));
        // A list that shows only some tasks must not pass for the whole list: a move or a
        // renumbering would then write positions for the tasks it does show.
        if (!AppendListItem(list, std::make_unique<TaskRecord>(std::move(task)))) {
            complete = false;
            break;
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    RepaintList(list);
    return complete ? StoreFailure::kNone : StoreFailure::kOther;
}

bool ReloadTaskList(HWND list, TaskTable& table) {
    const auto selected = SelectedIndex(list);
    if (!Succeeded(LoadTaskList(list, table))) return false;
    const int count = EntryCount(list);
    if (selected && count > 0) SelectEntry(list, *selected < count ? *selected : count - 1);
    return true;
}

HWND TaskListOf(HWND dialog) {
    HWND main = dialog;
    while (GetDlgItem(main, IDC_TASKLIST) == nullptr && GetWindow(main, GW_OWNER) != nullptr) {
        main = GetWindow(main, GW_OWNER);
    }
    return GetDlgItem(main, IDC_TASKLIST);
}
