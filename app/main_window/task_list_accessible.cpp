#include "app/main_window/task_list_accessible.h"
#include "app/user_texts.h"

#include "app/main_window/list_accessible.h"
#include "app/main_window/task_list.h"
#include "app/ui/entry_text.h"

namespace {

std::u16string TaskListName(HWND) {
    return Text(TextId::kTaskListName);
}

std::u16string TaskName(HWND list, int index) {
    const TaskRecord* record = RecordAt(list, index);
    return record != nullptr ? TaskEntryName(*record) : ListEntryText(list, index);
}

}  // namespace

bool AttachTaskListAccessible(HWND list) {
    ListAccessibleNames names;
    names.listName = &TaskListName;
    names.entryName = &TaskName;
    return AttachListAccessible(list, names);
}
