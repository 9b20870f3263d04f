// The words a task entry says: the date it draws for a done task, and the name a screen reader
// reads for it. Both come from here, so what is heard is what is seen.
#pragma once

#include <string>

#include "store/task_store.h"

// The date a done entry shows under "Done", exactly as drawn.
std::string DoneDateText(const TaskRecord& record);

// "Buy milk, open" or "Pay rent, done, 2024-05-02": the title with line breaks and other
// control characters read as spaces, then the task's state. Nothing is cut, so no surrogate
// pair is ever split, and an unpaired surrogate is passed on as it is.
std::u16string TaskEntryName(const TaskRecord& record);
