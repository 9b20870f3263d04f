// The commands on a folder as a whole: what Explorer shows for its items, and the status file
// rebuilt from the database.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/item_location.h"

std::string CmdStatus(const std::string& folderPath, bool json);
std::string CmdRebuild(const std::string& folderPath);

// The names of everything in the folder, sorted by their UTF-8 bytes. Names that are not valid
// Unicode cannot be any item's key and are left out.
std::vector<std::u16string> FolderEntryNames(const FolderLocation& folder);

// The folder key of each item of the folder (ItemNamesByKey), with the name it belongs to.
std::map<std::string, std::u16string> NamesByKey(const FolderLocation& folder);
