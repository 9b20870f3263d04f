#include "store/sqlite/stored_rows.h"

#include "store/sqlite/statement.h"

namespace {

struct ValueFree {
    void operator()(sqlite3_value* value) const noexcept { sqlite3_value_free(value); }
};
using UniqueValue = std::unique_ptr<sqlite3_value, ValueFree>;

constexpr char kRowColumns[] = "title, description, done, done_date, priority";

std::optional<std::string> TextValue(sqlite3_stmt* row, int column) {
    if (sqlite3_column_type(row, column) != SQLITE_TEXT) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    const int length = sqlite3_column_bytes(row, column);
    return std::string(text != nullptr ? text : "", static_cast<size_t>(length));
}

}  // namespace

struct StoredRows::Row {
    UniqueValue columns[5];  // title, description, done, done_date, priority
    std::optional<std::string> title;
};

StoredRows::StoredRows() = default;
StoredRows::~StoredRows() = default;
StoredRows::StoredRows(StoredRows&&) noexcept = default;
StoredRows& StoredRows::operator=(StoredRows&&) noexcept = default;

size_t StoredRows::Size() const {
    return rows_.size();
}

const std::optional<std::string>& StoredRows::Title(size_t row) const {
    return rows_[row].title;
}

StoreResult<std::string> SchemaTypeOfTable(TaskStore& store, const std::string& table) {
    // The name is a checked task table name, so it can stand between quotes as it is. SQL names
    // ignore case, and so does the lookup: "TBL_..." would answer for "tbl_..." in a statement.
    std::string type;
    const auto result =
        RunQuery(store, "SELECT type FROM sqlite_master WHERE name='" + table + "' COLLATE NOCASE;",
                 [&](sqlite3_stmt* row) { type = TextValue(row, 0).value_or("?"); });
    if (!result.Ok()) return result.failure;
    return type;
}

StoreResult<StoredRows> ReadStoredRows(TaskStore& store, const std::string& table) {
    const auto type = SchemaTypeOfTable(store, table);
    if (!type) return type.Failure();
    if (*type != "table") return StoreFailure::kDamaged;
    StoredRows rows;
    const auto result =
        RunQuery(store,
                 std::string("select ") + kRowColumns + " from " + table +
                     " order by priority asc, rowid asc;",
                 [&](sqlite3_stmt* row) {
                     StoredRows::Row& stored = rows.rows_.emplace_back();
                     for (int i = 0; i < 5; ++i) {
                         stored.columns[i].reset(sqlite3_value_dup(sqlite3_column_value(row, i)));
                         if (!stored.columns[i]) return false;
                     }
                     stored.title = TextValue(row, 0);
                     return true;
                 });
    if (!result.Ok()) return result.failure;
    return rows;
}

StoreResult<ListTitles> ReadListTitles(TaskStore& store, const std::string& table) {
    const auto type = SchemaTypeOfTable(store, table);
    if (!type) return type.Failure();
    ListTitles list;
    if (type->empty()) {
        list.missing = true;
        return list;
    }
    if (*type != "table") return StoreFailure::kDamaged;
    const auto result =
        RunQuery(store, "select title, priority from " + table + ";", [&](sqlite3_stmt* row) {
            list.empty = false;
            if (auto title = TextValue(row, 0)) list.titles.insert(std::move(*title));
            const int64_t priority = sqlite3_column_int64(row, 1);
            if (!list.highestPriority || priority > *list.highestPriority) {
                list.highestPriority = priority;
            }
        });
    if (!result.Ok()) return result.failure;
    return list;
}

StoreFailure WriteStoredRows(TaskStore& store,
                             const std::string& table,
                             const StoredRows& rows,
                             const RowChanges& changes) {
    const std::string sql = "insert into " + table + " (" + kRowColumns + ") values(?,?,?,?,?);";
    sqlite3_stmt* raw = nullptr;
    {
        BudgetScope budget(store);
        const int rc = sqlite3_prepare_v2(store.Handle(), sql.c_str(),
                                          static_cast<int>(sql.size() + 1), &raw, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(raw);
            return FailureOf(store, rc);
        }
    }
    UniqueStatement insert(raw);
    for (size_t n = 0; n < rows.rows_.size(); ++n) {
        const StoredRows::Row& row = rows.rows_[n];
        sqlite3_reset(raw);
        for (int i = 0; i < 5; ++i) sqlite3_bind_value(raw, i + 1, row.columns[i].get());
        if (n < changes.titles.size() && changes.titles[n]) {
            const std::string& title = *changes.titles[n];
            sqlite3_bind_text(raw, 1, title.c_str(), static_cast<int>(title.size()),
                              SQLITE_TRANSIENT);
        }
        if (n < changes.priorities.size() && changes.priorities[n]) {
            sqlite3_bind_int64(raw, 5, *changes.priorities[n]);
        }
        BudgetScope budget(store);
        if (const int rc = sqlite3_step(raw); rc != SQLITE_DONE) return FailureOf(store, rc);
    }
    return StoreFailure::kNone;
}

StoreFailure ReadSummaryRows(TaskStore& store,
                             const std::string& table,
                             const std::function<void(const SummaryRow&)>& onRow) {
    SummaryRow summary;
    return RunQuery(
               store,
               "select title, done, done_date from " + table + " order by priority asc, rowid asc;",
               [&](sqlite3_stmt* row) {
                   summary.title = TextValue(row, 0);
                   summary.done = sqlite3_column_int(row, 1) != 0;
                   summary.doneDate = TextValue(row, 2);
                   onRow(summary);
               })
        .failure;
}
