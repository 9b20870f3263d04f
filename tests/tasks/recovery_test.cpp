#include "tasks/recovery.h"
#include "tests/store/item_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "store/folder_key.h"
#include "store/test_support.h"
#include "text/text_encoding.h"

namespace {

std::string TableFor(const std::u16string& name) {
    return TaskTableName(FolderKey(name));
}

struct Row {
    std::string title;  // plain text, encoded on insertion
    bool done = false;
    std::string date = "2024-01-01";
};

void Fill(TestStore& store, const std::string& table, const std::vector<Row>& rows) {
    store.table = table;
    ASSERT_TRUE(CreateTaskTable(store));
    int priority = CountTasks(store, table);
    for (const Row& row : rows) {
        TaskRecord record;
        record.title = Base64Encode(row.title);
        record.description = Base64Encode("about " + row.title);
        record.done = row.done ? 1 : 0;
        record.doneDate = row.date;
        record.priority = priority++;
        ASSERT_TRUE(InsertTask(store, record));
    }
}

// Every column of every row as SQL literals, in list order: what "byte-identical" compares.
std::vector<std::string> Dump(TestStore& store, const std::string& table) {
    std::vector<std::string> rows;
    sqlite3_stmt* raw = nullptr;
    const std::string sql =
        "select quote(title)||'|'||quote(description)||'|'||quote(done)||'|'||quote(done_date)||"
        "'|'||quote(priority) from " +
        table + " order by priority, rowid;";
    if (sqlite3_prepare_v2(store.Handle(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return {"<unreadable>"};
    }
    while (sqlite3_step(raw) == SQLITE_ROW)
        rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
    sqlite3_finalize(raw);
    return rows;
}

std::vector<std::string> Titles(TestStore& store, const std::string& table) {
    store.table = table;
    const auto tasks = LoadTasks(store).value();
    std::vector<std::string> titles;
    for (const TaskRecord& task : tasks) titles.push_back(Base64Decode(task.title));
    return titles;
}

std::vector<int> Priorities(TestStore& store, const std::string& table) {
    store.table = table;
    const auto tasks = LoadTasks(store).value();
    std::vector<int> priorities;
    for (const TaskRecord& task : tasks) priorities.push_back(task.priority);
    return priorities;
}

bool HasTable(TestStore& store, const std::string& table) {
    const auto tables = ListTables(store).value();
    return std::find(tables.begin(), tables.end(), table) != tables.end();
}

class RecoveryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenTaskStore(store, Utf8Path(dir / "pelmora.db"))); }

    ScratchDir dir;
    TestStore store;
    const std::string oldTable = TableFor(u"Website");
    const std::string newTable = TableFor(u"Website 2025");
};

