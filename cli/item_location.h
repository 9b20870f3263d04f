// From the paths a user types to the places the program keeps an item's tasks: the database and
// the status file in the item's parent folder, the item's name, its key and its table.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "store/sqlite/task_table.h"

// A folder that may hold "pelmora.db" and "pelmora.ini".
struct FolderLocation {
    std::filesystem::path folder;  // absolute
    std::filesystem::path database;
    std::u16string statusFile;  // as the profile functions take it
};

struct ItemLocation {
    FolderLocation parent;
    std::u16string name;  // as Explorer would pass it: the entry's own spelling on disk
    std::string key;      // folder key of the name
    std::string table;    // "tbl_" + key
};

// The item at `utf8Path`, which must exist and have a parent folder.
ItemLocation LocateItem(const std::string& utf8Path);

// The folder at `utf8Path`, which must exist and be a folder.
FolderLocation LocateFolder(const std::string& utf8Path);

std::string Utf8Of(const std::filesystem::path& path);
std::filesystem::path PathOfUtf8(const std::string& utf8);

// Opens the folder's database. With `create` a missing file is created, as the program does;
// without, a missing file gives nothing (a folder that never had tasks) and none is made.
std::optional<TaskStore> OpenDatabase(const FolderLocation& folder, bool create);

// Ends the command with the exit code and message that fit the failure (the store's own class
// of it); `doing` says what failed ("cannot read", "cannot write").
[[noreturn]] void FailFromStore(StoreFailure failure,
                                const FolderLocation& folder,
                                const std::string& doing);
// Ends the command as FailFromStore does when `failure` is one; otherwise returns.
inline void FailIfStoreFailed(StoreFailure failure,
                              const FolderLocation& folder,
                              const std::string& doing) {
    if (!Succeeded(failure)) FailFromStore(failure, folder, doing);
}
