// What one run of the program is for, fixed by start-up from its arguments and read by every
// window: the instance, the item and its files, and the icon. The connection to the database and
// what a window changes while it is open belong to that window. Everything runs on
// the one user-interface thread, so nothing here is locked.
#pragma once

#include <windows.h>

#include <string>

#include "win/unique_handle.h"

struct AppState {
    HINSTANCE instance = nullptr;
    std::u16string folderName;      // the second argument, unchanged
    std::string folderKey;          // 32 hexadecimal digits of the folder name
    std::u16string statusFilePath;  // "pelmora.ini" beside the database
    std::u16string settingsPath;    // "config.ini" in the data folder; empty when unknown
    UniqueHIcon icon;
};

extern AppState gApp;
