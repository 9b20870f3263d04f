#include "tasks/task_edits.h"

#include <climits>

StoreFailure RemoveTask(TaskTable& table, int64_t rowId) {
    Transaction transaction(table.Store());
    if (!transaction.Active()) return transaction.Failure();
    if (const StoreFailure failure = table.Delete(rowId); !Succeeded(failure)) return failure;
    if (const StoreFailure failure = table.Renumber(); !Succeeded(failure)) return failure;
    return transaction.Commit();
}

StoreFailure RemoveTasks(TaskTable& table, const std::vector<int64_t>& rowIds) {
    return table.DeleteAll(rowIds);
}

bool HaveConsecutivePriorities(const TaskRecord& upper, const TaskRecord& lower) {
    return upper.priority >= 0 && upper.priority < INT32_MAX - 1 &&
           lower.priority == upper.priority + 1;
}

StoreFailure ExchangePriorities(TaskTable& table,
                                TaskRecord& upper,
                                TaskRecord& lower,
                                int upperIndex) {
    const int32_t upperBefore = upper.priority;
    const int32_t lowerBefore = lower.priority;
    Transaction transaction(table.Store());
    StoreFailure failure = transaction.Failure();
    if (Succeeded(failure) && !HaveConsecutivePriorities(upper, lower)) {
        // Exchanging gapped or tied values would leave the order as it was (or muddled) while
        // the list showed the move: first make the stored order the shown one.
        failure =
            upperIndex >= 0 && upperIndex < INT32_MAX - 1 ? table.Renumber() : StoreFailure::kOther;
        upper.priority = upperIndex;
        lower.priority = upperIndex + 1;
    }
    upper.priority += 1;
    lower.priority -= 1;
    if (Succeeded(failure)) failure = table.Update(upper);
    if (Succeeded(failure)) failure = table.Update(lower);
    if (Succeeded(failure)) failure = transaction.Commit();
    if (!Succeeded(failure)) {
        upper.priority = upperBefore;
        lower.priority = lowerBefore;
    }
    return failure;
}
