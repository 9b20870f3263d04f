// The folder status file "pelmora.ini" beside the database: section "pelmora", one entry per
// item, key = folder key, value "0" to "3". The program writes it; the shell extension's overlay
// identifiers read it for every item Explorer shows.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/folder_files.h"
#include "store/folder_status_value.h"
#include "store/sqlite/task_store.h"
#include "store/status/profile.h"

inline constexpr char16_t kStatusSection[] = u"pelmora";

// The status file beside the database: everything up to and including the last backslash of
// `databasePath`, then "pelmora.ini".
std::u16string StatusFilePath(std::u16string_view databasePath);

struct StatusEntry {
    std::string key;  // the 32-digit folder key
    FolderStatus status = FolderStatus::kNone;
};

// What became of a write of the status file. Not written with no file failure: the database
// failed (its tables could not be read, or its write lock not had), and `storeFailure` tells how.
// Otherwise `fileFailure` says why the file was not written; it is then as it was.
struct StatusWriteResult {
    bool written = false;
    FileFailure fileFailure = FileFailure::kNone;
    StoreFailure storeFailure = StoreFailure::kNone;
    explicit operator bool() const noexcept { return written; }
};

// Writes (or replaces) one item's entry. `folderKey` is the 32-digit key. Not written when the
// file could not be; the entry then keeps its old value. The caller holds the database's write
// lock (see WriteStatusEntries).
[[nodiscard]] StatusWriteResult WriteFolderStatus(const std::u16string& statusFile,
                                                  std::string_view folderKey,
                                                  FolderStatus status);

// Writes every entry in one pass: the file is read once (or, when `fresh`, its old entries are
// dropped), the entries are put in as WriteFolderStatus would put them one after another, and
// the result replaces the file in one step, so a reader sees the old file or the new one. Every
// other line stays as it was. Not written, leaving the file as it was, when it could not be read
// (a file that is there but cannot be read is never taken for an empty one, nor one larger than
// the overlays read) or written, or the result would be larger than the overlays read. The
// caller holds the database's write lock.
[[nodiscard]] StatusWriteResult PublishStatusEntries(const std::u16string& statusFile,
                                                     const std::vector<StatusEntry>& entries,
                                                     bool fresh);

// Every writer of the status file goes through these: each takes the database's write lock
// (the one every change to it takes) for the whole update, so two programs writing entries of
// one folder at the same moment are serialised and neither loses the other's entry. Not written
// when the lock could not be had (`storeFailure` tells a busy file) or the file not written.
//
// Writes the given entries.
[[nodiscard]] StatusWriteResult WriteStatusEntries(TaskStore& store,
                                                   const std::u16string& statusFile,
                                                   const std::vector<StatusEntry>& entries);
// Writes each key's status, computed from its table under the lock.
[[nodiscard]] StatusWriteResult RefreshStatusEntries(TaskStore& store,
                                                     const std::u16string& statusFile,
                                                     const std::vector<std::string>& keys);

// The value of every entry in the file, read once, by the key in lower case; an item without an
// entry (or a file that cannot be read) is not in the map and reads as 0.
std::unordered_map<std::string, int> ReadStatusEntries(const std::u16string& statusFile);

// Deletes the file; a missing file is not an error. False when a file is left.
[[nodiscard]] bool StartFreshStatusFile(const std::u16string& statusFile);

// Rewrites the whole file from the database: one entry for every item table, in the order
// listed; other tables are passed over.
// A database without tables leaves the file as it is and tells nobody. Not written when the
// tables could not be listed, the lock not had or the file not written (the file is then
// untouched too). The old file is not read, so one that cannot be read or is too large for the
// overlays is replaced all the same, as long as the system lets it be replaced.
[[nodiscard]] StatusWriteResult RebuildStatusFile(TaskStore& store,
                                                  const std::u16string& statusFile);

// The key a table's entry is written under: the name without its "tbl_" prefix. False for every
// name but the program's own ("tbl_" and 32 lower-case hexadecimal digits).
[[nodiscard]] bool StatusKeyOfTable(std::string_view table, std::string& key);

// Tells Explorer to ask the overlay identifiers again.
void NotifyShell();
