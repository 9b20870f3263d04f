#include "tasks/recovery.h"

#include <set>
#include <unordered_set>
#include <utility>

#include "store/folder_key.h"
#include "store/sqlite/done_date.h"
#include "store/sqlite/stored_rows.h"
#include "text/text_encoding.h"

namespace {

RecoveryStatus Classify(StoreFailure failure, bool source) {
    switch (failure) {
        case StoreFailure::kBusy:
            return source ? RecoveryStatus::kSourceBusy : RecoveryStatus::kTargetBusy;
        case StoreFailure::kReadOnly:
            return source ? RecoveryStatus::kSourceReadOnly : RecoveryStatus::kTargetReadOnly;
        default:
            return source ? RecoveryStatus::kSourceUnreadable : RecoveryStatus::kTargetFailed;
    }
}

// What the target already holds, as far as merging needs it.
struct TargetState {
    bool empty = true;
    int64_t nextPriority = 0;
    std::unordered_set<std::string> titles;
};

StoreResult<TargetState> ReadTarget(TaskStore& store, const std::string& table) {
    auto list = ReadListTitles(store, table);
    if (!list) return list.Failure();
    if (list->missing) {
        // Start-up makes the item's table; should it be gone, it is made here as start-up would.
        if (const StoreFailure failure = TaskTable(store, table).Create(); !Succeeded(failure)) {
            return failure;
        }
        return TargetState();
    }
    TargetState state;
    state.empty = list->empty;
    state.nextPriority = list->highestPriority ? *list->highestPriority + 1 : 0;
    state.titles = std::move(list->titles);
    return state;
}

// Inserts `rows` after what `target` holds, renaming titles the target already has. On failure
// the caller's transaction undoes the rest.
StoreFailure WriteRows(TaskStore& store,
                       const std::string& table,
                       const TargetState& target,
                       const StoredRows& rows,
                       RecoveryResult& result) {
    // A new title must differ from every title of either list, so that it neither collides nor
    // makes a later recovered title look like a collision.
    std::set<std::string> taken(target.titles.begin(), target.titles.end());
    for (size_t i = 0; i < rows.Size(); ++i) {
        if (rows.Title(i)) taken.insert(*rows.Title(i));
    }
    RowChanges changes;
    changes.titles.resize(rows.Size());
    changes.priorities.resize(rows.Size());
    std::vector<RenamedTask> renamed;
    int64_t priority = target.nextPriority;
    for (size_t i = 0; i < rows.Size(); ++i) {
        const std::optional<std::string>& title = rows.Title(i);
        if (title && target.titles.count(*title) != 0) {
            for (int n = 1;; ++n) {
                std::string candidate = RecoveredTitle(*title, n);
                if (taken.insert(candidate).second) {
                    changes.titles[i] = candidate;
                    renamed.push_back(RenamedTask{*title, std::move(candidate)});
                    break;
                }
            }
        }
        // Into an empty list the old priorities stay as they were; after existing tasks the
        // recovered ones are numbered on in their own order.
        if (!target.empty) changes.priorities[i] = priority++;
    }
    if (const StoreFailure failure = WriteStoredRows(store, table, rows, changes);
        !Succeeded(failure)) {
        return failure;
    }
    result.recovered += static_cast<int>(rows.Size());
    result.renamed = std::move(renamed);
    return StoreFailure::kNone;
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

StoreResult<TaskListSummary> SummarizeTaskList(TaskStore& store, const std::string& table) {
    const auto schema = ReadSchema(store);
    if (!schema) return schema.Failure();
    return SummarizeTaskList(store, table, *schema);
}

StoreResult<TaskListSummary> SummarizeTaskList(TaskStore& store,
                                               const std::string& table,
                                               const SchemaIndex& schema) {
    if (!IsTaskTableName(table) || SchemaTypeOf(schema, table) != "table") {
        return StoreFailure::kDamaged;
    }
    TaskListSummary summary;
    summary.table = table;
    const StoreFailure failure = ReadSummaryRows(store, table, [&](const SummaryRow& row) {
        ++summary.tasks;
        if (row.done) ++summary.done;
        if (summary.firstTitles.size() < kSummaryTitles) {
            summary.firstTitles.push_back(Utf8ToUtf16(Base64Decode(row.title.value_or(""))));
        }
        if (row.doneDate && HasDoneDateShape(*row.doneDate) && *row.doneDate > summary.latestDate) {
            summary.latestDate = *row.doneDate;
        }
    });
    if (!Succeeded(failure)) return failure;
    return summary;
}

StoreResult<UnclaimedListing> StartUnclaimedListing(TaskStore& store,
                                                    const std::vector<std::u16string>& entryNames) {
    auto schema = ReadSchema(store);
    if (!schema) return schema.Failure();
    UnclaimedListing listing;
    for (std::string& table : UnclaimedTables(schema->tables, entryNames)) {
        if (IsTaskTableName(table)) listing.tables.push_back(std::move(table));
    }
    listing.schema = std::move(*schema);
    return listing;
}

void ContinueUnclaimedListing(TaskStore& store, UnclaimedListing& listing, size_t count) {
    const ReadTransaction reading(store);
    for (; count > 0 && !listing.Finished(); --count) {
        const std::string& table = listing.tables[listing.next++];
        auto summary = SummarizeTaskList(store, table, listing.schema);
        if (summary) {
            listing.lists.push_back(std::move(*summary));
        } else if (summary.Failure() == StoreFailure::kTooLarge) {
            listing.tooLarge.push_back(table);
        }
    }
}

StoreResult<std::vector<TaskListSummary>> FindUnclaimedLists(
    TaskStore& store,
    const std::vector<std::u16string>& entryNames) {
    auto listing = StartUnclaimedListing(store, entryNames);
    if (!listing) return listing.Failure();
    ContinueUnclaimedListing(store, *listing, listing->tables.size());
    return std::move(listing->lists);
}

ClearLoss UnclaimedTaskLoss(TaskStore& store,
                            const std::vector<std::string>& tables,
                            const std::vector<std::u16string>& entryNames) {
    ClearLoss loss;
    const ReadTransaction reading(store);
    for (const std::string& table : UnclaimedTables(tables, entryNames)) {
        // What could be read counts, even from a table that fails part-way.
        const DoneCounts counts = TaskTable(store, table).CountDone();
        if (counts.total > 0) ++loss.lists;
        loss.openTasks += static_cast<int>(counts.total - counts.done);
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
    if (store.IsReadOnly()) {
        result.status = RecoveryStatus::kTargetReadOnly;
        return result;
    }
    Transaction transaction(store);
    if (!transaction.Active()) {
        result.status = Classify(transaction.Failure(), false);
        return result;
    }
    const auto rows = ReadStoredRows(store, sourceTable);
    if (!rows) {
        result.status = RecoveryStatus::kSourceUnreadable;
        return result;
    }
    const auto target = ReadTarget(store, targetTable);
    StoreFailure failure = target.Failure();
    if (target) failure = WriteRows(store, targetTable, *target, *rows, result);
    if (Succeeded(failure)) failure = DropTable(store, sourceTable);
    if (Succeeded(failure)) failure = transaction.Commit();
    if (!Succeeded(failure)) {
        result = RecoveryResult();
        result.status = Classify(failure, false);
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
    if (from.IsReadOnly()) {
        result.status = RecoveryStatus::kSourceReadOnly;
        return result;
    }
    if (to.IsReadOnly()) {
        result.status = RecoveryStatus::kTargetReadOnly;
        return result;
    }
    // The write lock on the other file, taken before reading, keeps every other program from
    // changing the list between the copy and the removal.
    Transaction holdSource(from);
    if (!holdSource.Active()) {
        result.status = Classify(holdSource.Failure(), true);
        return result;
    }
    const auto rows = ReadStoredRows(from, sourceTable);
    if (!rows) {
        result.status = RecoveryStatus::kSourceUnreadable;
        return result;
    }
    {
        Transaction copy(to);
        if (!copy.Active()) {
            result.status = Classify(copy.Failure(), false);
            return result;
        }
        const auto target = ReadTarget(to, targetTable);
        StoreFailure failure = target.Failure();
        if (target) failure = WriteRows(to, targetTable, *target, *rows, result);
        if (Succeeded(failure)) failure = copy.Commit();
        if (!Succeeded(failure)) {
            result = RecoveryResult();
            result.status = Classify(failure, false);
            return result;
        }
    }
    // The tasks are safe in the item's file. Should the removal fail, they are in both files
    // (the old list rolls back whole), which the caller tells the user.
    if (!Succeeded(DropTable(from, sourceTable)) || !Succeeded(holdSource.Commit())) {
        result.status = RecoveryStatus::kCopiedNotRemoved;
        return result;
    }
    result.status = RecoveryStatus::kDone;
    return result;
}