TEST(TaskTableNameTest, OnlyTheProgramsOwnNamesCount) {
    EXPECT_TRUE(IsTaskTableName(TableFor(u"abc")));
    EXPECT_FALSE(IsTaskTableName("tbl_900150983CD24FB0D6963F7D28E17F72"));
    EXPECT_FALSE(IsTaskTableName("tbl_900150983cd24fb0d6963f7d28e17f7"));
    EXPECT_FALSE(IsTaskTableName("tbl_900150983cd24fb0d6963f7d28e17f72x"));
    EXPECT_FALSE(IsTaskTableName("xbl_900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_FALSE(IsTaskTableName("tbl_900150983cd24fb0d6963f7d28e17g72"));
}

TEST(UnclaimedTablesTest, ATableIsClaimedOnlyByTheExactName) {
    const std::vector<std::string> tables = {TableFor(u"Proj"), TableFor(u"Gone"), "notes",
                                             TableFor(u"."), TableFor(u"Übung")};
    const std::vector<std::u16string> names = {u".", u"..", u"proj", u"Übung", u"notes"};
    // "proj" does not claim "Proj"; nothing hashes to the bare name "notes".
    EXPECT_EQ(UnclaimedTables(tables, names),
              (std::vector<std::string>{TableFor(u"Proj"), TableFor(u"Gone"), "notes"}));
    EXPECT_EQ(UnclaimedTables(tables, {}), tables);
}

TEST_F(RecoveryTest, UnclaimedListsAreSummarisedAndOthersLeftOut) {
    Fill(store, oldTable,
         {{"Write the announcement", true, "2024-05-02"},
          {"Review pull requests", false, "2024-05-09"},
          {"Order cards", true, "2024-05-06"},
          {"Plan lunch", false, "2024-04-30"}});
    Fill(store, newTable, {});
    Fill(store, TableFor(u"Gone but empty"), {});
    RunSql(store, "CREATE TABLE notes (x TEXT); INSERT INTO notes VALUES ('x');");
    RunSql(store, "CREATE TABLE " + TableFor(u"odd") + " (x TEXT);");

    const auto lists = FindUnclaimedLists(store, {u"Website 2025", u"pelmora.db"}).value();
    ASSERT_EQ(lists.size(), 2u);
    const TaskListSummary& summary = lists[0];
    EXPECT_EQ(summary.table, oldTable);
    EXPECT_EQ(summary.tasks, 4);
    EXPECT_EQ(summary.done, 2);
    EXPECT_EQ(summary.firstTitles,
              (std::vector<std::u16string>{u"Write the announcement", u"Review pull requests",
                                           u"Order cards"}));
    EXPECT_EQ(summary.latestDate, "2024-05-09");
    EXPECT_EQ(lists[1].table, TableFor(u"Gone but empty"));
    EXPECT_EQ(lists[1].tasks, 0);
    EXPECT_EQ(lists[1].latestDate, "");
}

TEST_F(RecoveryTest, ASummaryIgnoresDatesThatAreNoDates) {
    Fill(store, oldTable, {{"a", false, "2024-01-05"}});
    RunSql(store, "insert into " + oldTable + " values('YQ==','',0,'9999-99-99x',1);");
    RunSql(store, "insert into " + oldTable + " values(NULL,NULL,2,NULL,2);");
    const auto summary = SummarizeTaskList(store, oldTable).value();
    EXPECT_EQ(summary.tasks, 3);
    EXPECT_EQ(summary.done, 1);
    EXPECT_EQ(summary.latestDate, "2024-01-05");
    EXPECT_EQ(summary.firstTitles.back(), u"");
}

TEST_F(RecoveryTest, WhatIsNotATaskListHasNoSummary) {
    RunSql(store, "CREATE TABLE " + oldTable + " (x TEXT);");
    RunSql(store, "CREATE VIEW " + newTable +
                      " AS SELECT 'YQ==' AS title, '' AS description, 0 AS done, "
                      "'2024-01-01' AS done_date, 0 AS priority;");
    EXPECT_FALSE(SummarizeTaskList(store, oldTable));
    EXPECT_FALSE(SummarizeTaskList(store, newTable));
    EXPECT_FALSE(SummarizeTaskList(store, TableFor(u"missing")));
    EXPECT_FALSE(SummarizeTaskList(store, "sqlite_master"));
}

TEST_F(RecoveryTest, AListThatCannotBeReadIsNotCountedAsOneTooLong) {
    Fill(store, oldTable, {{"kept"}});
    Fill(store, newTable, {{"hidden"}});
    store.Close();
    // Written by a plain connection, as another program could: a value over the length limit
    // in the first list, and an index under the second list's name in other letter case, so
    // that the second cannot be told apart and is not read.
    std::string shadow = newTable;
    std::transform(shadow.begin(), shadow.end(), shadow.begin(), ::toupper);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(Utf8Path(dir / "pelmora.db").c_str(), &raw), SQLITE_OK);
    const std::string sql =
        "insert into " + oldTable +
        " values(hex(zeroblob(600000)),'',0,'2024-01-01',1);"
        "create table other(x); create index ix on other(x); PRAGMA writable_schema=ON;"
        "update sqlite_master set name='" +
        shadow + "', sql='CREATE INDEX " + shadow + " ON other(x)' where name='ix';";
    EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    ASSERT_TRUE(OpenTaskStore(store, Utf8Path(dir / "pelmora.db")));

    auto listing = StartUnclaimedListing(store, {}).value();
    ASSERT_EQ(listing.tables, (std::vector<std::string>{oldTable, newTable}));
    ContinueUnclaimedListing(store, listing, 2);
    EXPECT_TRUE(listing.lists.empty());
    EXPECT_EQ(listing.tooLarge, std::vector<std::string>{oldTable});
}

TEST_F(RecoveryTest, ClearLossCountsOpenTasksOfUnclaimedTablesOnly) {
    Fill(store, oldTable, {{"a"}, {"b", true}, {"c"}});
    Fill(store, TableFor(u"Done only"), {{"d", true}});
    Fill(store, TableFor(u"Empty"), {});
    Fill(store, TableFor(u"Here"), {{"e"}, {"f"}});
    const auto tables = ListTables(store).value();
    const ClearLoss loss = UnclaimedTaskLoss(store, tables, {u"Here"});
    EXPECT_EQ(loss.lists, 2);
    EXPECT_EQ(loss.openTasks, 2);
    const ClearLoss none = UnclaimedTaskLoss(store, tables, {u"Here", u"Website", u"Done only"});
    EXPECT_EQ(none.openTasks, 0);
    EXPECT_EQ(none.lists, 0);
}

TEST_F(RecoveryTest, IntoAnEmptyListTheOldRowsArriveUnchanged) {
    Fill(store, oldTable, {{"one"}, {"two", true, "2023-12-31"}, {"three"}});
    // Values of other kinds, as a file from elsewhere may hold them, keep their kind.
    RunSql(store, "insert into " + oldTable + " values(x'00ff', NULL, 2, 20240101, 7.5);");
    Fill(store, newTable, {});
    const auto before = Dump(store, oldTable);

    const RecoveryResult result = AttachTaskList(store, oldTable, newTable);
    EXPECT_EQ(result.status, RecoveryStatus::kDone);
    EXPECT_EQ(result.recovered, 4);
    EXPECT_TRUE(result.renamed.empty());
    EXPECT_EQ(Dump(store, newTable), before);
    EXPECT_FALSE(HasTable(store, oldTable));
}

TEST_F(RecoveryTest, AfterOwnTasksTheRecoveredOnesFollowInTheirOrder) {
    Fill(store, newTable, {{"mine 1"}, {"mine 2"}});
    Fill(store, oldTable, {{"old 1"}, {"old 2", true}, {"old 3"}});
    // Stored out of list order: the list order, not the storage order, decides.
    RunSql(store, "update " + oldTable + " set priority = 5 where priority = 0;");

    const RecoveryResult result = AttachTaskList(store, oldTable, newTable);
    ASSERT_EQ(result.status, RecoveryStatus::kDone);
    EXPECT_EQ(Titles(store, newTable),
              (std::vector<std::string>{"mine 1", "mine 2", "old 2", "old 3", "old 1"}));
    EXPECT_EQ(Priorities(store, newTable), (std::vector<int>{0, 1, 2, 3, 4}));
    store.table = newTable;
    EXPECT_EQ(GetFolderStatus(store, newTable), FolderStatus::kLessThanHalf);
    EXPECT_EQ(LoadTasks(store).value()[2].done, 1u);
}

TEST_F(RecoveryTest, TitlesTheItemAlreadyHasAreKeptUnderANewTitle) {
    Fill(store, newTable, {{"Buy milk"}, {"Buy milk (recovered)"}, {"Call Ann"}});
    // The recovered list holds a renamed title of its own: "Call Ann" must not become it.
    Fill(store, oldTable,
         {{"Buy milk"}, {"Pay rent"}, {"Call Ann", true}, {"Call Ann (recovered)"}});

    const RecoveryResult result = AttachTaskList(store, oldTable, newTable);
    ASSERT_EQ(result.status, RecoveryStatus::kDone);
    EXPECT_EQ(result.recovered, 4);
    const std::vector<std::string> titles = Titles(store, newTable);
    EXPECT_EQ(titles, (std::vector<std::string>{"Buy milk", "Buy milk (recovered)", "Call Ann",
                                                "Buy milk (recovered 2)", "Pay rent",
                                                "Call Ann (recovered 2)", "Call Ann (recovered)"}));
    EXPECT_EQ(std::set<std::string>(titles.begin(), titles.end()).size(), titles.size())
        << "two tasks with one title";
    ASSERT_EQ(result.renamed.size(), 2u);
    EXPECT_EQ(Base64Decode(result.renamed[0].from), "Buy milk");
    EXPECT_EQ(Base64Decode(result.renamed[0].to), "Buy milk (recovered 2)");
    EXPECT_EQ(Base64Decode(result.renamed[1].to), "Call Ann (recovered 2)");
}

TEST_F(RecoveryTest, AMissingTargetTableIsMade) {
    Fill(store, oldTable, {{"kept"}});
    ASSERT_EQ(AttachTaskList(store, oldTable, newTable).status, RecoveryStatus::kDone);
    EXPECT_EQ(Titles(store, newTable), (std::vector<std::string>{"kept"}));
}

TEST_F(RecoveryTest, NamesThatAreNoTaskTablesAreRefusedUntouched) {
    Fill(store, oldTable, {{"kept"}});
    RunSql(store, "CREATE TABLE notes (title, description, done, done_date, priority);");
    EXPECT_EQ(AttachTaskList(store, oldTable, oldTable).status, RecoveryStatus::kSourceUnreadable);
    EXPECT_EQ(AttachTaskList(store, "notes", newTable).status, RecoveryStatus::kSourceUnreadable);
    EXPECT_EQ(AttachTaskList(store, oldTable, "notes").status, RecoveryStatus::kSourceUnreadable);
    EXPECT_TRUE(HasTable(store, "notes"));
    EXPECT_EQ(Titles(store, oldTable), (std::vector<std::string>{"kept"}));
}

TEST_F(RecoveryTest, AFailedWriteLeavesBothListsAsTheyWere) {
    Fill(store, oldTable, {{"a"}, {"b"}});
    // A target that is no table cannot take rows: the source must stay whole.
    RunSql(store, "CREATE VIEW " + newTable + " AS SELECT 1 AS title, 2 AS priority;");
    const auto before = Dump(store, oldTable);
    EXPECT_EQ(AttachTaskList(store, oldTable, newTable).status, RecoveryStatus::kTargetFailed);
    EXPECT_EQ(Dump(store, oldTable), before);
}

TEST_F(RecoveryTest, ALockedDatabaseChangesNothing) {
    Fill(store, oldTable, {{"a"}});
    Fill(store, newTable, {{"b"}});
    TestStore other;
    ASSERT_TRUE(OpenTaskStore(other, Utf8Path(dir / "pelmora.db")));
    RunSql(other, "BEGIN IMMEDIATE;");
    const RecoveryResult result = AttachTaskList(store, oldTable, newTable);
    RunSql(other, "ROLLBACK;");
    EXPECT_EQ(result.status, RecoveryStatus::kTargetBusy);
    EXPECT_EQ(Titles(store, oldTable), (std::vector<std::string>{"a"}));
    EXPECT_EQ(Titles(store, newTable), (std::vector<std::string>{"b"}));
}

TEST(RecoveredTitleTest, AddsTheSuffixToTheDecodedTitle) {
    EXPECT_EQ(RecoveredTitle(Base64Encode("Übung"), 1), Base64Encode("Übung (recovered)"));
    EXPECT_EQ(RecoveredTitle(Base64Encode("x"), 3), Base64Encode("x (recovered 3)"));
}

// An item moved from folder "old" to folder "new": its list is in old/pelmora.db.
class MoveAcrossTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "old");
        std::filesystem::create_directories(dir / "new");
        ASSERT_TRUE(OpenTaskStore(from, Utf8Path(dir / "old" / "pelmora.db")));
        ASSERT_TRUE(OpenTaskStore(to, Utf8Path(dir / "new" / "pelmora.db")));
        Fill(from, table, {{"pack"}, {"label", true}, {"ship"}});
        Fill(from, TableFor(u"Neighbour"), {{"stays"}});
        Fill(to, table, {{"unpack"}});
        before = Dump(from, table);
    }

    ScratchDir dir;
    TestStore from;
    TestStore to;
    const std::string table = TableFor(u"Boxes");
    std::vector<std::string> before;
};

