// Every folder under a root that holds a task database, found with one listing per folder and
// handed to the caller as it is found. Portable: folder_walk_win.cpp lists with the system's
// large-fetch enumeration and long paths, folder_walk_posix.cpp with readdir relative to open
// folders; the build compiles the one for its platform. The walk reads listings only: it opens
// no database and writes nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Windows file attributes of a file whose data lives elsewhere (a cloud file that is online only,
// a file moved to slow storage): opening it fetches the data. MinGW's headers lack the newer two.
inline constexpr uint32_t kAttributeOffline = 0x00001000;
inline constexpr uint32_t kAttributeRecallOnOpen = 0x00040000;
inline constexpr uint32_t kAttributeRecallOnDataAccess = 0x00400000;

// Whether a file with these Windows attributes is a placeholder, which must not be opened.
bool IsOnlineOnly(uint32_t attributes);

// Whether `name` matches `pattern`, where "*" stands for any run of characters and "?" for one.
// Case is compared as given: fold both first where the file system ignores it.
bool MatchesGlob(std::u16string_view pattern, std::u16string_view name);

struct WalkOptions {
    // How many levels below the root are walked: 0 only the root, -1 all.
    int depth = -1;
    // Also walk hidden and system folders (dot-folders on POSIX), ".git" and "node_modules".
    // "$Recycle.Bin" and "System Volume Information" are never walked.
    bool includeHidden = false;
    // Folders whose name matches one of these globs are not walked, nor anything below them
    // (case-insensitive on Windows).
    std::vector<std::u16string> exclude;
    // For tests: the attributes the walk sees for a folder's database, given the folder and the
    // attributes the system reported (0 on POSIX), where the test system cannot set them.
    std::function<uint32_t(std::u16string_view folder, uint32_t attributes)> databaseAttributes;
    // For a front end's progress: when set, the count of folders listed so far, kept current as
    // the walk goes (also through stretches without a database, where no folder is reported).
    std::atomic<uint64_t>* foldersListed = nullptr;
};

// Why a folder could not be listed (whole or in part).
enum class FolderFailure {
    None,
    AccessDenied,
    Vanished,  // gone between being found and being listed
    BrokeOff,  // the listing failed part-way: `entries` is incomplete
    Other,     // a path too long for the system, a device error
};

struct DatabaseEntry {
    uint64_t size = 0;
    bool onlineOnly = false;  // a cloud placeholder: opening it would download it
    bool plainFile = true;    // false: a folder or a link stands where the database should be
};

// One folder the walk reports: one that holds a database, or one it could not read.
struct WalkedFolder {
    // The folder as the walk reached it, for opening files in it (on Windows in the "\\?\" form,
    // which has no length limit).
    std::u16string path;
    // The folder below the root, with the system's separators; empty for the root itself.
    std::u16string relative;
    // False when a name on the way is not valid UTF-8 (POSIX): the paths show it with U+FFFD and
    // cannot open it.
    bool exactPath = true;
    FolderFailure failure = FolderFailure::None;
    bool hasDatabase = false;
    DatabaseEntry database;
    // The names in the folder's listing, without "." and "..": which items are there. On POSIX a
    // name that is not UTF-8 is left out, since no item of that name can have a list.
    std::vector<std::u16string> entries;
    // Folders listed so far, this one included.
    uint64_t foldersWalked = 0;
};

enum class WalkOutcome { Finished, Cancelled, RootNotFound, RootNotFolder, RootUnreadable };

struct WalkResult {
    WalkOutcome outcome = WalkOutcome::Finished;
    uint64_t folders = 0;     // folders listed
    uint64_t unreadable = 0;  // folders reported with a failure
};

// Walks the folders under `root` (the root included), depth first, without following links,
// junctions or mount points and without leaving the root's volume, and calls `onFolder` for each
// folder that holds a "pelmora.db" and for each that could not be read, as each is found. Stops
// within one listing after `cancel` becomes true (onFolder may set it). Memory is bounded by the
// pending sibling names along one path, never by the size of the tree, and the depth of the tree
// costs no stack.
WalkResult WalkTree(const std::u16string& root,
                    const WalkOptions& options,
                    const std::function<void(const WalkedFolder&)>& onFolder,
                    const std::atomic<bool>& cancel);
