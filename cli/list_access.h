// Reading and changing task lists the way the program does: one transaction per command, the
// status entry written when a change can move an item's completion state, the shell told.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/item_location.h"
#include "store/sqlite/task_table.h"
#include "tasks/folder_status.h"

// The tasks of `table` by ascending priority. A missing table is an empty list; a file that is
// not a task database, or a table of another shape, ends the command.
std::vector<TaskRecord> LoadListTasks(TaskStore& store,
                                      const FolderLocation& folder,
                                      const std::string& table);

// The same for a command that reads many lists: `schema` is what ReadFolderSchema gave once, so
// each list costs a lookup instead of another read of the schema. A command that only reports
// asks for no row keys.
std::vector<TaskRecord> LoadListTasks(TaskStore& store,
                                      const FolderLocation& folder,
                                      const std::string& table,
                                      const SchemaIndex& schema,
                                      TaskTable::Keys keys = TaskTable::Keys::kWanted);

// Whether `table` is there; ends the command when something else stands under its name (a view,
// or a table of another shape).
bool RequireTaskList(TaskStore& store,
                     const FolderLocation& folder,
                     const std::string& table,
                     const SchemaIndex& schema);

// The file's schema, read once; a file that is not a database ends the command.
SchemaIndex ReadFolderSchema(TaskStore& store, const FolderLocation& folder);

// The row keys of `tasks` (a whole list as just loaded), for a write that must find exactly those
// rows; ends the command when one has no row key of its own.
std::vector<int64_t> RowKeysOf(const FolderLocation& folder, const std::vector<TaskRecord>& tasks);

// Deletes every task of `tasks` (the whole list as just loaded) in one statement; ends the
// command when one has no row key of its own or the delete fails. An empty list is no change.
void RemoveListedTasks(TaskTable& table,
                       const FolderLocation& folder,
                       const std::vector<TaskRecord>& tasks);

// Runs `change` in one transaction and commits it. A store call inside that fails ends the
// command through FailFromStore, and then nothing of the change stays in the file.
void RunInTransaction(TaskStore& store,
                      const FolderLocation& folder,
                      const std::function<void()>& change);

// Writes each key's status, computed from its table as the program does at exit, into the
// folder's status file in one write under the database's write lock, then tells the shell once.
// `report` is what the command did, as it tells it: the tasks are written already, so when the
// status file is not, the command ends with exit code 1 and that report, followed by why the
// overlay was not updated, on standard error.
void WriteStatusEntries(TaskStore& store,
                        const FolderLocation& folder,
                        const std::vector<std::string>& keys,
                        const std::string& report);

// Why the folder's status file was not written, for a message: "cannot write <file>: <reason>".
// `rebuilding` for a rebuild, which writes the file anew without reading the old one.
std::string StatusFileProblem(const FolderLocation& folder, FileFailure failure, bool rebuilding);

// The task at the 1-based position `n` as `list` shows it; ends the command when there is none.
size_t TaskIndex(long long n, size_t count, const std::string& itemName);
