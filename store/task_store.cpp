#include "store/task_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <string_view>

void SqliteCloser::operator()(sqlite3* db) const noexcept {
    sqlite3_close(db);
}

void StatementFinalizer::operator()(sqlite3_stmt* statement) const noexcept {
    sqlite3_finalize(statement);
}

namespace {

enum class QueryResult { kOk, kPrepareFailed, kStepFailed };

// A value between single quotes. Values the program writes are Base64, dates and numbers, which
// never hold a quote, so their text is unchanged; a value read from a foreign file is escaped
// rather than allowed to end the literal.
void AppendQuoted(std::string& sql, std::string_view value) {
    sql += '\'';
    for (char c : value) {
        if (c == '\'') sql += '\'';
        sql += c;
    }
    sql += '\'';
}

bool IsOwnTableName(std::string_view table) {
    if (table.size() <= 4 || table.substr(0, 4) != "tbl_") return false;
    for (char c : table.substr(4)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

// Gives one statement (with its preparation) its budget for as long as it lives.
class BudgetScope {
public:
    explicit BudgetScope(TaskStore& store) : budget_(store.budget.get()) {
        if (budget_ == nullptr) return;
        budget_->deadline = std::chrono::steady_clock::now() + budget_->limit;
        budget_->armed = true;
    }
    ~BudgetScope() {
        if (budget_ != nullptr) budget_->armed = false;
    }
    BudgetScope(const BudgetScope&) = delete;
    BudgetScope& operator=(const BudgetScope&) = delete;

private:
    StatementBudget* budget_;
};

bool Fail(TaskStore& store, int rc) {
    NoteFailure(store, rc);
    return false;
}

bool Execute(TaskStore& store, const std::string& sql) {
    BudgetScope budget(store);
    const int rc = sqlite3_exec(store.db.get(), sql.c_str(), nullptr, nullptr, nullptr);
    return rc == SQLITE_OK || Fail(store, rc);
}

// A write that names one row: it succeeds only when it changed exactly one row. Otherwise the
// change is taken back (inside the caller's transaction, or in one of its own), so the window
// never shows as done what the file does not hold.
bool ExecuteOnOneRow(TaskStore& store, const std::string& sql);

// Prepares `sql` and hands every row to `onRow`. An error while stepping is reported, never
// passed off as the end of the rows.
template <typename OnRow>
QueryResult RunQuery(TaskStore& store, const std::string& sql, OnRow onRow) {
    BudgetScope budget(store);
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(store.db.get(), sql.c_str(), static_cast<int>(sql.size() + 1), &raw,
                                nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(raw);
        Fail(store, rc);
        return QueryResult::kPrepareFailed;
    }
    UniqueStatement statement(raw);
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) onRow(raw);
    if (rc == SQLITE_DONE) return QueryResult::kOk;
    Fail(store, rc);
    return QueryResult::kStepFailed;
}

std::optional<std::string> ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (text == nullptr) return std::nullopt;
    // Stored texts hold no NUL, so strlen gives the length without another locked API call.
    return std::string(text);
}

// ASCII case folding, as SQL compares names.
std::string LowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
}

std::string DoneQuery(const std::string& table) {
    return "select done from " + SqlTableName(table) + ";";
}

