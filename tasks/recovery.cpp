#include "tasks/recovery.h"

#include <sqlite3.h>

#include <memory>
#include <set>
#include <unordered_set>
#include <utility>

#include "store/done_date.h"
#include "store/folder_key.h"
#include "text/text_encoding.h"

namespace {

struct ValueFree {
    void operator()(sqlite3_value* value) const noexcept { sqlite3_value_free(value); }
};
using UniqueValue = std::unique_ptr<sqlite3_value, ValueFree>;

// One row of a task table as stored: each column's value with its own storage class, so a copy
// writes back exactly what was read.
struct StoredRow {
    UniqueValue columns[5];  // title, description, done, done_date, priority
    // The title when it is text, the only kind of value that can equal a title the program wrote.
    std::optional<std::string> title;
};

constexpr char kRowColumns[] = "title, description, done, done_date, priority";

UniqueStatement Prepare(TaskStore& store, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(store.db.get(), sql.c_str(), static_cast<int>(sql.size() + 1), &raw,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return nullptr;
    }
    return UniqueStatement(raw);
}

// Steps `statement` through all its rows; false when it stopped on an error.
template <typename OnRow>
bool EachRow(sqlite3_stmt* statement, OnRow onRow) {
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        if (!onRow(statement)) return false;
    }
    return rc == SQLITE_DONE;
}

std::optional<std::string> TextColumn(sqlite3_stmt* row, int column) {
    if (sqlite3_column_type(row, column) != SQLITE_TEXT) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    const int length = sqlite3_column_bytes(row, column);
    return std::string(text != nullptr ? text : "", static_cast<size_t>(length));
}

// What the schema says `table` is: "table", "view", ..., or "" when there is no such object.
// Only a real table is read or written: a crafted file may put a view in its place.
std::optional<std::string> SchemaType(TaskStore& store, const std::string& table) {
    // The name is a checked task table name, so it can stand between quotes as it is. SQL names
    // ignore case, and so does the lookup: "TBL_..." would answer for "tbl_..." in a statement.
    UniqueStatement statement =
        Prepare(store, "SELECT type FROM sqlite_master WHERE name='" + table + "' COLLATE NOCASE;");
    if (!statement) return std::nullopt;
    std::string type;
    if (!EachRow(statement.get(), [&](sqlite3_stmt* row) {
            type = TextColumn(row, 0).value_or("?");
            return true;
        })) {
        return std::nullopt;
    }
    return type;
}

RecoveryStatus Classify(TaskStore& store, bool source) {
    switch (sqlite3_errcode(store.db.get())) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return source ? RecoveryStatus::kSourceBusy : RecoveryStatus::kTargetBusy;
        case SQLITE_READONLY:
            return source ? RecoveryStatus::kSourceReadOnly : RecoveryStatus::kTargetReadOnly;
        default:
            return source ? RecoveryStatus::kSourceUnreadable : RecoveryStatus::kTargetFailed;
    }
}

// The rows of `table` in list order: priority, then the order they were stored in.
std::optional<std::vector<StoredRow>> ReadRows(TaskStore& store, const std::string& table) {
    if (SchemaType(store, table) != "table") return std::nullopt;
    UniqueStatement statement = Prepare(store, std::string("select ") + kRowColumns + " from " +
                                                   table + " order by priority asc, rowid asc;");
    if (!statement) return std::nullopt;
    std::vector<StoredRow> rows;
    const bool complete = EachRow(statement.get(), [&](sqlite3_stmt* row) {
        StoredRow& stored = rows.emplace_back();
        for (int i = 0; i < 5; ++i) {
            stored.columns[i].reset(sqlite3_value_dup(sqlite3_column_value(row, i)));
            if (!stored.columns[i]) return false;
        }
        stored.title = TextColumn(row, 0);
        return true;
    });
    if (!complete) return std::nullopt;
    return rows;
}

// What the target already holds, as far as merging needs it.
struct TargetState {
    bool empty = true;
    sqlite3_int64 nextPriority = 0;
    std::unordered_set<std::string> titles;
};

std::optional<TargetState> ReadTarget(TaskStore& store, const std::string& table) {
    const auto type = SchemaType(store, table);
    if (!type) return std::nullopt;
    if (type->empty()) {
        // Start-up makes the item's table; should it be gone, it is made here as start-up would.
        const std::string current = std::exchange(store.table, table);
        const bool created = CreateTaskTable(store);
        store.table = current;
        if (!created) return std::nullopt;
        return TargetState();
    }
    if (*type != "table") return std::nullopt;
    UniqueStatement statement = Prepare(store, "select title, priority from " + table + ";");
    if (!statement) return std::nullopt;
    TargetState state;
    bool anyPriority = false;
    sqlite3_int64 highest = 0;
    const bool complete = EachRow(statement.get(), [&](sqlite3_stmt* row) {
        state.empty = false;
        if (auto title = TextColumn(row, 0)) state.titles.insert(std::move(*title));
        const sqlite3_int64 priority = sqlite3_column_int64(row, 1);
        if (!anyPriority || priority > highest) highest = priority;
        anyPriority = true;
        return true;
    });
    if (!complete) return std::nullopt;
    state.nextPriority = anyPriority ? highest + 1 : 0;
    return state;
}

