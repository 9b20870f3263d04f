// The folder status file "pelmora.ini" beside the database: section "pelmora", one entry per
// item, key = folder key, value "0" to "3". The program writes it; the shell extension's overlay
// identifiers read it for every item Explorer shows.
#pragma once

#include <string>
#include <string_view>

#include "store/folder_status_value.h"
#include "store/task_store.h"

inline constexpr char16_t kStatusSection[] = u"pelmora";
inline constexpr char16_t kStatusFileName[] = u"pelmora.ini";

// The status file beside the database: everything up to and including the last backslash of
// `databasePath`, then "pelmora.ini".
std::u16string StatusFilePath(std::u16string_view databasePath);

// Writes (or replaces) one item's entry. `folderKey` is the 32-digit key. False when the file
// could not be written; the entry then keeps its old value.
[[nodiscard]] bool WriteFolderStatus(const std::u16string& statusFile,
                                     std::string_view folderKey,
                                     FolderStatus status);

// Deletes the file; a missing file is not an error. False when a file is left.
[[nodiscard]] bool StartFreshStatusFile(const std::u16string& statusFile);

// Rewrites the whole file from the database: one entry for every item table, in the order
// listed; other tables are passed over.
// A database without tables leaves the file as it is and tells nobody. Returns false when the
// tables could not be listed (the file is then untouched too).
[[nodiscard]] bool RebuildStatusFile(TaskStore& store, const std::u16string& statusFile);

// The key a table's entry is written under: the name without its "tbl_" prefix. False for every
// name but the program's own ("tbl_" and 32 lower-case hexadecimal digits).
[[nodiscard]] bool StatusKeyOfTable(std::string_view table, std::string& key);

// Tells Explorer to ask the overlay identifiers again.
void NotifyShell();
