// Which tables "Clear Unreferenced Data..." drops: the tables of items that are no longer in
// the database's folder, and the empty tables of items that are. Portable, so it is tested
// against real database files.
#pragma once

#include <string>
#include <vector>

#include "store/sqlite/schema.h"

// `tables` as ListTables gave them; `entryNames` the bare names of everything in the folder
// that holds the database ("." and ".." included where the file system reports them). Drop
// failures are not reported: the table then simply stays.
void DropUnreferencedTables(TaskStore& store,
                            const std::vector<std::string>& tables,
                            const std::vector<std::u16string>& entryNames);
