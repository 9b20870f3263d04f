// Helpers shared by the core's tests: a scratch folder per test and a record of every statement
// that reaches SQLite.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "store/task_store.h"

// A fresh folder under the system's temporary folder, removed again at the end of the test.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string Utf8Path(const std::filesystem::path& path);
std::u16string Utf16Path(const std::filesystem::path& path);
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

// Collects the text of every statement the connection runs, as SQLite saw it.
struct StatementLog {
    std::vector<std::string> statements;
    void Attach(TaskStore& store);
    void Clear() { statements.clear(); }
};

// Switches triggers back on for the store's connection, so a test can make chosen statements
// fail with a trigger of its own.
void AllowTriggers(TaskStore& store);

// Runs SQL on the store's connection outside the code under test; fails the test on error.
void RunSql(TaskStore& store, const std::string& sql);
