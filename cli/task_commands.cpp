#include "cli/task_commands.h"

#include <system_error>
#include <vector>

#include "cli/cli.h"
#include "cli/list_access.h"
#include "cli/task_text.h"
#include "tasks/task_fields.h"
#include "tasks/task_list.h"
#include "text/text_encoding.h"

namespace {

// The refusal of an empty title, whether the command line sees it or the list does.
constexpr char kTitleEmpty[] = "Title of the task is empty!";

std::string NameOf(const ItemLocation& item) {
    return Utf16ToUtf8(item.name);
}

// The item's database for a change to existing tasks: without one, the item has none.
TaskStore OpenForChange(const ItemLocation& item, long long n) {
    auto store = OpenDatabase(item.parent, false);
    if (!store) TaskIndex(n, 0, NameOf(item));
    return std::move(*store);
}

// A text the store could not keep is refused before anything is written.
void RefuseOverlong(const std::optional<std::string>& stored, const char* what) {
    if (stored && stored->size() > static_cast<size_t>(kMaxValueBytes)) {
        throw CliFailure(kExitRefused, std::string("the ") + what + " is " +
                                           std::to_string(stored->size()) +
                                           " bytes as stored; at most " +
                                           std::to_string(kMaxValueBytes) + " can be kept");
    }
}

// The stored title the editor would make of `title`; empty or all-blank titles are refused.
std::string StoredTitle(const std::string& title) {
    const EditedTitle edited = ReadTitleField(Utf8ToUtf16(title));
    if (edited.problem != TitleProblem::kNone) {
        throw CliFailure(kExitRefused, kTitleEmpty);
    }
    RefuseOverlong(edited.key, "title");
    return edited.key;
}

std::string Quoted(const TaskRecord& task) {
    return "\"" + OneLine(DecodedText(task.title)) + "\"";
}

// The task as the list's rules let it be written; a refusal or a store failure ends the command.
TaskRecord Written(const TaskChange& change,
                   const TaskRecord& attempted,
                   const ItemLocation& item) {
    switch (change.refusal) {
        case TaskRefusal::kNone:
            break;
        case TaskRefusal::kTitleTaken:
            throw CliFailure(kExitRefused, "Title already exists! " + NameOf(item) +
                                               " has a task " + Quoted(attempted));
        case TaskRefusal::kEmptyTitle:
            throw CliFailure(kExitRefused, kTitleEmpty);
        case TaskRefusal::kTooLong:
            RefuseOverlong(attempted.title, "title");
            RefuseOverlong(attempted.description, "description");
            break;
    }
    if (!change.task) FailFromStore(change.failure, item.parent, "cannot write");
    return *change.task;
}

// Changes task `n` of the item as `change` makes it (given the list and the task as read), in one
// transaction, under the list's rules; the task as written.
template <typename Change>
TaskRecord ChangeNthTask(TaskStore& store, const ItemLocation& item, long long n, Change change) {
    TaskRecord task;
    RunInTransaction(store, item.parent, [&] {
        const auto tasks = LoadListTasks(store, item.parent, item.table);
        task = tasks[TaskIndex(n, tasks.size(), NameOf(item))];
        TaskList list(TaskTable(store, item.table));
        const TaskChange changed = change(list, task);
        task = Written(changed, task, item);
    });
    return task;
}

// A row without a key of its own (a foreign table hiding its rowid) is never written.
TaskChange NotFound() {
    TaskChange change;
    change.failure = StoreFailure::kNotFound;
    return change;
}

}  // namespace

std::string CmdList(const std::string& itemPath, bool json) {
    const ItemLocation item = LocateItem(itemPath);
    std::vector<TaskRecord> tasks;
    if (auto store = OpenDatabase(item.parent, false)) {
        tasks = LoadListTasks(*store, item.parent, item.table);
    }
    if (json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (size_t i = 0; i < tasks.size(); ++i) list.push_back(TaskJson(i + 1, tasks[i]));
        return JsonText({{"item", NameOf(item)},
                         {"folder", Utf8Of(item.parent.folder)},
                         {"key", item.key},
                         {"tasks", std::move(list)}});
    }
    std::string text;
    const size_t width = std::to_string(tasks.size()).size();
    for (size_t i = 0; i < tasks.size(); ++i) text += TaskListingLine(i + 1, width, tasks[i]);
    return text;
}

std::string CmdAdd(const std::string& itemPath,
                   const std::string& title,
                   const std::optional<std::string>& description,
                   bool done) {
    const ItemLocation item = LocateItem(itemPath);
    TaskRecord record;
    record.title = StoredTitle(title);
    if (description) record.description = EncodeDescription(Utf8ToUtf16(*description));
    RefuseOverlong(record.description, "description");
    record.done = done ? 1 : 0;

    std::error_code ignored;
    const bool hadDatabase = std::filesystem::exists(item.parent.database, ignored);
    auto store = OpenDatabase(item.parent, true);
    TaskList list(TaskTable(*store, item.table));
    try {
        RunInTransaction(*store, item.parent, [&] {
            FailIfStoreFailed(list.Table().Create(), item.parent, "cannot write");
            // The list's shape is checked first: a table of another shape is not added to.
            static_cast<void>(RequireTaskList(*store, item.parent, item.table,
                                              ReadFolderSchema(*store, item.parent)));
            record = Written(list.Add(record), record, item);
        });
    } catch (const CliFailure&) {
        // A database this command created for nothing would be a change left behind.
        if (!hadDatabase) {
            store->Close();
            std::filesystem::remove(item.parent.database, ignored);
        }
        throw;
    }
    std::string report =
        "added task " + std::to_string(record.priority + 1) + ": " + Quoted(record) + "\n";
    WriteStatusEntries(*store, item.parent, {item.key}, report);
    return report;
}

