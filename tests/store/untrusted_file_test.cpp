// Task files that come from elsewhere: crafted schemas, foreign rows and other programs holding
// the file. Each file is made with a plain connection of its own, as a stranger would make it,
// and then opened by the store.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "store/folder_key.h"
#include "store/sqlite/task_table.h"
#include "store/test_support.h"
#include "tasks/task_list.h"
#include "tests/store/item_store.h"
#include "text/text_encoding.h"

namespace {

const std::string kItem = TaskTableName(FolderKey(u"Item"));
const std::string kOther = TaskTableName(FolderKey(u"Other"));
constexpr char kColumns[] =
    " (title TEXT, description TEXT, done INTEGER, done_date TEXT, priority INTEGER)";

// A connection with none of the store's hardening, for making files and looking into them.
class RawConnection {
public:
    explicit RawConnection(const std::filesystem::path& path) {
        sqlite3* raw = nullptr;
        EXPECT_EQ(sqlite3_open(Utf8Path(path).c_str(), &raw), SQLITE_OK);
        db_.reset(raw);
    }
    void Run(const std::string& sql) {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << sql << ": " << (error ? error : "");
        sqlite3_free(error);
    }
    int Code(const std::string& sql) {
        return sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr);
    }
    // The rows of a query, each row's columns joined with "|".
    std::vector<std::string> Rows(const std::string& sql) {
        std::vector<std::string> rows;
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sql;
        while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const auto* text = sqlite3_column_text(statement, i);
                row += (i ? "|" : "") +
                       std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
            }
            rows.push_back(row);
        }
        sqlite3_finalize(statement);
        return rows;
    }
    sqlite3* get() { return db_.get(); }

private:
    UniqueSqlite db_;
};

class UntrustedFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir / "pelmora.db";
        raw = std::make_unique<RawConnection>(path);
        raw->Run("CREATE TABLE " + kItem + kColumns + ";");
        raw->Run("CREATE TABLE " + kOther + kColumns + ";");
        for (int i = 0; i < 3; ++i) {
            raw->Run("insert into " + kItem + " values('" +
                     Base64Encode("item " + std::to_string(i)) + "','',0,'2024-01-01'," +
                     std::to_string(i) + ");");
            raw->Run("insert into " + kOther + " values('" +
                     Base64Encode("other " + std::to_string(i)) + "','',0,'2024-01-01'," +
                     std::to_string(i) + ");");
        }
    }

    // Opens the store on the file, on the item's table.
    void Open() {
        ASSERT_TRUE(OpenTaskStore(store, Utf8Path(path)));
        store.table = kItem;
    }

    std::vector<std::string> OtherRows() {
        return raw->Rows("select title, done, priority from " + kOther + " order by rowid;");
    }

    // "title|priority" of the item's rows in list order, titles decoded where they are Base64.
    std::vector<std::string> ItemRows() {
        return raw->Rows("select title, priority from " + kItem +
                         " order by priority asc, rowid asc;");
    }

    ScratchDir dir;
    std::filesystem::path path;
    std::unique_ptr<RawConnection> raw;
    TestStore store;
};