// Inserts `rows` after what `target` holds, renaming titles the target already has. False when
// a statement failed; the caller's transaction then undoes the rest.
bool WriteRows(TaskStore& store,
               const std::string& table,
               const TargetState& target,
               const std::vector<StoredRow>& rows,
               RecoveryResult& result) {
    UniqueStatement insert =
        Prepare(store, "insert into " + table + " (" + kRowColumns + ") values(?,?,?,?,?);");
    if (!insert) return false;
    // A new title must differ from every title of either list, so that it neither collides nor
    // makes a later recovered title look like a collision.
    std::set<std::string> taken(target.titles.begin(), target.titles.end());
    for (const StoredRow& row : rows) {
        if (row.title) taken.insert(*row.title);
    }
    sqlite3_int64 priority = target.nextPriority;
    for (const StoredRow& row : rows) {
        sqlite3_stmt* statement = insert.get();
        sqlite3_reset(statement);
        for (int i = 0; i < 5; ++i) sqlite3_bind_value(statement, i + 1, row.columns[i].get());
        std::string renamed;
        if (row.title && target.titles.count(*row.title) != 0) {
            for (int n = 1;; ++n) {
                renamed = RecoveredTitle(*row.title, n);
                if (taken.insert(renamed).second) break;
            }
            sqlite3_bind_text(statement, 1, renamed.c_str(), static_cast<int>(renamed.size()),
                              SQLITE_TRANSIENT);
            result.renamed.push_back(RenamedTask{*row.title, renamed});
        }
        // Into an empty list the old priorities stay as they were; after existing tasks the
        // recovered ones are numbered on in their own order.
        if (!target.empty) sqlite3_bind_int64(statement, 5, priority++);
        if (sqlite3_step(statement) != SQLITE_DONE) return false;
        ++result.recovered;
    }
    return true;
}

bool ValidPair(const std::string& sourceTable, const std::string& targetTable) {
    return IsTaskTableName(sourceTable) && IsTaskTableName(targetTable);
}

}  // namespace

std::vector<std::string> UnclaimedTables(const std::vector<std::string>& tables,
                                         const std::vector<std::u16string>& entryNames) {
    std::unordered_set<std::string> claimed;
    for (const std::u16string& name : entryNames) claimed.insert(TaskTableName(FolderKey(name)));
    std::vector<std::string> unclaimed;
    for (const std::string& table : tables) {
        if (claimed.count(table) == 0) unclaimed.push_back(table);
    }
    return unclaimed;
}

std::optional<TaskListSummary> SummarizeTaskList(TaskStore& store, const std::string& table) {
    const auto schema = ReadSchema(store);
    if (!schema) return std::nullopt;
    return SummarizeTaskList(store, table, *schema);
}

std::optional<TaskListSummary> SummarizeTaskList(TaskStore& store,
                                                 const std::string& table,
                                                 const SchemaIndex& schema) {
    if (!IsTaskTableName(table) || SchemaTypeOf(schema, table) != "table") {
        store.lastFailure = StoreFailure::kDamaged;
        return std::nullopt;
    }
    UniqueStatement statement = Prepare(store, "select title, done, done_date from " + table +
                                                   " order by priority asc, rowid asc;");
    if (!statement) {
        NoteFailure(store, sqlite3_errcode(store.db.get()));
        return std::nullopt;
    }
    TaskListSummary summary;
    summary.table = table;
    const bool complete = EachRow(statement.get(), [&](sqlite3_stmt* row) {
        ++summary.tasks;
        if (sqlite3_column_int(row, 1) != 0) ++summary.done;
        if (summary.firstTitles.size() < kSummaryTitles) {
            summary.firstTitles.push_back(
                Utf8ToUtf16(Base64Decode(TextColumn(row, 0).value_or(std::string()))));
        }
        if (auto date = TextColumn(row, 2); date && HasDoneDateShape(*date)) {
            if (*date > summary.latestDate) summary.latestDate = *date;
        }
        return true;
    });
    if (!complete) {
        NoteFailure(store, sqlite3_errcode(store.db.get()));
        return std::nullopt;
    }
    return summary;
}

std::optional<UnclaimedListing> StartUnclaimedListing(
    TaskStore& store,
    const std::vector<std::u16string>& entryNames) {
    auto schema = ReadSchema(store);
    if (!schema) return std::nullopt;
    UnclaimedListing listing;
    for (std::string& table : UnclaimedTables(schema->tables, entryNames)) {
        if (IsTaskTableName(table)) listing.tables.push_back(std::move(table));
    }
    listing.schema = std::move(*schema);
    return listing;
}

