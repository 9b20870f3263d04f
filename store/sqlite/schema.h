// Questions about a task database's schema as a whole: which tables it holds and what stands
// under a name. A file may come from anywhere, so a name read from it is never trusted as one of
// the program's own.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "store/sqlite/task_store.h"

// Every table the file holds, whatever its name.
StoreResult<std::vector<std::string>> ListTables(TaskStore& store);

// The schema as one read gives it, for operations over many tables: each lookup is then a hash
// lookup instead of another scan of the schema, so an operation over n lists stays linear in n.
struct SchemaIndex {
    std::vector<std::string> tables;  // every table, whatever its name, in the file's order
    // Objects by their lower-cased name (SQL names ignore case): "table", "view", ...; "?" when
    // a crafted schema lists two objects under one name.
    std::unordered_map<std::string, std::string> typeByName;
    // The lower-cased names of the ordinary tables (made by CREATE TABLE, not virtual): the only
    // objects the program writes to.
    std::unordered_set<std::string> ordinaryTables;
};
StoreResult<SchemaIndex> ReadSchema(TaskStore& store);
// What the schema lists under `name` (any case): "table", "view", ..., or "" for nothing.
std::string SchemaTypeOf(const SchemaIndex& schema, std::string_view name);

StoreFailure DropTable(TaskStore& store, const std::string& table);

// True for the program's own table names: "tbl_" and 32 lower-case hexadecimal digits. Only such
// tables get status entries, are offered for recovery or are exported; anything else in a file is
// left alone.
bool IsTaskTableName(std::string_view table);

// The table name as it goes into a statement: the program's own "tbl_" names bare, anything else
// (a name listed from a file that may come from anywhere) quoted as an SQL identifier.
std::string SqlTableName(const std::string& table);
