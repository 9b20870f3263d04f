// The files Pelmora keeps for a folder's items, beside them in the folder: their names, the
// folder an item's files are in, and the folder's listing, which tells the items that are there
// from the lists that lost theirs. folder_files_win.cpp and folder_files_posix.cpp ask the system;
// the build compiles the one for its platform.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The task database (one table per item) and the status file the overlays read.
inline constexpr char16_t kDatabaseFileName[] = u"pelmora.db";
inline constexpr char16_t kStatusFileName[] = u"pelmora.ini";

// The item's name: the text after the last backslash of `path` (the whole text when there is
// none). Empty for a drive root or a path that ends in a backslash.
std::u16string_view FolderNameOf(std::u16string_view path);

// The folder part of `path`: everything up to and including its last backslash (empty when there
// is none). ParentFolderOf(path) followed by FolderNameOf(path) is `path` again.
std::u16string_view ParentFolderOf(std::u16string_view path);

// `path` made absolute against the current folder, with "." and ".." resolved; `path` itself
// when the system cannot tell.
std::u16string FullPath(const std::u16string& path);

// The name of every entry of `folder`, as the system lists them. Absent when the listing cannot
// be started or breaks off part-way: the entries not yet listed would look gone, and the lists of
// items that are there would be taken for lost ones. On POSIX a name that is not UTF-8 is left
// out: no item of that name can have a list.
std::optional<std::vector<std::u16string>> ListFolderEntries(const std::u16string& folder);
