#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "store/folder_key.h"
#include "tasks/task_list.h"
#include "tasks/unreferenced_tables.h"
#include "tests/store/item_store.h"
#include "tests/store/test_support.h"
#include "tests/support/local_date.h"
#include "text/text_encoding.h"

namespace {

// Two programs on one folder's file: a window that read the list earlier and the command line
// (or a second window), each with its own connection.
class TaskListRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (TestStore* store : {&window_, &other_}) {
            ASSERT_TRUE(OpenTaskStore(*store, Utf8Path(dir_ / "pelmora.db")));
            store->table = TaskTableName(FolderKey(u"Proj"));
        }
    }

    static TaskRecord Task(const std::string& title) {
        TaskRecord record;
        record.title = Base64Encode(title);
        record.doneDate = "2024-01-01";
        return record;
    }

    std::vector<std::string> Titles() {
        std::vector<std::string> titles;
        const auto tasks = LoadTasks(other_);
        EXPECT_TRUE(tasks.has_value());
        for (const TaskRecord& task : tasks.value_or(std::vector<TaskRecord>())) {
            titles.push_back(Base64Decode(task.title));
        }
        return titles;
    }

    ScratchDir dir_;
    TestStore window_;
    TestStore other_;
};

// The title rule holds against what the file holds, whoever wrote it: a copy of the list read
// before another writer added is not what is checked.
TEST_F(TaskListRulesTest, TitlesAreCheckedAgainstTheFileWhoeverWroteThem) {
    const TaskChange first = AddListTask(window_, Task("Plan"));
    ASSERT_TRUE(first.task);
    EXPECT_EQ(first.task->priority, 0);
    const std::vector<TaskRecord> windowCopy = LoadTasks(window_).value();

    // Another program adds "Report" after the window read its list.
    ASSERT_TRUE(AddListTask(other_, Task("Report")).task);
    EXPECT_EQ(AddListTask(window_, Task("Report")).refusal, TaskRefusal::kTitleTaken);

    // Renaming into a title another writer took is refused too; keeping a title is never.
    TaskRecord renamed = windowCopy.front();
    renamed.title = Base64Encode("Report");
    EXPECT_EQ(EditListTask(window_, renamed).refusal, TaskRefusal::kTitleTaken);
    TaskRecord marked = windowCopy.front();
    marked.done = 1;
    const TaskChange kept = EditListTask(window_, marked);
    ASSERT_TRUE(kept.task);
    EXPECT_EQ(kept.task->done, 1u);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Plan", "Report"}));

    // A file that already holds one title twice (written by an older copy) can still have either
    // task marked, but no third copy is made.
    TaskRecord twin = Task("Plan");
    twin.priority = 2;
    ASSERT_TRUE(InsertTask(other_, twin));
    const std::vector<TaskRecord> now = LoadTasks(window_).value();
    TaskRecord second = now.back();
    second.done = 1;
    EXPECT_TRUE(EditListTask(window_, second).task);
    EXPECT_EQ(AddListTask(window_, Task("Plan")).refusal, TaskRefusal::kTitleTaken);

    // A row another program removed is not found, and nothing else is written.
    RunSql(other_, "delete from " + other_.table +
                       " where rowid=" + std::to_string(*now.back().rowId) + ";");
    const TaskChange gone = EditListTask(window_, second);
    EXPECT_FALSE(gone.task);
    EXPECT_EQ(gone.failure, StoreFailure::kNotFound);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Plan", "Report"}));
}

// Two writers adding one title at the same moment, many times over: each title is stored once in
// a place of its own, and the other writer is refused, never failed.
TEST_F(TaskListRulesTest, TwoWritersAddingOneTitleAtOnceStoreItOnce) {
    constexpr int kRounds = 40;
    TaskRefusal outcomes[2][kRounds] = {};
    const auto writer = [&](TestStore& store, TaskRefusal* outcome) {
        for (int round = 0; round < kRounds; ++round) {
            const TaskChange change = AddListTask(store, Task("Round " + std::to_string(round)));
            outcome[round] = change.task ? TaskRefusal::kNone : change.refusal;
            EXPECT_EQ(change.failure, StoreFailure::kNone) << "round " << round;
        }
    };
    std::thread first(writer, std::ref(window_), outcomes[0]);
    std::thread second(writer, std::ref(other_), outcomes[1]);
    first.join();
    second.join();
    for (int round = 0; round < kRounds; ++round) {
        const bool firstAdded = outcomes[0][round] == TaskRefusal::kNone;
        EXPECT_EQ(outcomes[firstAdded ? 1 : 0][round], TaskRefusal::kTitleTaken) << round;
    }
    EXPECT_EQ(Titles().size(), static_cast<size_t>(kRounds));
    // Whoever wrote it, each task took the place after the last: 0, 1, 2, ... one each.
    const auto stored = LoadTasks(other_);
    ASSERT_TRUE(stored);
    int place = 0;
    for (const TaskRecord& task : *stored) EXPECT_EQ(task.priority, place++);
}

