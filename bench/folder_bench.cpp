// Operations over every list of a folder ("pelmora-cli status", "pelmora-cli rebuild" and the
// unclaimed lists that "Recover Tasks..." offers) at 1,000 and 10,000 lists, each against one
// bare "select name from sqlite_master" of the same file on a fresh connection, measured in the
// same run. Prints the ratios and the growth from 1,000 to 10,000 lists.
// Run: build/linux/bench/folder_bench (or under Wine for the Windows build).
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "store/folder_key.h"
#include "store/sqlite/task_table.h"
#include "tasks/recovery.h"
#include "tests/store/item_store.h"
#include "text/text_encoding.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Utf8(const std::filesystem::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A folder whose database holds `lists` lists of two tasks each, none of them claimed by an
// entry of the folder (the items were renamed or moved away).
std::filesystem::path MakeFolder(const std::filesystem::path& root, int lists) {
    std::filesystem::path folder = root / ("lists-" + std::to_string(lists));
    std::filesystem::create_directories(folder);
    sqlite3* db = nullptr;
    sqlite3_open(Utf8(folder / "pelmora.db").c_str(), &db);
    std::string sql = "BEGIN;";
    for (int i = 0; i < lists; ++i) {
        const std::string table =
            TaskTableName(FolderKey(u"item " + Utf8ToUtf16(std::to_string(i))));
        sql += "CREATE TABLE " + table +
               " (title TEXT, description TEXT, done INTEGER, done_date TEXT, priority INTEGER);";
        sql += "insert into " + table + " values('" + Base64Encode("first") +
               "','',1,'2024-01-01',0);";
        sql += "insert into " + table + " values('" + Base64Encode("second") +
               "','',0,'2024-01-02',1);";
    }
    sql += "COMMIT;";
    const bool made = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    if (!made) {
        std::printf("cannot make the folder of %d lists\n", lists);
        std::exit(1);
    }
    return folder;
}

template <typename F>
double BestSeconds(int runs, F work) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

void RunOrFail(const std::vector<std::string>& arguments) {
    std::string out;
    const CliOutput output{[&](std::string_view text) { out += text; },
                           [&](std::string_view text) { out += text; }};
    if (RunCli(arguments, output) != kExitOk) {
        std::printf("%s failed: %s\n", arguments[1].c_str(), out.c_str());
        std::exit(1);
    }
}

struct Figures {
    double bare = 0;
    double status = 0;
    double rebuild = 0;
    double unclaimed = 0;
};

Figures Measure(const std::filesystem::path& folder, int lists) {
    const std::string database = Utf8(folder / "pelmora.db");
    Figures f;
    size_t names = 0;
    f.bare = BestSeconds(5, [&] {
        sqlite3* db = nullptr;
        sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "select name from sqlite_master", -1, &statement, nullptr);
        names = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) ++names;
        sqlite3_finalize(statement);
        sqlite3_close(db);
    });
    if (names != static_cast<size_t>(lists)) {
        std::printf("bare read: %zu names, expected %d\n", names, lists);
        std::exit(1);
    }
    f.status = BestSeconds(3, [&] { RunOrFail({"pelmora-cli", "status", Utf8(folder)}); });
    // One run: until the status file is written once per rebuild, this one takes long.
    f.rebuild = BestSeconds(1, [&] { RunOrFail({"pelmora-cli", "rebuild", Utf8(folder)}); });
    size_t found = 0;
    f.unclaimed = BestSeconds(3, [&] {
        TestStore store;
        if (!OpenTaskStore(store, database)) std::exit(1);
        found = FindUnclaimedLists(store, {u".", u"..", u"pelmora.db", u"pelmora.ini"})
                    .value_or(std::vector<TaskListSummary>())
                    .size();
    });
    if (found != static_cast<size_t>(lists)) {
        std::printf("unclaimed lists: %zu, expected %d\n", found, lists);
        std::exit(1);
    }
    std::printf(
        "%6d lists: bare schema read %.2f ms; status %.1f ms (%.1fx), rebuild %.1f ms (%.1fx), "
        "unclaimed lists %.1f ms (%.1fx) (goal <= 3x)\n",
        lists, f.bare * 1e3, f.status * 1e3, f.status / f.bare, f.rebuild * 1e3, f.rebuild / f.bare,
        f.unclaimed * 1e3, f.unclaimed / f.bare);
    return f;
}

}  // namespace

int main() {
    const auto root =
        std::filesystem::temp_directory_path() /
        ("pelmora-folder-bench-" + std::to_string(Clock::now().time_since_epoch().count()));
    std::printf("SQLite %s, files in %s\n", sqlite3_libversion(), Utf8(root).c_str());
    const Figures small = Measure(MakeFolder(root, 1000), 1000);
    const Figures large = Measure(MakeFolder(root, 10000), 10000);
    std::printf(
        "growth from 1,000 to 10,000 lists (goal <= 12x): bare %.1fx, status %.1fx, rebuild "
        "%.1fx, unclaimed lists %.1fx\n",
        large.bare / small.bare, large.status / small.status, large.rebuild / small.rebuild,
        large.unclaimed / small.unclaimed);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return 0;
}
