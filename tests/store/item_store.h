// The store as the tests drive it: a connection with the one item's table the test works on, and
// calls that answer true or false where a test asserts only whether a step worked. A test of a
// failure's class calls the store itself and checks the failure it returns.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/sqlite/schema.h"
#include "store/sqlite/task_table.h"
#include "tasks/task_list.h"

// Holders for the bare connections and statements tests use to make and inspect files.
struct SqliteCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using UniqueSqlite = std::unique_ptr<sqlite3, SqliteCloser>;
using UniqueStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

struct TestStore : TaskStore {
    std::string table;  // the item's table the calls below work on
    TaskTable Table() { return TaskTable(*this, table); }
};

[[nodiscard]] inline bool OpenTaskStore(TaskStore& store, const std::string& utf8Path) {
    return Succeeded(store.Open(utf8Path));
}
[[nodiscard]] inline bool CreateTaskTable(TestStore& store) {
    return Succeeded(store.Table().Create());
}
inline std::optional<int64_t> InsertTask(TestStore& store, const TaskRecord& record) {
    auto rowId = store.Table().Insert(record);
    if (!rowId) return std::nullopt;
    return *rowId;
}
inline std::optional<int64_t> AppendTask(TestStore& store, TaskRecord& record) {
    auto rowId = store.Table().Append(record);
    if (!rowId) return std::nullopt;
    return *rowId;
}
[[nodiscard]] inline bool UpdateTask(TestStore& store, const TaskRecord& record) {
    return Succeeded(store.Table().Update(record));
}
[[nodiscard]] inline bool DeleteTask(TestStore& store, int64_t rowId) {
    return Succeeded(store.Table().Delete(rowId));
}
[[nodiscard]] inline bool DeleteAllTasks(TestStore& store, std::vector<int64_t> rowIds) {
    return Succeeded(store.Table().DeleteAll(std::move(rowIds)));
}
[[nodiscard]] inline bool RenumberTasks(TestStore& store) {
    return Succeeded(store.Table().Renumber());
}
inline std::optional<std::vector<TaskRecord>> LoadTasks(TestStore& store) {
    auto tasks = store.Table().Load();
    if (!tasks) return std::nullopt;
    return std::move(*tasks);
}
inline int CountTasks(TaskStore& store, const std::string& table) {
    return TaskTable(store, table).Count();
}
inline FolderStatus GetFolderStatus(TaskStore& store, const std::string& table) {
    return TaskTable(store, table).Status();
}
inline TaskList ItemList(TestStore& store) {
    return TaskList(store.Table());
}
[[nodiscard]] inline bool RemoveTask(TestStore& store, int64_t rowId) {
    return Succeeded(ItemList(store).Remove(rowId));
}
[[nodiscard]] inline bool RemoveTasks(TestStore& store, const std::vector<int64_t>& rowIds) {
    return Succeeded(ItemList(store).RemoveAll(rowIds));
}
[[nodiscard]] inline bool ExchangePriorities(TestStore& store,
                                             TaskRecord& upper,
                                             TaskRecord& lower,
                                             int upperIndex) {
    return Succeeded(ItemList(store).Exchange(upper, lower, upperIndex));
}
inline TaskChange AddListTask(TestStore& store, TaskRecord record) {
    return ItemList(store).Add(std::move(record));
}
inline TaskChange EditListTask(TestStore& store, TaskRecord record) {
    return ItemList(store).Edit(std::move(record));
}
inline bool IsReadOnly(const TaskStore& store) {
    return store.IsReadOnly();
}
