#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "store/folder_key.h"
#include "tasks/task_edits.h"
#include "tasks/unreferenced_tables.h"
#include "tests/store/item_store.h"
#include "text/text_encoding.h"

namespace {

// A fresh in-memory database holding one item's table with tasks "A", "B", "C" at priorities
// 0, 1, 2. Failures are made on purpose with triggers that abort chosen statements.
class TaskEditsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(OpenTaskStore(store_, ":memory:"));
        store_.table = TaskTableName(FolderKey(u"Proj"));
        ASSERT_TRUE(CreateTaskTable(store_));
        for (const char* name : {"A", "B", "C"}) Add(name);
    }

    void Add(const std::string& name) {
        TaskRecord record;
        record.title = Base64Encode(name);
        record.doneDate = "2024-01-01";
        record.priority = static_cast<int32_t>(CountTasks(store_, store_.table));
        ASSERT_TRUE(InsertTask(store_, record));
    }

    void Exec(const std::string& sql) {
        ASSERT_EQ(sqlite3_exec(store_.Handle(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sql;
    }

    // Makes every statement of `kind` ("DELETE" or "UPDATE") on the row of `name` fail. The
    // program's connections run no triggers; the test's own is switched on for this.
    void FailOn(const std::string& kind, const std::string& name) {
        int now = 0;
        sqlite3_db_config(store_.Handle(), SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, &now);
        ASSERT_EQ(now, 1);
        Exec("CREATE TRIGGER fail_" + kind + " BEFORE " + kind + " ON " + store_.table +
             " WHEN old.title='" + Base64Encode(name) + "' BEGIN SELECT RAISE(ABORT, 'no'); END;");
    }

    // "name:priority" of every row, in priority order.
    std::vector<std::string> StoredRows() {
        std::vector<std::string> rows;
        auto tasks = LoadTasks(store_);
        EXPECT_TRUE(tasks.has_value());
        if (!tasks) return rows;
        for (const TaskRecord& task : *tasks) {
            rows.push_back(Base64Decode(task.title) + ":" + std::to_string(task.priority));
        }
        return rows;
    }

    // The stored row of `name` as the list holds it, key included.
    TaskRecord Loaded(const std::string& name) {
        for (TaskRecord& task : LoadTasks(store_).value_or(std::vector<TaskRecord>())) {
            if (task.title == Base64Encode(name)) return task;
        }
        ADD_FAILURE() << "no row " << name;
        return TaskRecord();
    }

    int64_t IdOf(const std::string& name) { return Loaded(name).rowId.value_or(-1); }

    std::vector<int64_t> AllIds() {
        std::vector<int64_t> ids;
        for (const TaskRecord& task : LoadTasks(store_).value_or(std::vector<TaskRecord>())) {
            ids.push_back(task.rowId.value_or(-1));
        }
        return ids;
    }

    TaskRecord Record(const std::string& name, int priority) {
        TaskRecord record;
        record.title = Base64Encode(name);
        record.doneDate = "2024-01-01";
        record.priority = priority;
        return record;
    }

    TestStore store_;
};

using RowList = std::vector<std::string>;

TEST_F(TaskEditsTest, RemoveTaskRenumbersTheRest) {
    ASSERT_TRUE(RemoveTask(store_, IdOf("B")));
    EXPECT_EQ(StoredRows(), (RowList{"A:0", "C:1"}));
}

// Each change is one transaction: a step that fails part-way leaves every row as it was, and the
// records a move was given keep their places, so the list still agrees with the file.
TEST_F(TaskEditsTest, AChangeWhoseStepFailsLeavesEveryRow) {
    TaskRecord upper = Loaded("B");
    TaskRecord lower = Loaded("C");
    const int64_t a = IdOf("A");
    const int64_t b = IdOf("B");
    const auto all = AllIds();
    const struct {
        const char* change;
        const char* failing;  // the statement that fails, on the row of `row`
        const char* row;
        std::function<bool()> run;
    } cases[] = {
        // Deleting "A" works, rewriting "C" after it does not: the deletion is undone with it.
        {"remove, renumbering fails", "UPDATE", "C", [&] { return RemoveTask(store_, a); }},
        {"remove, deletion fails", "DELETE", "B", [&] { return RemoveTask(store_, b); }},
        // The last row fails after the first two were already deleted inside the transaction.
        {"remove all, last deletion fails", "DELETE", "C",
         [&] { return RemoveTasks(store_, all); }},
        {"move, second row fails", "UPDATE", "C",
         [&] { return ExchangePriorities(store_, upper, lower, 1); }},
    };
    for (const auto& c : cases) {
        FailOn(c.failing, c.row);
        EXPECT_FALSE(c.run()) << c.change;
        EXPECT_EQ(StoredRows(), (RowList{"A:0", "B:1", "C:2"})) << c.change;
        Exec(std::string("DROP TRIGGER fail_") + c.failing + ";");
    }
    EXPECT_EQ(upper.priority, 1);
    EXPECT_EQ(lower.priority, 2);
}

TEST_F(TaskEditsTest, RemoveTasksDeletesAll) {
    // After a move the list's order (B, A, C) is not the order the rows were stored in.
    TaskRecord a = Loaded("A");
    TaskRecord b = Loaded("B");
    ASSERT_TRUE(ExchangePriorities(store_, a, b, 0));
    ASSERT_TRUE(RemoveTasks(store_, AllIds()));
    EXPECT_TRUE(StoredRows().empty());
    EXPECT_EQ(GetFolderStatus(store_, store_.table), FolderStatus::kNone);
}

TEST_F(TaskEditsTest, RemoveTasksDeletesNothingWhenTheTableHoldsRowsNotShown) {
    const auto ids = AllIds();
    Add("D");  // another program added a task the list does not show
    EXPECT_FALSE(RemoveTasks(store_, ids));
    EXPECT_EQ(StoredRows(), (RowList{"A:0", "B:1", "C:2", "D:3"}));
    EXPECT_FALSE(RemoveTasks(store_, {ids[0], ids[1]}));  // and not a part of the list either
    EXPECT_EQ(StoredRows().size(), 4u);
}

TEST_F(TaskEditsTest, ExchangeMovesBothRowsAndRecords) {
    TaskRecord upper = Loaded("A");
    TaskRecord lower = Loaded("B");
    ASSERT_TRUE(ExchangePriorities(store_, upper, lower, 0));
    EXPECT_EQ(upper.priority, 1);
    EXPECT_EQ(lower.priority, 0);
    EXPECT_EQ(StoredRows(), (RowList{"B:0", "A:1", "C:2"}));
}

TEST_F(TaskEditsTest, ExchangeFindsTheRowsByKeyWhateverTitlesTheRecordsShow) {
    // "B" shows a new title whose save failed: the row is still "B", found by its key.
    TaskRecord upper = Loaded("A");
    TaskRecord lower = Loaded("B");
    lower.title = Base64Encode("B2");
    ASSERT_TRUE(ExchangePriorities(store_, upper, lower, 0));
    EXPECT_EQ(StoredRows(), (RowList{"B2:0", "A:1", "C:2"}));
}

TEST_F(TaskEditsTest, ExchangeOfRowsWithGappedOrTiedPrioritiesRenumbersFirst) {
    // A foreign file: gaps and a tie. Exchanging the bare values would change nothing visible.
    Exec("update " + store_.table + " set priority=10 where title='" + Base64Encode("A") + "';");
    Exec("update " + store_.table + " set priority=20 where title!='" + Base64Encode("A") + "';");
    TaskRecord upper = Loaded("B");
    TaskRecord lower = Loaded("C");
    ASSERT_EQ(upper.priority, 20);
    ASSERT_EQ(lower.priority, 20);
    ASSERT_TRUE(ExchangePriorities(store_, upper, lower, 1));
    EXPECT_EQ(StoredRows(), (RowList{"A:0", "C:1", "B:2"}));
    EXPECT_EQ(upper.priority, 2);
    EXPECT_EQ(lower.priority, 1);
}

TEST_F(TaskEditsTest, AFailedEditLeavesTheRowAndASecondSaveStillFindsIt) {
    TaskRecord edited = Loaded("B");
    edited.title = Base64Encode("B2");
    FailOn("UPDATE", "B");
    EXPECT_FALSE(UpdateTask(store_, edited));
    EXPECT_EQ(StoredRows(), (RowList{"A:0", "B:1", "C:2"}));
    Exec("DROP TRIGGER fail_UPDATE;");
    ASSERT_TRUE(UpdateTask(store_, edited));
    EXPECT_EQ(StoredRows(), (RowList{"A:0", "B2:1", "C:2"}));
}

class UnreferencedTablesTest : public TaskEditsTest {
protected:
    // Creates the table of item `name`, with `tasks` rows.
    std::string TableOf(const std::u16string& name, int tasks) {
        TaskTable other(store_, TaskTableName(FolderKey(name)));
        EXPECT_TRUE(Succeeded(other.Create()));
        for (int i = 0; i < tasks; ++i) {
            TaskRecord record = Record("t" + std::to_string(i), i);
            EXPECT_TRUE(other.Insert(record));
        }
        return other.Name();
    }

    std::vector<std::string> Tables() {
        return ListTables(store_).value_or(std::vector<std::string>());
    }
};

TEST_F(UnreferencedTablesTest, DropsRenamedAndEmptyItemsKeepsTheRest) {
    const std::string proj = store_.table;            // "Proj", three tasks
    const std::string old = TableOf(u"Old name", 2);  // renamed away
    const std::string empty = TableOf(u"Empty", 0);   // exists, no tasks
    const std::string other = TableOf(u"\u00c9t\u00e9 & co", 1);
    const auto tables = Tables();
    ASSERT_EQ(tables.size(), 4u);

    DropUnreferencedTables(
        store_, tables,
        {u".", u"..", u"Proj", u"Empty", u"\u00c9t\u00e9 & co", u"New name", u"pelmora.db"});
    const auto left = Tables();
    EXPECT_EQ(left, (std::vector<std::string>{proj, other}));
}

TEST_F(UnreferencedTablesTest, NamesDifferingInCaseAreDifferentItems) {
    const auto tables = Tables();
    DropUnreferencedTables(store_, tables, {u"proj"});
    EXPECT_TRUE(Tables().empty());
}

}  // namespace
