// One item's table of tasks in a task database, named "tbl_" + the item's folder key. Every
// read and write of one list goes through it; the connection and the table's name travel
// together instead of the connection carrying a "current" table that callers swap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/folder_status_value.h"
#include "store/sqlite/schema.h"
#include "store/sqlite/task_store.h"

// One task. `title` is the stored Base64 text, shown and checked for uniqueness by the editor;
// the row itself is found by `rowId`.
struct TaskRecord {
    std::string title;
    std::optional<std::u16string> displayTitle;  // for display only, never stored
    std::optional<std::string> description;      // stored Base64; absent means none
    std::optional<std::string> doneDate;         // "%Y-%m-%d"
    uint32_t done = 0;                           // any value but 0 is done, written as 1
    int32_t priority = 0;                        // position in the list, 0 at the top
    // The row's key, captured when the row was read or inserted; absent for a record that is not
    // stored, or whose row cannot be told apart from another one (a foreign file may shadow the
    // key with a column of its own). Writes find their row by this key and nothing else.
    std::optional<int64_t> rowId;
};

// The rows of a table and how many of them are done, as far as they could be read.
struct DoneCounts {
    size_t total = 0;
    size_t done = 0;
    StoreFailure failure = StoreFailure::kNone;  // why the rest could not be read
};

// The length in bytes up to which LongestValueBytes measures; anything longer reads as one more.
constexpr int64_t kMeasurableBytes = 64 * 1024 * 1024;

class TaskTable {
public:
    TaskTable(TaskStore& store, std::string name) : store_(&store), name_(std::move(name)) {}

    TaskStore& Store() const { return *store_; }
    const std::string& Name() const { return name_; }

    StoreFailure Create();
    // True when the table can be read as a task table: it has the five columns the program
    // writes. A table of another shape (made by hand or by another program) must not be written.
    [[nodiscard]] bool HasTaskColumns();

    // Appends the record's row; the new row's key.
    StoreResult<int64_t> Insert(const TaskRecord& record);
    // Appends the record as the last task: its priority is the number of rows the table holds,
    // counted inside the insert's own write transaction, so two programs adding at once get two
    // different places. Sets `record.priority`; the new row's key.
    StoreResult<int64_t> Append(TaskRecord& record);
    // Rewrites all five columns of the record's row (found by `record.rowId`). Fails, changing
    // nothing, unless exactly that one row was changed.
    StoreFailure Update(const TaskRecord& record);
    // Deletes the row with this key; fails, changing nothing, unless exactly one row went.
    StoreFailure Delete(int64_t rowId);
    // Deletes every row, provided the table holds exactly the rows with these keys (the ones the
    // user sees); otherwise fails and changes nothing.
    StoreFailure DeleteAll(std::vector<int64_t> rowIds);
    // Sets the priorities to 0..n-1 in list order (priority, then key), all or nothing, in one
    // statement; rows already in place are not written.
    StoreFailure Renumber();
    // Puts `records` in place of the table's rows, all or nothing, for a writer of many lists
    // under one write lock that read `schema` after taking it: the table is created (and noted in
    // `schema`) when the schema lists nothing under its name; otherwise it must be an ordinary
    // table that holds exactly the rows `rowIds` (as DeleteAll), and they are deleted. Each record
    // is then written with Insert's statement. The table is checked against `schema` once, not
    // against the file's schema for each statement, so n lists cost O(n).
    StoreFailure Replace(SchemaIndex& schema,
                         std::vector<int64_t> rowIds,
                         const std::vector<TaskRecord>& records);
    StoreFailure Drop() { return DropTable(*store_, name_); }

    // The tasks by ascending priority (rows of equal priority by key). A missing table reads as
    // empty. A priority that is not a whole number from 0 to 2^31-2 reads as -1, so no
    // arithmetic on it can overflow. A reader that writes nothing back asks for no keys: the
    // records then carry none, and the check that keys tell the rows apart is not made.
    enum class Keys { kWanted, kNotWanted };
    StoreResult<std::vector<TaskRecord>> Load(Keys keys = Keys::kWanted);
    DoneCounts CountDone();
    // Rows; 0 also when the table cannot be read.
    int Count();
    // kNone for no tasks (or unreadable), else by the share of tasks done.
    FolderStatus Status();
    // The length in bytes of the longest value, for telling the user why a list that holds a
    // value over kMaxValueBytes cannot be read. Values up to kMeasurableBytes are measured;
    // anything longer reads as kMeasurableBytes + 1. Absent when the table cannot be read at all.
    [[nodiscard]] std::optional<int64_t> LongestValueBytes();

private:
    TaskStore* store_;
    std::string name_;
};

// The folder status for counts already known: `done` of `total` tasks.
FolderStatus FolderStatusOfCounts(size_t total, size_t done);
