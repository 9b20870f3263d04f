// The folder key: 32 lower-case hexadecimal digits of the MD5 digest of an item's name (the last
// path component, as UTF-8). It names the item's task table and its entry in the status file.
// The shell extension compiles only the heap-free part (folder_key_hex.h, md5.h); the program's
// key is built on the same code, so both agree byte for byte.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "store/folder_key_hex.h"
#include "store/md5.h"

std::string FolderKey(std::u16string_view folderName);

// "tbl_" followed by the key.
std::string TaskTableName(std::string_view folderKey);

// The items of a folder by their folder key: each name of the folder's listing, and "." and ".."
// (the program's clean-up hashes them as it hashes any entry, so their lists are claimed). A list
// whose key is not here belongs to no item: it is unclaimed.
std::map<std::string, std::u16string> ItemNamesByKey(const std::vector<std::u16string>& entries);