TEST_F(UntrustedFileTest, EveryConnectionIsHardened) {
    Open();
    sqlite3* db = store.Handle();
    const std::pair<int, int> expected[] = {
        {SQLITE_DBCONFIG_DEFENSIVE, 1},
        {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
        {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
        {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
    };
    for (const auto& [option, value] : expected) {
        int now = -1;
        ASSERT_EQ(sqlite3_db_config(db, option, -1, &now), SQLITE_OK);
        EXPECT_EQ(now, value) << option;
    }
    EXPECT_EQ(sqlite3_limit(db, SQLITE_LIMIT_LENGTH, -1), kMaxValueBytes);
    EXPECT_EQ(sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, -1), 0);
    // Defensive mode: the schema cannot be written, not even on request.
    EXPECT_NE(sqlite3_exec(db, "PRAGMA writable_schema=ON; DELETE FROM sqlite_master;", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(raw->Rows("select count(*) from sqlite_master;"), std::vector<std::string>{"2"});
}

TEST_F(UntrustedFileTest, ATriggerInTheFileNeverRuns) {
    // Marking a task done would rewrite every task of another item, and a RAISE(IGNORE) would
    // make the update itself a silent no-op.
    raw->Run("CREATE TRIGGER hijack AFTER UPDATE ON " + kItem + " BEGIN UPDATE " + kOther +
             " SET done=1, title='pwned'; END;");
    raw->Run("CREATE TRIGGER swallow BEFORE DELETE ON " + kItem +
             " BEGIN SELECT RAISE(IGNORE); END;");
    const auto before = OtherRows();
    Open();
    auto tasks = LoadTasks(store).value();
    ASSERT_EQ(tasks.size(), 3u);
    tasks[1].done = 1;
    ASSERT_TRUE(UpdateTask(store, tasks[1]));
    ASSERT_TRUE(RemoveTask(store, tasks[0].rowId.value()));
    EXPECT_EQ(OtherRows(), before);
    EXPECT_EQ(ItemRows(), (std::vector<std::string>{Base64Encode("item 1") + "|0",
                                                    Base64Encode("item 2") + "|1"}));
    EXPECT_EQ(GetFolderStatus(store, kItem), FolderStatus::kAtLeastHalf);
}

TEST_F(UntrustedFileTest, AViewStandingInForTheItemsTableIsNeitherReadNorWritten) {
    raw->Run("DROP TABLE " + kItem + ";");
    raw->Run("CREATE VIEW " + kItem + " AS SELECT * FROM " + kOther + ";");
    raw->Run("CREATE TRIGGER redirect INSTEAD OF INSERT ON " + kItem + " BEGIN INSERT INTO " +
             kOther + " VALUES (NEW.title, '', 1, '', 99); END;");
    const auto before = OtherRows();
    Open();
    EXPECT_FALSE(LoadTasks(store));  // not shown as the item's tasks
    TaskRecord task;
    task.title = Base64Encode("new");
    EXPECT_FALSE(InsertTask(store, task));
    EXPECT_EQ(OtherRows(), before);
}

TEST_F(UntrustedFileTest, WritesGoOnlyToAnOrdinaryTable) {
    Open();
    auto tasks = LoadTasks(store).value();
    ASSERT_EQ(tasks.size(), 3u);
    // Another program swaps the item's table for a view after the list was read.
    raw->Run("ALTER TABLE " + kItem + " RENAME TO moved;");
    raw->Run("CREATE VIEW " + kItem + " AS SELECT * FROM moved;");
    tasks[0].done = 1;
    EXPECT_FALSE(UpdateTask(store, tasks[0]));
    EXPECT_FALSE(DeleteTask(store, tasks[0].rowId.value()));
    EXPECT_FALSE(RenumberTasks(store));
    EXPECT_EQ(raw->Rows("select count(*) from moved where done=0;"), std::vector<std::string>{"3"});
}

TEST_F(UntrustedFileTest, AnExpensiveSchemaIsStoppedByTheStatementBudget) {
    // Every read of "done" makes a large text; the rows together take far longer than the
    // budget this test allows. A list cut short would be worse than none. (The column is added
    // after the rows, so that making the file costs nothing.)
    raw->Run("DROP TABLE " + kItem + ";");
    raw->Run("CREATE TABLE " + kItem +
             " (title TEXT, description TEXT, done_date TEXT, priority INTEGER);");
    raw->Run(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 3999) "
        "INSERT INTO " +
        kItem + " SELECT 'dA==', '', '', i FROM n;");
    raw->Run("ALTER TABLE " + kItem +
             " ADD COLUMN done INTEGER AS (length(hex(zeroblob(400000 + length(title)))) * 0);");
    Open();
    store.SetStatementBudget(std::chrono::milliseconds(100));
    EXPECT_EQ(store.Table().Load().Failure(), StoreFailure::kOther);
    EXPECT_EQ(CountTasks(store, kItem), 0);
    // The same budget is plenty for an ordinary table.
    EXPECT_EQ(CountTasks(store, kOther), 3);
    store.table = kOther;
    EXPECT_EQ(LoadTasks(store).value().size(), 3u);
}

TEST_F(UntrustedFileTest, ARunawayWriteFailsRollsBackAndFreesTheLock) {
    Open();
    // The store never runs triggers; this one stands for any statement that would not end.
    AllowTriggers(store);
    RunSql(store, "CREATE TRIGGER forever AFTER UPDATE ON " + kItem +
                      " BEGIN SELECT count(*) FROM (WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL "
                      "SELECT i + 1 FROM r) SELECT i FROM r); END;");
    store.SetStatementBudget(std::chrono::milliseconds(200));
    auto tasks = LoadTasks(store).value();
    ASSERT_EQ(tasks.size(), 3u);
    tasks[2].done = 1;
    EXPECT_EQ(store.Table().Update(tasks[2]), StoreFailure::kOther);
    EXPECT_EQ(raw->Rows("select count(*) from " + kItem + " where done=1;"),
              std::vector<std::string>{"0"});
    // Nothing is left holding the write lock: a sibling program can write at once.
    sqlite3_busy_timeout(raw->get(), 0);
    EXPECT_EQ(raw->Code("UPDATE " + kOther + " SET done=1;"), SQLITE_OK);
}

TEST_F(UntrustedFileTest, ValuesBeyondTheLengthLimitAreRefusedNotAllocated) {
    raw->Run("insert into " + kItem + " values('YmlnCg==', '" +
             std::string(kMaxValueBytes + 1, 'Q') + "', 0, '', 3);");
    Open();
    EXPECT_FALSE(LoadTasks(store));
    TaskRecord huge;
    huge.title = Base64Encode("huge");
    huge.description = std::string(kMaxValueBytes + 1, 'Q');
    EXPECT_FALSE(InsertTask(store, huge));
    huge.description = std::string(200000, 'Q');  // far more than the editor can hold
    EXPECT_TRUE(InsertTask(store, huge));
}

TEST_F(UntrustedFileTest, RowsWithForeignTitlesAreWrittenByKeyOnly) {
    raw->Run("insert into " + kItem + " values(NULL, NULL, 5, NULL, 3);");
    raw->Run("insert into " + kItem + " values(x'00ff', '', 0, '', 4);");
    raw->Run("insert into " + kItem + " values('" + Base64Encode("item 0") + "', '', 0, '', 5);");
    Open();
    auto tasks = LoadTasks(store).value();
    ASSERT_EQ(tasks.size(), 6u);
    for (const TaskRecord& task : tasks) EXPECT_TRUE(task.rowId);
    // The NULL title can be edited and the blob one removed; the twin of "item 0" changes alone.
    tasks[3].title = Base64Encode("named now");
    ASSERT_TRUE(UpdateTask(store, tasks[3]));
    tasks[5].done = 1;
    ASSERT_TRUE(UpdateTask(store, tasks[5]));
    ASSERT_TRUE(RemoveTask(store, tasks[4].rowId.value()));
    EXPECT_EQ(ItemRows(), (std::vector<std::string>{
                              Base64Encode("item 0") + "|0", Base64Encode("item 1") + "|1",
                              Base64Encode("item 2") + "|2", Base64Encode("named now") + "|3",
                              Base64Encode("item 0") + "|4"}));
    EXPECT_EQ(raw->Rows("select done from " + kItem + " order by priority;"),
              (std::vector<std::string>{"0", "0", "0", "1", "1"}));
}

TEST_F(UntrustedFileTest, AColumnThatHidesTheRowKeyMakesTheRowsReadOnly) {
    raw->Run("DROP TABLE " + kItem + ";");
    raw->Run("CREATE TABLE " + kItem +
             " (title TEXT, description TEXT, done INTEGER, done_date TEXT, priority INTEGER, "
             "RowId INTEGER);");
    raw->Run("insert into " + kItem + " values('YQ==', '', 0, '', 0, 7);");
    raw->Run("insert into " + kItem + " values('Yg==', '', 0, '', 1, 7);");
    Open();
    auto tasks = LoadTasks(store).value();
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_FALSE(tasks[0].rowId);
    tasks[0].rowId = 7;  // even a key made up from the hiding column changes nothing
    tasks[0].done = 1;
    EXPECT_FALSE(UpdateTask(store, tasks[0]));
    EXPECT_EQ(raw->Rows("select count(*) from " + kItem + " where done=1;"),
              std::vector<std::string>{"0"});
}

TEST_F(UntrustedFileTest, PrioritiesThatAreNoPositionReadAsMinusOne) {
    raw->Run("update " + kItem + " set priority=1.5 where priority=0;");
    raw->Run("update " + kItem + " set priority=4294967297 where priority=1;");
    raw->Run("update " + kItem + " set priority='x' where priority=2;");
    Open();
    const auto tasks = LoadTasks(store).value();
    ASSERT_EQ(tasks.size(), 3u);
    for (const TaskRecord& task : tasks) EXPECT_EQ(task.priority, -1);
    ASSERT_TRUE(RenumberTasks(store));
    EXPECT_EQ(raw->Rows("select priority from " + kItem + " order by priority;"),
              (std::vector<std::string>{"0", "1", "2"}));
}

// The order the list shows and a renumbering must agree for any priorities a file may hold.
TEST_F(UntrustedFileTest, RenumberingGivesEveryRowItsRankInListOrder) {
    std::mt19937 random(20240601);
    Open();
    for (int round = 0; round < 60; ++round) {
        raw->Run("DELETE FROM " + kItem + ";");
        const int rows = 1 + static_cast<int>(random() % 40);
        const int style = round % 4;
        std::vector<int> values(static_cast<size_t>(rows + 1));
        for (int i = 0; i <= rows; ++i) values[static_cast<size_t>(i)] = i;
        std::shuffle(values.begin(), values.end(), random);
        for (int i = 0; i < rows; ++i) {
            std::string priority = std::to_string(values[static_cast<size_t>(i)]);
            if (style == 1) priority = std::to_string(random() % 8);  // ties
            if (style == 2) priority = std::to_string(static_cast<int>(random() % 1000) - 500);
            if (style == 3 && random() % 5 == 0) {
                const char* odd[] = {"NULL", "2.5", "'7'", "x'01'", "9223372036854775807"};
                priority = odd[random() % 5];
            }
            raw->Run("insert into " + kItem + " values('" + Base64Encode(std::to_string(i)) +
                     "','',0,''," + priority + ");");
        }
        // The designed result: the rows in the list's order, numbered from 0.
        std::vector<std::string> expected;
        const auto listed = LoadTasks(store);
        ASSERT_TRUE(listed) << round;
        for (const TaskRecord& task : *listed) {
            expected.push_back(task.title + "|" + std::to_string(expected.size()));
        }
        ASSERT_TRUE(RenumberTasks(store)) << round;
        EXPECT_EQ(ItemRows(), expected) << "round " << round << " style " << style;
    }
}

TEST_F(UntrustedFileTest, ABusyFileIsToldApartFromADamagedOne) {
    Open();
    raw->Run("BEGIN EXCLUSIVE;");
    TaskRecord task;
    task.title = Base64Encode("waits");
    EXPECT_EQ(store.Table().Insert(task).Failure(), StoreFailure::kBusy);
    // busy is not an empty list
    EXPECT_EQ(store.Table().Load().Failure(), StoreFailure::kBusy);
    raw->Run("ROLLBACK;");
    ASSERT_TRUE(InsertTask(store, task));

    TestStore damaged;
    ASSERT_TRUE(OpenThenReplaceBytes(damaged, dir / "damaged.db", std::string(8192, 'D')));
    damaged.table = kItem;
    EXPECT_EQ(damaged.Table().Create(), StoreFailure::kDamaged);
}

TEST_F(UntrustedFileTest, ATransactionHoldsTheWriteLockFromItsStart) {
    Open();
    sqlite3_busy_timeout(raw->get(), 0);
    {
        Transaction transaction(store);
        ASSERT_TRUE(transaction.Active());
        // Before the transaction has written anything, a sibling's write must already wait:
        // a deferred start would let it in, and the transaction's own write could then fail.
        EXPECT_EQ(raw->Code("BEGIN IMMEDIATE;") & 0xff, SQLITE_BUSY);
    }
    EXPECT_EQ(raw->Code("BEGIN IMMEDIATE; COMMIT;"), SQLITE_OK);
}

TEST_F(UntrustedFileTest, RemoveAllIsOneDeleteOfExactlyTheRowsShown) {
    Open();
    std::vector<int64_t> ids;
    const auto listed = LoadTasks(store);
    ASSERT_TRUE(listed);
    for (const TaskRecord& task : *listed) ids.push_back(task.rowId.value());
    StatementLog log;
    log.Attach(store);
    ASSERT_TRUE(RemoveTasks(store, ids));
    EXPECT_EQ(
        std::count(log.statements.begin(), log.statements.end(), "delete from " + kItem + ";"), 1);
    EXPECT_EQ(raw->Rows("select count(*) from " + kItem + ";"), std::vector<std::string>{"0"});
    EXPECT_EQ(OtherRows().size(), 3u);
}

}  // namespace
