// The task store opened on an arbitrary database file, then every operation the program runs
// on it, in the order a session would: start-up, list, add, edit, mark, move, remove, Remove
// All, rebuild the status file and clear unreferenced data. Nothing may crash, hang or leak,
// and no write may report success without having happened.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "store/folder_key.h"
#include "store/sqlite/done_date.h"
#include "store/sqlite/schema.h"
#include "store/sqlite/task_table.h"
#include "tasks/folder_status.h"
#include "tasks/task_list.h"
#include "tasks/unreferenced_tables.h"
#include "text/text_encoding.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

const std::filesystem::path& ScratchDir() {
    static const std::filesystem::path dir = [] {
        const auto path = std::filesystem::temp_directory_path() /
                          ("pelmora-store-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return dir;
}

void Session(TaskTable& table, const std::u16string& statusFile) {
    TaskStore& store = table.Store();
    if (!Succeeded(table.Create())) return;
    auto tasks = table.Load();
    if (!tasks) return;
    const size_t shown = tasks->size();

    TaskRecord added;
    added.title = Base64Encode("fuzzed task");
    added.doneDate = TodayDate();
    added.priority = static_cast<int32_t>(shown);
    if (const auto rowId = table.Insert(added)) {
        added.rowId = *rowId;
        tasks->push_back(added);
    }
    TaskList list(table);
    if (!tasks->empty() && tasks->front().rowId) {
        const TaskChange marked = list.MarkDone(*tasks->front().rowId);
        if (marked.task) {
            // A reported success is a row that now holds the mark.
            const auto after = table.Load();
            bool found = false;
            for (const TaskRecord& task : after.value_or(std::vector<TaskRecord>())) {
                found = found || (task.rowId == marked.task->rowId && task.done != 0);
            }
            Require(!after || found);
        }
    }
    if (tasks->size() >= 2) (void)list.Exchange((*tasks)[0], (*tasks)[1], 0);
    if (!tasks->empty() && tasks->back().rowId) (void)list.Remove(*tasks->back().rowId);
    (void)table.Count();
    (void)table.Status();                        // only has to survive the file
    (void)RebuildStatusFile(store, statusFile);  // a crafted file may refuse it
    if (auto reloaded = table.Load()) {
        std::vector<int64_t> ids;
        for (const TaskRecord& task : *reloaded) ids.push_back(task.rowId.value_or(-1));
        if (Succeeded(list.RemoveAll(ids))) Require(table.Count() == 0);
    }
    if (const auto tables = ListTables(store)) {
        DropUnreferencedTables(store, *tables, {u"Item", u"pelmora.db", u"."});
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto& dir = ScratchDir();
    const auto dbPath = dir / "pelmora.db";
    std::error_code ignored;
    std::filesystem::remove(dir / "pelmora.db-journal", ignored);
    std::filesystem::remove(dir / "pelmora.db-wal", ignored);
    std::filesystem::remove(dir / "pelmora.ini", ignored);
    {
        std::ofstream out(dbPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TaskStore store;
    const auto text = dbPath.u8string();
    if (!Succeeded(store.Open(std::string(text.begin(), text.end())))) return 0;
    // A crafted file may be slow by design; the budget must stop it, and quickly here.
    store.SetStatementBudget(std::chrono::milliseconds(250));
    TaskTable table(store, TaskTableName(FolderKey(u"Item")));
    Session(table, (dir / "pelmora.ini").u16string());
    return 0;
}
