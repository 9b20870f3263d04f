// Running statements on a task store: the one runner every statement of the store goes through,
// so each gets the statement budget and has its failure classified the same way. Internal to
// store/: the only header outside SQLite's own that names its types.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "store/sqlite/task_store.h"

// The time left to the statement that runs; checked by SQLite's progress handler.
struct StatementBudget {
    std::chrono::milliseconds limit = kStatementBudget;
    std::chrono::steady_clock::time_point deadline{};
    bool armed = false;
    const std::atomic<bool>* cancel = nullptr;  // stops an armed statement once true
};

class StoreAccess {
public:
    static StatementBudget* Budget(TaskStore& store) { return store.budget_.get(); }
};

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using UniqueStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The class of SQLite's result code `rc` on the store's connection, by the rules all of the
// store's operations follow; never kNone for a code that is no success.
StoreFailure FailureOf(TaskStore& store, int rc);
// The same for a code met while opening `utf8Path` (no connection yet).
StoreFailure FailureOfCode(int rc, const std::string& utf8Path);

// Gives one statement (with its preparation) its budget for as long as it lives.
class BudgetScope {
public:
    explicit BudgetScope(TaskStore& store) : budget_(StoreAccess::Budget(store)) {
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

// What became of a query: kNone when every row was read; `prepared` tells a statement SQLite
// refused (a missing table, say) from one that failed part-way.
struct QueryOutcome {
    StoreFailure failure = StoreFailure::kNone;
    bool prepared = true;
    bool Ok() const { return failure == StoreFailure::kNone; }
};

StoreFailure Execute(TaskStore& store, const std::string& sql);

// Prepares `sql` and hands every row to `onRow`, which may stop the reading by returning false
// (the query then fails with kOther). An error while stepping is reported, never passed off as
// the end of the rows.
template <typename OnRow>
QueryOutcome RunQuery(TaskStore& store, const std::string& sql, OnRow onRow) {
    BudgetScope budget(store);
    sqlite3* db = store.Handle();
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size() + 1), &raw, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(raw);
        return {FailureOf(store, rc), false};
    }
    UniqueStatement statement(raw);
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        if constexpr (std::is_same_v<decltype(onRow(raw)), bool>) {
            if (!onRow(raw)) return {StoreFailure::kOther, true};
        } else {
            onRow(raw);
        }
    }
    if (rc == SQLITE_DONE) return {};
    return {FailureOf(store, rc), true};
}

// A column's text as SQLite converts it; absent for NULL.
std::optional<std::string> ColumnText(sqlite3_stmt* statement, int column);

// A value between single quotes. Values the program writes are Base64, dates and numbers, which
// never hold a quote, so their text is unchanged; a value read from a foreign file is escaped
// rather than allowed to end the literal.
void AppendQuoted(std::string& sql, std::string_view value);

// ASCII case folding, as SQL compares names.
std::string LowerCase(std::string text);
