// The task database: one SQLite file per parent folder with one table per item. Every statement
// is built as text; values are Base64, dates or numbers, so the texts stay readable and stable
// across versions (other copies of the program may be reading the same file).
//
// The file arrives with its folder from anywhere (archives, mail, shared drives), so it is
// untrusted input: every connection is hardened when it is opened (no triggers, no views, an
// untrusted schema, defensive mode, tight limits), every statement runs on a budget, and every
// write that names one row changes exactly that row or nothing at all.
//
// SQLite stays inside store/: this header names its connection only as an opaque type.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "store/sqlite/store_failure.h"

struct sqlite3;

// How long a statement waits for another process's lock before it fails. Sibling programs share
// one file; without the wait, an edit could fail while the window already shows it.
constexpr int kBusyTimeoutMs = 2000;
// The wait of a connection that only reads, for a view over many files: a file another program
// is writing becomes a row saying so instead of holding up every file after it.
constexpr int kReadOnlyBusyTimeoutMs = 200;
// The longest text or blob a statement may make or read: far beyond what the editor's fields
// hold (32,767 characters, under 132 KB as Base64), far below what could exhaust memory.
constexpr int kMaxValueBytes = 1000000;
// The longest statement text: an update carries a title and a description.
constexpr int kMaxStatementBytes = 2 * kMaxValueBytes + 1000;
// The time one statement may run before it is stopped and fails. A crafted file can make a
// statement very expensive; a budget keeps the window responsive and the write lock short.
constexpr std::chrono::milliseconds kStatementBudget{3000};

struct StatementBudget;
class StoreAccess;

// One hardened connection to a task database. Move-only; closed when destroyed.
class TaskStore {
public:
    TaskStore();
    ~TaskStore();
    TaskStore(TaskStore&&) noexcept;
    TaskStore& operator=(TaskStore&&) noexcept;
    TaskStore(const TaskStore&) = delete;
    TaskStore& operator=(const TaskStore&) = delete;

    // Opens (or creates) the database at the UTF-8 path, read-write when the file system allows
    // it, and hardens the connection. Fails when it cannot be opened or hardened, and with
    // kDamaged when the file is damaged (cut short, or broken pages found by SQLite's quick check
    // on a small file): then nothing is read from or written to it.
    StoreFailure Open(const std::string& utf8Path);
    // Opens an existing database for reading only, hardened and checked as Open does, with the
    // short wait kReadOnlyBusyTimeoutMs. Creates no file and writes nothing: no database, no
    // journal, and no file in WAL mode (kDamaged: the program never makes one, and reading one
    // would create its shared-memory file). It reads from one state of the file, under one read
    // lock held until Close: keep such a connection only as long as the reading takes, since a
    // writer waits for it.
    StoreFailure OpenReadOnly(const std::string& utf8Path);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    // True when SQLite could open the file only for reading.
    bool IsReadOnly() const;

    // How long each statement may run from now on (kStatementBudget unless changed).
    void SetStatementBudget(std::chrono::milliseconds limit);
    // Stops the store's statements as soon as `*cancel` is true, as a spent budget does, the
    // opening's checks included when set before the open: a reader that gives up is not held
    // up by an expensive file. The flag must outlive the connection; nullptr stops watching.
    void StopWhen(const std::atomic<bool>* cancel);

    // The connection itself, for tests and benchmarks that craft files or measure against bare
    // SQLite; the program's own code goes through the store.
    sqlite3* Handle() const { return db_.get(); }

private:
    friend class StoreAccess;
    friend StoreFailure FailureOf(TaskStore& store, int rc);
    StoreFailure OpenWith(const std::string& utf8Path, int flags, int busyTimeoutMs);
    bool readingOnly_ = false;  // opened by OpenReadOnly
    struct Closer {
        void operator()(sqlite3* db) const noexcept;
    };
    // Declared before the connection, so the connection (whose progress handler points here) is
    // closed first.
    std::unique_ptr<StatementBudget> budget_;
    std::unique_ptr<sqlite3, Closer> db_;
};

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

    // False when the transaction could not be started (for example the file is locked); Failure
    // then says why.
    bool Active() const { return active_ || joined_; }
    StoreFailure Failure() const { return failure_; }
    StoreFailure Commit();

private:
    TaskStore& store_;
    bool active_ = false;
    bool joined_ = false;
    StoreFailure failure_ = StoreFailure::kNone;
};

// Reads many statements from one state of the file under one read lock, taken once rather than
// once per statement: a folder's thousand lists are read in one pass. Only reads belong inside
// (a write would have to wait for other readers to let go); inside an enclosing transaction it
// joins that one. When it cannot begin, the statements read one by one as before. The lock is let
// go when it goes out of scope; keep it only as long as the reading takes, since writers wait.
class ReadTransaction {
public:
    explicit ReadTransaction(TaskStore& store);
    ~ReadTransaction();
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

private:
    TaskStore& store_;
    bool began_ = false;
};