TEST_F(MoveAcrossTest, CopiesIntoTheItemsFileAndRemovesFromTheOther) {
    const RecoveryResult result = MoveTaskListAcross(from, table, to, table);
    ASSERT_EQ(result.status, RecoveryStatus::kDone);
    EXPECT_EQ(result.recovered, 3);
    EXPECT_EQ(Titles(to, table), (std::vector<std::string>{"unpack", "pack", "label", "ship"}));
    EXPECT_EQ(Priorities(to, table), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(HasTable(from, table));
    EXPECT_EQ(Titles(from, TableFor(u"Neighbour")), (std::vector<std::string>{"stays"}));
}

TEST_F(MoveAcrossTest, AnExpensiveOtherListIsStoppedByTheStatementBudget) {
    // Every read of "done" makes a large text; the rows together take far longer than the
    // budget allowed here. The other folder's file is read under the budget like any other, and
    // a read stopped part-way copies nothing. (The column is added after the rows, so that
    // making the file costs nothing.)
    const std::string slow = TableFor(u"Slow");
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(Utf8Path(dir / "old" / "pelmora.db").c_str(), &raw), SQLITE_OK);
        const UniqueSqlite db(raw);
        const std::string sql =
            "CREATE TABLE " + slow +
            " (title TEXT, description TEXT, done_date TEXT, priority INTEGER);"
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 3999) "
            "INSERT INTO " +
            slow + " SELECT 'dA==', '', '', i FROM n; ALTER TABLE " + slow +
            " ADD COLUMN done INTEGER AS (length(hex(zeroblob(400000 + length(title)))) * 0);";
        ASSERT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    from.SetStatementBudget(std::chrono::milliseconds(100));
    const RecoveryResult result = MoveTaskListAcross(from, slow, to, table);
    EXPECT_EQ(result.status, RecoveryStatus::kSourceUnreadable);
    EXPECT_EQ(Titles(to, table), std::vector<std::string>{"unpack"});
    EXPECT_TRUE(HasTable(from, slow));
}

