#include "store/sqlite/task_table.h"
#include "tests/store/item_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "store/folder_key.h"
#include "store/test_support.h"
#include "text/text_encoding.h"

namespace {

const std::string kAbcTable = "tbl_900150983cd24fb0d6963f7d28e17f72";

TaskRecord Task(const std::string& title,
                int priority,
                bool done = false,
                std::optional<std::string> description = std::nullopt) {
    TaskRecord record;
    record.title = Base64Encode(title);
    if (description) record.description = Base64Encode(*description);
    record.done = done ? 1 : 0;
    record.doneDate = "2014-08-12";
    record.priority = priority;
    return record;
}

class TaskStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dbPath = dir / "pelmora.db";
        ASSERT_TRUE(OpenTaskStore(store, Utf8Path(dbPath)));
        store.table = TaskTableName(FolderKey(u"abc"));
        ASSERT_TRUE(CreateTaskTable(store));
        log.Attach(store);
    }

    void AddTasks(int count, int doneCount) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(InsertTask(store, Task("task " + std::to_string(i), i, i < doneCount)));
        }
    }

    std::vector<int> StoredPriorities() {
        std::vector<int> priorities;
        const auto tasks = LoadTasks(store).value();
        for (const auto& task : tasks) priorities.push_back(task.priority);
        return priorities;
    }

    ScratchDir dir;
    std::filesystem::path dbPath;
    TestStore store;
    StatementLog log;
};

TEST_F(TaskStoreTest, StatementTextsAreExactlyTheDesignedOnes) {
    TestStore fresh;
    ASSERT_TRUE(OpenTaskStore(fresh, Utf8Path(dir / "other.db")));
    fresh.table = kAbcTable;
    StatementLog freshLog;
    freshLog.Attach(fresh);
    ASSERT_TRUE(CreateTaskTable(fresh));
    EXPECT_EQ(
        freshLog.statements.at(0),
        "CREATE TABLE IF NOT EXISTS " + kAbcTable +
            " (title TEXT, description TEXT, done INTEGER, done_date TEXT, priority INTEGER)");

    const auto rowId = InsertTask(store, Task("Buy milk", 0));
    ASSERT_TRUE(rowId);
    TaskRecord edited = Task("Buy oat milk", 3, true, "two litres");
    edited.doneDate = "2014-08-13";
    edited.rowId = *rowId;
    ASSERT_TRUE(UpdateTask(store, edited));
    ASSERT_TRUE(DeleteTask(store, *rowId));
    CountTasks(store, kAbcTable);
    (void)LoadTasks(store);  // only the statements they run matter here
    (void)ListTables(store);
    ASSERT_TRUE(Succeeded(DropTable(store, "tbl_0123")));
    // Every write that names a row checks first, inside its transaction, that the item's table
    // is an ordinary table, and finds its row by key.
    const std::string check =
        "SELECT type, sql FROM sqlite_master WHERE name='" + kAbcTable + "' COLLATE NOCASE;";
    const std::string key = " where rowid=" + std::to_string(*rowId) + ";";
    const std::vector<std::string> expected = {
        "BEGIN IMMEDIATE;",
        check,
        "insert into " + kAbcTable + " values('QnV5IG1pbGs=','',0,'2014-08-12',0);",
        "COMMIT;",
        "BEGIN IMMEDIATE;",
        check,
        "update " + kAbcTable + " set title='" + edited.title + "', description='" +
            Base64Encode("two litres") + "', done=1, done_date='2014-08-13', priority=3" + key,
        "COMMIT;",
        "BEGIN IMMEDIATE;",
        check,
        "delete from " + kAbcTable + key,
        "COMMIT;",
        "select done from " + kAbcTable + ";",
        "select done from " + kAbcTable + ";",  // LoadTasks counts first; the table is empty
        "SELECT name FROM sqlite_master WHERE type='table';",
        "DROP TABLE IF EXISTS tbl_0123;",
    };
    EXPECT_EQ(log.statements, expected);
}

