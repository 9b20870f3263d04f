#include "tasks/task_edits.h"

#include <climits>

bool RemoveTask(TaskStore& store, int64_t rowId) {
    Transaction transaction(store);
    if (!transaction.Active()) return false;
    if (!DeleteTask(store, rowId)) return false;
    if (!RenumberTasks(store)) return false;
    return transaction.Commit();
}

bool RemoveTasks(TaskStore& store, const std::vector<int64_t>& rowIds) {
    return DeleteAllTasks(store, rowIds);
}

bool HaveConsecutivePriorities(const TaskRecord& upper, const TaskRecord& lower) {
    return upper.priority >= 0 && upper.priority < INT32_MAX - 1 &&
           lower.priority == upper.priority + 1;
}

bool ExchangePriorities(TaskStore& store, TaskRecord& upper, TaskRecord& lower, int upperIndex) {
    const int32_t upperBefore = upper.priority;
    const int32_t lowerBefore = lower.priority;
    Transaction transaction(store);
    bool written = transaction.Active();
    if (written && !HaveConsecutivePriorities(upper, lower)) {
        // Exchanging gapped or tied values would leave the order as it was (or muddled) while
        // the list showed the move: first make the stored order the shown one.
        written = upperIndex >= 0 && upperIndex < INT32_MAX - 1 && RenumberTasks(store);
        upper.priority = upperIndex;
        lower.priority = upperIndex + 1;
    }
    upper.priority += 1;
    lower.priority -= 1;
    written =
        written && UpdateTask(store, upper) && UpdateTask(store, lower) && transaction.Commit();
    if (!written) {
        upper.priority = upperBefore;
        lower.priority = lowerBefore;
    }
    return written;
}
