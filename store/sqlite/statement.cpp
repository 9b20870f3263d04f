#include "store/sqlite/statement.h"

StoreFailure Execute(TaskStore& store, const std::string& sql) {
    BudgetScope budget(store);
    const int rc = sqlite3_exec(store.Handle(), sql.c_str(), nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? StoreFailure::kNone : FailureOf(store, rc);
}

std::optional<std::string> ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (text == nullptr) return std::nullopt;
    // Stored texts hold no NUL, so strlen gives the length without another locked API call.
    return std::string(text);
}

void AppendQuoted(std::string& sql, std::string_view value) {
    sql += '\'';
    for (char c : value) {
        if (c == '\'') sql += '\'';
        sql += c;
    }
    sql += '\'';
}

std::string LowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
}