// True when the current table is an ordinary table of the file, the only thing the program
// writes to. A foreign file may put a view, a virtual table or nothing under the item's name.
bool IsWritableTable(TaskStore& store) {
    std::string sql = "SELECT type, sql FROM sqlite_master WHERE name=";
    AppendQuoted(sql, store.table);
    sql += " COLLATE NOCASE;";
    int rows = 0;
    bool ordinary = false;
    const auto result = RunQuery(store, sql, [&](sqlite3_stmt* row) {
        ++rows;
        const auto type = ColumnText(row, 0);
        const auto text = ColumnText(row, 1);
        std::string prefix = text.value_or("").substr(0, 13);
        std::transform(prefix.begin(), prefix.end(), prefix.begin(),
                       [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
        ordinary = type == "table" && prefix == "CREATE TABLE ";
    });
    if (result == QueryResult::kOk && rows == 1 && ordinary) return true;
    if (result == QueryResult::kOk) {
        store.lastFailure = rows == 0 ? StoreFailure::kNotFound : StoreFailure::kDamaged;
    }
    return false;
}

// True when the schema holds nothing under the current table's name.
bool IsMissingTable(TaskStore& store) {
    std::string sql = "SELECT type FROM sqlite_master WHERE name=";
    AppendQuoted(sql, store.table);
    sql += " COLLATE NOCASE;";
    int rows = 0;
    return RunQuery(store, sql, [&](sqlite3_stmt*) { ++rows; }) == QueryResult::kOk && rows == 0;
}

bool ExecuteOnOneRow(TaskStore& store, const std::string& sql) {
    Transaction transaction(store);
    if (!transaction.Active() || !IsWritableTable(store) || !Execute(store, sql)) return false;
    if (sqlite3_changes(store.db.get()) != 1) {
        store.lastFailure = StoreFailure::kNotFound;
        return false;
    }
    return transaction.Commit();
}

void AppendRowKey(std::string& sql, int64_t rowId) {
    sql += " where rowid=" + std::to_string(rowId) + ';';
}

}  // namespace

bool IsTaskTableName(std::string_view table) {
    return table.size() == 36 && IsOwnTableName(table);
}

std::string SqlTableName(const std::string& table) {
    if (IsOwnTableName(table)) return table;
    std::string quoted = "\"";
    for (char c : table) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

bool IsReadOnly(const TaskStore& store) {
    return sqlite3_db_readonly(store.db.get(), "main") == 1;
}

bool HasTaskColumns(TaskStore& store, const std::string& table) {
    const std::string sql = "select title, description, done, done_date, priority from " +
                            SqlTableName(table) + " limit 0;";
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(store.db.get(), sql.c_str(), -1, &raw, nullptr);
    UniqueStatement statement(raw);
    return rc == SQLITE_OK;
}

bool CreateTaskTable(TaskStore& store) {
    return Execute(store, "CREATE TABLE IF NOT EXISTS " + SqlTableName(store.table) +
                              " (title TEXT, description TEXT, done INTEGER, done_date TEXT, "
                              "priority INTEGER)");
}

namespace {

std::string InsertStatement(const std::string& table, const TaskRecord& record) {
    std::string sql = "insert into " + SqlTableName(table) + " values(";
    AppendQuoted(sql, record.title);
    sql += ',';
    AppendQuoted(sql, record.description.value_or(""));
    sql += record.done ? ",1," : ",0,";
    AppendQuoted(sql, record.doneDate.value_or(""));
    sql += ',' + std::to_string(record.priority) + ");";
    return sql;
}

}  // namespace

std::optional<int64_t> InsertTask(TaskStore& store, const TaskRecord& record) {
    const std::string sql = InsertStatement(store.table, record);
    // The key is read inside the transaction, before any other write on this connection.
    Transaction transaction(store);
    if (!transaction.Active() || !ExecuteOnOneRow(store, sql)) return std::nullopt;
    const int64_t rowId = sqlite3_last_insert_rowid(store.db.get());
    if (!transaction.Commit()) return std::nullopt;
    return rowId;
}

std::optional<int64_t> AppendTask(TaskStore& store, TaskRecord& record) {
    Transaction transaction(store);
    if (!transaction.Active()) return std::nullopt;
    int64_t count = -1;
    if (RunQuery(store, "select count(*) from " + SqlTableName(store.table) + ";",
                 [&](sqlite3_stmt* row) { count = sqlite3_column_int64(row, 0); }) !=
        QueryResult::kOk) {
        return std::nullopt;
    }
    if (count < 0 || count >= INT32_MAX) {
        store.lastFailure = StoreFailure::kDamaged;
        return std::nullopt;
    }
    record.priority = static_cast<int32_t>(count);
    const auto rowId = InsertTask(store, record);
    if (!rowId || !transaction.Commit()) return std::nullopt;
    return rowId;
}

bool UpdateTask(TaskStore& store, const TaskRecord& record) {
    if (!record.rowId) {
        store.lastFailure = StoreFailure::kNotFound;
        return false;
    }
    std::string sql = "update " + SqlTableName(store.table) + " set title=";
    AppendQuoted(sql, record.title);
    sql += ", description=";
    AppendQuoted(sql, record.description.value_or(""));
    sql += record.done ? ", done=1, done_date=" : ", done=0, done_date=";
    AppendQuoted(sql, record.doneDate.value_or(""));
    sql += ", priority=" + std::to_string(record.priority);
    AppendRowKey(sql, *record.rowId);
    return ExecuteOnOneRow(store, sql);
}

bool DeleteTask(TaskStore& store, int64_t rowId) {
    std::string sql = "delete from " + SqlTableName(store.table);
    AppendRowKey(sql, rowId);
    return ExecuteOnOneRow(store, sql);
}

namespace {

// DeleteAllTasks on a table already found to be writable, inside the caller's transaction.
bool DeleteExactly(TaskStore& store, std::vector<int64_t> rowIds) {
    // The rows are listed in key order, one pass; the table must hold exactly the ones shown.
    std::sort(rowIds.begin(), rowIds.end());
    size_t next = 0;
    bool same = true;
    const auto listed = RunQuery(
        store, "select rowid from " + SqlTableName(store.table) + ";", [&](sqlite3_stmt* row) {
            if (next >= rowIds.size() || sqlite3_column_type(row, 0) != SQLITE_INTEGER ||
                sqlite3_column_int64(row, 0) != rowIds[next]) {
                same = false;
            }
            ++next;
        });
    if (listed != QueryResult::kOk) return false;
    if (!same || next != rowIds.size()) {
        store.lastFailure = StoreFailure::kNotFound;
        return false;
    }
    if (!Execute(store, "delete from " + SqlTableName(store.table) + ";")) return false;
    if (static_cast<size_t>(sqlite3_changes(store.db.get())) != rowIds.size()) {
        store.lastFailure = StoreFailure::kNotFound;
        return false;
    }
    return true;
}

}  // namespace

bool DeleteAllTasks(TaskStore& store, std::vector<int64_t> rowIds) {
    Transaction transaction(store);
    return transaction.Active() && IsWritableTable(store) &&
           DeleteExactly(store, std::move(rowIds)) && transaction.Commit();
}

bool RenumberTasks(TaskStore& store) {
    Transaction transaction(store);
    if (!transaction.Active() || !IsWritableTable(store)) return false;
    const std::string table = SqlTableName(store.table);
    // The common case, a list the program wrote with one task just removed, is a run of distinct
    // whole numbers 0..n with one of them missing: closing the gap is one shift of the rows above
    // it, which keeps their order and so gives each row its rank, as a full renumbering would.
    // One pass over the priorities, marking the values seen, tells this case from the rest.
    int64_t count = -1;
    if (RunQuery(store, "select count(*) from " + table + ";", [&](sqlite3_stmt* row) {
            count = sqlite3_column_int64(row, 0);
        }) != QueryResult::kOk) {
        return false;
    }
    if (count <= 0) return transaction.Commit();
    std::vector<bool> seen(static_cast<size_t>(count) + 1, false);
    bool positions = true;
    int64_t rows = 0;
    const auto measured =
        RunQuery(store, "select priority from " + table + ";", [&](sqlite3_stmt* row) {
            ++rows;
            const int64_t value = sqlite3_column_int64(row, 0);
            if (!positions || value < 0 || value > count ||
                sqlite3_column_type(row, 0) != SQLITE_INTEGER || seen[static_cast<size_t>(value)]) {
                positions = false;
                return;
            }
            seen[static_cast<size_t>(value)] = true;
        });
    if (measured != QueryResult::kOk) return false;
    positions = positions && rows == count;
    // count distinct values out of 0..count: exactly one is missing. When it is count itself,
    // everything is in place already.
    const auto gap = std::find(seen.begin(), seen.end(), false) - seen.begin();
    if (positions && gap == count) return transaction.Commit();
    std::string sql;
    if (positions) {
        sql = "update " + table + " set priority=priority-1 where priority>" + std::to_string(gap) +
              ";";
    } else {
        // Anything else (ties, gaps, values that are no position at all) is ranked in list order
        // in one statement, and only rows out of place are written: n log n, never n squared.
        sql = "update " + table +
              " set priority=ranked.position from (select rowid as id, row_number() over (order "
              "by priority asc, rowid asc) - 1 as position from " +
              table + ") as ranked where " + table +
              ".rowid=ranked.id and priority is not ranked.position;";
    }
    return Execute(store, sql) && transaction.Commit();
}

int CountTasks(TaskStore& store, const std::string& table) {
    int count = 0;
    const auto result = RunQuery(store, DoneQuery(table), [&](sqlite3_stmt*) { ++count; });
    return result == QueryResult::kOk ? count : 0;
}

FolderStatus GetFolderStatus(TaskStore& store, const std::string& table) {
    int total = 0;
    int done = 0;
    const auto result = RunQuery(store, DoneQuery(table), [&](sqlite3_stmt* row) {
        ++total;
        if (sqlite3_column_int(row, 0) != 0) ++done;
    });
    if (result != QueryResult::kOk) return FolderStatus::kNone;
    return FolderStatusOfCounts(static_cast<size_t>(total), static_cast<size_t>(done));
}

FolderStatus FolderStatusOfCounts(size_t total, size_t done) {
    if (total == 0) return FolderStatus::kNone;
    if (done == total) return FolderStatus::kAllDone;
    return static_cast<double>(done) / static_cast<double>(total) * 100.0 >= 50.0
               ? FolderStatus::kAtLeastHalf
               : FolderStatus::kLessThanHalf;
}

std::optional<std::vector<TaskRecord>> LoadTasks(TaskStore& store) {
    // Count first: a table that cannot be queried is missing (a fresh item, or one whose table
    // was cleared) and reads as an empty list, and the count sizes the list in one allocation.
    // A table that exists but fails part-way is an error, never a shorter list.
    int count = 0;
    const auto counted = RunQuery(store, DoneQuery(store.table), [&](sqlite3_stmt*) { ++count; });
    if (counted == QueryResult::kPrepareFailed) {
        // Busy is not missing: the list would look empty while the file holds tasks. Nor is an
        // object of the table's name that cannot be read (a view, say): it is not shown as an
        // empty list that the user would then add to.
        if (store.lastFailure == StoreFailure::kBusy || !IsMissingTable(store)) {
            return std::nullopt;
        }
        store.lastFailure = StoreFailure::kNone;  // a missing table is no failure
        return std::vector<TaskRecord>();
    }
    if (counted == QueryResult::kStepFailed) return std::nullopt;
    std::vector<TaskRecord> tasks;
    if (count == 0) return tasks;
    tasks.reserve(static_cast<size_t>(count));
    const auto result =
        RunQuery(store,
                 "select title, description, done, done_date, priority, rowid from " +
                     SqlTableName(store.table) + " order by priority asc, rowid asc;",
                 [&](sqlite3_stmt* row) {
                     TaskRecord& task = tasks.emplace_back();
                     if (auto title = ColumnText(row, 0)) task.title = std::move(*title);
                     task.description = ColumnText(row, 1);
                     task.done = static_cast<uint32_t>(sqlite3_column_int(row, 2));
                     task.doneDate = ColumnText(row, 3);
                     const int64_t priority = sqlite3_column_int64(row, 4);
                     const bool position = sqlite3_column_type(row, 4) == SQLITE_INTEGER &&
                                           priority >= 0 && priority < INT32_MAX;
                     task.priority = position ? static_cast<int32_t>(priority) : -1;
                     task.rowId = sqlite3_column_int64(row, 5);
                 });
    // The list holds exactly the rows this query returned, even if another program changed the
    // table since the count.
    if (result != QueryResult::kOk) return std::nullopt;
    // Keys must tell the rows apart. A foreign table may declare a column named like the key,
    // which then hides it; such a table's rows are shown but never written.
    std::string shadow = "SELECT count(*) FROM pragma_table_info(";
    AppendQuoted(shadow, store.table);
    shadow += ") WHERE lower(name) IN ('rowid','oid','_rowid_');";
    int shadowing = -1;
    const auto checked =
        RunQuery(store, shadow, [&](sqlite3_stmt* row) { shadowing = sqlite3_column_int(row, 0); });
    if (checked != QueryResult::kOk) return std::nullopt;
    if (shadowing != 0) {
        for (TaskRecord& task : tasks) task.rowId.reset();
    }
    return tasks;
}

std::optional<std::vector<std::string>> ListTables(TaskStore& store) {
    std::vector<std::string> names;
    const auto result =
        RunQuery(store, "SELECT name FROM sqlite_master WHERE type='table';",
                 [&](sqlite3_stmt* row) { names.push_back(ColumnText(row, 0).value_or("")); });
    if (result != QueryResult::kOk) return std::nullopt;
    return names;
}

std::optional<int64_t> LongestValueBytes(TaskStore& store, const std::string& table) {
    // The limit is raised for this one read only, and only so far that measuring stays cheap:
    // every value is read once as bytes and let go.
    sqlite3* db = store.db.get();
    if (db == nullptr) return std::nullopt;
    const int limit = sqlite3_limit(db, SQLITE_LIMIT_LENGTH, static_cast<int>(kMeasurableBytes));
    std::string sql = "select max(";
    for (const char* column : {"title", "description", "done", "done_date", "priority"}) {
        sql += std::string("coalesce(length(cast(") + column + " as blob)),0),";
    }
    sql.back() = ')';
    sql = "select max(longest) from (" + sql + " as longest from " + SqlTableName(table) + ");";
    int64_t longest = 0;
    const auto result =
        RunQuery(store, sql, [&](sqlite3_stmt* row) { longest = sqlite3_column_int64(row, 0); });
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, limit);
    if (result == QueryResult::kOk) return longest;
    if (store.lastFailure == StoreFailure::kTooLarge) return kMeasurableBytes + 1;
    return std::nullopt;
}

std::optional<SchemaIndex> ReadSchema(TaskStore& store) {
    SchemaIndex schema;
    const auto result =
        RunQuery(store,
                 "SELECT type, name, upper(substr(sql, 1, 13)) = 'CREATE TABLE ' FROM "
                 "sqlite_master;",
                 [&](sqlite3_stmt* row) {
                     std::string type = ColumnText(row, 0).value_or("");
                     std::string name = ColumnText(row, 1).value_or("");
                     if (type == "table") schema.tables.push_back(name);
                     if (type == "table" && sqlite3_column_int(row, 2) == 1) {
                         schema.ordinaryTables.insert(LowerCase(name));
                     }
                     const auto [entry, added] = schema.typeByName.emplace(LowerCase(name), type);
                     if (!added) entry->second = "?";
                 });
    if (result != QueryResult::kOk) return std::nullopt;
    return schema;
}

std::string SchemaTypeOf(const SchemaIndex& schema, std::string_view name) {
    const auto found = schema.typeByName.find(LowerCase(std::string(name)));
    return found == schema.typeByName.end() ? std::string() : found->second;
}

bool ReplaceTasks(TaskStore& store,
                  SchemaIndex& schema,
                  std::vector<int64_t> rowIds,
                  const std::vector<TaskRecord>& records) {
    Transaction transaction(store);
    if (!transaction.Active()) return false;
    const std::string name = LowerCase(store.table);
    const std::string type = SchemaTypeOf(schema, name);
    if (type.empty()) {
        if (!rowIds.empty()) {
            store.lastFailure = StoreFailure::kNotFound;
            return false;
        }
        if (!CreateTaskTable(store)) return false;
        schema.tables.push_back(store.table);
        schema.typeByName.emplace(name, "table");
        schema.ordinaryTables.insert(name);
    } else if (type != "table" || schema.ordinaryTables.count(name) == 0) {
        store.lastFailure = StoreFailure::kDamaged;  // as IsWritableTable finds it
        return false;
    } else if (!DeleteExactly(store, std::move(rowIds))) {
        return false;
    }
    for (const TaskRecord& record : records) {
        if (!Execute(store, InsertStatement(store.table, record))) return false;
        if (sqlite3_changes(store.db.get()) != 1) {
            store.lastFailure = StoreFailure::kNotFound;
            return false;
        }
    }
    return transaction.Commit();
}

bool DropTable(TaskStore& store, const std::string& table) {
    return Execute(store, "DROP TABLE IF EXISTS " + SqlTableName(table) + ";");
}

std::string TodayDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return std::string(text, length);
}

Transaction::Transaction(TaskStore& store) : store_(store) {
    sqlite3* db = store.db.get();
    if (db == nullptr) return;
    if (sqlite3_get_autocommit(db) == 0) {
        joined_ = true;
        return;
    }
    // IMMEDIATE takes the write lock up front (waiting up to the busy timeout), so a read in the
    // middle cannot later fail to upgrade to a write while another process holds the lock.
    active_ = Execute(store, "BEGIN IMMEDIATE;");
}

Transaction::~Transaction() {
    // A statement stopped by its budget may already have ended the transaction.
    sqlite3* db = store_.db.get();
    if (active_ && db != nullptr && sqlite3_get_autocommit(db) == 0) {
        sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
    }
}

bool Transaction::Commit() {
    if (joined_) return true;
    if (!active_) return false;
    if (!Execute(store_, "COMMIT;")) return false;
    active_ = false;
    return true;
}
