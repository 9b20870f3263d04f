#include "walk/tree_lists.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <map>
#include <thread>

#include "store/folder_key.h"
#include "tests/store/test_support.h"
#include "text/text_encoding.h"

namespace tree_lists_test {

namespace fs = std::filesystem;

// A list with these tasks (title, done) for `item` in `folder`'s database.
void AddList(const fs::path& folder,
             std::u16string_view item,
             std::initializer_list<std::pair<const char*, bool>> tasks) {
    fs::create_directories(folder);
    TaskStore store;
    ASSERT_TRUE(Succeeded(store.Open(Utf8Path(folder / "pelmora.db"))));
    TaskTable table(store, TaskTableName(FolderKey(item)));
    ASSERT_TRUE(Succeeded(table.Create()));
    for (const auto& [title, done] : tasks) {
        TaskRecord record;
        record.title = Base64Encode(title);
        record.done = done ? 1 : 0;
        ASSERT_TRUE(table.Append(record));
    }
}

// Runs SQL on a plain connection, as another program that writes what it likes.
void RawSql(const fs::path& database, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Utf8Path(database).c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// Every file below `root` with its bytes, links not followed.
std::map<std::string, std::string> TreeBytes(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && !entry.is_symlink()) {
            files[entry.path().generic_u8string()] = ReadFileBytes(entry.path());
        }
    }
    return files;
}

// "folder|item or (key)|problem" for a row, the way the test names what it expects.
std::string RowName(const TreeList& row) {
    std::string name = fs::path(row.folder).generic_u8string() + "|";
    if (row.item) {
        name += Utf16ToUtf8(*row.item);
    } else if (!row.key.empty()) {
        name += "(" + row.key + ")";
    }
    return name + "|" + TreeProblemName(row.problem);
}

