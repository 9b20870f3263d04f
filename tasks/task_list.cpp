#include "tasks/task_list.h"

namespace {

bool TooLong(const TaskRecord& task) {
    constexpr size_t kMax = static_cast<size_t>(kMaxValueBytes);
    return task.title.size() > kMax || (task.description && task.description->size() > kMax);
}

TaskRefusal RefusalOf(const TaskRecord& task) {
    if (task.title.empty()) return TaskRefusal::kEmptyTitle;
    if (TooLong(task)) return TaskRefusal::kTooLong;
    return TaskRefusal::kNone;
}

TaskChange Refused(TaskRefusal refusal) {
    TaskChange change;
    change.refusal = refusal;
    return change;
}

TaskChange Failed(const TaskStore& store) {
    TaskChange change;
    // A step that failed without a class of its own is still a failure.
    change.failure =
        store.lastFailure == StoreFailure::kNone ? StoreFailure::kOther : store.lastFailure;
    return change;
}

// Whether another task of the list holds `title`, read from the file under the write lock the
// caller's transaction holds. A task keeping the title it has (`own`, its row key) is no
// conflict, even in a file that already holds that title twice. Absent when the list cannot be
// read, or when `own` names a row the list no longer has.
std::optional<bool> TitleTaken(TaskStore& store,
                               const std::string& title,
                               std::optional<int64_t> own) {
    const auto tasks = LoadTasks(store);
    if (!tasks) return std::nullopt;
    bool taken = false;
    bool ownFound = !own;
    for (const TaskRecord& task : *tasks) {
        if (own && task.rowId == own) {
            ownFound = true;
            if (task.title == title) return false;
        } else if (task.title == title) {
            taken = true;
        }
    }
    if (!ownFound) {
        store.lastFailure = StoreFailure::kNotFound;
        return std::nullopt;
    }
    return taken;
}

}  // namespace

TaskChange AddListTask(TaskStore& store, TaskRecord record) {
    if (const TaskRefusal refusal = RefusalOf(record); refusal != TaskRefusal::kNone) {
        return Refused(refusal);
    }
    store.lastFailure = StoreFailure::kNone;
    Transaction transaction(store);
    if (!transaction.Active() || !CreateTaskTable(store)) return Failed(store);
    const auto taken = TitleTaken(store, record.title, std::nullopt);
    if (!taken) return Failed(store);
    if (*taken) return Refused(TaskRefusal::kTitleTaken);
    const auto rowId = AppendTask(store, record);
    if (!rowId || !transaction.Commit()) return Failed(store);
    record.rowId = *rowId;
    TaskChange change;
    change.task = std::move(record);
    return change;
}

TaskChange EditListTask(TaskStore& store, TaskRecord edited) {
    if (const TaskRefusal refusal = RefusalOf(edited); refusal != TaskRefusal::kNone) {
        return Refused(refusal);
    }
    if (!edited.rowId) {
        store.lastFailure = StoreFailure::kNotFound;
        return Failed(store);
    }
    store.lastFailure = StoreFailure::kNone;
    Transaction transaction(store);
    if (!transaction.Active()) return Failed(store);
    const auto taken = TitleTaken(store, edited.title, edited.rowId);
    if (!taken) return Failed(store);
    if (*taken) return Refused(TaskRefusal::kTitleTaken);
    if (!UpdateTask(store, edited) || !transaction.Commit()) return Failed(store);
    TaskChange change;
    change.task = std::move(edited);
    return change;
}
