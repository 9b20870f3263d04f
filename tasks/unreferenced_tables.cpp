#include "tasks/unreferenced_tables.h"

#include "store/folder_key.h"
#include "store/sqlite/task_table.h"

void DropUnreferencedTables(TaskStore& store,
                            const std::vector<std::string>& tables,
                            const std::vector<std::u16string>& entryNames) {
    std::vector<bool> matched(tables.size(), false);
    for (const std::u16string& name : entryNames) {
        const std::string table = TaskTableName(FolderKey(name));
        for (size_t i = 0; i < tables.size(); ++i) {
            if (matched[i] || tables[i] != table) continue;
            // An existing item without tasks needs no table; it is made again when the item is
            // next opened. A table that cannot be dropped now stays for the next clean.
            if (TaskTable(store, tables[i]).Count() == 0) (void)DropTable(store, tables[i]);
            matched[i] = true;
        }
    }
    for (size_t i = 0; i < tables.size(); ++i) {
        if (!matched[i]) (void)DropTable(store, tables[i]);  // else left for the next clean
    }
}