TEST_F(TaskStoreTest, LoadRunsTheListQueryInPriorityOrder) {
    ASSERT_TRUE(InsertTask(store, Task("second", 1)));
    ASSERT_TRUE(InsertTask(store, Task("first", 0, true, "")));
    log.Clear();
    const auto tasks = LoadTasks(store);
    ASSERT_TRUE(tasks);
    ASSERT_EQ(tasks->size(), 2u);
    const std::string listQuery =
        "select title, description, done, done_date, priority, rowid from " + kAbcTable +
        " order by priority asc, rowid asc;";
    EXPECT_NE(std::find(log.statements.begin(), log.statements.end(), listQuery),
              log.statements.end());
    EXPECT_EQ(Base64Decode((*tasks)[0].title), "first");
    EXPECT_EQ((*tasks)[0].done, 1u);
    // An empty description is stored as '' and comes back as an empty text, not as none.
    ASSERT_TRUE((*tasks)[0].description);
    EXPECT_EQ(*(*tasks)[0].description, "");
    EXPECT_FALSE((*tasks)[0].displayTitle);
    EXPECT_EQ(Base64Decode((*tasks)[1].title), "second");
    EXPECT_EQ((*tasks)[1].doneDate, "2014-08-12");
}

TEST_F(TaskStoreTest, FolderStatusAtTheBoundaries) {
    struct Case {
        int total, done;
        FolderStatus status;
    };
    const Case cases[] = {{0, 0, FolderStatus::kNone},         {4, 2, FolderStatus::kAtLeastHalf},
                          {3, 1, FolderStatus::kLessThanHalf}, {3, 2, FolderStatus::kAtLeastHalf},
                          {5, 0, FolderStatus::kLessThanHalf}, {5, 5, FolderStatus::kAllDone},
                          {1, 1, FolderStatus::kAllDone}};
    for (const auto& c : cases) {
        store.table = TaskTableName(FolderKey(
            u"case" + Utf8ToUtf16(std::to_string(c.total) + "-" + std::to_string(c.done))));
        ASSERT_TRUE(CreateTaskTable(store));
        AddTasks(c.total, c.done);
        EXPECT_EQ(GetFolderStatus(store, store.table), c.status) << c.done << " of " << c.total;
        EXPECT_EQ(CountTasks(store, store.table), c.total);
    }
}

TEST_F(TaskStoreTest, DoneCountsWhenItsIntegerValueIsNotZero) {
    RunSql(store, "insert into " + kAbcTable + " values('YQ==','',2,'2014-08-12',0);");
    RunSql(store, "insert into " + kAbcTable + " values('Yg==','',0.5,'2014-08-12',1);");
    EXPECT_EQ(GetFolderStatus(store, kAbcTable), FolderStatus::kAtLeastHalf);  // 1 of 2
    const auto tasks = LoadTasks(store).value();
    ASSERT_EQ(tasks.size(), 2u);  // checked before indexing: a short list fails, never crashes
    EXPECT_NE(tasks[0].done, 0u);
    EXPECT_EQ(tasks[1].done, 0u);
}

TEST_F(TaskStoreTest, MissingTableReadsAsEmptyAndRefusesWrites) {
    store.table = TaskTableName(FolderKey(u"never created"));
    EXPECT_EQ(CountTasks(store, store.table), 0);
    EXPECT_EQ(GetFolderStatus(store, store.table), FolderStatus::kNone);
    const auto tasks = LoadTasks(store);
    ASSERT_TRUE(tasks);
    EXPECT_TRUE(tasks->empty());
    TaskRecord keyed = Task("x", 0);
    keyed.rowId = 1;
    EXPECT_FALSE(InsertTask(store, Task("x", 0)));
    EXPECT_FALSE(UpdateTask(store, keyed));
    EXPECT_FALSE(DeleteTask(store, 1));
    EXPECT_FALSE(RenumberTasks(store));
    EXPECT_FALSE(DeleteAllTasks(store, {}));
}

