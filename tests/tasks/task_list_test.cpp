#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "store/folder_key.h"
#include "tasks/task_list.h"
#include "tests/store/item_store.h"
#include "tests/store/test_support.h"
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
    int place = 0;
    for (const TaskRecord& task : LoadTasks(other_).value()) EXPECT_EQ(task.priority, place++);
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
        if (change.task && !c.isEdit) EXPECT_EQ(change.task->priority, 2) << title;
    }
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Plan", "Report", "plan"}));
}

}  // namespace
