// Why the last operation on a connection failed, in the few classes a caller reacts to
// differently: a file another program holds (try again), a file that is damaged or not a task
// database (trying again will not help), and a file that may only be read.
#pragma once

#include "store/task_store.h"

enum class StoreFault {
    kNone,        // the last call succeeded
    kBusy,        // another connection holds a conflicting lock
    kReadOnly,    // the file, its folder or the medium allows reading only
    kUnreadable,  // not a database, damaged, or tables of an unexpected shape
    kTooLarge,    // a value over the store's length limit: made or damaged elsewhere
    kOther,       // anything else: full disk, I/O error, no connection
};

// Classifies the result of the connection's most recent call. Read it right after the failing
// operation: any later statement (a rollback too) replaces it.
StoreFault LastStoreFault(const TaskStore& store);

// True when the file's schema lists a table of this exact name.
[[nodiscard]] bool TableExists(TaskStore& store, const std::string& table);

// True when `table` can be read as a task table: it has the five columns the program writes.
// A table of another shape (made by hand or by another program) must not be written to.
[[nodiscard]] bool HasTaskColumns(TaskStore& store, const std::string& table);
