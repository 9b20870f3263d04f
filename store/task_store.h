// The task database: one SQLite file per parent folder with one table per item. Every statement
// is built as text; values are Base64, dates or numbers, so the texts stay readable and stable
// across versions (other copies of the program may be reading the same file).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

struct SqliteCloser {
    void operator()(sqlite3* db) const noexcept;
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const noexcept;
};
using UniqueSqlite = std::unique_ptr<sqlite3, SqliteCloser>;
using UniqueStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// One task. `title` is the stored Base64 text and the task's identity within its table.
struct TaskRecord {
    std::string title;
    std::optional<std::u16string> display_title;  // for display only, never stored
    std::optional<std::string> description;       // stored Base64; absent means none
    std::optional<std::string> done_date;         // "%Y-%m-%d"
    uint32_t done = 0;                            // any value but 0 is done, written as 1
    int32_t priority = 0;                         // position in the list, 0 at the top
};

struct TaskStore {
    UniqueSqlite db;
    std::string table;  // the current item's table, "tbl_" + folder key
};

// How long a statement waits for another process's lock before it fails. Sibling programs share
// one file; without the wait, an edit could fail while the window already shows it.
constexpr int kBusyTimeoutMs = 2000;

// Opens (or creates) the database at the UTF-8 path, read-write when the file system allows it.
bool OpenTaskStore(TaskStore& store, const std::string& utf8Path);

// True when SQLite could open the file only for reading.
bool IsReadOnly(const TaskStore& store);

bool CreateTaskTable(TaskStore& store);
bool InsertTask(TaskStore& store, const TaskRecord& record);
// Rewrites all five columns of the row whose title is `keyTitle`.
bool UpdateTask(TaskStore& store, const TaskRecord& record, const std::string& keyTitle);
bool DeleteTask(TaskStore& store, const std::string& title);
// Sets the priorities of the current table to 0..n-1 in list order, all or nothing.
bool RenumberTasks(TaskStore& store);
// Rows in `table`; 0 also when the table cannot be read.
int CountTasks(TaskStore& store, const std::string& table);
// 0 no tasks (or unreadable), 1 fewer than half done, 2 at least half, 3 all done.
int GetFolderStatus(TaskStore& store, const std::string& table);
// The current table's tasks by ascending priority; absent when they cannot all be read. A
// missing table reads as empty.
std::optional<std::vector<TaskRecord>> LoadTasks(TaskStore& store);
// Every table the file holds, whatever its name.
std::optional<std::vector<std::string>> ListTables(TaskStore& store);
bool DropTable(TaskStore& store, const std::string& table);
// Today's local date, "%Y-%m-%d".
std::string TodayDate();

// The table name as it goes into a statement: the program's own "tbl_" names bare, anything else
// (a name listed from a file that may come from anywhere) quoted as an SQL identifier.
std::string SqlTableName(const std::string& table);

// Groups statements into one all-or-nothing unit: rolls back when it goes out of scope without
// Commit. Inside an enclosing transaction it joins that one and leaves the decision to it.
class Transaction {
public:
    explicit Transaction(TaskStore& store);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // False when the transaction could not be started (for example the file is locked).
    bool Active() const { return active_ || joined_; }
    bool Commit();

private:
    sqlite3* db_;
    bool active_ = false;
    bool joined_ = false;
};
