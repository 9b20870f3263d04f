// The rules of one item's list that a change must keep, checked where they can be kept: against
// the file, inside the change's own write transaction. A list a window read a minute ago is not
// what the file holds now; another window or the command line may have added to it since.
#pragma once

#include <optional>

#include "store/task_table.h"

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

// Adds `record` as the last task of `table` (created when missing), unless its title
// is empty, too long or taken. Title, description, done and date are the caller's; the place and
// the row key are the file's.
TaskChange AddListTask(TaskTable& table, TaskRecord record);

// Rewrites the row of `edited.rowId` with `edited`, unless its title is empty, too long or
// another row's. The task's own title is no conflict.
TaskChange EditListTask(TaskTable& table, TaskRecord edited);
