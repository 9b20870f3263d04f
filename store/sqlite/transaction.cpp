#include "store/sqlite/statement.h"
#include "store/sqlite/task_store.h"

Transaction::Transaction(TaskStore& store) : store_(store) {
    sqlite3* db = store.Handle();
    if (db == nullptr) {
        failure_ = StoreFailure::kOther;
        return;
    }
    if (sqlite3_get_autocommit(db) == 0) {
        joined_ = true;
        return;
    }
    // IMMEDIATE takes the write lock up front (waiting up to the busy timeout), so a read in the
    // middle cannot later fail to upgrade to a write while another process holds the lock.
    failure_ = Execute(store, "BEGIN IMMEDIATE;");
    active_ = Succeeded(failure_);
}

Transaction::~Transaction() {
    // A statement stopped by its budget may already have ended the transaction.
    sqlite3* db = store_.Handle();
    if (active_ && db != nullptr && sqlite3_get_autocommit(db) == 0) {
        sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
    }
}

StoreFailure Transaction::Commit() {
    if (joined_) return StoreFailure::kNone;
    if (!active_) return Succeeded(failure_) ? StoreFailure::kOther : failure_;
    if (const StoreFailure failure = Execute(store_, "COMMIT;"); !Succeeded(failure)) {
        return failure;
    }
    active_ = false;
    return StoreFailure::kNone;
}

ReadTransaction::ReadTransaction(TaskStore& store) : store_(store) {
    sqlite3* db = store.Handle();
    if (db == nullptr || sqlite3_get_autocommit(db) == 0) return;
    // Deferred: the read lock is taken by the first read, and no write lock is asked for.
    began_ = Succeeded(Execute(store, "BEGIN;"));
}

ReadTransaction::~ReadTransaction() {
    sqlite3* db = store_.Handle();
    if (began_ && db != nullptr && sqlite3_get_autocommit(db) == 0) {
        sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    }
}