// The title rules of add and edit, checked once here for the window and the command line alike,
// on a list holding "Plan" and "Report". A refused change writes nothing; an added task takes
// the place after the last.
TEST_F(TaskListRulesTest, TitleRulesOfAddAndEdit) {
    ASSERT_TRUE(AddListTask(other_, Task("Plan")).task);
    ASSERT_TRUE(AddListTask(other_, Task("Report")).task);
    const TaskRecord plan = LoadTasks(window_).value().front();
    const std::string overlong(static_cast<size_t>(kMaxValueBytes), 'x');
    const auto edit = [&](const std::string& title) {
        TaskRecord edited = plan;
        edited.title = Base64Encode(title);
        return edited;
    };
    TaskRecord longDescription = Task("Long");
    longDescription.description = std::string(static_cast<size_t>(kMaxValueBytes) + 1, 'A');
    const struct {
        bool isEdit;
        TaskRecord task;
        TaskRefusal refusal;
    } cases[] = {
        {false, Task(""), TaskRefusal::kEmptyTitle},
        {false, Task("Plan"), TaskRefusal::kTitleTaken},
        {false, Task("plan"), TaskRefusal::kNone},  // letter case makes another title
        {false, Task(overlong), TaskRefusal::kTooLong},
        {false, longDescription, TaskRefusal::kTooLong},
        {true, edit("Report"), TaskRefusal::kTitleTaken},
        {true, edit("Plan"), TaskRefusal::kNone},  // its own title
        {true, edit(""), TaskRefusal::kEmptyTitle},
        {true, edit(overlong), TaskRefusal::kTooLong},
    };
    for (const auto& c : cases) {
        const TaskChange change =
            c.isEdit ? EditListTask(window_, c.task) : AddListTask(window_, c.task);
        const std::string title = Base64Decode(c.task.title).substr(0, 8);
        EXPECT_EQ(change.refusal, c.refusal) << title;
        EXPECT_EQ(change.failure, StoreFailure::kNone) << title;
        EXPECT_EQ(change.task.has_value(), c.refusal == TaskRefusal::kNone) << title;
        if (change.task && !c.isEdit) {
            EXPECT_EQ(change.task->priority, 2) << title;
        }
    }
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Plan", "Report", "plan"}));
}

}  // namespace