TEST_F(TaskStoreTest, UpdateFindsTheRowByItsKeyAndRewritesEveryColumn) {
    const auto rowId = InsertTask(store, Task("old", 0, false, "notes"));
    ASSERT_TRUE(rowId);
    TaskRecord edited = Task("new", 0);
    edited.done = 7;  // any non-zero value is done and written as 1
    edited.doneDate = "2020-01-02";
    edited.rowId = rowId;
    ASSERT_TRUE(UpdateTask(store, edited));
    const auto tasks = LoadTasks(store).value();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0].title, Base64Encode("new"));
    EXPECT_EQ(tasks[0].description, "");
    EXPECT_EQ(tasks[0].done, 1u);
    EXPECT_EQ(tasks[0].doneDate, "2020-01-02");
    EXPECT_EQ(tasks[0].rowId, rowId);
    // A write that changes no row is a failure: the window must not show it as made.
    edited.rowId = *rowId + 1;
    EXPECT_EQ(store.Table().Update(edited), StoreFailure::kNotFound);
    EXPECT_FALSE(DeleteTask(store, *rowId + 1));
    edited.rowId.reset();
    EXPECT_FALSE(UpdateTask(store, edited));
    EXPECT_EQ(CountTasks(store, kAbcTable), 1);
}

TEST_F(TaskStoreTest, DuplicateTitlesAreWrittenOneRowAtATime) {
    ASSERT_TRUE(InsertTask(store, Task("twin", 0)));
    ASSERT_TRUE(InsertTask(store, Task("twin", 1)));
    auto tasks = LoadTasks(store).value();
    ASSERT_EQ(tasks.size(), 2u);
    tasks[1].done = 1;
    ASSERT_TRUE(UpdateTask(store, tasks[1]));
    EXPECT_EQ(GetFolderStatus(store, kAbcTable),
              FolderStatus::kAtLeastHalf);  // only the row acted on is done
    ASSERT_TRUE(DeleteTask(store, tasks[1].rowId.value()));
    EXPECT_EQ(CountTasks(store, kAbcTable), 1);
    EXPECT_EQ(GetFolderStatus(store, kAbcTable), FolderStatus::kLessThanHalf);
}

TEST_F(TaskStoreTest, DeletingAtAnyPositionThenRenumberingLeavesZeroToNMinusTwo) {
    for (int k : {0, 2, 4}) {
        store.table = TaskTableName(FolderKey(u"k" + Utf8ToUtf16(std::to_string(k))));
        ASSERT_TRUE(CreateTaskTable(store));
        AddTasks(5, 0);
        const auto loaded = LoadTasks(store).value();
        ASSERT_TRUE(DeleteTask(store, loaded.at(static_cast<size_t>(k)).rowId.value()));
        ASSERT_TRUE(RenumberTasks(store));
        EXPECT_EQ(StoredPriorities(), (std::vector<int>{0, 1, 2, 3})) << k;
        const auto tasks = LoadTasks(store).value();
        for (const auto& task : tasks) {
            EXPECT_NE(task.title, Base64Encode("task " + std::to_string(k)));
        }
    }
}