TEST_F(MoveAcrossTest, AnEmptyItemTakesTheRowsUnchanged) {
    const std::string fresh = TableFor(u"Boxes 2");
    ASSERT_EQ(MoveTaskListAcross(from, table, to, fresh).status, RecoveryStatus::kDone);
    EXPECT_EQ(Dump(to, fresh), before);
}

TEST_F(MoveAcrossTest, EitherFileLockedChangesNothingAndSaysWhichOne) {
    const struct {
        const char* folder;
        RecoveryStatus status;
    } cases[] = {{"old", RecoveryStatus::kSourceBusy}, {"new", RecoveryStatus::kTargetBusy}};
    for (const auto& c : cases) {
        TestStore holder;
        ASSERT_TRUE(OpenTaskStore(holder, Utf8Path(dir / c.folder / "pelmora.db")));
        RunSql(holder, "BEGIN IMMEDIATE;");
        const RecoveryResult result = MoveTaskListAcross(from, table, to, table);
        RunSql(holder, "ROLLBACK;");
        EXPECT_EQ(result.status, c.status) << c.folder;
        EXPECT_EQ(Dump(from, table), before) << c.folder;
        EXPECT_EQ(Titles(to, table), (std::vector<std::string>{"unpack"})) << c.folder;
    }
}

