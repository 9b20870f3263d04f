// The main window's task commands as a person issues them: keys, clicks, the right-click menu and
// the menu bar; checked on the screen and in the database.
#include "tests/app/app_fixture.h"

#include "tests/app/ui_texts.h"
#include "tests/support/local_date.h"

namespace {

std::vector<int> Priorities(const std::vector<StoredTask>& tasks) {
    std::vector<int> priorities;
    for (const StoredTask& task : tasks) priorities.push_back(task.priority);
    return priorities;
}

bool IsPopupMenu(HWND window) {
    return ClassOf(window) == L"#32768";
}

}  // namespace

class TaskCommandsTest : public PelmoraUiTest {
protected:
    void SetUp() override {
        PelmoraUiTest::SetUp();
        if (IsSkipped()) return;
        Seed(L"Proj", {{"one"}, {"two", true, "2019-05-06"}, {"three"}});
        ASSERT_TRUE(Launch(L"Proj"));
    }

    // Waits until the database's titles are `titles`, in this order.
    bool WaitStored(const std::vector<std::string>& titles) {
        return WaitUntil([&] { return StoredTitles(L"Proj") == titles; });
    }

    // The stored task at `index`, or an empty one when the table has fewer rows.
    StoredTask StoredAt(size_t index) {
        const auto tasks = Stored(L"Proj");
        return index < tasks.size() ? tasks[index] : StoredTask{};
    }

    HWND RightClickEntry(int index) {
        BringToFront(main_);
        ClickAt(ListEntryCentre(list_, index), true);
        return app_.WaitWindow(IsPopupMenu);
    }
};

TEST_F(TaskCommandsTest, MarkAsDoneFromTheMenuStoresTodayAndRewritesTheStatus) {
    // A task that was done already (on 2019-05-06) gets today's date.
    const LocalDateSpan today;
    ASSERT_TRUE(SelectEntry(1));
    Command(kCmdMarkDone);
    ASSERT_TRUE(WaitUntil([&] { return StoredAt(1).doneDate != "2019-05-06"; }));
    EXPECT_TRUE(today.Holds(StoredAt(1).doneDate));
    EXPECT_TRUE(StoredAt(1).done);

    ASSERT_TRUE(SelectEntry(0));
    Command(kCmdMarkDone);
    ASSERT_TRUE(WaitUntil([&] { return StoredAt(0).done; }));
    EXPECT_TRUE(today.Holds(StoredAt(0).doneDate));
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(2, StatusEntry(L"Proj")) << "two of three done is at least half";
}

TEST_F(TaskCommandsTest, RightClickMenuMarksTheEntryUnderTheMouse) {
    HWND menu = RightClickEntry(2);
    ASSERT_TRUE(menu) << "no menu after a right click on an entry";
    EXPECT_EQ(2, ListSelection(list_));
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return StoredAt(2).done; }));
    EXPECT_FALSE(StoredAt(0).done);
}

TEST_F(TaskCommandsTest, DismissedRightClickMenuKeepsTheSelectionAndChangesNothing) {
    HWND menu = RightClickEntry(0);
    ASSERT_TRUE(menu);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
    EXPECT_EQ(0, ListSelection(list_));
    EXPECT_FALSE(StoredAt(0).done);
}

TEST_F(TaskCommandsTest, RightClickBelowTheEntriesShowsNoMenu) {
    BringToFront(main_);
    POINT below = ListEntryCentre(list_, 3);
    below.y += 20;
    ClickAt(below, true);
    EXPECT_FALSE(app_.WaitWindow(IsPopupMenu, 600)) << "a menu opened below the last entry";
    EXPECT_EQ(LB_ERR, ListSelection(list_));
}

TEST_F(TaskCommandsTest, DeleteWithYesRemovesAndRenumbers) {
    ASSERT_TRUE(SelectEntry(1));
    PressInMain(VK_DELETE);
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionConfirm), Ui(TextId::kConfirmRemoveTask), IDYES));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list_) == 2; }));
    EXPECT_EQ((std::vector<std::wstring>{L"one", L"three"}), Shown());
    // The keyboard stays in the list, on the task that took the removed one's place.
    EXPECT_EQ(1, ListSelection(list_));
    const auto stored = Stored(L"Proj");
    ASSERT_EQ(2u, stored.size());
    EXPECT_EQ((std::vector<int>{0, 1}), Priorities(stored));
    // The remaining records carry the new priorities too: moving the last one up swaps 0 and 1.
    ASSERT_TRUE(SelectEntry(1));
    PressInMain(VK_UP, {VK_SHIFT});
    ASSERT_TRUE(WaitStored({"three", "one"}));
    EXPECT_EQ((std::vector<int>{0, 1}), Priorities(Stored(L"Proj")));
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(1, StatusEntry(L"Proj"));
}

TEST_F(TaskCommandsTest, NoToEitherRemovalKeepsEverythingAndWritesNoStatus) {
    ASSERT_TRUE(SelectEntry(0));
    PressInMain(VK_DELETE);
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionConfirm), Ui(TextId::kConfirmRemoveTask), IDNO));
    EXPECT_EQ(3, ListCount(list_));
    EXPECT_EQ(3u, Stored(L"Proj").size());
    EXPECT_TRUE(CommandAndAnswer(
        kCmdRemoveAll, {{Ui(TextId::kCaptionConfirm), Ui(TextId::kConfirmRemoveAll), IDNO}}));
    EXPECT_EQ(3, ListCount(list_));
    EXPECT_EQ(3u, Stored(L"Proj").size());
    ASSERT_TRUE(CloseMain());
    EXPECT_FALSE(FileExists(StatusPath()));
}

