#include "cli/tree_command.h"

#include <atomic>

#include <nlohmann/json.hpp>

#include "cli/item_location.h"
#include "cli/task_text.h"
#include "text/text_encoding.h"
#include "walk/tree_lists.h"

namespace {

#ifdef _WIN32
constexpr char kSeparator[] = "\\";
#else
constexpr char kSeparator[] = "/";
#endif

// The item's path below the root, as a person finds it: folder, then the item's name; for a list
// no item claims, its key in place of the name.
std::string ItemPath(const TreeList& list) {
    std::string path = Utf16ToUtf8(list.folder);
    if (list.key.empty()) return path.empty() ? "." : path;
    if (!path.empty()) path += kSeparator;
    return path + (list.item ? Utf16ToUtf8(*list.item) : "(unclaimed " + list.key + ")");
}

nlohmann::ordered_json ListJson(const TreeList& list, bool all) {
    nlohmann::ordered_json row;
    row["folder"] = Utf16ToUtf8(list.folder);
    if (list.problem != TreeProblem::kNone) {
        if (!list.key.empty()) row["key"] = list.key;
        if (list.item) row["item"] = Utf16ToUtf8(*list.item);
        row["problem"] = TreeProblemName(list.problem);
        return row;
    }
    row["item"] = list.item ? nlohmann::ordered_json(Utf16ToUtf8(*list.item)) : nullptr;
    row["key"] = list.key;
    row["tasks"] = list.total;
    row["done"] = list.done;
    nlohmann::ordered_json tasks = nlohmann::ordered_json::array();
    for (const TreeTask& task : list.tasks) {
        if (task.done && !all) continue;
        nlohmann::ordered_json entry{{"title", task.title}, {"done", task.done}};
        entry["date"] =
            task.date.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(task.date);
        entry["priority"] = task.priority;
        tasks.push_back(std::move(entry));
    }
    row["list"] = std::move(tasks);
    return row;
}

std::string ListText(const TreeList& list, bool all) {
    if (list.problem != TreeProblem::kNone) {
        return ItemPath(list) + "  (" + TreeProblemName(list.problem) + ")\n";
    }
    std::string text = OneLine(ItemPath(list)) + "  " + std::to_string(list.total - list.done) +
                       " open, " + std::to_string(list.done) + " done\n";
    for (const TreeTask& task : list.tasks) {
        if (task.done && !all) continue;
        text += task.done ? "    [x] " : "    [ ] ";
        text += OneLine(task.title);
        if (task.done && !task.date.empty()) text += "  (" + task.date + ")";
        text += '\n';
    }
    return text;
}

std::string Count(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int CmdTree(const TreeArguments& args, const CliOutput& output) {
    const FolderLocation root = LocateFolder(args.folder);
    WalkOptions options;
    options.depth = args.depth;
    options.includeHidden = args.includeHidden;
    for (const std::string& glob : args.exclude) options.exclude.push_back(Utf8ToUtf16(glob));

    nlohmann::ordered_json document = nlohmann::ordered_json::array();
    const auto onList = [&](const TreeList& list) {
        // By default only what is still to do: items with open tasks, and what could not be read.
        if (!args.all && list.problem == TreeProblem::kNone && list.done == list.total) return;
        if (args.json) {
            document.push_back(ListJson(list, args.all));
        } else if (args.jsonl) {
            output.out(ListJson(list, args.all)
                           .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
                       "\n");
        } else {
            output.out(ListText(list, args.all));
        }
    };
    const std::atomic<bool> cancel{false};
    const TreeListsResult read = ReadTreeLists(root.folder.u16string(), options, onList, cancel);
    switch (read.walk.outcome) {
        case WalkOutcome::RootNotFound:
        case WalkOutcome::RootNotFolder:
            throw CliFailure(kExitNotFound, "no such folder: " + args.folder);
        case WalkOutcome::RootUnreadable:
            throw CliFailure(kExitPartlyRead, "cannot read the folder " + args.folder);
        default:
            break;
    }
    const uint64_t open = read.tasks - read.done;
    if (args.json) {
        nlohmann::ordered_json whole{{"root", Utf8Of(root.folder)}, {"folders", read.walk.folders},
                                     {"lists_read", read.lists},    {"not_read", read.problems},
                                     {"tasks", read.tasks},         {"open", open},
                                     {"lists", std::move(document)}};
        output.out(JsonText(whole));
    } else if (!args.jsonl) {
        std::string summary = Count(read.walk.folders, "folder", "folders") + ", " +
                              Count(read.lists, "list", "lists") + ", " +
                              Count(open, "open task", "open tasks");
        if (read.problems > 0) summary += "; " + std::to_string(read.problems) + " not read";
        output.out(summary + "\n");
    }
    return read.problems > 0 ? kExitPartlyRead : kExitOk;
}
