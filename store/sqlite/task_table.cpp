#include "store/sqlite/task_table.h"

#include <algorithm>
#include <ctime>
#include <string_view>

#include "store/sqlite/statement.h"

namespace {

std::string DoneQuery(const std::string& table) {
    return "select done from " + SqlTableName(table) + ";";
}

// Kept when a step fails after an earlier one succeeded: the first failure tells why.
bool Failed(StoreFailure& failure, StoreFailure step) {
    if (!Succeeded(step)) failure = step;
    return !Succeeded(step);
}

// Whether `table` is an ordinary table of the file, the only thing the program writes to: kNone
// when it is. A foreign file may put a view, a virtual table or nothing under the item's name.
StoreFailure CheckWritable(TaskStore& store, const std::string& table) {
    std::string sql = "SELECT type, sql FROM sqlite_master WHERE name=";
    AppendQuoted(sql, table);
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
    if (!result.Ok()) return result.failure;
    if (rows == 1 && ordinary) return StoreFailure::kNone;
    return rows == 0 ? StoreFailure::kNotFound : StoreFailure::kDamaged;
}

// Whether the schema holds nothing under `table`'s name.
StoreResult<bool> IsMissingTable(TaskStore& store, const std::string& table) {
    std::string sql = "SELECT type FROM sqlite_master WHERE name=";
    AppendQuoted(sql, table);
    sql += " COLLATE NOCASE;";
    int rows = 0;
    const auto result = RunQuery(store, sql, [&](sqlite3_stmt*) { ++rows; });
    if (!result.Ok()) return result.failure;
    return rows == 0;
}

// A write that names one row: it succeeds only when it changed exactly one row. Otherwise the
// change is taken back (inside the caller's transaction, or in one of its own), so the window
// never shows as done what the file does not hold.
StoreFailure ExecuteOnOneRow(TaskStore& store, const std::string& table, const std::string& sql) {
    Transaction transaction(store);
    StoreFailure failure = StoreFailure::kNone;
    if (!transaction.Active()) return transaction.Failure();
    if (Failed(failure, CheckWritable(store, table)) || Failed(failure, Execute(store, sql))) {
        return failure;
    }
    if (sqlite3_changes(store.Handle()) != 1) return StoreFailure::kNotFound;
    return transaction.Commit();
}

void AppendRowKey(std::string& sql, int64_t rowId) {
    sql += " where rowid=" + std::to_string(rowId) + ';';
}

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

// DeleteAll on a table already found to be writable, inside the caller's transaction.
StoreFailure DeleteExactly(TaskStore& store,
                           const std::string& table,
                           std::vector<int64_t> rowIds) {
    // The rows are listed in key order, one pass; the table must hold exactly the ones shown.
    std::sort(rowIds.begin(), rowIds.end());
    size_t next = 0;
    bool same = true;
    const auto listed =
        RunQuery(store, "select rowid from " + SqlTableName(table) + ";", [&](sqlite3_stmt* row) {
            if (next >= rowIds.size() || sqlite3_column_type(row, 0) != SQLITE_INTEGER ||
                sqlite3_column_int64(row, 0) != rowIds[next]) {
                same = false;
            }
            ++next;
        });
    if (!listed.Ok()) return listed.failure;
    if (!same || next != rowIds.size()) return StoreFailure::kNotFound;
    if (const StoreFailure failure = Execute(store, "delete from " + SqlTableName(table) + ";");
        !Succeeded(failure)) {
        return failure;
    }
    if (static_cast<size_t>(sqlite3_changes(store.Handle())) != rowIds.size()) {
        return StoreFailure::kNotFound;
    }
    return StoreFailure::kNone;
}

StoreResult<int64_t> CountRows(TaskStore& store, const std::string& sqlTable) {
    int64_t count = -1;
    const auto result = RunQuery(store, "select count(*) from " + sqlTable + ";",
                                 [&](sqlite3_stmt* row) { count = sqlite3_column_int64(row, 0); });
    if (!result.Ok()) return result.failure;
    return count;
}

}  // namespace

bool TaskTable::HasTaskColumns() {
    const std::string sql = "select title, description, done, done_date, priority from " +
                            SqlTableName(name_) + " limit 0;";
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(store_->Handle(), sql.c_str(), -1, &raw, nullptr);
    UniqueStatement statement(raw);
    return rc == SQLITE_OK;
}

StoreFailure TaskTable::Create() {
    return Execute(*store_, "CREATE TABLE IF NOT EXISTS " + SqlTableName(name_) +
                                " (title TEXT, description TEXT, done INTEGER, done_date TEXT, "
                                "priority INTEGER)");
}

