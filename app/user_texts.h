// The designed texts of the window's boxes, written once; the window tests check the boxes
// against the same constants.
#pragma once

inline constexpr wchar_t kCannotGetFileList[] = L"Cannot get file list!";
inline constexpr wchar_t kCannotReadDatabase[] = L"Cannot read database!";
inline constexpr wchar_t kCannotReadTaskList[] = L"Cannot read task list from database!";
inline constexpr wchar_t kCannotRemoveRecord[] = L"Cannot remove record from database!";
inline constexpr wchar_t kCannotUpdateDatabase[] = L"Cannot update database!";
inline constexpr wchar_t kTitleEmpty[] = L"Title of the task is empty!";
inline constexpr wchar_t kTitleExists[] = L"Title already exists!";
inline constexpr wchar_t kConfirmRemoveTask[] = L"Are you sure you want delete the selected task?";
inline constexpr wchar_t kConfirmRemoveAll[] = L"Are you sure you want delete all tasks?";

// At start: the database could not be opened, or its item's table not be made.
inline constexpr wchar_t kReadOnlyNotice[] =
    L"Database opened in read only mode. Make sure the disk is not write protected or Pelmora "
    L"has appropriate permissions to access it.";
inline constexpr wchar_t kCannotOpen[] =
    L"Cannot open database! Make sure the disk is not write protected or Pelmora has "
    L"appropriate permissions to access it.";
inline constexpr wchar_t kCannotModify[] =
    L"Cannot modify database!\n\npelmora.db file might be corrupted. Please delete that file!";

// Told when an operation fails because another program holds the database: nothing is wrong
// with the file (deleting it, as the message for a damaged file advises, would lose every item's
// tasks), and trying again later will do. The first is for the start, the second for a change.
inline constexpr wchar_t kTaskListInUse[] =
    L"Cannot open the task list: pelmora.db is in use by another program.\n\nPlease try again in "
    L"a moment.";
inline constexpr wchar_t kDatabaseInUse[] =
    L"The change was not saved: pelmora.db is in use by another program.\n\nPlease try again in "
    L"a moment.";

// Told when the item's table cannot be made. Neither cause is a fault of the file, so neither
// repeats the advice for a damaged one (deleting it would lose every item's tasks).
inline constexpr wchar_t kDatabaseOnlyReadable[] =
    L"Cannot create the task list: the task database of this folder (pelmora.db) can only be "
    L"read here.\n\nNothing was changed. Make sure the disk is not write protected and Pelmora "
    L"has permission to write in this folder.";
inline constexpr wchar_t kDatabaseNotWritten[] =
    L"Cannot create the task list: pelmora.db could not be written (the disk may be full).\n\n"
    L"Nothing was changed. Free some space on the disk, then try again.";

// "Tasks Below This Folder...": the root cannot be walked. The folder is named between the two
// parts.
inline constexpr wchar_t kCannotShowBelow[] = L"Cannot show the tasks below ";
inline constexpr wchar_t kBelowRootMissing[] = L": the folder does not exist.";
inline constexpr wchar_t kBelowRootUnreadable[] = L": the folder cannot be read.";
inline constexpr wchar_t kBelowRootNotFolder[] = L": it is not a folder.";
inline constexpr wchar_t kCannotStartProgram[] =
    L"Cannot start Pelmora for this item: the program could not be started.";
