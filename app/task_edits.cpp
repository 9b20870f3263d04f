#include "app/task_edits.h"

bool RemoveTask(TaskStore& store, const std::string& title) {
    Transaction transaction(store);
    if (!transaction.Active()) return false;
    if (!DeleteTask(store, title)) return false;
    if (!RenumberTasks(store)) return false;
    return transaction.Commit();
}

bool RemoveTasks(TaskStore& store, const std::vector<std::string>& titles) {
    Transaction transaction(store);
    if (!transaction.Active()) return false;
    for (const std::string& title : titles) {
        if (!DeleteTask(store, title)) return false;
    }
    return transaction.Commit();
}

bool ExchangePriorities(TaskStore& store,
                        TaskRecord& upper,
                        const std::string& upperKey,
                        TaskRecord& lower,
                        const std::string& lowerKey) {
    upper.priority += 1;
    lower.priority -= 1;
    Transaction transaction(store);
    const bool written = transaction.Active() && UpdateTask(store, upper, upperKey) &&
                         UpdateTask(store, lower, lowerKey) && transaction.Commit();
    if (!written) {
        upper.priority -= 1;
        lower.priority += 1;
    }
    return written;
}

bool SaveEditedTask(TaskStore& store, const TaskRecord& record, std::string& keyTitle) {
    if (!UpdateTask(store, record, keyTitle)) return false;
    keyTitle = record.title;
    return true;
}
