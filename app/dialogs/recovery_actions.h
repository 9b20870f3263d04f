// The work behind "Recover Tasks...": which task lists a folder offers, and moving the chosen one
// into the item's list with the status file and the shell brought up to date. The dialog in
// recover_dialog.cpp only shows and chooses.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "store/sqlite/task_table.h"
#include "tasks/recovery.h"

// Where the offered lists come from: the item's own folder, or another folder's database. The
// functions below are given `own`, the item's table on the main window's connection: the
// list that receives, and the connection that reads the item's own folder.
struct RecoverySource {
    std::u16string folder;  // with its trailing backslash
    TaskStore other;        // open for another folder; no connection for the item's own folder
    bool IsOwnFolder() const { return !other.IsOpen(); }
};

enum class ListingStatus {
    kOk,
    kNoDatabase,  // the folder holds no "pelmora.db"
    kUnreadable,  // its tables cannot be listed (damaged, or no database)
    kNoFileList,  // the folder cannot be listed
};

// The folder that holds the item's database, with its trailing backslash.
std::u16string OwnDatabaseFolder();

// Opens the database of another folder for `source` without ever creating one.
ListingStatus OpenOtherFolder(const std::u16string& folder, RecoverySource& source);

// The lists of the source that belong to no entry of its folder and hold tasks, the item's own
// table left out.
ListingStatus FindRecoverableLists(TaskTable& own,
                                   RecoverySource& source,
                                   std::vector<TaskListSummary>& lists);

// The same a slice at a time, for a dialog that keeps answering while a folder with thousands
// of lists is read: Start lists the folder and reads the schema; each Continue reads lists for
// about `slice` and says whether the listing is complete; OfferedLists then picks what to offer.
ListingStatus StartRecoverableListing(TaskTable& own,
                                      RecoverySource& source,
                                      UnclaimedListing& listing);
bool ContinueRecoverableListing(TaskTable& own,
                                RecoverySource& source,
                                UnclaimedListing& listing,
                                std::chrono::milliseconds slice);
std::vector<TaskListSummary> OfferedLists(const TaskTable& own,
                                          const RecoverySource& source,
                                          UnclaimedListing& listing);

// Whether the item's own folder offers anything to recover (for the empty list's hint).
bool OwnFolderHasRecoverableLists(TaskTable& own);

// Moves `table` of the source into the item's list, updates both status entries, tells the shell
// and tells the user how it went. True when the item's list changed (it must be reloaded, and
// the item's completion state may have changed).
bool RecoverList(HWND owner, TaskTable& own, RecoverySource& source, const std::string& table);

// The second question of "Clear Unreferenced Data...": asked only when the tables about to be
// dropped hold open tasks, defaulting to No. True when the clearing may go on.
bool ConfirmClearingOpenTasks(HWND owner,
                              TaskStore& store,
                              const std::vector<std::string>& tables,
                              const std::vector<std::u16string>& entryNames);

// True when both paths name the same folder (so the same database file): the same volume and
// file identity, whatever the path's spelling (a link, a short 8.3 name, another drive letter).
bool SameFolder(const std::u16string& a, const std::u16string& b);
