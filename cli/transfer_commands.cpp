#include "cli/transfer_commands.h"

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "cli/folder_commands.h"
#include "cli/list_access.h"
#include "cli/task_text.h"
#include "store/folder_key.h"
#include "store/sqlite/done_date.h"
#include "tasks/task_fields.h"
#include "tasks/task_list.h"
#include "text/text_encoding.h"

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

namespace {

struct ImportedList {
    std::string key;
    std::string label;  // the item's name, or its key, for messages
    std::vector<TaskRecord> tasks;
};

bool IsKey(const std::string& text) {
    return IsTaskTableName("tbl_" + text);
}

[[noreturn]] void Invalid(const std::string& file, const std::string& why) {
    throw CliFailure(kExitRefused, file + ": " + why + "; nothing was imported");
}

TaskRecord ReadTask(const json& entry,
                    size_t index,
                    const std::string& file,
                    const std::string& where) {
    const std::string at = where + ", task " + std::to_string(index + 1);
    if (!entry.is_object()) Invalid(file, at + " is not an object");
    TaskRecord task;
    if (entry.contains("stored_title")) {
        if (!entry["stored_title"].is_string() || entry["stored_title"].get<std::string>().empty())
            Invalid(file, at + ": \"stored_title\" must be a non-empty string");
        task.title = entry["stored_title"].get<std::string>();
    } else {
        if (!entry.contains("title") || !entry["title"].is_string())
            Invalid(file, at + " has no \"title\"");
        const EditedTitle title = ReadTitleField(Utf8ToUtf16(entry["title"].get<std::string>()));
        if (title.problem != TitleProblem::kNone) Invalid(file, at + " has an empty title");
        task.title = title.key;
    }
    if (entry.contains("stored_description")) {
        if (!entry["stored_description"].is_string())
            Invalid(file, at + ": \"stored_description\" must be a string");
        task.description = entry["stored_description"].get<std::string>();
    } else if (entry.contains("description")) {
        if (!entry["description"].is_string())
            Invalid(file, at + ": \"description\" must be a string");
        task.description = EncodeDescription(Utf8ToUtf16(entry["description"].get<std::string>()));
    }
    if (entry.contains("done")) {
        const json& done = entry["done"];
        if (done.is_boolean()) {
            task.done = done.get<bool>() ? 1 : 0;
        } else if (done.is_number_integer() && (done == 0 || done == 1)) {
            task.done = done.get<int>() != 0 ? 1 : 0;
        } else {
            Invalid(file, at + ": \"done\" must be true or false");
        }
    }
    task.doneDate = TodayDate();
    if (entry.contains("date")) {
        if (!entry["date"].is_string() || !HasDoneDateShape(entry["date"].get<std::string>()))
            Invalid(file, at + ": \"date\" must be a date like 2024-05-31");
        task.doneDate = entry["date"].get<std::string>();
    }
    task.priority = static_cast<int32_t>(index);
    if (entry.contains("priority")) {
        const json& priority = entry["priority"];
        if (!priority.is_number_integer() || priority < INT32_MIN || priority > INT32_MAX)
            Invalid(file, at + ": \"priority\" must be a whole number");
        task.priority = priority.get<int32_t>();
    }
    // What the store could not keep is refused here, as bad input, before anything is written:
    // a value over the limit cannot be stored at all.
    for (const auto& [name, value] : {std::pair<const char*, std::string_view>{"title", task.title},
                                      {"description", task.description.value_or("")}}) {
        // The title is the task's identity: a NUL would make it equal its own first part.
        if (name == std::string_view("title") && value.find('\0') != std::string_view::npos)
            Invalid(file, at + ": the stored " + std::string(name) + " holds a NUL character");
        if (value.size() > static_cast<size_t>(kMaxValueBytes)) {
            Invalid(file, at + ": the " + std::string(name) + " is " +
                              std::to_string(value.size()) + " bytes as stored; at most " +
                              std::to_string(kMaxValueBytes) + " can be kept");
        }
    }
    return task;
}

// Everything is checked before the database is opened: a file with one bad task imports nothing.
std::vector<ImportedList> ReadImportFile(const std::string& file) {
    std::error_code error;
    const fs::path path = PathOfUtf8(file);
    if (!fs::is_regular_file(path, error)) throw CliFailure(kExitNotFound, "no such file: " + file);
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) throw CliFailure(kExitFailed, "cannot read " + file);
    json document;
    try {
        document = json::parse(bytes);
    } catch (const json::exception& e) {
        Invalid(file, std::string("not valid JSON (") + e.what() + ")");
    }
    if (!document.is_object() || !document.contains("lists") || !document["lists"].is_array() ||
        document["lists"].empty()) {
        Invalid(file, "names no task lists (\"lists\" is missing or empty)");
    }
    std::vector<ImportedList> lists;
    std::set<std::string> keys;
    for (size_t i = 0; i < document["lists"].size(); ++i) {
        const json& entry = document["lists"][i];
        const std::string where = "list " + std::to_string(i + 1);
        if (!entry.is_object()) Invalid(file, where + " is not an object");
        ImportedList list;
        std::optional<std::string> itemKey;
        if (entry.contains("item")) {
            if (!entry["item"].is_string()) Invalid(file, where + ": \"item\" must be a string");
            list.label = entry["item"].get<std::string>();
            itemKey = FolderKey(Utf8ToUtf16(list.label));
        }
        if (entry.contains("key")) {
            if (!entry["key"].is_string() || !IsKey(entry["key"].get<std::string>()))
                Invalid(file, where + ": \"key\" must be 32 lower-case hexadecimal digits");
            list.key = entry["key"].get<std::string>();
            if (itemKey && *itemKey != list.key)
                Invalid(file, where + ": \"key\" is not the key of \"" + list.label + "\"");
            if (!itemKey) list.label = list.key;
        } else if (itemKey) {
            list.key = *itemKey;
        } else {
            Invalid(file, where + " names no \"item\" and no \"key\"");
        }
        if (!keys.insert(list.key).second) Invalid(file, where + " repeats an earlier list");
        if (!entry.contains("tasks") || !entry["tasks"].is_array())
            Invalid(file, where + " has no \"tasks\" array");
        std::set<std::string> titles;
        for (size_t t = 0; t < entry["tasks"].size(); ++t) {
            TaskRecord task = ReadTask(entry["tasks"][t], t, file, where);
            // The window refuses a second task with the same title, and so does the import.
            if (!titles.insert(task.title).second)
                Invalid(file, where + ", task " + std::to_string(t + 1) + " repeats a title");
            list.tasks.push_back(std::move(task));
        }
        lists.push_back(std::move(list));
    }
    return lists;
}

