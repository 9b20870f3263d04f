// The task database: one SQLite file per parent folder with one table per item. Every statement
// is built as text; values are Base64, dates or numbers, so the texts stay readable and stable
// across versions (other copies of the program may be reading the same file).
//
// The file arrives with its folder from anywhere (archives, mail, shared drives), so it is
// untrusted input: every connection is hardened when it is opened (no triggers, no views, an
// untrusted schema, defensive mode, tight limits), every statement runs on a budget, and every
// write that names one row changes exactly that row or nothing at all.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "store/folder_status_value.h"

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

// One task. `title` is the stored Base64 text, shown and checked for uniqueness by the editor;
// the row itself is found by `rowId`.
struct TaskRecord {
    std::string title;
    std::optional<std::u16string> displayTitle;  // for display only, never stored
    std::optional<std::string> description;       // stored Base64; absent means none
    std::optional<std::string> doneDate;        // "%Y-%m-%d"
    uint32_t done = 0;                            // any value but 0 is done, written as 1
    int32_t priority = 0;                         // position in the list, 0 at the top
    // The row's key, captured when the row was read or inserted; absent for a record that is not
    // stored, or whose row cannot be told apart from another one (a foreign file may shadow the
    // key with a column of its own). Writes find their row by this key and nothing else.
    std::optional<int64_t> rowId;
};

// Why the last operation failed, in the classes a caller reacts to differently. The store sets
// it once, where the operation failed; the window's messages and the command line's exit codes
// are both read from it.
enum class StoreFailure {
    kNone,      // nothing has failed since the file was opened
    kBusy,      // another program holds a conflicting lock: worth trying again
    kReadOnly,  // the file, its folder or the medium allows reading only (no journal can be made)
    kDamaged,   // not a database, damaged or cut short, or made by hand: tables or statements of
                // another shape
    kTooLarge,  // a value longer than kMaxValueBytes: made or damaged elsewhere (LongestValueBytes)
    kNotFound,  // the row or rows a write names are no longer there as they were read
    kOther,     // anything else: a full disk, an I/O error, a statement stopped by its budget
};

// The time one statement may run before it is stopped and fails. A crafted file can make a
// statement very expensive; a budget keeps the window responsive and the write lock short.
struct StatementBudget {
    std::chrono::milliseconds limit{3000};
    std::chrono::steady_clock::time_point deadline{};
    bool armed = false;
};

struct TaskStore {
    // Declared before the connection, so the connection (whose progress handler points here) is
    // closed first.
    std::unique_ptr<StatementBudget> budget;
    UniqueSqlite db;
    std::string table;  // the current item's table, "tbl_" + folder key
    StoreFailure lastFailure = StoreFailure::kNone;
};

// How long a statement waits for another process's lock before it fails. Sibling programs share
// one file; without the wait, an edit could fail while the window already shows it.
constexpr int kBusyTimeoutMs = 2000;
// The longest text or blob a statement may make or read: far beyond what the editor's fields
// hold (32,767 characters, under 132 KB as Base64), far below what could exhaust memory.
constexpr int kMaxValueBytes = 1000000;
// The longest statement text: an update carries a title and a description.
constexpr int kMaxStatementBytes = 2 * kMaxValueBytes + 1000;

// Opens (or creates) the database at the UTF-8 path, read-write when the file system allows it,
// and hardens the connection. False when it cannot be opened or hardened, and when the file is
// damaged (cut short, or broken pages found by SQLite's quick check on a small file): then
// `lastFailure` is kDamaged and nothing is read from or written to it.
[[nodiscard]] bool OpenTaskStore(TaskStore& store, const std::string& utf8Path);

// Records in `lastFailure` why a statement failed with SQLite's result code `rc`, by the rules
// all of the store's operations follow; for the few statements run outside the store.
void NoteFailure(TaskStore& store, int rc);

// True when SQLite could open the file only for reading.
bool IsReadOnly(const TaskStore& store);

// The length in bytes of the longest value in `table`, for telling the user why a list that
// holds a value over kMaxValueBytes cannot be read. Values up to kMeasurableBytes are measured;
// anything longer reads as kMeasurableBytes + 1. Absent when the table cannot be read at all.
constexpr int64_t kMeasurableBytes = 64 * 1024 * 1024;
[[nodiscard]] std::optional<int64_t> LongestValueBytes(TaskStore& store, const std::string& table);

// True when the last failed operation failed because another program holds the file.
inline bool LastFailureWasBusy(const TaskStore& store) {
    return store.lastFailure == StoreFailure::kBusy;
}

// True when `table` can be read as a task table: it has the five columns the program writes.
// A table of another shape (made by hand or by another program) must not be written to.
[[nodiscard]] bool HasTaskColumns(TaskStore& store, const std::string& table);

