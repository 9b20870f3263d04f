// Task rows read and written exactly as stored, for moving a list from one table (or file) to
// another: every column keeps its value and storage class, whatever a foreign file put there.
// The reads and writes run under the statement budget like every other statement of the store;
// which rows go where, and under which title, is the caller's rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "store/sqlite/task_table.h"

struct RowChanges;

// The rows of one task table as stored, in list order (priority, then the order they were
// stored in).
class StoredRows {
public:
    StoredRows();
    ~StoredRows();
    StoredRows(StoredRows&&) noexcept;
    StoredRows& operator=(StoredRows&&) noexcept;

    size_t Size() const;
    // The row's title when it is text, the only kind of value that can equal a title the
    // program wrote.
    const std::optional<std::string>& Title(size_t row) const;

private:
    friend StoreResult<StoredRows> ReadStoredRows(TaskStore& store, const std::string& table);
    friend StoreFailure WriteStoredRows(TaskStore& store,
                                        const std::string& table,
                                        const StoredRows& rows,
                                        const RowChanges& changes);
    struct Row;
    std::vector<Row> rows_;
};

// What the schema says `table` is: "table", "view", ..., or "" when there is no such object
// (any case, as SQL names ignore it). `table` must be a task table name (IsTaskTableName).
StoreResult<std::string> SchemaTypeOfTable(TaskStore& store, const std::string& table);

// The rows of `table`, which must be an ordinary table (a crafted file may put a view in its
// place: kDamaged).
StoreResult<StoredRows> ReadStoredRows(TaskStore& store, const std::string& table);

// What a list holds, as far as adding rows after its own needs it.
struct ListTitles {
    bool missing = false;  // nothing stands under the table's name
    bool empty = true;
    std::optional<int64_t> highestPriority;  // absent for no rows
    std::unordered_set<std::string> titles;  // the titles that are text
};
// Fails with kDamaged when something other than a table stands under the name.
StoreResult<ListTitles> ReadListTitles(TaskStore& store, const std::string& table);

// For each row of a StoredRows, in order: a title and a priority written in place of the stored
// ones, where present.
struct RowChanges {
    std::vector<std::optional<std::string>> titles;
    std::vector<std::optional<int64_t>> priorities;
};
// Inserts every row into `table` (a task table name), with `changes` applied, one statement per
// row. On failure the caller's transaction undoes the rows already written.
StoreFailure WriteStoredRows(TaskStore& store,
                             const std::string& table,
                             const StoredRows& rows,
                             const RowChanges& changes);

// One row of a list as a summary shows it; title and date only when they are text.
struct SummaryRow {
    std::optional<std::string> title;
    bool done = false;
    std::optional<std::string> doneDate;
};
// Hands every row of `table` to `onRow` in list order.
StoreFailure ReadSummaryRows(TaskStore& store,
                             const std::string& table,
                             const std::function<void(const SummaryRow&)>& onRow);