// Writes beside the target and renames over it, so that a failure leaves no half document.
void WriteWholeFile(const std::string& file, const std::string& text) {
    const fs::path target = PathOfUtf8(file);
    fs::path temp = target;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        std::error_code ignored;
        if (!out) {
            fs::remove(temp, ignored);
            throw CliFailure(kExitFailed, "cannot write " + file);
        }
    }
    std::error_code error;
    fs::rename(temp, target, error);
    if (error) {
        fs::remove(temp, error);
        throw CliFailure(kExitFailed, "cannot write " + file);
    }
}

}  // namespace

std::string CmdExport(const std::string& folderPath, const std::optional<std::string>& outputFile) {
    const FolderLocation folder = LocateFolder(folderPath);
    json lists = json::array();
    if (auto store = OpenDatabase(folder, false)) {
        const SchemaIndex schema = ReadFolderSchema(*store, folder);
        const std::map<std::string, std::u16string> names = NamesByKey(folder);
        for (const std::string& table : schema.tables) {
            if (!IsTaskTableName(table)) continue;
            json tasks = json::array();
            for (const TaskRecord& task : LoadListTasks(*store, folder, table, schema)) {
                json entry = {{"title", DecodedText(task.title)},
                              {"description", DecodedText(task.description)},
                              {"done", task.done != 0},
                              {"date", task.doneDate.value_or("")},
                              {"priority", task.priority}};
                if (!SurvivesDecoding(task.title)) entry["stored_title"] = task.title;
                if (!SurvivesDecoding(task.description.value_or("")))
                    entry["stored_description"] = *task.description;
                if (!HasDoneDateShape(task.doneDate.value_or(""))) entry.erase("date");
                tasks.push_back(std::move(entry));
            }
            json list = {{"key", table.substr(4)}, {"tasks", std::move(tasks)}};
            const auto owner = names.find(table.substr(4));
            if (owner != names.end()) list["item"] = Utf16ToUtf8(owner->second);
            lists.push_back(std::move(list));
        }
    }
    std::string text = JsonText(
        {{"pelmora_export", 1}, {"folder", Utf8Of(folder.folder)}, {"lists", std::move(lists)}});
    if (!outputFile) return text;
    WriteWholeFile(*outputFile, text);
    return std::string();
}

std::string CmdImport(const std::string& folderPath, const std::string& file, bool replace) {
    const FolderLocation folder = LocateFolder(folderPath);
    const std::vector<ImportedList> lists = ReadImportFile(file);
    std::error_code ignored;
    const bool hadDatabase = fs::exists(folder.database, ignored);
    auto store = OpenDatabase(folder, true);
    size_t imported = 0;
    try {
        RunInTransaction(*store, folder, [&] {
            SchemaIndex schema = ReadFolderSchema(*store, folder);
            for (const ImportedList& list : lists) {
                TaskTable table(*store, "tbl_" + list.key);
                const auto existing = LoadListTasks(*store, folder, table.Name(), schema);
                if (!existing.empty() && !replace) {
                    throw CliFailure(kExitRefused,
                                     Utf8Of(folder.folder) + " already has " +
                                         std::to_string(existing.size()) + " tasks for " +
                                         list.label +
                                         "; --replace puts the imported ones in their place");
                }
                // The schema read under this write lock stands for the file's for every list:
                // checking each statement against the file's own would make the import quadratic.
                FailIfStoreFailed(table.Replace(schema, RowKeysOf(folder, existing), list.tasks),
                                  folder, "cannot write");
                imported += list.tasks.size();
            }
        });
    } catch (const CliFailure&) {
        if (!hadDatabase) {
            store->Close();
            fs::remove(folder.database, ignored);
        }
        throw;
    }
    std::vector<std::string> keys;
    for (const ImportedList& list : lists) keys.push_back(list.key);
    std::string report =
        "imported " + std::to_string(imported) + (imported == 1 ? " task in " : " tasks in ") +
        std::to_string(lists.size()) + (lists.size() == 1 ? " list\n" : " lists\n");
    WriteStatusEntries(*store, folder, keys, report);
    return report;
}
