#include "tasks/folder_status.h"

#include "store/folder_files.h"
#include "store/folder_key.h"
#include "store/sqlite/schema.h"
#include "store/sqlite/task_table.h"
#include "store/status/profile.h"
#include "store/status/profile_format.h"
#include "text/text_encoding.h"

std::u16string StatusFilePath(std::u16string_view databasePath) {
    std::u16string path(ParentFolderOf(databasePath));
    path += kStatusFileName;
    return path;
}

StatusWriteResult WriteFolderStatus(const std::u16string& statusFile,
                                    std::string_view folderKey,
                                    FolderStatus status) {
    return PublishStatusEntries(statusFile, {StatusEntry{std::string(folderKey), status}}, false);
}

StatusWriteResult PublishStatusEntries(const std::u16string& statusFile,
                                       const std::vector<StatusEntry>& entries,
                                       bool fresh) {
    StatusWriteResult result;
    std::string bytes;
    // Entries of other items in a file that cannot be read would be lost: nothing is written.
    if (!fresh && ReadWholeFile(statusFile, bytes, &result.fileFailure) == FileRead::kFailed) {
        return result;
    }
    if (fresh) bytes.clear();
    std::vector<profile_format::Entry> lines;
    lines.reserve(entries.size());
    for (const StatusEntry& entry : entries) {
        lines.push_back(
            {Utf8ToUtf16(entry.key),
             std::u16string(1, static_cast<char16_t>(u'0' + static_cast<int>(entry.status)))});
    }
    const auto updated = profile_format::WithEntries(bytes, kStatusSection, lines);
    if (!updated) {
        result.fileFailure = FileFailure::kOther;
        return result;
    }
    result.written = ReplaceFileContents(statusFile, *updated, &result.fileFailure);
    return result;
}

std::unordered_map<std::string, int> ReadStatusEntries(const std::u16string& statusFile) {
    std::unordered_map<std::string, int> values;
    std::string bytes;
    if (ReadWholeFile(statusFile, bytes) != FileRead::kRead) return values;
    for (const auto& [key, value] : profile_format::ReadInts(bytes, kStatusSection)) {
        values.emplace(Utf16ToUtf8(key), value);
    }
    return values;
}

namespace {

// Runs `write` while holding the database's write lock. A database that can only be read has
// no writer to be serialised with, and its folder's file is written all the same.
template <class Write>
StatusWriteResult UnderWriteLock(TaskStore& store, Write write) {
    Transaction transaction(store);
    StatusWriteResult failed;
    failed.storeFailure = transaction.Failure();
    if (!transaction.Active() && !(store.IsOpen() && store.IsReadOnly())) return failed;
    const StatusWriteResult result = write();
    if (!result) return result;
    if (transaction.Active()) {
        failed.storeFailure = transaction.Commit();
        if (!Succeeded(failed.storeFailure)) return failed;
    }
    return result;
}

}  // namespace

StatusWriteResult WriteStatusEntries(TaskStore& store,
                                     const std::u16string& statusFile,
                                     const std::vector<StatusEntry>& entries) {
    return UnderWriteLock(store, [&] { return PublishStatusEntries(statusFile, entries, false); });
}

StatusWriteResult RefreshStatusEntries(TaskStore& store,
                                       const std::u16string& statusFile,
                                       const std::vector<std::string>& keys) {
    return UnderWriteLock(store, [&] {
        std::vector<StatusEntry> entries;
        entries.reserve(keys.size());
        for (const std::string& key : keys) {
            entries.push_back({key, TaskTable(store, TaskTableName(key)).Status()});
        }
        return PublishStatusEntries(statusFile, entries, false);
    });
}

bool StartFreshStatusFile(const std::u16string& statusFile) {
    return RemoveFile(statusFile);
}

bool StatusKeyOfTable(std::string_view table, std::string& key) {
    // Only the program's own table names carry a key. Any other table (a decoy named like
    // "zzzz" + another item's key, say) would otherwise write that item's entry; such tables get
    // no entry and stay in the file until "Clear Unreferenced Data" drops them.
    const std::string name(table);
    if (!IsTaskTableName(name)) return false;
    key.assign(table.substr(4));
    return true;
}

StatusWriteResult RebuildStatusFile(TaskStore& store, const std::u16string& statusFile) {
    bool empty = false;
    const StatusWriteResult result = UnderWriteLock(store, [&]() -> StatusWriteResult {
        const auto tables = ListTables(store);
        if (!tables) {
            StatusWriteResult failed;
            failed.storeFailure = tables.Failure();
            return failed;
        }
        empty = tables->empty();
        if (empty) return {true};
        std::vector<StatusEntry> entries;
        std::string key;
        for (const std::string& table : *tables) {
            if (!StatusKeyOfTable(table, key)) continue;
            entries.push_back({key, TaskTable(store, table).Status()});
        }
        // The new file replaces the old one in one step: a reader never meets a file with
        // only some of the entries.
        return PublishStatusEntries(statusFile, entries, true);
    });
    if (result && !empty) NotifyShell();
    return result;
}

void NotifyShell() {
    NotifyShellAssocChanged();
}
