#include "store/folder_status.h"

#include "store/profile.h"
#include "text/text_encoding.h"

std::u16string StatusFilePath(std::u16string_view databasePath) {
    const size_t slash = databasePath.rfind(u'\\');
    std::u16string path(slash == std::u16string_view::npos ? std::u16string_view()
                                                           : databasePath.substr(0, slash + 1));
    path += kStatusFileName;
    return path;
}

void WriteFolderStatus(const std::u16string& statusFile, std::string_view folderKey, int status) {
    const char16_t value[2] = {static_cast<char16_t>(u'0' + status), 0};
    // A failed write is not reported: the entry keeps its old value until a later write.
    ProfileWriteString(statusFile, kStatusSection, Utf8ToUtf16(folderKey), value);
}

void StartFreshStatusFile(const std::u16string& statusFile) {
    RemoveFile(statusFile);
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
    StartFreshStatusFile(statusFile);
    std::string key;
    for (const std::string& table : *tables) {
        if (!StatusKeyOfTable(table, key)) continue;
        WriteFolderStatus(statusFile, key, GetFolderStatus(store, table));
    }
    NotifyShell();
    return true;
}

void NotifyShell() {
    NotifyShellAssocChanged();
}