namespace {

// A fresh in-memory database holding one item's table with tasks "A", "B", "C" at priorities
// 0, 1, 2. Failures are made on purpose with triggers that abort chosen statements.
class TaskListChangesTest : public ::testing::Test {
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

TEST_F(TaskListChangesTest, RemoveTaskRenumbersTheRest) {
    ASSERT_TRUE(RemoveTask(store_, IdOf("B")));
    EXPECT_EQ(StoredRows(), (RowList{"A:0", "C:1"}));
}

// Each change is one transaction: a step that fails part-way leaves every row as it was, and the
// records a move was given keep their places, so the list still agrees with the file.
TEST_F(TaskListChangesTest, AChangeWhoseStepFailsLeavesEveryRow) {
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

TEST_F(TaskListChangesTest, RemoveTasksDeletesAll) {
    // After a move the list's order (B, A, C) is not the order the rows were stored in.
    TaskRecord a = Loaded("A");
    TaskRecord b = Loaded("B");
    ASSERT_TRUE(ExchangePriorities(store_, a, b, 0));
    ASSERT_TRUE(RemoveTasks(store_, AllIds()));
    EXPECT_TRUE(StoredRows().empty());
    EXPECT_EQ(GetFolderStatus(store_, store_.table), FolderStatus::kNone);
}

TEST_F(TaskListChangesTest, RemoveTasksDeletesNothingWhenTheTableHoldsRowsNotShown) {
    const auto ids = AllIds();
    Add("D");  // another program added a task the list does not show
    EXPECT_FALSE(RemoveTasks(store_, ids));
    EXPECT_EQ(StoredRows(), (RowList{"A:0", "B:1", "C:2", "D:3"}));
    EXPECT_FALSE(RemoveTasks(store_, {ids[0], ids[1]}));  // and not a part of the list either
    EXPECT_EQ(StoredRows().size(), 4u);
}

TEST_F(TaskListChangesTest, ExchangeMovesBothRowsAndRecords) {
    TaskRecord upper = Loaded("A");
    TaskRecord lower = Loaded("B");
    ASSERT_TRUE(ExchangePriorities(store_, upper, lower, 0));
    EXPECT_EQ(upper.priority, 1);
    EXPECT_EQ(lower.priority, 0);
    EXPECT_EQ(StoredRows(), (RowList{"B:0", "A:1", "C:2"}));
}

TEST_F(TaskListChangesTest, ExchangeFindsTheRowsByKeyWhateverTitlesTheRecordsShow) {
    // "B" shows a new title whose save failed: the row is still "B", found by its key.
    TaskRecord upper = Loaded("A");
    TaskRecord lower = Loaded("B");
    lower.title = Base64Encode("B2");
    ASSERT_TRUE(ExchangePriorities(store_, upper, lower, 0));
    EXPECT_EQ(StoredRows(), (RowList{"B2:0", "A:1", "C:2"}));
}

TEST_F(TaskListChangesTest, ExchangeOfRowsWithGappedOrTiedPrioritiesRenumbersFirst) {
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

TEST_F(TaskListChangesTest, AFailedEditLeavesTheRowAndASecondSaveStillFindsIt) {
    TaskRecord edited = Loaded("B");
    edited.title = Base64Encode("B2");
    FailOn("UPDATE", "B");
    EXPECT_FALSE(UpdateTask(store_, edited));
    EXPECT_EQ(StoredRows(), (RowList{"A:0", "B:1", "C:2"}));
    Exec("DROP TRIGGER fail_UPDATE;");
    ASSERT_TRUE(UpdateTask(store_, edited));
    EXPECT_EQ(StoredRows(), (RowList{"A:0", "B2:1", "C:2"}));
}

// The date a change stamps is today's local date: on an added task, on Mark As Done (also of a
// task done already) and on an edit that changes the mark either way. An edit that keeps the
// mark keeps the date it had. "C" and "D" are done on 2024-01-01.
TEST_F(TaskListChangesTest, ChangesStampTodaysDateWhenTheMarkChanges) {
    Add("D");
    Exec("update " + store_.table + " set done=1 where title in ('" + Base64Encode("C") + "','" +
         Base64Encode("D") + "');");
    const LocalDateSpan today;
    const auto edited = [&](const std::string& name, uint32_t done, const std::string& title) {
        TaskRecord task = Loaded(name);
        task.done = done;
        task.title = Base64Encode(title);
        return EditListTask(store_, task);
    };
    const struct {
        const char* change;
        const char* row;  // the row's title afterwards
        std::function<TaskChange()> run;
        bool stamped;
    } cases[] = {
        {"edit keeping the mark", "A2", [&] { return edited("A", 0, "A2"); }, false},
        {"edit keeping a done mark", "D2", [&] { return edited("D", 1, "D2"); }, false},
        {"add", "E", [&] { return AddListTask(store_, Record("E", 0)); }, true},
        {"mark as done", "A2", [&] { return ItemList(store_).MarkDone(IdOf("A2")); }, true},
        {"mark as done again", "C", [&] { return ItemList(store_).MarkDone(IdOf("C")); }, true},
        {"edit marking done", "B", [&] { return edited("B", 1, "B"); }, true},
        {"edit clearing the mark", "D2", [&] { return edited("D2", 0, "D2"); }, true},
    };
    for (const auto& c : cases) {
        const TaskChange change = c.run();
        ASSERT_TRUE(change.task) << c.change;
        const TaskRecord stored = Loaded(c.row);
        EXPECT_EQ(stored.doneDate, change.task->doneDate) << c.change;
        if (c.stamped) {
            EXPECT_TRUE(today.Holds(stored.doneDate.value_or(""))) << c.change;
        } else {
            EXPECT_EQ(stored.doneDate, "2024-01-01") << c.change;
        }
    }
    EXPECT_EQ(Loaded("A2").done, 1u);
    EXPECT_EQ(Loaded("D2").done, 0u);
}

// Mark As Done writes the row as the file holds it, found by its key; a row another program
// removed is not found and nothing is written.
TEST_F(TaskListChangesTest, MarkAsDoneFindsTheRowByKey) {
    const int64_t b = IdOf("B");
    ASSERT_TRUE(RemoveTask(store_, b));
    const TaskChange gone = ItemList(store_).MarkDone(b);
    EXPECT_FALSE(gone.task);
    EXPECT_EQ(gone.failure, StoreFailure::kNotFound);
    EXPECT_EQ(StoredRows(), (RowList{"A:0", "C:1"}));
}

class UnreferencedTablesTest : public TaskListChangesTest {
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