void ContinueUnclaimedListing(TaskStore& store, UnclaimedListing& listing, size_t count) {
    for (; count > 0 && !listing.Finished(); --count) {
        const std::string& table = listing.tables[listing.next++];
        if (auto summary = SummarizeTaskList(store, table, listing.schema)) {
            listing.lists.push_back(std::move(*summary));
        } else if (store.lastFailure == StoreFailure::kTooLarge) {
            // Only this table's own failure counts: an earlier one's code may still be set.
            listing.tooLarge.push_back(table);
        }
    }
}

std::optional<std::vector<TaskListSummary>> FindUnclaimedLists(
    TaskStore& store,
    const std::vector<std::u16string>& entryNames) {
    auto listing = StartUnclaimedListing(store, entryNames);
    if (!listing) return std::nullopt;
    ContinueUnclaimedListing(store, *listing, listing->tables.size());
    return std::move(listing->lists);
}

ClearLoss UnclaimedTaskLoss(TaskStore& store,
                            const std::vector<std::string>& tables,
                            const std::vector<std::u16string>& entryNames) {
    ClearLoss loss;
    for (const std::string& table : UnclaimedTables(tables, entryNames)) {
        UniqueStatement statement = Prepare(store, "select done from " + SqlTableName(table) + ";");
        if (!statement) continue;
        int rows = 0;
        int open = 0;
        EachRow(statement.get(), [&](sqlite3_stmt* row) {
            ++rows;
            if (sqlite3_column_int(row, 0) == 0) ++open;
            return true;
        });
        if (rows > 0) ++loss.lists;
        loss.openTasks += open;
    }
    return loss;
}

std::string RecoveredTitle(const std::string& storedTitle, int n) {
    std::string title = Base64Decode(storedTitle);
    title += n <= 1 ? " (recovered)" : " (recovered " + std::to_string(n) + ")";
    return Base64Encode(title);
}

RecoveryResult AttachTaskList(TaskStore& store,
                              const std::string& sourceTable,
                              const std::string& targetTable) {
    RecoveryResult result;
    if (!ValidPair(sourceTable, targetTable) || sourceTable == targetTable) {
        result.status = RecoveryStatus::kSourceUnreadable;
        return result;
    }
    if (IsReadOnly(store)) {
        result.status = RecoveryStatus::kTargetReadOnly;
        return result;
    }
    Transaction transaction(store);
    if (!transaction.Active()) {
        result.status = Classify(store, false);
        return result;
    }
    const auto rows = ReadRows(store, sourceTable);
    if (!rows) {
        result.status = RecoveryStatus::kSourceUnreadable;
        return result;
    }
    const auto target = ReadTarget(store, targetTable);
    if (!target || !WriteRows(store, targetTable, *target, *rows, result) ||
        !DropTable(store, sourceTable) || !transaction.Commit()) {
        const RecoveryStatus status = Classify(store, false);
        result = RecoveryResult();
        result.status = status;
        return result;
    }
    result.status = RecoveryStatus::kDone;
    return result;
}

RecoveryResult MoveTaskListAcross(TaskStore& from,
                                  const std::string& sourceTable,
                                  TaskStore& to,
                                  const std::string& targetTable) {
    RecoveryResult result;
    if (!ValidPair(sourceTable, targetTable)) {
        result.status = RecoveryStatus::kSourceUnreadable;
        return result;
    }
    // Read-only on either side would only show at the end, after the copy; say so up front.
    if (IsReadOnly(from)) {
        result.status = RecoveryStatus::kSourceReadOnly;
        return result;
    }
    if (IsReadOnly(to)) {
        result.status = RecoveryStatus::kTargetReadOnly;
        return result;
    }
    // The write lock on the other file, taken before reading, keeps every other program from
    // changing the list between the copy and the removal.
    Transaction holdSource(from);
    if (!holdSource.Active()) {
        result.status = Classify(from, true);
        return result;
    }
    const auto rows = ReadRows(from, sourceTable);
    if (!rows) {
        result.status = RecoveryStatus::kSourceUnreadable;
        return result;
    }
    {
        Transaction copy(to);
        if (!copy.Active()) {
            result.status = Classify(to, false);
            return result;
        }
        const auto target = ReadTarget(to, targetTable);
        if (!target || !WriteRows(to, targetTable, *target, *rows, result) || !copy.Commit()) {
            const RecoveryStatus status = Classify(to, false);
            result = RecoveryResult();
            result.status = status;
            return result;
        }
    }
    // The tasks are safe in the item's file. Should the removal fail, they are in both files
    // (the old list rolls back whole), which the caller tells the user.
    if (!DropTable(from, sourceTable) || !holdSource.Commit()) {
        result.status = RecoveryStatus::kCopiedNotRemoved;
        return result;
    }
    result.status = RecoveryStatus::kDone;
    return result;
}