TEST_F(MoveAcrossTest, ARemovalThatFailsLeavesTheTasksInBothFiles) {
    // A reader of the other file keeps the removal from committing.
    TestStore reader;
    ASSERT_TRUE(OpenTaskStore(reader, Utf8Path(dir / "old" / "pelmora.db")));
    RunSql(reader, "BEGIN; SELECT count(*) FROM sqlite_master;");
    const RecoveryResult result = MoveTaskListAcross(from, table, to, table);
    RunSql(reader, "COMMIT;");
    EXPECT_EQ(result.status, RecoveryStatus::kCopiedNotRemoved);
    EXPECT_EQ(result.recovered, 3);
    EXPECT_EQ(Dump(from, table), before);
    EXPECT_EQ(Titles(to, table), (std::vector<std::string>{"unpack", "pack", "label", "ship"}));
}

TEST_F(MoveAcrossTest, ACorruptOtherFileChangesNothing) {
    from.Close();
    ASSERT_TRUE(OpenThenReplaceBytes(from, dir / "old" / "pelmora.db", std::string(8192, 'G')));
    const RecoveryResult result = MoveTaskListAcross(from, table, to, table);
    EXPECT_NE(result.status, RecoveryStatus::kDone);
    EXPECT_NE(result.status, RecoveryStatus::kCopiedNotRemoved);
    EXPECT_EQ(Titles(to, table), (std::vector<std::string>{"unpack"}));
    EXPECT_EQ(ReadFileBytes(dir / "old" / "pelmora.db"), std::string(8192, 'G'));
}

TEST_F(MoveAcrossTest, AReadOnlyOtherFileChangesNothing) {
    from.Close();
    const auto path = dir / "old" / "pelmora.db";
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    const auto attempt = [&]() -> std::string {
        TestStore readOnly;
        if (!OpenTaskStore(readOnly, Utf8Path(path))) return "cannot open";
        if (!IsReadOnly(readOnly)) return "skip";
        const RecoveryResult result = MoveTaskListAcross(readOnly, table, to, table);
        if (result.status != RecoveryStatus::kSourceReadOnly) return "wrong status";
        if (Titles(to, table) != std::vector<std::string>{"unpack"}) return "copied";
        if (Dump(readOnly, table) != before) return "source changed";
        return "";
    };
#ifndef _WIN32
    if (geteuid() == 0) {
        // Root may write any file: try as an unprivileged user in a child process.
        EXPECT_EXIT(
            {
                std::filesystem::permissions(dir.path() / "new", std::filesystem::perms::all);
                std::filesystem::permissions(dir.path() / "new" / "pelmora.db",
                                             std::filesystem::perms::all);
                if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
                const std::string failure = attempt();
                std::fprintf(stderr, "%s", failure.c_str());
                _exit(failure.empty() ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
        return;
    }
#endif
    const std::string failure = attempt();
    if (failure == "skip") GTEST_SKIP() << "this user may write read-only files";
    EXPECT_EQ(failure, "");
}

}  // namespace
