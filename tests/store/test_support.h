// Helpers for the tests that reach the store: files damaged behind an open connection, a record
// of every statement that reaches SQLite, and (on Linux) files and volumes that refuse writes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "store/sqlite/task_table.h"
#include "tests/support/scratch_dir.h"

// Opens `store` on a new empty file, which passes the check at opening, and then puts `bytes`
// in the file: damage that came after the open, as from another program. False when the file
// could not be opened.
[[nodiscard]] bool OpenThenReplaceBytes(TaskStore& store,
                                        const std::filesystem::path& path,
                                        const std::string& bytes);

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

#ifndef _WIN32
// Sets or clears the immutable flag (chattr +i): the one way to make a file or a folder
// read-only for root. False when the file system refuses.
[[nodiscard]] bool SetImmutable(const std::filesystem::path& path, bool immutable);

// A tmpfs of its own mounted at `at` (created if missing), unmounted at the end: a full disk, a
// folder that takes no new entries, a read-only medium. Mounting needs root; Mounted() says
// whether it worked and Why() why not.
class ScratchVolume {
public:
    ScratchVolume(const std::filesystem::path& at, const std::string& options);
    ~ScratchVolume();
    ScratchVolume(const ScratchVolume&) = delete;
    ScratchVolume& operator=(const ScratchVolume&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }
    // Mounts it again read-only.
    [[nodiscard]] bool MakeReadOnly();
    // Takes all its space (with one file), or all its entries (with empty files).
    void FillSpace();
    void FillEntries();

private:
    std::filesystem::path at_;
    bool mounted_ = false;
    std::string why_;
};
#endif
