// What one run of the program is for, fixed by start-up from its arguments and read by every
// window: the instance, the item and its files, the icon, and the one connection to the
// database. What a window changes while it is open belongs to that window. Everything runs on
// the one user-interface thread, so nothing here is locked.
#pragma once

#include <windows.h>

#include <string>

#include "store/task_table.h"
#include "tasks/task_list.h"
#include "win/unique_handle.h"

struct AppState {
    HINSTANCE instance = nullptr;
    TaskStore store;                // the one connection
    std::string table;              // the item's table, "tbl_" + folderKey
    std::u16string folderName;      // the second argument, unchanged
    std::string folderKey;          // 32 hexadecimal digits of the folder name
    std::u16string statusFilePath;  // "pelmora.ini" beside the database
    std::u16string settingsPath;    // "config.ini" in the data folder; empty when unknown
    UniqueHIcon icon;
};

extern AppState gApp;

// The item's table in the one connection.
inline TaskTable ItemTable() {
    return TaskTable(gApp.store, gApp.table);
}

// The use cases of the item's list on the one connection.
inline TaskList ItemList() {
    return TaskList(ItemTable());
}