StoreResult<int64_t> TaskTable::Insert(const TaskRecord& record) {
    const std::string sql = InsertStatement(name_, record);
    // The key is read inside the transaction, before any other write on this connection.
    Transaction transaction(*store_);
    if (!transaction.Active()) return transaction.Failure();
    if (const StoreFailure failure = ExecuteOnOneRow(*store_, name_, sql); !Succeeded(failure)) {
        return failure;
    }
    const int64_t rowId = sqlite3_last_insert_rowid(store_->Handle());
    if (const StoreFailure failure = transaction.Commit(); !Succeeded(failure)) return failure;
    return rowId;
}

StoreResult<int64_t> TaskTable::Append(TaskRecord& record) {
    Transaction transaction(*store_);
    if (!transaction.Active()) return transaction.Failure();
    const auto count = CountRows(*store_, SqlTableName(name_));
    if (!count) return count.Failure();
    if (*count < 0 || *count >= INT32_MAX) return StoreFailure::kDamaged;
    record.priority = static_cast<int32_t>(*count);
    const auto rowId = Insert(record);
    if (!rowId) return rowId.Failure();
    if (const StoreFailure failure = transaction.Commit(); !Succeeded(failure)) return failure;
    return rowId;
}

StoreFailure TaskTable::Update(const TaskRecord& record) {
    if (!record.rowId) return StoreFailure::kNotFound;
    std::string sql = "update " + SqlTableName(name_) + " set title=";
    AppendQuoted(sql, record.title);
    sql += ", description=";
    AppendQuoted(sql, record.description.value_or(""));
    sql += record.done ? ", done=1, done_date=" : ", done=0, done_date=";
    AppendQuoted(sql, record.doneDate.value_or(""));
    sql += ", priority=" + std::to_string(record.priority);
    AppendRowKey(sql, *record.rowId);
    return ExecuteOnOneRow(*store_, name_, sql);
}

StoreFailure TaskTable::Delete(int64_t rowId) {
    std::string sql = "delete from " + SqlTableName(name_);
    AppendRowKey(sql, rowId);
    return ExecuteOnOneRow(*store_, name_, sql);
}

StoreFailure TaskTable::DeleteAll(std::vector<int64_t> rowIds) {
    Transaction transaction(*store_);
    StoreFailure failure = StoreFailure::kNone;
    if (!transaction.Active()) return transaction.Failure();
    if (Failed(failure, CheckWritable(*store_, name_)) ||
        Failed(failure, DeleteExactly(*store_, name_, std::move(rowIds)))) {
        return failure;
    }
    return transaction.Commit();
}

StoreFailure TaskTable::Renumber() {
    Transaction transaction(*store_);
    if (!transaction.Active()) return transaction.Failure();
    if (const StoreFailure failure = CheckWritable(*store_, name_); !Succeeded(failure)) {
        return failure;
    }
    const std::string table = SqlTableName(name_);
    // The common case, a list the program wrote with one task just removed, is a run of distinct
    // whole numbers 0..n with one of them missing: closing the gap is one shift of the rows above
    // it, which keeps their order and so gives each row its rank, as a full renumbering would.
    // One pass over the priorities, marking the values seen, tells this case from the rest.
    const auto counted = CountRows(*store_, table);
    if (!counted) return counted.Failure();
    const int64_t count = *counted;
    if (count <= 0) return transaction.Commit();
    std::vector<bool> seen(static_cast<size_t>(count) + 1, false);
    bool positions = true;
    int64_t rows = 0;
    const auto measured =
        RunQuery(*store_, "select priority from " + table + ";", [&](sqlite3_stmt* row) {
            ++rows;
            const int64_t value = sqlite3_column_int64(row, 0);
            if (!positions || value < 0 || value > count ||
                sqlite3_column_type(row, 0) != SQLITE_INTEGER || seen[static_cast<size_t>(value)]) {
                positions = false;
                return;
            }
            seen[static_cast<size_t>(value)] = true;
        });
    if (!measured.Ok()) return measured.failure;
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
    if (const StoreFailure failure = Execute(*store_, sql); !Succeeded(failure)) return failure;
    return transaction.Commit();
}

DoneCounts TaskTable::CountDone() {
    DoneCounts counts;
    const auto result = RunQuery(*store_, DoneQuery(name_), [&](sqlite3_stmt* row) {
        ++counts.total;
        if (sqlite3_column_int(row, 0) != 0) ++counts.done;
    });
    counts.failure = result.failure;
    return counts;
}

int TaskTable::Count() {
    const DoneCounts counts = CountDone();
    return Succeeded(counts.failure) ? static_cast<int>(counts.total) : 0;
}

FolderStatus TaskTable::Status() {
    const DoneCounts counts = CountDone();
    if (!Succeeded(counts.failure)) return FolderStatus::kNone;
    return FolderStatusOfCounts(counts.total, counts.done);
}