TEST_F(TaskStoreTest, RenumberIsAllOrNothing) {
    AddTasks(5, 0);
    RunSql(store, "delete from " + kAbcTable + " where priority=0;");
    // The test's own trigger makes the renumbering fail part-way; the program's connections run
    // no triggers, so this one switches them back on for itself.
    AllowTriggers(store);
    RunSql(store, "CREATE TRIGGER stop BEFORE UPDATE ON " + kAbcTable +
                      " WHEN NEW.priority = 2 BEGIN SELECT RAISE(ABORT, 'no'); END;");
    EXPECT_FALSE(RenumberTasks(store));
    EXPECT_EQ(StoredPriorities(), (std::vector<int>{1, 2, 3, 4}));
    RunSql(store, "DROP TRIGGER stop;");
    EXPECT_TRUE(RenumberTasks(store));
    EXPECT_EQ(StoredPriorities(), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(TaskStoreTest, TransactionRollsBackUnlessCommitted) {
    {
        Transaction transaction(store);
        ASSERT_TRUE(transaction.Active());
        ASSERT_TRUE(InsertTask(store, Task("dropped", 0)));
    }
    EXPECT_EQ(CountTasks(store, kAbcTable), 0);
    {
        Transaction outer(store);
        ASSERT_TRUE(InsertTask(store, Task("kept", 0)));
        {
            Transaction inner(store);  // joins the outer one; its commit decides nothing
            ASSERT_TRUE(inner.Active());
            ASSERT_TRUE(InsertTask(store, Task("kept too", 1)));
            EXPECT_TRUE(Succeeded(inner.Commit()));
        }
        EXPECT_TRUE(Succeeded(outer.Commit()));
    }
    EXPECT_EQ(CountTasks(store, kAbcTable), 2);
}

// One read lock for many reads: held while the reading runs (a writer elsewhere is refused, not
// half-seen), let go at the end of the scope, and a write made inside is kept, not rolled back.
TEST_F(TaskStoreTest, AReadTransactionHoldsOneReadLockAndKeepsWhatIsWrittenInside) {
    AddTasks(2, 0);
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(Utf8Path(dbPath).c_str(), &writer), SQLITE_OK);
    const std::string insert = "insert into " + kAbcTable + " values('eA==','',0,NULL,9);";
    {
        const ReadTransaction reading(store);
        EXPECT_EQ(CountTasks(store, kAbcTable), 2);
        EXPECT_EQ(sqlite3_exec(writer, insert.c_str(), nullptr, nullptr, nullptr), SQLITE_BUSY);
        EXPECT_EQ(CountTasks(store, kAbcTable), 2);
    }
    EXPECT_EQ(sqlite3_exec(writer, insert.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(writer);
    {
        const ReadTransaction reading(store);
        ASSERT_TRUE(InsertTask(store, Task("written inside", 4)));
    }
    store.Close();
    ASSERT_TRUE(OpenTaskStore(store, Utf8Path(dbPath)));
    EXPECT_EQ(CountTasks(store, kAbcTable), 4);
}

TEST_F(TaskStoreTest, ListTablesReturnsEveryTableWhateverItsName) {
    RunSql(store, "CREATE TABLE \"x\"\"; DROP TABLE " + kAbcTable + ";--\" (done INTEGER);");
    RunSql(store, "CREATE TABLE \"evil]\nname=3\" (done INTEGER);");
    const auto tables = ListTables(store);
    ASSERT_TRUE(tables);
    const std::vector<std::string> expected = {kAbcTable, "x\"; DROP TABLE " + kAbcTable + ";--",
                                               "evil]\nname=3"};
    EXPECT_EQ(*tables, expected);
}

TEST_F(TaskStoreTest, HostileTableNamesAreQuotedNeverExecuted) {
    AddTasks(2, 1);
    const std::string hostile = "x\"; DROP TABLE " + kAbcTable + ";--";
    RunSql(store, "CREATE TABLE " + SqlTableName(hostile) + " (done INTEGER);");
    RunSql(store, "INSERT INTO " + SqlTableName(hostile) + " VALUES (1);");
    EXPECT_EQ(CountTasks(store, hostile), 1);
    EXPECT_EQ(GetFolderStatus(store, hostile), FolderStatus::kAllDone);
    log.Clear();
    EXPECT_TRUE(Succeeded(DropTable(store, hostile)));
    EXPECT_EQ(log.statements.size(), 1u);
    EXPECT_EQ(CountTasks(store, kAbcTable), 2);  // the second statement never ran
    EXPECT_EQ(ListTables(store).value(), std::vector<std::string>{kAbcTable});
    EXPECT_EQ(SqlTableName("Tbl_ABC"), "\"Tbl_ABC\"");
    EXPECT_EQ(SqlTableName("tbl_"), "\"tbl_\"");
}

TEST_F(TaskStoreTest, ValuesFromAForeignFileCannotEndTheirLiteral) {
    // A downloaded file may hold titles that are not Base64. Writing such a record back must
    // neither fail on the quote nor run what follows it.
    const std::string evil = "a'; DROP TABLE " + kAbcTable + "; --";
    RunSql(store, "insert into " + kAbcTable + " values('a''; DROP TABLE " + kAbcTable +
                      "; --','d''x',0,'2''0',0);");
    auto tasks = LoadTasks(store).value();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0].title, evil);
    tasks[0].done = 1;
    EXPECT_TRUE(UpdateTask(store, tasks[0]));
    EXPECT_TRUE(RenumberTasks(store));
    EXPECT_EQ(GetFolderStatus(store, kAbcTable), FolderStatus::kAllDone);
    EXPECT_EQ(LoadTasks(store).value().at(0).title, evil);
    EXPECT_TRUE(DeleteTask(store, tasks[0].rowId.value()));
    EXPECT_EQ(ListTables(store).value(), std::vector<std::string>{kAbcTable});
}

TEST_F(TaskStoreTest, AStepErrorFailsTheQueryInsteadOfReturningPartOfIt) {
    {
        Transaction filling(store);
        for (int i = 0; i < 2000; ++i) {
            ASSERT_TRUE(
                InsertTask(store, Task(std::string(100, 'a' + i % 26) + std::to_string(i), i)));
        }
        ASSERT_TRUE(Succeeded(filling.Commit()));
    }
    // Damage pages well past the first rows so that stepping starts fine and then fails. The
    // damage comes after the open (whose check would refuse the file), from another program
    // that also counts the change, so the connection reads the pages again.
    std::string bytes = ReadFileBytes(dbPath);
    ASSERT_GT(bytes.size(), 200000u);
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 40960; ++i) bytes[i] = '\x5A';
    ++bytes[27];
    WriteFileBytes(dbPath, bytes);
    EXPECT_FALSE(LoadTasks(store));
    EXPECT_EQ(CountTasks(store, kAbcTable), 0);
    EXPECT_EQ(GetFolderStatus(store, kAbcTable), FolderStatus::kNone);
    EXPECT_FALSE(RenumberTasks(store));
}

