#include "cli/folder_commands.h"

#include <algorithm>
#include <map>

#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "cli/list_access.h"
#include "cli/task_text.h"
#include "store/folder_files.h"
#include "store/folder_key.h"
#include "store/status/profile.h"
#include "tasks/folder_status.h"
#include "text/text_encoding.h"

namespace fs = std::filesystem;

namespace {

// Which overlay Explorer draws for a status value.
// A value read from the status file may be anything; all but the four known ones draw none.
const char* OverlayName(FolderStatus status) {
    switch (status) {
        case FolderStatus::kLessThanHalf:
            return "zero";
        case FolderStatus::kAtLeastHalf:
            return "half";
        case FolderStatus::kAllDone:
            return "done";
        default:
            return "none";
    }
}

struct ListSummary {
    std::string key;
    std::optional<std::u16string> name;  // absent for a list no entry of the folder claims
    size_t tasks = 0;
    size_t done = 0;
    FolderStatus status = FolderStatus::kNone;  // by the program's rule, from the database
    int statusFile = 0;  // what the status file holds now (and Explorer shows)
};

}  // namespace

std::vector<std::u16string> FolderEntryNames(const FolderLocation& folder) {
    auto names = ListFolderEntries(folder.folder.u16string());
    // A listing that broke off would make the items not yet listed look unclaimed.
    if (!names) throw CliFailure(kExitFailed, "cannot list the folder " + Utf8Of(folder.folder));
    std::sort(names->begin(), names->end(), [](const std::u16string& a, const std::u16string& b) {
        return Utf16ToUtf8(a) < Utf16ToUtf8(b);
    });
    return *names;
}

std::map<std::string, std::u16string> NamesByKey(const FolderLocation& folder) {
    return ItemNamesByKey(FolderEntryNames(folder));
}

std::string CmdStatus(const std::string& folderPath, bool json) {
    const FolderLocation folder = LocateFolder(folderPath);
    std::vector<ListSummary> claimed;
    std::vector<ListSummary> unclaimed;
    if (auto store = OpenDatabase(folder, false)) {
        const ReadTransaction reading(*store);
        const SchemaIndex schema = ReadFolderSchema(*store, folder);
        const std::map<std::string, std::u16string> names = NamesByKey(folder);
        // Read once: a folder may hold thousands of lists.
        const auto statusEntries = ReadStatusEntries(folder.statusFile);
        for (const std::string& table : schema.tables) {
            if (!IsTaskTableName(table)) continue;
            ListSummary list;
            list.key = table.substr(4);
            for (const TaskRecord& task :
                 LoadListTasks(*store, folder, table, schema, TaskTable::Keys::kNotWanted)) {
                ++list.tasks;
                if (task.done != 0) ++list.done;
            }
            // The rule the program applies at exit, on the tasks just read.
            list.status = FolderStatusOfCounts(list.tasks, list.done);
            const auto entry = statusEntries.find(list.key);
            list.statusFile = entry == statusEntries.end() ? 0 : entry->second;
            const auto owner = names.find(list.key);
            if (owner == names.end()) {
                unclaimed.push_back(std::move(list));
            } else if (list.tasks > 0) {
                list.name = owner->second;
                claimed.push_back(std::move(list));
            }
        }
        std::sort(claimed.begin(), claimed.end(), [](const ListSummary& a, const ListSummary& b) {
            return Utf16ToUtf8(*a.name) < Utf16ToUtf8(*b.name);
        });
    }

    if (json) {
        nlohmann::ordered_json items = nlohmann::ordered_json::array();
        for (const ListSummary& list : claimed) {
            items.push_back({{"item", Utf16ToUtf8(*list.name)},
                             {"key", list.key},
                             {"tasks", list.tasks},
                             {"done", list.done},
                             {"overlay", OverlayName(list.status)},
                             {"status", static_cast<int>(list.status)},
                             {"status_file", list.statusFile}});
        }
        nlohmann::ordered_json lost = nlohmann::ordered_json::array();
        for (const ListSummary& list : unclaimed) {
            lost.push_back({{"key", list.key}, {"tasks", list.tasks}, {"done", list.done}});
        }
        return JsonText({{"folder", Utf8Of(folder.folder)}, {"items", items}, {"unclaimed", lost}});
    }
    std::string text;
    for (const ListSummary& list : claimed) {
        text += std::string(OverlayName(list.status)) + "  " + std::to_string(list.done) + "/" +
                std::to_string(list.tasks) + "  " + OneLine(Utf16ToUtf8(*list.name));
        // Explorer draws what the status file says; say so when that is behind the database.
        if (list.statusFile != static_cast<int>(list.status)) {
            text += "  (Explorer shows " +
                    std::string(OverlayName(static_cast<FolderStatus>(list.statusFile))) +
                    "; run rebuild)";
        }
        text += '\n';
    }
    for (const ListSummary& list : unclaimed) {
        text += "unclaimed  " + std::to_string(list.done) + "/" + std::to_string(list.tasks) +
                "  " + list.key + '\n';
    }
    return text;
}

std::string CmdRebuild(const std::string& folderPath) {
    const FolderLocation folder = LocateFolder(folderPath);
    auto store = OpenDatabase(folder, false);
    if (!store) return "no task database in " + Utf8Of(folder.folder) + ": nothing to rebuild\n";
    const auto tables = ListTables(*store);
    if (!tables) FailFromStore(tables.Failure(), folder, "cannot read");
    const StatusWriteResult rebuilt = RebuildStatusFile(*store, folder.statusFile);
    if (!rebuilt && rebuilt.fileFailure != FileFailure::kNone) {
        throw CliFailure(kExitFailed, StatusFileProblem(folder, rebuilt.fileFailure, true));
    }
    if (!rebuilt) FailFromStore(rebuilt.storeFailure, folder, "cannot read");
    size_t entries = 0;
    std::string key;
    for (const std::string& table : *tables) {
        if (StatusKeyOfTable(table, key)) ++entries;
    }
    return "Icon overlays successfully regenerated! " + std::to_string(entries) +
           (entries == 1 ? " entry in " : " entries in ") + Utf8Of(fs::path(folder.statusFile)) +
           "\n";
}