TEST_F(TaskCommandsTest, RemoveAllWithYesEmptiesListAndTableAndWritesZero) {
    EXPECT_TRUE(CommandAndAnswer(
        kCmdRemoveAll, {{Ui(TextId::kCaptionConfirm), Ui(TextId::kConfirmRemoveAll), IDYES}}));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list_) == 0; }));
    EXPECT_TRUE(Stored(L"Proj").empty());
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(0, StatusEntry(L"Proj"));
}

TEST_F(TaskCommandsTest, ShiftArrowsMoveTheTaskAndPlainArrowsOnlySelect) {
    ASSERT_TRUE(SelectEntry(2));
    PressInMain(VK_UP, {VK_SHIFT});
    ASSERT_TRUE(WaitStored({"one", "three", "two"}));
    EXPECT_EQ((std::vector<std::wstring>{L"one", L"three", L"two"}), Shown());
    EXPECT_EQ(1, ListSelection(list_));
    EXPECT_EQ((std::vector<int>{0, 1, 2}), Priorities(Stored(L"Proj")));

    PressInMain(VK_UP);
    ASSERT_TRUE(WaitUntil([&] { return ListSelection(list_) == 0; }));
    EXPECT_EQ((std::vector<std::string>{"one", "three", "two"}), StoredTitles(L"Proj"));

    PressInMain(VK_DOWN, {VK_SHIFT});
    ASSERT_TRUE(WaitStored({"three", "one", "two"}));
    EXPECT_EQ(1, ListSelection(list_));
    EXPECT_EQ((std::vector<std::wstring>{L"three", L"one", L"two"}), Shown());

    // Past either end nothing moves; a move after them shows that they were taken and ignored.
    ASSERT_TRUE(SelectEntry(0));
    PressInMain(VK_UP, {VK_SHIFT});
    ASSERT_TRUE(SelectEntry(2));
    PressInMain(VK_DOWN, {VK_SHIFT});
    PressInMain(VK_UP, {VK_SHIFT});
    ASSERT_TRUE(WaitStored({"three", "two", "one"}));
    EXPECT_EQ((std::vector<std::wstring>{L"three", L"two", L"one"}), Shown());
}

TEST_F(TaskCommandsTest, MovedOrderSurvivesARestartAndLeavesTheStatusFileAlone) {
    const std::string statusBefore = "[pelmora]\r\n" + KeyOf(L"Proj") + "=3\r\n";
    WriteFileBytes(StatusPath(), statusBefore);
    ASSERT_TRUE(SelectEntry(0));
    PressInMain(VK_DOWN, {VK_SHIFT});
    ASSERT_TRUE(WaitStored({"two", "one", "three"}));
    Command(kCmdDecreasePriority);
    ASSERT_TRUE(WaitStored({"two", "three", "one"}));
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(statusBefore, ReadFileBytes(StatusPath()))
        << "a run that only moved tasks wrote status";

    ASSERT_TRUE(Launch(L"Proj"));
    EXPECT_EQ((std::vector<std::wstring>{L"two", L"three", L"one"}), Shown());
}

TEST_F(TaskCommandsTest, WithoutSelectionKeysAndCommandsDoNothing) {
    PressInMain(VK_DELETE);
    PressInMain(VK_RETURN);
    PressInMain(VK_UP, {VK_SHIFT});
    PressInMain(VK_DOWN, {VK_SHIFT});
    Command(kCmdMarkDone);
    Command(kCmdEditSelected);
    Command(kCmdRemoveSelected);
    EXPECT_TRUE(ExpectNothingShown());
    EXPECT_EQ((std::vector<std::wstring>{L"one", L"two", L"three"}), Shown());
    const auto stored = Stored(L"Proj");
    ASSERT_EQ(3u, stored.size());
    EXPECT_FALSE(stored[0].done);
    ASSERT_TRUE(CloseMain());
    EXPECT_FALSE(FileExists(StatusPath()));
}

class EmptyListTest : public PelmoraUiTest {
protected:
    void SetUp() override {
        PelmoraUiTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(Launch(L"Empty"));
    }
};

TEST_F(EmptyListTest, RemoveAllAsksNothingAndRightClickShowsNoMenu) {
    Command(kCmdRemoveAll);
    BringToFront(main_);
    ClickAt(ListEntryCentre(list_, 0), true);
    EXPECT_TRUE(ExpectNothingShown());
    ASSERT_TRUE(CloseMain());
    EXPECT_FALSE(FileExists(StatusPath()));
}

TEST_F(EmptyListTest, InsertWithModifiersStillOpensTheEditor) {
    PressInMain(VK_INSERT, {VK_CONTROL});
    ASSERT_TRUE(WaitEditor()) << "Ctrl+Insert did not open the editor";
    PressInEditor(VK_ESCAPE);
    ASSERT_TRUE(WaitEditorGone());
    PressInMain(VK_INSERT, {VK_SHIFT});
    ASSERT_TRUE(WaitEditor()) << "Shift+Insert did not open the editor";
    PressInEditor(VK_ESCAPE);
    ASSERT_TRUE(WaitEditorGone());
}

TEST_F(EmptyListTest, AddedTasksAreWrittenAndTheStatusAtExit) {
    ASSERT_TRUE(AddTask(L"first"));
    ASSERT_TRUE(AddTask(L"second", L"", true));
    EXPECT_EQ((std::vector<std::wstring>{L"first", L"second"}), Shown());
    EXPECT_EQ((std::vector<int>{0, 1}), Priorities(Stored(L"Empty")));
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(2, StatusEntry(L"Empty")) << "one of two done is exactly half";
}
