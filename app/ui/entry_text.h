// The words a task entry says: the date it draws for a done task, and the name a screen reader
// reads for it. Both come from here, so what is heard is what is seen.
#pragma once

#include <string>

#include "store/sqlite/task_table.h"

// The date a done entry shows under "Done", as the bytes it draws.
std::string DoneDateText(const TaskRecord& record);

// "open: Buy milk" or "done 2024-05-02: Pay rent": the task's state (with the date a done entry
// shows) first, then the title. The state leads so that no title can pass for another state;
// in both parts line breaks and other control characters read as spaces and the invisible
// direction marks are dropped. The title is never cut, so no surrogate pair is split, and an
// unpaired surrogate is passed on as it is.
std::u16string TaskEntryName(const TaskRecord& record);

// `text` as a reader should hear it: line breaks and other control characters as spaces, the
// invisible direction marks left out.
std::u16string ReadableText(const std::u16string& text);