std::string CmdEdit(const std::string& itemPath, long long n, const TaskEdit& edit) {
    const ItemLocation item = LocateItem(itemPath);
    const std::optional<std::string> newTitle =
        edit.title ? std::optional<std::string>(StoredTitle(*edit.title)) : std::nullopt;
    TaskStore store = OpenForChange(item, n);
    bool doneChanged = false;
    const TaskRecord task = ChangeNthTask(store, item, n, [&](TaskList& list, TaskRecord& edited) {
        if (newTitle) edited.title = *newTitle;
        if (edit.description)
            edited.description = EncodeDescription(Utf8ToUtf16(*edit.description));
        RefuseOverlong(edited.description, "description");
        if (edit.done && *edit.done != (edited.done != 0)) {
            edited.done = *edit.done ? 1 : 0;
            doneChanged = true;
        }
        return list.Edit(edited);
    });
    std::string report = "edited task " + std::to_string(n) + ": " + Quoted(task) + "\n";
    if (doneChanged) WriteStatusEntries(store, item.parent, {item.key}, report);
    return report;
}

std::string CmdDone(const std::string& itemPath, long long n) {
    const ItemLocation item = LocateItem(itemPath);
    TaskStore store = OpenForChange(item, n);
    const TaskRecord task = ChangeNthTask(store, item, n, [](TaskList& list, TaskRecord& marked) {
        // A task that was done already gets today's date again, as "Mark As Done" gives it.
        return marked.rowId ? list.MarkDone(*marked.rowId) : NotFound();
    });
    std::string report = "marked task " + std::to_string(n) + " done: " + Quoted(task) + "\n";
    WriteStatusEntries(store, item.parent, {item.key}, report);
    return report;
}

std::string CmdRemove(const std::string& itemPath, long long n) {
    const ItemLocation item = LocateItem(itemPath);
    TaskStore store = OpenForChange(item, n);
    TaskRecord task;
    RunInTransaction(store, item.parent, [&] {
        const auto tasks = LoadListTasks(store, item.parent, item.table);
        task = tasks[TaskIndex(n, tasks.size(), NameOf(item))];
        // A row without a key of its own (a foreign table hiding its rowid) is never written.
        if (!task.rowId) FailFromStore(StoreFailure::kNotFound, item.parent, "cannot write");
        TaskList list(TaskTable(store, item.table));
        FailIfStoreFailed(list.Remove(*task.rowId), item.parent, "cannot write");
    });
    std::string report = "removed task " + std::to_string(n) + ": " + Quoted(task) + "\n";
    WriteStatusEntries(store, item.parent, {item.key}, report);
    return report;
}

std::string CmdRemoveAll(const std::string& itemPath) {
    const ItemLocation item = LocateItem(itemPath);
    auto store = OpenDatabase(item.parent, false);
    if (!store) return "removed 0 tasks\n";
    TaskTable table(*store, item.table);
    size_t removed = 0;
    RunInTransaction(*store, item.parent, [&] {
        const auto tasks = LoadListTasks(*store, item.parent, item.table);
        RemoveListedTasks(table, item.parent, tasks);
        removed = tasks.size();
    });
    // An empty list is left alone, as the window does: nothing changed, nothing to tell.
    std::string report =
        "removed " + std::to_string(removed) + (removed == 1 ? " task\n" : " tasks\n");
    if (removed > 0) WriteStatusEntries(*store, item.parent, {item.key}, report);
    return report;
}

std::string CmdMove(const std::string& itemPath, long long n, bool up) {
    const ItemLocation item = LocateItem(itemPath);
    TaskStore store = OpenForChange(item, n);
    std::string result;
    RunInTransaction(store, item.parent, [&] {
        auto tasks = LoadListTasks(store, item.parent, item.table);
        const size_t index = TaskIndex(n, tasks.size(), NameOf(item));
        // The first task cannot go up nor the last down: as in the window, nothing happens.
        if (up ? index == 0 : index + 1 == tasks.size()) {
            result = "task " + std::to_string(n) + " is already " +
                     (up ? "the first" : "the last") + ": nothing moved\n";
            return;
        }
        const size_t upperIndex = up ? index - 1 : index;
        TaskRecord& upper = tasks[upperIndex];
        TaskRecord& lower = tasks[upperIndex + 1];
        TaskList list(TaskTable(store, item.table));
        FailIfStoreFailed(list.Exchange(upper, lower, static_cast<int>(upperIndex)), item.parent,
                          "cannot write");
        const size_t to = up ? index : index + 2;
        result = "moved task " + std::to_string(n) + " to " + std::to_string(to) + ": " +
                 Quoted(tasks[index]) + "\n";
    });
    return result;
}
