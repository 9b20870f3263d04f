// The common ground of the command-line tests: a scratch parent folder with two items, the
// commands run in process or as the real program, and readers for what reached the disk.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "store/sqlite/task_table.h"
#include "tests/store/test_support.h"
#include "tests/support/local_date.h"

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs one command line (without the program's name) through RunCli.
CliResult RunInProcess(const std::vector<std::string>& args);

// Runs the built pelmora-cli with the arguments; its output goes through files, as bytes.
CliResult RunProgram(const std::vector<std::string>& args, const std::filesystem::path& scratch);

// A row as the table holds it, each column as SQLite's text of it, in priority order.
struct Row {
    std::string title, description, done, date, priority;
    // The date without the quotes SQLite's text of it has.
    std::string Date() const { return date.size() < 2 ? date : date.substr(1, date.size() - 2); }
    bool operator==(const Row& other) const {
        return title == other.title && description == other.description && done == other.done &&
               date == other.date && priority == other.priority;
    }
};
std::ostream& operator<<(std::ostream& out, const Row& row);

// Every file under `folder` with its bytes: compared before and after a command that must
// change nothing.
std::map<std::string, std::string> FolderBytes(const std::filesystem::path& folder);

class CliTest : public ::testing::Test {
protected:
    void SetUp() override;

    // The parent folder "Projects" holding the items Alpha and Übung and the file report.txt.
    std::filesystem::path Parent() const { return scratch_.path() / "Projects"; }
    std::string Item(const std::string& name) const { return Utf8Path(Parent() / u8(name)); }
    std::string ParentArg() const { return Utf8Path(Parent()); }
    std::filesystem::path DbPath() const { return Parent() / "pelmora.db"; }
    std::filesystem::path StatusPath() const { return Parent() / "pelmora.ini"; }
    static std::filesystem::path u8(const std::string& name) {
        return std::filesystem::u8path(name);
    }

    CliResult Cli(const std::vector<std::string>& args) { return RunInProcess(args); }

    // Tasks written through the store, as the window writes them.
    void Seed(const std::string& item, const std::vector<std::string>& titles, size_t done = 0);
    // Runs SQL on the parent's database: with the sqlite3 tool where there is one, otherwise
    // through a connection of the test's own.
    void Sql(const std::string& sql);
    std::vector<Row> Rows(const std::string& item, const std::filesystem::path& db = {});
    std::vector<std::string> Titles(const std::string& item);
    // The item's value in the status file; -1 when there is no entry.
    int StatusEntry(const std::string& item);

    ScratchDir scratch_;
};

// The status file made unwritable in one of the ways a user meets, until it goes: a folder in its
// place; an immutable file (on Linux, where chattr works, so that root cannot write it either);
// on Windows, a file another program holds open without sharing its deletion.
class UnwritableStatusFile {
public:
    enum class Way { kFolder, kImmutable, kHeld };
    // The ways this platform has.
    static std::vector<Way> Ways();
    UnwritableStatusFile(const std::filesystem::path& file, Way way);
    ~UnwritableStatusFile();
    UnwritableStatusFile(const UnwritableStatusFile&) = delete;
    UnwritableStatusFile& operator=(const UnwritableStatusFile&) = delete;
    // False when the way could not be put in place here (chattr refused by the file system).
    bool Active() const { return active_; }

private:
    std::filesystem::path file_;
    Way way_;
    bool active_ = false;
    void* handle_ = nullptr;
};

// Checks a failed command: the exit code, one line on standard error, nothing on standard output.
::testing::AssertionResult FailedWith(const CliResult& result, int code);
