#include "store/folder_status.h"

#include "store/folder_key.h"
#include "store/profile.h"
#include "store/profile_format.h"
#include "text/text_encoding.h"

std::u16string StatusFilePath(std::u16string_view databasePath) {
    std::u16string path(ParentFolderOf(databasePath));
    path += kStatusFileName;
    return path;
}

bool WriteFolderStatus(const std::u16string& statusFile,
                       std::string_view folderKey,
                       FolderStatus status) {
    return PublishStatusEntries(statusFile, {StatusEntry{std::string(folderKey), status}}, false);
}

bool PublishStatusEntries(const std::u16string& statusFile,
                          const std::vector<StatusEntry>& entries,
                          bool fresh) {
    std::string bytes;
    if (!fresh && ReadWholeFile(statusFile, bytes) == FileRead::kFailed) return false;
    if (fresh) bytes.clear();
    std::vector<profile_format::Entry> lines;
    lines.reserve(entries.size());
    for (const StatusEntry& entry : entries) {
        lines.push_back(
            {Utf8ToUtf16(entry.key),
             std::u16string(1, static_cast<char16_t>(u'0' + static_cast<int>(entry.status)))});
    }
    const auto updated = profile_format::WithEntries(bytes, kStatusSection, lines);
    return updated && ReplaceFileContents(statusFile, *updated);
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
bool UnderWriteLock(TaskStore& store, Write write) {
    Transaction transaction(store);
    if (!transaction.Active() && !(store.db && IsReadOnly(store))) return false;
    if (!write()) return false;
    return !transaction.Active() || transaction.Commit();
}

}  // namespace

bool WriteStatusEntries(TaskStore& store,
                        const std::u16string& statusFile,
                        const std::vector<StatusEntry>& entries) {
    return UnderWriteLock(store, [&] { return PublishStatusEntries(statusFile, entries, false); });
}

bool RefreshStatusEntries(TaskStore& store,
                          const std::u16string& statusFile,
                          const std::vector<std::string>& keys) {
    return UnderWriteLock(store, [&] {
        std::vector<StatusEntry> entries;
        entries.reserve(keys.size());
        for (const std::string& key : keys) {
            entries.push_back({key, GetFolderStatus(store, TaskTableName(key))});
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

bool RebuildStatusFile(TaskStore& store, const std::u16string& statusFile) {
    bool empty = false;
    const bool written = UnderWriteLock(store, [&] {
        const auto tables = ListTables(store);
        if (!tables) return false;
        empty = tables->empty();
        if (empty) return true;
        std::vector<StatusEntry> entries;
        std::string key;
        for (const std::string& table : *tables) {
            if (!StatusKeyOfTable(table, key)) continue;
            entries.push_back({key, GetFolderStatus(store, table)});
        }
        // The new file replaces the old one in one step: a reader never meets a file with
        // only some of the entries. The file is only the overlays' copy of the database: one
        // that cannot be written shows stale overlays until the next rebuild, which the user
        // can run, and the database is untouched, so that does not fail the rebuild.
        (void)PublishStatusEntries(statusFile, entries, true);
        return true;
    });
    if (written && !empty) NotifyShell();
    return written;
}

void NotifyShell() {
    NotifyShellAssocChanged();
}
