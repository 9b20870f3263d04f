#include "store/folder_status.h"

#include "store/folder_key.h"
#include "store/profile.h"
#include "text/text_encoding.h"

std::u16string StatusFilePath(std::u16string_view databasePath) {
    std::u16string path(ParentFolderOf(databasePath));
    path += kStatusFileName;
    return path;
}

bool WriteFolderStatus(const std::u16string& statusFile,
                       std::string_view folderKey,
                       FolderStatus status) {
    const char16_t value[2] = {static_cast<char16_t>(u'0' + static_cast<int>(status)), 0};
    return ProfileWriteString(statusFile, kStatusSection, Utf8ToUtf16(folderKey), value);
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
    const auto tables = ListTables(store);
    if (!tables) return false;
    if (tables->empty()) return true;
    // The file is only the overlays' copy of the database: an old file that stays, or an entry
    // that cannot be written, shows a stale overlay until the next rebuild, which the user can
    // run; the database itself is untouched, so neither fails the rebuild.
    (void)StartFreshStatusFile(statusFile);
    std::string key;
    for (const std::string& table : *tables) {
        if (!StatusKeyOfTable(table, key)) continue;
        (void)WriteFolderStatus(statusFile, key, GetFolderStatus(store, table));
    }
    NotifyShell();
    return true;
}

void NotifyShell() {
    NotifyShellAssocChanged();
}
