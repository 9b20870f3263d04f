#include "walk/tree_lists.h"

#include <map>

#include "store/folder_files.h"
#include "store/folder_key.h"
#include "store/sqlite/schema.h"
#include "store/sqlite/task_table.h"
#include "text/text_encoding.h"

namespace {

TreeProblem ProblemOf(StoreFailure failure) {
    switch (failure) {
        case StoreFailure::kNone:
            return TreeProblem::kNone;
        case StoreFailure::kBusy:
            return TreeProblem::kBusy;
        case StoreFailure::kDamaged:
            return TreeProblem::kDamaged;
        case StoreFailure::kTooLarge:
            return TreeProblem::kTooLarge;
        default:
            return TreeProblem::kUnreadable;
    }
}

std::u16string DatabasePath(const std::u16string& folder) {
#ifdef _WIN32
    return folder + u"\\" + kDatabaseFileName;
#else
    return folder + u"/" + kDatabaseFileName;
#endif
}

std::string DecodedTitle(const std::string& stored) {
    return Utf16ToUtf8(Utf8ToUtf16(Base64Decode(stored)));
}

class TreeReader {
public:
    TreeReader(const std::function<void(const TreeList&)>& onList, const std::atomic<bool>& cancel)
        : onList_(onList), cancel_(cancel) {}

    void ReadFolder(const WalkedFolder& folder) {
        if (folder.failure != FolderFailure::None) Problem(folder, TreeProblem::kUnreadableFolder);
        if (!folder.hasDatabase) return;
        if (folder.database.onlineOnly) return Problem(folder, TreeProblem::kOnlineOnly);
        if (!folder.database.plainFile) return Problem(folder, TreeProblem::kCrafted);
        // A name on the way that is not UTF-8 cannot be given to SQLite.
        if (!folder.exactPath) return Problem(folder, TreeProblem::kUnreadable);
        TaskStore store;
        // A cancel stops the statement that runs, however long a crafted file makes it; what
        // it left unread is not reported as a verdict on the file.
        store.StopWhen(&cancel_);
        const StoreFailure opened = store.OpenReadOnly(Utf16ToUtf8(DatabasePath(folder.path)));
        if (cancel_) return;
        if (!Succeeded(opened)) return Problem(folder, ProblemOf(opened));
        auto schema = ReadSchema(store);
        if (cancel_) return;
        if (!schema) return Problem(folder, ProblemOf(schema.Failure()));
        // Hashed only for a folder that has lists; the listing came with the folder.
        std::map<std::string, std::u16string> names;
        bool named = false;
        for (const std::string& table : schema->tables) {
            if (!IsTaskTableName(table)) continue;
            if (cancel_) return;
            if (!named) {
                names = ItemNamesByKey(folder.entries);
                named = true;
            }
            TreeList list;
            list.folder = folder.relative;
            list.key = table.substr(4);
            if (const auto owner = names.find(list.key); owner != names.end()) {
                list.item = owner->second;
            }
            ReadList(store, *schema, table, list);
            if (cancel_) return;  // read part-way, or stopped: not a list that was read
            Report(list);
        }
        // A view or anything else under a list's name stands where a list should be.
        for (const auto& [name, type] : schema->typeByName) {
            if (type == "table" || !IsTaskTableName(name)) continue;
            if (cancel_) return;
            TreeList row;
            row.folder = folder.relative;
            row.key = name.substr(4);
            row.problem = TreeProblem::kCrafted;
            Report(row);
        }
    }

    TreeListsResult result;

private:
    void ReadList(TaskStore& store,
                  const SchemaIndex& schema,
                  const std::string& table,
                  TreeList& list) {
        TaskTable tasks(store, table);
        // A view or a table of another shape under a list's name is no list, nor an empty one.
        if (SchemaTypeOf(schema, table) != "table") {
            list.problem = TreeProblem::kCrafted;
            return;
        }
        auto records = tasks.Load(TaskTable::Keys::kNotWanted);
        if (!records) {
            // The shape is asked only of a table that could not be read: most are lists.
            const bool shaped =
                records.Failure() != StoreFailure::kDamaged || tasks.HasTaskColumns();
            list.problem = shaped ? ProblemOf(records.Failure()) : TreeProblem::kCrafted;
            return;
        }
        list.tasks.reserve(records->size());
        for (const TaskRecord& record : *records) {
            TreeTask task;
            task.title = DecodedTitle(record.title);
            task.done = record.done != 0;
            task.date = record.doneDate.value_or(std::string());
            task.priority = record.priority;
            list.done += task.done ? 1 : 0;
            list.tasks.push_back(std::move(task));
        }
        list.total = list.tasks.size();
    }

    void Problem(const WalkedFolder& folder, TreeProblem problem) {
        TreeList row;
        row.folder = folder.relative;
        row.problem = problem;
        Report(row);
    }

    void Report(const TreeList& list) {
        if (list.problem != TreeProblem::kNone) {
            ++result.problems;
        } else {
            ++result.lists;
            result.tasks += list.total;
            result.done += list.done;
        }
        onList_(list);
    }

    const std::function<void(const TreeList&)>& onList_;
    const std::atomic<bool>& cancel_;
};

}  // namespace

const char* TreeProblemName(TreeProblem problem) {
    switch (problem) {
        case TreeProblem::kNone:
            return "";
        case TreeProblem::kUnreadableFolder:
            return "unreadable folder";
        case TreeProblem::kOnlineOnly:
            return "online only";
        case TreeProblem::kBusy:
            return "busy";
        case TreeProblem::kDamaged:
            return "damaged";
        case TreeProblem::kCrafted:
            return "crafted";
        case TreeProblem::kTooLarge:
            return "too large";
        case TreeProblem::kUnreadable:
            return "unreadable";
    }
    return "unreadable";
}

TreeListsResult ReadTreeLists(const std::u16string& root,
                              const WalkOptions& options,
                              const std::function<void(const TreeList&)>& onList,
                              const std::atomic<bool>& cancel) {
    TreeReader reader(onList, cancel);
    reader.result.walk = WalkTree(
        root, options, [&](const WalkedFolder& folder) { reader.ReadFolder(folder); }, cancel);
    return reader.result;
}
