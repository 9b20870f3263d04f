#include "store/sqlite/schema.h"

#include "store/sqlite/statement.h"

namespace {

bool IsOwnTableName(std::string_view table) {
    if (table.size() <= 4 || table.substr(0, 4) != "tbl_") return false;
    for (char c : table.substr(4)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

}  // namespace

bool IsTaskTableName(std::string_view table) {
    return table.size() == 36 && IsOwnTableName(table);
}

std::string SqlTableName(const std::string& table) {
    if (IsOwnTableName(table)) return table;
    std::string quoted = "\"";
    for (char c : table) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

StoreResult<std::vector<std::string>> ListTables(TaskStore& store) {
    std::vector<std::string> names;
    const auto result =
        RunQuery(store, "SELECT name FROM sqlite_master WHERE type='table';",
                 [&](sqlite3_stmt* row) { names.push_back(ColumnText(row, 0).value_or("")); });
    if (!result.Ok()) return result.failure;
    return names;
}

StoreResult<SchemaIndex> ReadSchema(TaskStore& store) {
    SchemaIndex schema;
    const auto result =
        RunQuery(store,
                 "SELECT type, name, upper(substr(sql, 1, 13)) = 'CREATE TABLE ' FROM "
                 "sqlite_master;",
                 [&](sqlite3_stmt* row) {
                     std::string type = ColumnText(row, 0).value_or("");
                     std::string name = ColumnText(row, 1).value_or("");
                     if (type == "table") schema.tables.push_back(name);
                     if (type == "table" && sqlite3_column_int(row, 2) == 1) {
                         schema.ordinaryTables.insert(LowerCase(name));
                     }
                     const auto [entry, added] = schema.typeByName.emplace(LowerCase(name), type);
                     if (!added) entry->second = "?";
                 });
    if (!result.Ok()) return result.failure;
    return schema;
}

std::string SchemaTypeOf(const SchemaIndex& schema, std::string_view name) {
    const auto found = schema.typeByName.find(LowerCase(std::string(name)));
    return found == schema.typeByName.end() ? std::string() : found->second;
}

StoreFailure DropTable(TaskStore& store, const std::string& table) {
    return Execute(store, "DROP TABLE IF EXISTS " + SqlTableName(table) + ";");
}