FolderStatus FolderStatusOfCounts(size_t total, size_t done) {
    if (total == 0) return FolderStatus::kNone;
    if (done == total) return FolderStatus::kAllDone;
    return static_cast<double>(done) / static_cast<double>(total) * 100.0 >= 50.0
               ? FolderStatus::kAtLeastHalf
               : FolderStatus::kLessThanHalf;
}

StoreResult<std::vector<TaskRecord>> TaskTable::Load(Keys keys) {
    // Count first: a table that cannot be queried is missing (a fresh item, or one whose table
    // was cleared) and reads as an empty list, and the count sizes the list in one allocation.
    // A table that exists but fails part-way is an error, never a shorter list.
    int count = 0;
    const auto counted = RunQuery(*store_, DoneQuery(name_), [&](sqlite3_stmt*) { ++count; });
    if (!counted.Ok() && !counted.prepared) {
        // Busy is not missing: the list would look empty while the file holds tasks. Nor is an
        // object of the table's name that cannot be read (a view, say): it is not shown as an
        // empty list that the user would then add to.
        if (counted.failure == StoreFailure::kBusy) return counted.failure;
        const auto missing = IsMissingTable(*store_, name_);
        if (!missing) return missing.Failure();
        if (!*missing) return counted.failure;
        return std::vector<TaskRecord>();  // a missing table is no failure
    }
    if (!counted.Ok()) return counted.failure;
    std::vector<TaskRecord> tasks;
    if (count == 0) return tasks;
    tasks.reserve(static_cast<size_t>(count));
    const auto result =
        RunQuery(*store_,
                 "select title, description, done, done_date, priority, rowid from " +
                     SqlTableName(name_) + " order by priority asc, rowid asc;",
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
    if (!result.Ok()) return result.failure;
    if (keys == Keys::kNotWanted) {
        for (TaskRecord& task : tasks) task.rowId.reset();
        return tasks;
    }
    // Keys must tell the rows apart. A foreign table may declare a column named like the key,
    // which then hides it; such a table's rows are shown but never written.
    std::string shadow = "SELECT count(*) FROM pragma_table_info(";
    AppendQuoted(shadow, name_);
    shadow += ") WHERE lower(name) IN ('rowid','oid','_rowid_');";
    int shadowing = -1;
    const auto checked = RunQuery(
        *store_, shadow, [&](sqlite3_stmt* row) { shadowing = sqlite3_column_int(row, 0); });
    if (!checked.Ok()) return checked.failure;
    if (shadowing != 0) {
        for (TaskRecord& task : tasks) task.rowId.reset();
    }
    return tasks;
}

std::optional<int64_t> TaskTable::LongestValueBytes() {
    // The limit is raised for this one read only, and only so far that measuring stays cheap:
    // every value is read once as bytes and let go.
    sqlite3* db = store_->Handle();
    if (db == nullptr) return std::nullopt;
    const int limit = sqlite3_limit(db, SQLITE_LIMIT_LENGTH, static_cast<int>(kMeasurableBytes));
    std::string sql = "select max(";
    for (const char* column : {"title", "description", "done", "done_date", "priority"}) {
        sql += std::string("coalesce(length(cast(") + column + " as blob)),0),";
    }
    sql.back() = ')';
    sql = "select max(longest) from (" + sql + " as longest from " + SqlTableName(name_) + ");";
    int64_t longest = 0;
    const auto result =
        RunQuery(*store_, sql, [&](sqlite3_stmt* row) { longest = sqlite3_column_int64(row, 0); });
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, limit);
    if (result.Ok()) return longest;
    if (result.failure == StoreFailure::kTooLarge) return kMeasurableBytes + 1;
    return std::nullopt;
}

StoreFailure TaskTable::Replace(SchemaIndex& schema,
                                std::vector<int64_t> rowIds,
                                const std::vector<TaskRecord>& records) {
    Transaction transaction(*store_);
    if (!transaction.Active()) return transaction.Failure();
    const std::string name = LowerCase(name_);
    const std::string type = SchemaTypeOf(schema, name);
    if (type.empty()) {
        if (!rowIds.empty()) return StoreFailure::kNotFound;
        if (const StoreFailure failure = Create(); !Succeeded(failure)) return failure;
        schema.tables.push_back(name_);
        schema.typeByName.emplace(name, "table");
        schema.ordinaryTables.insert(name);
    } else if (type != "table" || schema.ordinaryTables.count(name) == 0) {
        return StoreFailure::kDamaged;  // as CheckWritable finds it
    } else if (const StoreFailure failure = DeleteExactly(*store_, name_, std::move(rowIds));
               !Succeeded(failure)) {
        return failure;
    }
    for (const TaskRecord& record : records) {
        if (const StoreFailure failure = Execute(*store_, InsertStatement(name_, record));
            !Succeeded(failure)) {
            return failure;
        }
        if (sqlite3_changes(store_->Handle()) != 1) return StoreFailure::kNotFound;
    }
    return transaction.Commit();
}
