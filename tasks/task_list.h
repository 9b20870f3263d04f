// The rules of one item's list that a change must keep, checked where they can be kept: against
// the file, inside the change's own write transaction. A list a window read a minute ago is not
// what the file holds now; another window or the command line may have added to it since.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "store/sqlite/task_table.h"

// Why a change was refused, before anything was written.
enum class TaskRefusal {
    kNone,
    kEmptyTitle,  // the stored title is empty
    kTitleTaken,  // another task of the list already has this title
    kTooLong,     // the title or the description is longer than the file may hold
};

struct TaskChange {
    std::optional<TaskRecord> task;  // the task as written; absent when refused or failed
    TaskRefusal refusal = TaskRefusal::kNone;
    StoreFailure failure = StoreFailure::kNone;  // set when the store failed
};

// True when the two records' priorities are the consecutive positions a move can exchange
// directly; rows from a foreign file may have gaps, ties or values that are no position at all.
bool HaveConsecutivePriorities(const TaskRecord& upper, const TaskRecord& lower);

// The use cases of one item's list. Each change is one write transaction (or joins the caller's),
// so the file never holds half of a change that a list then misrepresents.
class TaskList {
public:
    explicit TaskList(TaskTable table) : table_(std::move(table)) {}

    TaskTable& Table() { return table_; }

    // Adds `record` as the last task (the table is created when missing), unless its title is
    // empty, too long or taken. Title, description and done are the caller's; the date is today's,
    // the place and the row key are the file's.
    TaskChange Add(TaskRecord record);

    // Rewrites the row of `edited.rowId` with `edited`, unless its title is empty, too long or
    // another row's. The task's own title is no conflict. A done mark that differs from the row's
    // gets today's date; otherwise the date is the caller's.
    TaskChange Edit(TaskRecord edited);

    // Marks the row done with today's date, also a task that was done already; the rest of the
    // row is what the file holds.
    TaskChange MarkDone(int64_t rowId);

    // Deletes the task's row and renumbers the rest to 0, 1, 2 ... together; fails (nothing
    // changed) when either step fails or the row is not exactly one row.
    StoreFailure Remove(int64_t rowId);

    // Deletes every listed row, which must be every row of the table; fails (nothing deleted)
    // otherwise.
    StoreFailure RemoveAll(const std::vector<int64_t>& rowIds);

    // Moves `lower` (the entry just below `upper` in the list, which shows `upper` at
    // `upperIndex`) one place up and `upper` one place down: both priorities change and both rows
    // are written, or neither. Move up and move down are both this exchange of neighbours. When
    // the two priorities are not consecutive, the table is first renumbered in list order, in the
    // same transaction, and the records take their list positions before the move. On failure
    // the records keep their old priorities.
    StoreFailure Exchange(TaskRecord& upper, TaskRecord& lower, int upperIndex);

private:
    TaskTable table_;
};
