#include "tasks/task_list.h"

#include <climits>

#include "store/sqlite/done_date.h"

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

TaskChange Written(TaskRecord task) {
    TaskChange change;
    change.task = std::move(task);
    return change;
}

// What the file holds under the write lock the caller's transaction holds, as far as a change of
// one task asks: whether another task holds `title`, and the task's own row (`own`, its key).
// A task keeping the title it has is no conflict, even in a file that already holds that title
// twice.
struct ListView {
    bool taken = false;
    std::optional<TaskRecord> own;
};

// Fails when the list cannot be read, or when `own` names a row the list no longer has.
StoreResult<ListView> ReadList(TaskTable& table,
                               const std::string* title,
                               std::optional<int64_t> own) {
    const auto tasks = table.Load();
    if (!tasks) return tasks.Failure();
    ListView view;
    bool ownTitle = false;
    for (const TaskRecord& task : *tasks) {
        if (own && task.rowId == own) {
            view.own = task;
            ownTitle = title != nullptr && task.title == *title;
        } else if (title != nullptr && task.title == *title) {
            view.taken = true;
        }
    }
    if (own && !view.own) return StoreFailure::kNotFound;
    if (ownTitle) view.taken = false;
    return view;
}

}  // namespace

bool HaveConsecutivePriorities(const TaskRecord& upper, const TaskRecord& lower) {
    return upper.priority >= 0 && upper.priority < INT32_MAX - 1 &&
           lower.priority == upper.priority + 1;
}

TaskChange TaskList::Add(TaskRecord record) {
    if (const TaskRefusal refusal = RefusalOf(record); refusal != TaskRefusal::kNone) {
        return Refused(refusal);
    }
    record.doneDate = TodayDate();
    Transaction transaction(table_.Store());
    if (!transaction.Active()) return Failed(transaction.Failure());
    if (const StoreFailure failure = table_.Create(); !Succeeded(failure)) return Failed(failure);
    const auto view = ReadList(table_, &record.title, std::nullopt);
    if (!view) return Failed(view.Failure());
    if (view->taken) return Refused(TaskRefusal::kTitleTaken);
    const auto rowId = table_.Append(record);
    if (!rowId) return Failed(rowId.Failure());
    if (const StoreFailure failure = transaction.Commit(); !Succeeded(failure)) {
        return Failed(failure);
    }
    record.rowId = *rowId;
    return Written(std::move(record));
}

TaskChange TaskList::Edit(TaskRecord edited) {
    if (const TaskRefusal refusal = RefusalOf(edited); refusal != TaskRefusal::kNone) {
        return Refused(refusal);
    }
    if (!edited.rowId) return Failed(StoreFailure::kNotFound);
    Transaction transaction(table_.Store());
    if (!transaction.Active()) return Failed(transaction.Failure());
    const auto view = ReadList(table_, &edited.title, edited.rowId);
    if (!view) return Failed(view.Failure());
    if (view->taken) return Refused(TaskRefusal::kTitleTaken);
    if ((edited.done != 0) != (view->own->done != 0)) edited.doneDate = TodayDate();
    if (const StoreFailure failure = table_.Update(edited); !Succeeded(failure)) {
        return Failed(failure);
    }
    if (const StoreFailure failure = transaction.Commit(); !Succeeded(failure)) {
        return Failed(failure);
    }
    return Written(std::move(edited));
}

TaskChange TaskList::MarkDone(int64_t rowId) {
    Transaction transaction(table_.Store());
    if (!transaction.Active()) return Failed(transaction.Failure());
    auto view = ReadList(table_, nullptr, rowId);
    if (!view) return Failed(view.Failure());
    TaskRecord marked = std::move(*view->own);
    marked.done = 1;
    marked.doneDate = TodayDate();
    if (const StoreFailure failure = table_.Update(marked); !Succeeded(failure)) {
        return Failed(failure);
    }
    if (const StoreFailure failure = transaction.Commit(); !Succeeded(failure)) {
        return Failed(failure);
    }
    return Written(std::move(marked));
}

StoreFailure TaskList::Remove(int64_t rowId) {
    Transaction transaction(table_.Store());
    if (!transaction.Active()) return transaction.Failure();
    if (const StoreFailure failure = table_.Delete(rowId); !Succeeded(failure)) return failure;
    if (const StoreFailure failure = table_.Renumber(); !Succeeded(failure)) return failure;
    return transaction.Commit();
}

StoreFailure TaskList::RemoveAll(const std::vector<int64_t>& rowIds) {
    return table_.DeleteAll(rowIds);
}

StoreFailure TaskList::Exchange(TaskRecord& upper, TaskRecord& lower, int upperIndex) {
    const int32_t upperBefore = upper.priority;
    const int32_t lowerBefore = lower.priority;
    Transaction transaction(table_.Store());
    StoreFailure failure = transaction.Failure();
    if (Succeeded(failure) && !HaveConsecutivePriorities(upper, lower)) {
        // Exchanging gapped or tied values would leave the order as it was (or muddled) while
        // the list showed the move: first make the stored order the shown one.
        failure = upperIndex >= 0 && upperIndex < INT32_MAX - 1 ? table_.Renumber()
                                                                : StoreFailure::kOther;
        upper.priority = upperIndex;
        lower.priority = upperIndex + 1;
    }
    upper.priority += 1;
    lower.priority -= 1;
    if (Succeeded(failure)) failure = table_.Update(upper);
    if (Succeeded(failure)) failure = table_.Update(lower);
    if (Succeeded(failure)) failure = transaction.Commit();
    if (!Succeeded(failure)) {
        upper.priority = upperBefore;
        lower.priority = lowerBefore;
    }
    return failure;
}
