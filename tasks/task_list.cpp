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

TaskChange Failed(StoreFailure failure) {
    TaskChange change;
    // A step that failed without a class of its own is still a failure.
    change.failure = Succeeded(failure) ? StoreFailure::kOther : failure;
    return change;
}

// Whether another task of the list holds `title`, read from the file under the write lock the
// caller's transaction holds. A task keeping the title it has (`own`, its row key) is no
// conflict, even in a file that already holds that title twice. Absent when the list cannot be
// read, or when `own` names a row the list no longer has.
StoreResult<bool> TitleTaken(TaskTable& table,
                             const std::string& title,
                             std::optional<int64_t> own) {
    const auto tasks = table.Load();
    if (!tasks) return tasks.Failure();
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
    if (!ownFound) return StoreFailure::kNotFound;
    return taken;
}

}  // namespace

TaskChange AddListTask(TaskTable& table, TaskRecord record) {
    if (const TaskRefusal refusal = RefusalOf(record); refusal != TaskRefusal::kNone) {
        return Refused(refusal);
    }
    Transaction transaction(table.Store());
    if (!transaction.Active()) return Failed(transaction.Failure());
    if (const StoreFailure failure = table.Create(); !Succeeded(failure)) return Failed(failure);
    const auto taken = TitleTaken(table, record.title, std::nullopt);
    if (!taken) return Failed(taken.Failure());
    if (*taken) return Refused(TaskRefusal::kTitleTaken);
    const auto rowId = table.Append(record);
    if (!rowId) return Failed(rowId.Failure());
    if (const StoreFailure failure = transaction.Commit(); !Succeeded(failure)) {
        return Failed(failure);
    }
    record.rowId = *rowId;
    TaskChange change;
    change.task = std::move(record);
    return change;
}

TaskChange EditListTask(TaskTable& table, TaskRecord edited) {
    if (const TaskRefusal refusal = RefusalOf(edited); refusal != TaskRefusal::kNone) {
        return Refused(refusal);
    }
    if (!edited.rowId) return Failed(StoreFailure::kNotFound);
    Transaction transaction(table.Store());
    if (!transaction.Active()) return Failed(transaction.Failure());
    const auto taken = TitleTaken(table, edited.title, edited.rowId);
    if (!taken) return Failed(taken.Failure());
    if (*taken) return Refused(TaskRefusal::kTitleTaken);
    if (const StoreFailure failure = table.Update(edited); !Succeeded(failure)) {
        return Failed(failure);
    }
    if (const StoreFailure failure = transaction.Commit(); !Succeeded(failure)) {
        return Failed(failure);
    }
    TaskChange change;
    change.task = std::move(edited);
    return change;
}
