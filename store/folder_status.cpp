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
    if (table.size() <= 5) return false;
    std::string_view candidate = table.substr(4);
    // A table from a foreign file may be named anything. A line break, "=" or "]" would write
    // an entry (or a section) other than the one meant, and blanks at either end or a leading
    // ";" would not read back as the same key.
    for (char c : candidate) {
        if (c == '\r' || c == '\n' || c == '=' || c == ']' || c == '[' || c == '\0') return false;
    }
    if (candidate.front() == ' ' || candidate.front() == '\t' || candidate.front() == ';' ||
        candidate.back() == ' ' || candidate.back() == '\t') {
        return false;
    }
    key.assign(candidate);
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
