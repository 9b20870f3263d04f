#include "cli/item_location.h"

#include <system_error>

#include "cli/cli.h"
#include "cli/cli_platform.h"
#include "store/folder_files.h"
#include "store/folder_key.h"
#include "text/text_encoding.h"

namespace fs = std::filesystem;

namespace {

// Absolute, with "." and ".." resolved by text and no separator at the end, so that "Proj/"
// and "Proj/." name Proj itself. Links are not followed: the item is the entry the user named.
fs::path Normalised(const std::string& utf8Path) {
    if (utf8Path.empty()) throw CliFailure(kExitUsage, "an empty path names nothing");
    std::error_code error;
    fs::path path = fs::absolute(PathOfUtf8(utf8Path), error);
    if (error) throw CliFailure(kExitNotFound, "cannot resolve the path \"" + utf8Path + "\"");
    path = path.lexically_normal();
    if (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
    return path;
}

FolderLocation FolderAt(const fs::path& folder) {
    FolderLocation location;
    location.folder = folder;
    location.database = folder / kDatabaseFileName;
    location.statusFile = (folder / kStatusFileName).u16string();
    return location;
}

}  // namespace

std::string Utf8Of(const fs::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path PathOfUtf8(const std::string& utf8) {
    return fs::u8path(utf8);
}

ItemLocation LocateItem(const std::string& utf8Path) {
    const fs::path path = Normalised(utf8Path);
    // A drive root or "/" has no parent folder to hold its database.
    if (!path.has_relative_path() || path == path.root_path()) {
        throw CliFailure(kExitUsage, "\"" + utf8Path + "\" has no parent folder to keep its tasks");
    }
    std::optional<std::u16string> name;
    try {
        name = EntryNameOnDisk(path);
    } catch (const std::exception&) {
        throw CliFailure(kExitUsage, "the name of \"" + utf8Path + "\" is not valid UTF-8");
    }
    if (!name) throw CliFailure(kExitNotFound, "no such file or folder: " + utf8Path);
    ItemLocation item;
    item.parent = FolderAt(path.parent_path());
    item.name = *name;
    item.key = FolderKey(item.name);
    item.table = TaskTableName(item.key);
    return item;
}

FolderLocation LocateFolder(const std::string& utf8Path) {
    const fs::path path = Normalised(utf8Path);
    std::error_code error;
    if (!fs::is_directory(path, error)) {
        throw CliFailure(kExitNotFound, "no such folder: " + utf8Path);
    }
    return FolderAt(path);
}

std::optional<TaskStore> OpenDatabase(const FolderLocation& folder, bool create) {
    std::error_code error;
    const auto status = fs::status(folder.database, error);
    if (fs::is_directory(status)) {
        throw CliFailure(kExitUnreadable,
                         Utf8Of(folder.database) + " is a folder, not a task database");
    }
    if (!fs::exists(status) && !create) return std::nullopt;
    TaskStore store;
    if (const StoreFailure failure = store.Open(Utf8Of(folder.database)); !Succeeded(failure)) {
        // A damaged file is refused as one; a folder that refuses the new file is read-only.
        if (failure == StoreFailure::kOther) {
            throw CliFailure(kExitUnreadable, "cannot open " + Utf8Of(folder.database));
        }
        FailFromStore(failure, folder, "cannot open");
    }
    return store;
}

void FailFromStore(StoreFailure failure, const FolderLocation& folder, const std::string& doing) {
    const std::string file = Utf8Of(folder.database);
    switch (failure) {
        case StoreFailure::kBusy:
            throw CliFailure(kExitBusy, file + " is in use by another program; try again");
        case StoreFailure::kReadOnly:
            throw CliFailure(kExitFailed, doing + " " + file + ": it may only be read");
        case StoreFailure::kTooLarge:
            throw CliFailure(kExitUnreadable,
                             doing + " " + file + ": it holds a value longer than the " +
                                 std::to_string(kMaxValueBytes) +
                                 " bytes Pelmora reads (damaged, or made by another program)");
        case StoreFailure::kDamaged:
            throw CliFailure(kExitUnreadable,
                             doing + " " + file + ": not a task database, or damaged");
        case StoreFailure::kNone:
        case StoreFailure::kNotFound:
        case StoreFailure::kOther:
            break;
    }
    throw CliFailure(kExitFailed, doing + " " + file);
}