[[nodiscard]] bool CreateTaskTable(TaskStore& store);
// Appends the record's row to the current table; the new row's key, or absent on failure.
[[nodiscard]] std::optional<int64_t> InsertTask(TaskStore& store, const TaskRecord& record);
// Appends the record as the last task of the current table: its priority is the number of rows
// the table holds, counted inside the insert's own write transaction, so two programs adding at
// once get two different places. Sets `record.priority`; the new row's key, or absent on failure.
[[nodiscard]] std::optional<int64_t> AppendTask(TaskStore& store, TaskRecord& record);
// Rewrites all five columns of the record's row (found by `record.rowId`). Fails, changing
// nothing, unless exactly that one row was changed.
[[nodiscard]] bool UpdateTask(TaskStore& store, const TaskRecord& record);
// Deletes the row with this key; fails, changing nothing, unless exactly one row went.
[[nodiscard]] bool DeleteTask(TaskStore& store, int64_t rowId);
// Deletes every row of the current table, provided the table holds exactly the rows with these
// keys (the ones the user sees); otherwise fails and changes nothing.
[[nodiscard]] bool DeleteAllTasks(TaskStore& store, std::vector<int64_t> rowIds);
// Sets the priorities of the current table to 0..n-1 in list order (priority, then key), all or
// nothing, in one statement; rows already in place are not written.
[[nodiscard]] bool RenumberTasks(TaskStore& store);
// Rows in `table`; 0 also when the table cannot be read.
int CountTasks(TaskStore& store, const std::string& table);
// kNone for no tasks (or unreadable), else by the share of tasks done.
FolderStatus GetFolderStatus(TaskStore& store, const std::string& table);
// The same rule for counts already known: `done` of `total` tasks.
FolderStatus FolderStatusOfCounts(size_t total, size_t done);
// The current table's tasks by ascending priority (rows of equal priority by key); absent when
// they cannot all be read. A missing table reads as empty. A priority that is not a whole number
// from 0 to 2^31-2 reads as -1, so no arithmetic on it can overflow.
[[nodiscard]] std::optional<std::vector<TaskRecord>> LoadTasks(TaskStore& store);
// Every table the file holds, whatever its name.
[[nodiscard]] std::optional<std::vector<std::string>> ListTables(TaskStore& store);

// The schema as one read gives it, for operations over many tables: each lookup is then a hash
// lookup instead of another scan of the schema, so an operation over n lists stays linear in n.
struct SchemaIndex {
    std::vector<std::string> tables;  // every table, whatever its name, in the file's order
    // Objects by their lower-cased name (SQL names ignore case): "table", "view", ...; "?" when
    // a crafted schema lists two objects under one name.
    std::unordered_map<std::string, std::string> typeByName;
    // The lower-cased names of the ordinary tables (made by CREATE TABLE, not virtual): the only
    // objects the program writes to.
    std::unordered_set<std::string> ordinaryTables;
};
[[nodiscard]] std::optional<SchemaIndex> ReadSchema(TaskStore& store);
// What the schema lists under `name` (any case): "table", "view", ..., or "" for nothing.
std::string SchemaTypeOf(const SchemaIndex& schema, std::string_view name);
// Puts `records` in place of the current table's rows, all or nothing, for a writer of many
// lists under one write lock that read `schema` after taking it: the table is created (and noted
// in `schema`) when the schema lists nothing under its name; otherwise it must be an ordinary
// table that holds exactly the rows `rowIds` (as DeleteAllTasks), and they are deleted. Each
// record is then written with InsertTask's statement. The table is checked against `schema`
// once, not against the file's schema for each statement, so n lists cost O(n).
[[nodiscard]] bool ReplaceTasks(TaskStore& store,
                                SchemaIndex& schema,
                                std::vector<int64_t> rowIds,
                                const std::vector<TaskRecord>& records);
[[nodiscard]] bool DropTable(TaskStore& store, const std::string& table);
// Today's local date, "%Y-%m-%d".
std::string TodayDate();

// True for the program's own table names: "tbl_" and 32 lower-case hexadecimal digits. Only such
// tables get status entries, are offered for recovery or are exported; anything else in a file is
// left alone.
bool IsTaskTableName(std::string_view table);

// The table name as it goes into a statement: the program's own "tbl_" names bare, anything else
// (a name listed from a file that may come from anywhere) quoted as an SQL identifier.
std::string SqlTableName(const std::string& table);

// Groups statements into one all-or-nothing unit: rolls back when it goes out of scope without
// Commit. Inside an enclosing transaction it joins that one and leaves the decision to it.
// It takes the write lock at once (BEGIN IMMEDIATE), so reads inside it see what its writes
// will change, and no other program can write in between.
class Transaction {
public:
    explicit Transaction(TaskStore& store);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // False when the transaction could not be started (for example the file is locked).
    bool Active() const { return active_ || joined_; }
    [[nodiscard]] bool Commit();

private:
    TaskStore& store_;
    bool active_ = false;
    bool joined_ = false;
};
