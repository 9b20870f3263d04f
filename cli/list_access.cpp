#include "cli/list_access.h"

#include "cli/cli.h"
#include "tasks/folder_status.h"
#include "tasks/task_list.h"

SchemaIndex ReadFolderSchema(TaskStore& store, const FolderLocation& folder) {
    auto schema = ReadSchema(store);
    if (!schema) FailFromStore(schema.Failure(), folder, "cannot read");
    return std::move(*schema);
}

std::vector<TaskRecord> LoadListTasks(TaskStore& store,
                                      const FolderLocation& folder,
                                      const std::string& table) {
    // Reading the schema first: a file that is not a database fails here instead of reading as
    // an empty list.
    return LoadListTasks(store, folder, table, ReadFolderSchema(store, folder));
}

bool RequireTaskList(TaskStore& store,
                     const FolderLocation& folder,
                     const std::string& table,
                     const SchemaIndex& schema) {
    const std::string type = SchemaTypeOf(schema, table);
    if (type.empty()) return false;
    // A view, an index or anything else under the list's name is no list, and certainly not
    // an empty one.
    if (type != "table" || !TaskTable(store, table).HasTaskColumns()) {
        throw CliFailure(kExitUnreadable, "cannot read " + Utf8Of(folder.database) + ": " + table +
                                              " is not a task list");
    }
    return true;
}

std::vector<TaskRecord> LoadListTasks(TaskStore& store,
                                      const FolderLocation& folder,
                                      const std::string& table,
                                      const SchemaIndex& schema,
                                      TaskTable::Keys keys) {
    if (!RequireTaskList(store, folder, table, schema)) return {};
    auto tasks = TaskTable(store, table).Load(keys);
    if (!tasks) FailFromStore(tasks.Failure(), folder, "cannot read");
    return std::move(*tasks);
}

void RunInTransaction(TaskStore& store,
                      const FolderLocation& folder,
                      const std::function<void()>& change) {
    Transaction transaction(store);
    if (!transaction.Active()) FailFromStore(transaction.Failure(), folder, "cannot write");
    change();
    FailIfStoreFailed(transaction.Commit(), folder, "cannot write");
}

std::string StatusFileProblem(const FolderLocation& folder, FileFailure failure, bool rebuilding) {
    std::string why;
    switch (failure) {
        case FileFailure::kInUse:
            why = rebuilding ? "it is in use by another program; try again"
                             : "it is in use by another program";
            break;
        case FileFailure::kReadOnly:
            why = "it may only be read";
            break;
        case FileFailure::kDenied:
            why = "access is denied (another program may hold it)";
            break;
        case FileFailure::kDiskFull:
            why = "the disk is full";
            break;
        case FileFailure::kNotAFile:
            why = "something that is not a file has its name";
            break;
        case FileFailure::kTooLarge:
            why = std::string(rebuilding ? "the entries would make it" : "it is") +
                  " larger than the " + std::to_string(kMaxProfileFileBytes / (1024 * 1024)) +
                  " MB that the overlays read";
            break;
        case FileFailure::kNone:
        case FileFailure::kOther:
            break;
    }
    const std::string file = Utf8Of(std::filesystem::path(folder.statusFile));
    return "cannot write " + file + (why.empty() ? "" : ": " + why);
}

void WriteStatusEntries(TaskStore& store,
                        const FolderLocation& folder,
                        const std::vector<std::string>& keys,
                        const std::string& report) {
    if (keys.empty()) return;
    // All of them go in one write, under the database's write lock, so a writer in another
    // process loses none of them.
    const StatusWriteResult result = RefreshStatusEntries(store, folder.statusFile, keys);
    if (result) {
        NotifyShell();
        return;
    }
    // The tasks are saved; saying so keeps a script from doing the change again, and the exit
    // code keeps it from taking a stale overlay for a current one.
    std::string problem;
    if (result.fileFailure != FileFailure::kNone) {
        problem = StatusFileProblem(folder, result.fileFailure, false);
    } else if (result.storeFailure == StoreFailure::kBusy) {
        problem = Utf8Of(folder.database) + " is in use by another program; run rebuild later";
    } else {
        problem = "cannot read " + Utf8Of(folder.database);
    }
    std::string done = report;
    while (!done.empty() && done.back() == '\n') done.pop_back();
    throw CliFailure(kExitFailed, done + "; but the overlay was not updated: " + problem);
}

size_t TaskIndex(long long n, size_t count, const std::string& itemName) {
    if (n < 1 || static_cast<unsigned long long>(n) > count) {
        throw CliFailure(kExitNotFound, "no task " + std::to_string(n) + ": " + itemName + " has " +
                                            std::to_string(count) +
                                            (count == 1 ? " task" : " tasks"));
    }
    return static_cast<size_t>(n - 1);
}

std::vector<int64_t> RowKeysOf(const FolderLocation& folder, const std::vector<TaskRecord>& tasks) {
    std::vector<int64_t> rowIds;
    rowIds.reserve(tasks.size());
    for (const TaskRecord& task : tasks) {
        // A row without a key of its own (a foreign table hiding its rowid) is never written.
        if (!task.rowId) FailFromStore(StoreFailure::kNotFound, folder, "cannot write");
        rowIds.push_back(*task.rowId);
    }
    return rowIds;
}

void RemoveListedTasks(TaskTable& table,
                       const FolderLocation& folder,
                       const std::vector<TaskRecord>& tasks) {
    if (tasks.empty()) return;
    FailIfStoreFailed(TaskList(table).RemoveAll(RowKeysOf(folder, tasks)), folder, "cannot write");
}
