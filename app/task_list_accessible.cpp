#include "app/task_list_accessible.h"

#include "app/entry_text.h"
#include "app/list_accessible.h"
#include "app/task_list.h"

namespace {

std::u16string TaskListName(HWND) {
    return u"Tasks";
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
