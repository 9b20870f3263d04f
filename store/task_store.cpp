#include "store/task_store.h"

#include <sqlite3.h>

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

bool Execute(TaskStore& store, const std::string& sql) {
    return sqlite3_exec(store.db.get(), sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Prepares `sql` and hands every row to `onRow`. An error while stepping is reported, never
// passed off as the end of the rows.
template <typename OnRow>
QueryResult RunQuery(TaskStore& store, const std::string& sql, OnRow onRow) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(store.db.get(), sql.c_str(), static_cast<int>(sql.size() + 1), &raw,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return QueryResult::kPrepareFailed;
    }
    UniqueStatement statement(raw);
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) onRow(raw);
    return rc == SQLITE_DONE ? QueryResult::kOk : QueryResult::kStepFailed;
}

std::optional<std::string> ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (text == nullptr) return std::nullopt;
    // Stored texts hold no NUL, so strlen gives the length without another locked API call.
    return std::string(text);
}

std::string DoneQuery(const std::string& table) {
    return "select done from " + SqlTableName(table) + ";";
}

}  // namespace

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

bool OpenTaskStore(TaskStore& store, const std::string& utf8Path) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(utf8Path.c_str(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    store.db.reset(raw);  // closed even when the open failed
    if (rc != SQLITE_OK) {
        store.db.reset();
        return false;
    }
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    return true;
}

bool IsReadOnly(const TaskStore& store) {
    return sqlite3_db_readonly(store.db.get(), "main") == 1;
}

bool CreateTaskTable(TaskStore& store) {
    return Execute(store, "CREATE TABLE IF NOT EXISTS " + SqlTableName(store.table) +
                              " (title TEXT, description TEXT, done INTEGER, done_date TEXT, "
                              "priority INTEGER)");
}

bool InsertTask(TaskStore& store, const TaskRecord& record) {
    std::string sql = "insert into " + SqlTableName(store.table) + " values(";
    AppendQuoted(sql, record.title);
    sql += ',';
    AppendQuoted(sql, record.description.value_or(""));
    sql += record.done ? ",1," : ",0,";
    AppendQuoted(sql, record.done_date.value_or(""));
    sql += ',' + std::to_string(record.priority) + ");";
    return Execute(store, sql);
}

bool UpdateTask(TaskStore& store, const TaskRecord& record, const std::string& keyTitle) {
    std::string sql = "update " + SqlTableName(store.table) + " set title=";
    AppendQuoted(sql, record.title);
    sql += ", description=";
    AppendQuoted(sql, record.description.value_or(""));
    sql += record.done ? ", done=1, done_date=" : ", done=0, done_date=";
    AppendQuoted(sql, record.done_date.value_or(""));
    sql += ", priority=" + std::to_string(record.priority) + " where title=";
    AppendQuoted(sql, keyTitle);
    sql += ';';
    return Execute(store, sql);
}

bool DeleteTask(TaskStore& store, const std::string& title) {
    std::string sql = "delete from " + SqlTableName(store.table) + " where title=";
    AppendQuoted(sql, title);
    sql += ';';
    return Execute(store, sql);
}

bool RenumberTasks(TaskStore& store) {
    // Priorities computed from a partial list, or half written, would corrupt the order: read
    // and rewrite them in one transaction and stop at the first failure.
    Transaction transaction(store);
    if (!transaction.Active()) return false;
    auto tasks = LoadTasks(store);
    if (!tasks) return false;
    for (size_t i = 0; i < tasks->size(); ++i) {
        TaskRecord& task = (*tasks)[i];
        task.priority = static_cast<int32_t>(i);
        if (!UpdateTask(store, task, task.title)) return false;
    }
    return transaction.Commit();
}

int CountTasks(TaskStore& store, const std::string& table) {
    int count = 0;
    const auto result = RunQuery(store, DoneQuery(table), [&](sqlite3_stmt*) { ++count; });
    return result == QueryResult::kOk ? count : 0;
}

int GetFolderStatus(TaskStore& store, const std::string& table) {
    int total = 0;
    int done = 0;
    const auto result = RunQuery(store, DoneQuery(table), [&](sqlite3_stmt* row) {
        ++total;
        if (sqlite3_column_int(row, 0) != 0) ++done;
    });
    if (result != QueryResult::kOk || total == 0) return 0;
    if (done == total) return 3;
    return static_cast<double>(done) / total * 100.0 >= 50.0 ? 2 : 1;
}

std::optional<std::vector<TaskRecord>> LoadTasks(TaskStore& store) {
    // Count first: a table that cannot be queried is missing (a fresh item, or one whose table
    // was cleared) and reads as an empty list, and the count sizes the list in one allocation.
    // A table that exists but fails part-way is an error, never a shorter list.
    int count = 0;
    const auto counted = RunQuery(store, DoneQuery(store.table), [&](sqlite3_stmt*) { ++count; });
    if (counted == QueryResult::kPrepareFailed) return std::vector<TaskRecord>();
    if (counted == QueryResult::kStepFailed) return std::nullopt;
    std::vector<TaskRecord> tasks;
    if (count == 0) return tasks;
    tasks.reserve(static_cast<size_t>(count));
    const auto result = RunQuery(store,
                                 "select title, description, done, done_date, priority from " +
                                     SqlTableName(store.table) + " order by priority asc;",
                                 [&](sqlite3_stmt* row) {
                                     TaskRecord& task = tasks.emplace_back();
                                     if (auto title = ColumnText(row, 0))
                                         task.title = std::move(*title);
                                     task.description = ColumnText(row, 1);
                                     task.done = static_cast<uint32_t>(sqlite3_column_int(row, 2));
                                     task.done_date = ColumnText(row, 3);
                                     task.priority = sqlite3_column_int(row, 4);
                                 });
    // The list holds exactly the rows this query returned, even if another program changed the
    // table since the count.
    if (result != QueryResult::kOk) return std::nullopt;
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

Transaction::Transaction(TaskStore& store) : db_(store.db.get()) {
    if (db_ == nullptr) return;
    if (sqlite3_get_autocommit(db_) == 0) {
        joined_ = true;
        return;
    }
    // IMMEDIATE takes the write lock up front (waiting up to the busy timeout), so a read in the
    // middle cannot later fail to upgrade to a write while another process holds the lock.
    active_ = sqlite3_exec(db_, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr) == SQLITE_OK;
}

Transaction::~Transaction() {
    if (active_) sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
}

bool Transaction::Commit() {
    if (joined_) return true;
    if (!active_) return false;
    if (sqlite3_exec(db_, "COMMIT;", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
    active_ = false;
    return true;
}
