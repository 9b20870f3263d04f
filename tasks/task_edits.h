// The database side of the commands that change several rows at once. Each runs as one
// transaction, so the database never holds half of a change that the list then misrepresents.
// Portable: no window code, so the all-or-nothing behaviour is tested against real files.
#pragma once

#include <cstdint>
#include <vector>

#include "store/task_table.h"

// Deletes the task's row and renumbers the rest to 0, 1, 2 ... together; fails (nothing
// changed) when either step fails or the row is not exactly one row.
StoreFailure RemoveTask(TaskTable& table, int64_t rowId);

// Deletes every listed row, which must be every row of the table; fails (nothing deleted)
// otherwise.
StoreFailure RemoveTasks(TaskTable& table, const std::vector<int64_t>& rowIds);

// True when the two records' priorities are the consecutive positions a move can exchange
// directly; rows from a foreign file may have gaps, ties or values that are no position at all.
bool HaveConsecutivePriorities(const TaskRecord& upper, const TaskRecord& lower);

// Moves `lower` (the entry just below `upper` in the list, which shows `upper` at `upperIndex`)
// one place up and `upper` one place down: both priorities change and both rows are written, or
// neither. When the two priorities are not consecutive, the table is first renumbered in list
// order, in the same transaction, and the records take their list positions before the move.
// On failure the records keep their old priorities.
StoreFailure ExchangePriorities(TaskTable& table,
                                TaskRecord& upper,
                                TaskRecord& lower,
                                int upperIndex);
