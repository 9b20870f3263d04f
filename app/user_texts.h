// The error texts that more than one command shows, written once; the window tests check the
// boxes against the same constants.
#pragma once

inline constexpr wchar_t kCannotGetFileList[] = L"Cannot get file list!";
inline constexpr wchar_t kCannotReadDatabase[] = L"Cannot read database!";
inline constexpr wchar_t kCannotReadTaskList[] = L"Cannot read task list from database!";
inline constexpr wchar_t kCannotRemoveRecord[] = L"Cannot remove record from database!";
inline constexpr wchar_t kCannotUpdateDatabase[] = L"Cannot update database!";
