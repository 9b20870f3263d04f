// Task lists that lost their item, and bringing them back. An item's tasks are keyed by the hash
// of its name, so renaming an item or moving it to another folder leaves its table behind under
// the old key. These functions find such tables, describe them well enough for a person to
// recognise one, and attach one to an item: within the item's own database, or from the database
// of the folder the item was moved out of.
//
// Everything here is portable and works on connections opened with TaskStore::Open. Like the rest
// of the store, nothing passes SQLite's error text on: results are values and statuses, and the
// caller chooses the words.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/sqlite/schema.h"
#include "store/sqlite/task_table.h"

// The tables of `tables` whose name is the table name of none of `entryNames` (the bare names of
// everything in the folder that holds the database, "." and ".." included where listed). Names
// are hashed exactly as given, so "Proj" does not claim the table of "proj". Any table name may
// be returned, in the order of `tables`; callers that offer recovery keep the IsTaskTableName
// ones.
std::vector<std::string> UnclaimedTables(const std::vector<std::string>& tables,
                                         const std::vector<std::u16string>& entryNames);

// How many titles a summary carries.
constexpr size_t kSummaryTitles = 3;

// What a person needs to recognise a task list.
struct TaskListSummary {
    std::string table;                        // "tbl_" + the old key
    int tasks = 0;                            // rows
    int done = 0;                             // rows whose done value is not 0
    std::vector<std::u16string> firstTitles;  // decoded titles of the first rows, by priority
    std::string latestDate;                   // the latest "%Y-%m-%d" date of any row; "" if none
};

// Reads `table` of `store`. Fails when the table cannot be read as a task list (missing, damaged,
// or without the five task columns).
StoreResult<TaskListSummary> SummarizeTaskList(TaskStore& store, const std::string& table);

// The same, with the schema read once by the caller (see ReadSchema): for many tables.
StoreResult<TaskListSummary> SummarizeTaskList(TaskStore& store,
                                               const std::string& table,
                                               const SchemaIndex& schema);

// The readable task lists of `store` that belong to no entry of `entryNames` (see
// UnclaimedTables), empty ones included, in the order the file lists its tables. Fails when the
// tables cannot be listed. Task tables that cannot be read are left out: they cannot be
// recovered either.
StoreResult<std::vector<TaskListSummary>> FindUnclaimedLists(
    TaskStore& store,
    const std::vector<std::u16string>& entryNames);

// FindUnclaimedLists a few tables at a time, for a window that must keep answering and may stop
// part-way: StartUnclaimedListing reads the schema once, each ContinueUnclaimedListing call reads
// up to `count` more tables into `lists`.
struct UnclaimedListing {
    SchemaIndex schema;
    std::vector<std::string> tables;  // the unclaimed task tables, in the file's order
    size_t next = 0;                  // the first table not read yet
    std::vector<TaskListSummary> lists;
    // Task tables left out because they hold a value over kMaxValueBytes, which no statement of
    // the store reads: a file made or damaged elsewhere. Nothing of them is changed.
    std::vector<std::string> tooLarge;
    bool Finished() const { return next >= tables.size(); }
};
StoreResult<UnclaimedListing> StartUnclaimedListing(TaskStore& store,
                                                    const std::vector<std::u16string>& entryNames);
void ContinueUnclaimedListing(TaskStore& store, UnclaimedListing& listing, size_t count);

// What "Clear Unreferenced Data..." would destroy beyond empty tables: the tables of `tables`
// that no entry claims and that hold tasks, and how many of those tasks are not done.
struct ClearLoss {
    int lists = 0;      // unclaimed tables with at least one row
    int openTasks = 0;  // rows of those tables whose done value is 0
};
ClearLoss UnclaimedTaskLoss(TaskStore& store,
                            const std::vector<std::string>& tables,
                            const std::vector<std::u16string>& entryNames);

enum class RecoveryStatus {
    kDone,              // the tasks are in the target table and the source table is gone
    kTargetBusy,        // the item's database is locked by another program; nothing changed
    kTargetReadOnly,    // the item's database can only be read; nothing changed
    kTargetFailed,      // the item's table could not be read or written; nothing changed
    kSourceBusy,        // the other database is locked by another program; nothing changed
    kSourceReadOnly,    // the other database can only be read; nothing changed
    kSourceUnreadable,  // the source is no readable task list (damaged, crafted); nothing changed
    kCopiedNotRemoved,  // across files only: the tasks are in both files (the target committed)
};

// A recovered task whose title equalled a title the item already had. It was kept with the
// suffix " (recovered)" (or " (recovered 2)", " (recovered 3)", ...) added to its decoded title.
struct RenamedTask {
    std::string from;  // stored (Base64) titles
    std::string to;
};

struct RecoveryResult {
    RecoveryStatus status = RecoveryStatus::kTargetFailed;
    int recovered = 0;  // rows that reached the target table
    std::vector<RenamedTask> renamed;
};

// Attaches the tasks of `sourceTable` to `targetTable`, both in `store`, in one transaction,
// and drops `sourceTable`. Every column of every row is kept as stored, with two exceptions:
// - when the target already has tasks, the recovered ones follow them in their own order
//   (priority, then storage order), numbered on from the target's highest priority plus one;
//   into an empty target they keep their priorities, so the table reads exactly as the old one;
// - a recovered title that equals one the target already has is renamed (see RenamedTask).
// A missing target table is created. `sourceTable` must be a task table name other than the
// target; otherwise the result is kSourceUnreadable and nothing is touched.
[[nodiscard]] RecoveryResult AttachTaskList(TaskStore& store,
                                            const std::string& sourceTable,
                                            const std::string& targetTable);

// The same across two files, for an item moved out of the folder of `from`: the rows are copied
// into `targetTable` of `to` by the rules of AttachTaskList, `to` commits, and only then is
// `sourceTable` dropped from `from`. `from` stays write-locked from the first read to the drop,
// so exactly the rows copied are removed. A failure before the commit of `to` changes nothing;
// a failure after it leaves the tasks in both files (kCopiedNotRemoved, `recovered` and `renamed`
// filled in). `from` and `to` must be connections to different files.
[[nodiscard]] RecoveryResult MoveTaskListAcross(TaskStore& from,
                                                const std::string& sourceTable,
                                                TaskStore& to,
                                                const std::string& targetTable);

// The decoded form of a title with the collision suffix for attempt `n` (1 gives " (recovered)",
// n > 1 gives " (recovered n)"), encoded again. Exposed for the messages and the tests.
std::string RecoveredTitle(const std::string& storedTitle, int n);
