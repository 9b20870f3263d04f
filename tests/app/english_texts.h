// The program's English texts under the names the window tests check the boxes against.
#pragma once

#include "text/texts.h"

inline const wchar_t* English(TextId id) {
    return reinterpret_cast<const wchar_t*>(EnglishText(id));
}

inline const wchar_t* const kCannotRemoveRecord = English(TextId::kCannotRemoveRecord);
inline const wchar_t* const kTitleEmpty = English(TextId::kTitleEmpty);
inline const wchar_t* const kTitleExists = English(TextId::kTitleExists);
inline const wchar_t* const kConfirmRemoveTask = English(TextId::kConfirmRemoveTask);
inline const wchar_t* const kConfirmRemoveAll = English(TextId::kConfirmRemoveAll);
inline const wchar_t* const kReadOnlyNotice = English(TextId::kReadOnlyNotice);
inline const wchar_t* const kCannotOpen = English(TextId::kCannotOpen);
inline const wchar_t* const kCannotModify = English(TextId::kCannotModify);
inline const wchar_t* const kTaskListInUse = English(TextId::kTaskListInUse);
inline const wchar_t* const kDatabaseInUse = English(TextId::kDatabaseInUse);
inline const wchar_t* const kDatabaseNotWritten = English(TextId::kDatabaseNotWritten);
