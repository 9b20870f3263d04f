#include "store/store_fault.h"

#include <sqlite3.h>

StoreFault LastStoreFault(const TaskStore& store) {
    if (!store.db) return StoreFault::kOther;
    switch (sqlite3_extended_errcode(store.db.get()) & 0xff) {
        case SQLITE_OK:
        case SQLITE_ROW:
        case SQLITE_DONE:
            return StoreFault::kNone;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return StoreFault::kBusy;
        case SQLITE_TOOBIG:
            return StoreFault::kTooLarge;
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return StoreFault::kReadOnly;
        // SQLITE_ERROR is what a statement gets from a table of the wrong shape, a view or a
        // trigger standing in for a task table: the file is not one the program wrote.
        case SQLITE_ERROR:
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_CANTOPEN:
        case SQLITE_SCHEMA:
        case SQLITE_FORMAT:
        case SQLITE_RANGE:
        case SQLITE_MISMATCH:
            return StoreFault::kUnreadable;
        default:
            return StoreFault::kOther;
    }
}

bool TableExists(TaskStore& store, const std::string& table) {
    const auto tables = ListTables(store);
    if (!tables) return false;
    for (const std::string& name : *tables) {
        if (name == table) return true;
    }
    return false;
}

bool HasTaskColumns(TaskStore& store, const std::string& table) {
    const std::string sql = "select title, description, done, done_date, priority from " +
                            SqlTableName(table) + " limit 0;";
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(store.db.get(), sql.c_str(), -1, &raw, nullptr);
    UniqueStatement statement(raw);
    return rc == SQLITE_OK;
}