TEST_F(TaskStoreTest, AFileThatIsNoDatabaseFailsCleanly) {
    const auto path = dir / "garbage.db";
    TestStore other;
    ASSERT_TRUE(OpenThenReplaceBytes(other, path, std::string(4096, 'G')));
    other.table = kAbcTable;
    EXPECT_FALSE(CreateTaskTable(other));
    EXPECT_FALSE(InsertTask(other, Task("x", 0)));
    EXPECT_FALSE(ListTables(other));
    EXPECT_EQ(GetFolderStatus(other, kAbcTable), FolderStatus::kNone);
    EXPECT_EQ(ReadFileBytes(path), std::string(4096, 'G'));
}

// What a store on a file the system opens only for reading must do; empty when all is well.
std::string ReadOnlyFailures(const std::filesystem::path& dbPath) {
    TestStore store;
    if (!OpenTaskStore(store, Utf8Path(dbPath))) return "cannot open";
    store.table = kAbcTable;
    std::string failures;
    if (!IsReadOnly(store)) failures += "not read-only; ";
    const auto tasks = LoadTasks(store);
    if (!tasks || tasks->size() != 3) failures += "tasks not loaded; ";
    if (GetFolderStatus(store, kAbcTable) != FolderStatus::kLessThanHalf)
        failures += "wrong status; ";
    if (InsertTask(store, Task("new", 3))) failures += "insert succeeded; ";
    if (tasks && !tasks->empty() && DeleteTask(store, tasks->front().rowId.value_or(0))) {
        failures += "delete succeeded; ";
    }
    if (CountTasks(store, kAbcTable) != 3) failures += "rows changed; ";
    return failures;
}