TEST(TreeListsTest, EveryListOnceEveryBadDatabaseAsARowNothingWritten) {
    ScratchDir dir;
    const fs::path root = dir.path();
    AddList(root, u"Alpha", {{"Renew certificate", false}, {"Pay", true}});
    WriteFileBytes(root / "Alpha", "");
    AddList(root / "a" / "b", u"Übung", {{"Read", false}});
    fs::create_directories(root / "a" / "b" / fs::path(u"Übung"));
    // A priority out of place, which a reader that tidies up would write.
    RawSql(root / "a" / "b" / "pelmora.db",
           "UPDATE tbl_" + FolderKey(u"Übung") + " SET priority = 5;");
    // A file in WAL mode, whose reading would create files beside it.
    AddList(root / "wal", u"Logged", {{"Later", false}});
    RawSql(root / "wal" / "pelmora.db", "PRAGMA journal_mode=WAL;");
    // A list whose item is gone, beside one whose item is the folder itself.
    AddList(root / "a", u"Gone", {{"Lost", false}});
    AddList(root / "a", u".", {{"Own", true}});
#ifndef _WIN32
    // Read through a link it would be reported twice.
    fs::create_directory_symlink(root, root / "a" / "loop");
#endif
    // A placeholder whose bytes would read as damaged if it were opened.
    fs::create_directories(root / "cloud");
    WriteFileBytes(root / "cloud" / "pelmora.db", std::string(4096, 'x'));
    fs::create_directories(root / "damaged");
    WriteFileBytes(root / "damaged" / "pelmora.db", std::string(4096, 'x'));
    // A crafted file: a trigger that would write on any read, a view in a list's place, a value
    // past the store's limit; and one good list beside them.
    const fs::path crafted = root / "crafted";
    AddList(crafted, u"Fine", {{"Ok", false}});
    WriteFileBytes(crafted / "Fine", "");
    RawSql(crafted / "pelmora.db",
           "CREATE TABLE tbl_" + FolderKey(u"Huge") +
               " (title TEXT, description TEXT, done INTEGER, done_date TEXT, priority INTEGER);"
               "INSERT INTO tbl_" +
               FolderKey(u"Huge") +
               " VALUES (zeroblob(1100000), NULL, 0, NULL, 0);"
               "CREATE VIEW tbl_" +
               FolderKey(u"View") +
               " AS SELECT 1;"
               "CREATE TRIGGER t AFTER INSERT ON tbl_" +
               FolderKey(u"Fine") + " BEGIN DELETE FROM tbl_" + FolderKey(u"Fine") + "; END;");
    AddList(root / "busy", u"Held", {{"Wait", false}});
    const auto before = TreeBytes(root);

    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(Utf8Path(root / "busy" / "pelmora.db").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);

    WalkOptions options;
    options.databaseAttributes = [](std::u16string_view folder, uint32_t attributes) {
        return fs::path(folder).filename() == "cloud" ? kAttributeRecallOnDataAccess : attributes;
    };
    std::map<std::string, int> rows;
    std::chrono::steady_clock::duration busyTook{};
    std::atomic<bool> cancel{false};
    auto last = std::chrono::steady_clock::now();
    const TreeListsResult read = ReadTreeLists(
        Utf16Path(root), options,
        [&](const TreeList& row) {
            const auto now = std::chrono::steady_clock::now();
            if (row.folder == u"busy") busyTook = now - last;
            last = now;
            if (++rows[RowName(row)] > 1) cancel = true;
            if (row.item == u"Alpha") {
                ASSERT_EQ(row.tasks.size(), 2u);
                EXPECT_EQ(row.tasks[0].title, "Renew certificate");
                EXPECT_FALSE(row.tasks[0].done);
                EXPECT_TRUE(row.tasks[1].done);
                EXPECT_EQ(row.tasks[1].priority, 1);
                EXPECT_EQ(row.done, 1u);
            }
        },
        cancel);
    sqlite3_exec(holder, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(holder);

    const std::string huge = "(" + FolderKey(u"Huge") + ")";
    const std::string view = "(" + FolderKey(u"View") + ")";
    const std::map<std::string, int> expected = {
        {"|Alpha|", 1},
        {"a|(" + FolderKey(u"Gone") + ")|", 1},
        {"a|.|", 1},
        {u8"a/b|Übung|", 1},
        {"busy||busy", 1},
        {"cloud||online only", 1},
        {"crafted|Fine|", 1},
        {"crafted|" + huge + "|too large", 1},
        {"crafted|" + view + "|crafted", 1},
        {"damaged||damaged", 1},
        {"wal||damaged", 1},
    };
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(read.walk.outcome, WalkOutcome::Finished);
    EXPECT_EQ(read.lists, 5u);
    EXPECT_EQ(read.problems, 6u);
    EXPECT_EQ(read.tasks - read.done, 4u);
    // The short wait, not the two seconds a window waits for its own file.
    EXPECT_LT(busyTook, std::chrono::milliseconds(kBusyTimeoutMs));
    EXPECT_EQ(TreeBytes(root), before);
}

TEST(TreeListsTest, ACancelStopsAnExpensiveListMidStatement) {
    // Every read of "done" makes a large text: the list's one statement alone would run into
    // the three-second budget. (The column is added after the rows, so that making the file
    // costs nothing; the padding makes the file too large for the opening's page check, which
    // would otherwise be the statement stopped.)
    ScratchDir dir;
    AddList(dir.path(), u"Quick", {{"Read", false}});
    WriteFileBytes(dir.path() / "Quick", "");
    fs::create_directories(dir.path() / "later");
    const std::string slow = "tbl_" + FolderKey(u"Slow");
    RawSql(
        dir.path() / "later" / "pelmora.db",
        "CREATE TABLE " + slow +
            " (title TEXT, description TEXT, done_date TEXT, priority INTEGER);"
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 39999) "
            "INSERT INTO " +
            slow + " SELECT 'dA==', '', '', i FROM n; ALTER TABLE " + slow +
            " ADD COLUMN done INTEGER AS (length(hex(zeroblob(400000 + length(title)))) * 0);"
            "CREATE TABLE padding (bytes BLOB); INSERT INTO padding VALUES (zeroblob(5000000));");

    std::atomic<bool> cancel{false};
    std::vector<std::string> rows;
    std::thread canceller;
    const auto started = std::chrono::steady_clock::now();
    const TreeListsResult read = ReadTreeLists(
        Utf16Path(dir.path()), WalkOptions{},
        [&](const TreeList& row) {
            rows.push_back(RowName(row));
            // The root's list comes first; the cancel comes while the folder below is read.
            if (!canceller.joinable()) {
                canceller = std::thread([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    cancel = true;
                });
            }
        },
        cancel);
    const auto took = std::chrono::steady_clock::now() - started;
    if (canceller.joinable()) canceller.join();

    EXPECT_EQ(read.walk.outcome, WalkOutcome::Cancelled);
    EXPECT_EQ(rows, std::vector<std::string>{"|Quick|"});
    EXPECT_EQ(read.lists, 1u);
    EXPECT_EQ(read.problems, 0u);
    // One-sided and generous: far under the budget the statement would otherwise run to.
    EXPECT_LT(took, std::chrono::milliseconds(1500));
}

}  // namespace tree_lists_test