TEST_F(TaskStoreTest, AFolderThatDoesNotExistCannotBeOpened) {
    TestStore other;
    EXPECT_FALSE(OpenTaskStore(other, Utf8Path(dir / "missing" / "pelmora.db")));
    EXPECT_FALSE(other.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST_F(TaskStoreTest, AReadOnlyFileCanBeReadButNotWritten) {
    AddTasks(3, 1);
    store.Close();
    std::filesystem::permissions(dbPath, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
#ifndef _WIN32
    if (geteuid() == 0) {
        // Root may write any file: check as an unprivileged user in a child process.
        EXPECT_EXIT(
            {
                if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
                const std::string failures = ReadOnlyFailures(dbPath);
                std::fprintf(stderr, "%s", failures.c_str());
                _exit(failures.empty() ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
        return;
    }
#endif
    TestStore probe;
    ASSERT_TRUE(OpenTaskStore(probe, Utf8Path(dbPath)));
    if (!IsReadOnly(probe)) GTEST_SKIP() << "this user may write read-only files";
    EXPECT_EQ(ReadOnlyFailures(dbPath), "");
}

class LockedDatabaseTest : public TaskStoreTest {
protected:
    void LockFromAnotherConnection() {
        ASSERT_TRUE(OpenTaskStore(other, Utf8Path(dbPath)));
        RunSql(other, "BEGIN EXCLUSIVE;");
    }
    TestStore other;
};

TEST_F(LockedDatabaseTest, AWriteWaitsForALockThatIsReleasedSoon) {
    LockFromAnotherConnection();
    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        RunSql(other, "COMMIT;");
    });
    EXPECT_TRUE(InsertTask(store, Task("waited", 0)));
    releaser.join();
    EXPECT_EQ(CountTasks(store, kAbcTable), 1);
}

TEST_F(LockedDatabaseTest, AWriteFailsWhenTheLockIsHeldOnAndChangesNothing) {
    AddTasks(3, 0);
    RunSql(store, "delete from " + kAbcTable + " where priority=0;");
    LockFromAnotherConnection();
    EXPECT_FALSE(RenumberTasks(store));
    EXPECT_FALSE(InsertTask(store, Task("lost?", 9)));
    RunSql(other, "ROLLBACK;");
    EXPECT_EQ(StoredPriorities(), (std::vector<int>{1, 2}));
}

#ifdef PELMORA_SQLITE3_CLI
TEST_F(TaskStoreTest, RowsWrittenByTheSqliteToolReadBack) {
    store.Close();
    const std::string sql = "insert into " + kAbcTable + " values('" +
                            Base64Encode("From the shell") + "','" +
                            Base64Encode("line 1\r\nline 2") + "',1,'2021-03-04',1); insert into " +
                            kAbcTable + " values('" + Base64Encode("First") + "',NULL,0,NULL,0);";
    const std::string command =
        std::string(PELMORA_SQLITE3_CLI) + " '" + Utf8Path(dbPath) + "' \"" + sql + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_TRUE(OpenTaskStore(store, Utf8Path(dbPath)));
    const auto tasks = LoadTasks(store).value();
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(Base64Decode(tasks[0].title), "First");
    EXPECT_FALSE(tasks[0].description);
    EXPECT_FALSE(tasks[0].doneDate);
    EXPECT_EQ(Base64Decode(tasks[1].description.value()), "line 1\r\nline 2");
    EXPECT_EQ(tasks[1].done, 1u);
    EXPECT_EQ(tasks[1].doneDate, "2021-03-04");
    EXPECT_EQ(GetFolderStatus(store, kAbcTable), FolderStatus::kAtLeastHalf);
}
#endif

}  // namespace
