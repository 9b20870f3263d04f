// Commands that work on the whole database and the status file beside it: "Rebuild Icon
// Overlays", "Clear Unreferenced Data...", and the about box.
#include "tests/app/app_fixture.h"
#include "tests/app/ui_texts.h"

#include <algorithm>

namespace {

const wchar_t kRebuilt[] = L"Icon overlays successfully regenerated!";
const wchar_t kClearQuestion[] =
    L"This will remove unreferenced records from the database. Are you sure you want to continue?";
// Asked in addition when the tables to be dropped still hold tasks that are not done.
const wchar_t kOpenTasksQuestion[] =
    L"Clearing would destroy 1 task list that belongs to no item in this folder, with 1 task that "
    L"is not done.\n\nIf they belong to an item that was renamed or moved, answer No, open that "
    L"item's tasks and choose \"Recover Tasks...\" in the File menu.\n\nDestroy them anyway?";
const wchar_t kCleared[] = L"Unreferenced data successfully removed! Application will close now.";

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The number of "key=value" lines of a profile file.
int EntryLines(const std::string& bytes) {
    return static_cast<int>(std::count(bytes.begin(), bytes.end(), '='));
}

}  // namespace

class RebuildOverlaysTest : public PelmoraUiTest {};

TEST_F(RebuildOverlaysTest, WritesOneEntryPerSiblingTableAndDropsStaleOnes) {
    Seed(L"AllDone", {{"a", true}, {"b", true}});
    Seed(L"Half", {{"c", true}, {"d"}});
    Seed(L"NoTasks", {});
    const std::string stale = "0123456789abcdef0123456789abcdef";
    WriteFileBytes(StatusPath(), "[pelmora]\r\n" + stale + "=3\r\n" + KeyOf(L"AllDone") + "=1\r\n");

    ASSERT_TRUE(Launch(L"AllDone"));
    EXPECT_TRUE(CommandAndAnswer(kCmdRebuildOverlays, {{Ui(TextId::kCaptionSuccess), kRebuilt}}));
    EXPECT_EQ(3, StatusEntry(L"AllDone"));
    EXPECT_EQ(2, StatusEntry(L"Half"));
    EXPECT_EQ(0, StatusEntry(L"NoTasks"));
    EXPECT_EQ(-1, static_cast<int>(GetPrivateProfileIntW(L"pelmora", Utf8ToWideText(stale).c_str(),
                                                         -1, StatusPath().c_str())))
        << "the entry of a table that is gone survived the rebuild";
    const std::string rebuilt = ReadFileBytes(StatusPath());
    EXPECT_EQ(3, EntryLines(rebuilt));

    // Nothing in this run changed a task: the exit leaves the rebuilt file as it is.
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(rebuilt, ReadFileBytes(StatusPath()));
}

// An entry a writer could not update (the database was busy beyond the wait) is written again by
// the next run of the item, even one that changes nothing; a folder without a status file still
// gets none from a run that changes nothing.
TEST_F(RebuildOverlaysTest, AStaleEntryIsWrittenAgainWhenTheItemsProgramCloses) {
    Seed(L"Half", {{"c", true}, {"d"}});
    ASSERT_TRUE(Launch(L"Half"));
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(StatusPath().c_str()));

    const std::string other = "0123456789abcdef0123456789abcdef";
    WriteFileBytes(StatusPath(), "[pelmora]\r\n" + other + "=3\r\n" + KeyOf(L"Half") + "=1\r\n");
    ASSERT_TRUE(Launch(L"Half"));
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(2, StatusEntry(L"Half"));
    EXPECT_EQ(3, static_cast<int>(GetPrivateProfileIntW(L"pelmora", Utf8ToWideText(other).c_str(),
                                                        -1, StatusPath().c_str())));
}

// A rebuild that cannot write the status file says so, and why, instead of claiming success.
TEST_F(RebuildOverlaysTest, AStatusFileThatCannotBeWrittenIsToldNotClaimed) {
    Seed(L"Half", {{"c", true}, {"d"}});
    ASSERT_TRUE(CreateDirectoryW(StatusPath().c_str(), nullptr));
    ASSERT_TRUE(Launch(L"Half"));
    EXPECT_TRUE(CommandAndAnswer(
        kCmdRebuildOverlays, {{Ui(TextId::kCaptionError),
                               L"Cannot write pelmora.ini!\n\nA folder has its name.\n\nThe icon "
                               L"overlays were not regenerated."}}));
    ASSERT_TRUE(CloseMain());
    EXPECT_TRUE(RemoveDirectoryW(StatusPath().c_str()));
}

class ClearUnreferencedTest : public PelmoraUiTest {
protected:
    void SetUp() override {
        PelmoraUiTest::SetUp();
        if (IsSkipped()) return;
        // "Old" was renamed to "Renamed" after it had tasks; "Idle" exists but has none; a file
        // can have tasks as well as a folder.
        for (const wchar_t* folder : {L"Kept", L"Idle", L"Renamed"})
            ASSERT_TRUE(CreateDirectoryW((Parent() + folder).c_str(), nullptr));
        WriteFileBytes(Parent() + L"notes.txt", "notes");
        Seed(L"Kept", {{"stays"}});
        Seed(L"Idle", {});
        Seed(L"Old", {{"orphan"}});
        Seed(L"notes.txt", {{"file task"}});
    }
};

TEST_F(ClearUnreferencedTest, YesDropsRenamedAndEmptyTablesThenCloses) {
    ASSERT_TRUE(Launch(L"Kept"));
    EXPECT_TRUE(CommandAndAnswer(kCmdClearUnreferenced,
                                 {{Ui(TextId::kCaptionConfirm), kClearQuestion, IDYES},
                                  {Ui(TextId::kCaptionConfirm), kOpenTasksQuestion, IDYES},
                                  {Ui(TextId::kCaptionSuccess), kCleared}}));
    const auto code = app_.WaitExit();
    ASSERT_TRUE(code.has_value()) << "the program stayed open after clearing";
    EXPECT_EQ(0u, *code);

    const auto tables = Tables();
    EXPECT_TRUE(Contains(tables, TableOf(L"Kept")));
    EXPECT_TRUE(Contains(tables, TableOf(L"notes.txt")));
    EXPECT_FALSE(Contains(tables, TableOf(L"Old"))) << "the renamed folder's table stayed";
    EXPECT_FALSE(Contains(tables, TableOf(L"Idle"))) << "an empty table stayed";
    EXPECT_EQ((std::vector<std::string>{"stays"}), StoredTitles(L"Kept"));
    EXPECT_FALSE(FileExists(StatusPath())) << "clearing must not write the status file";
}

TEST_F(ClearUnreferencedTest, NoChangesNothingAndKeepsTheWindow) {
    ASSERT_TRUE(Launch(L"Kept"));
    const auto before = Tables();
    EXPECT_TRUE(CommandAndAnswer(kCmdClearUnreferenced,
                                 {{Ui(TextId::kCaptionConfirm), kClearQuestion, IDNO}}));
    EXPECT_TRUE(ExpectNothingShown());
    EXPECT_TRUE(app_.Running());
    EXPECT_EQ(before, Tables());
    ASSERT_TRUE(CloseMain());
}

TEST_F(ClearUnreferencedTest, CurrentFolderWithoutTasksIsDroppedToo) {
    ASSERT_TRUE(Launch(L"Idle"));
    EXPECT_TRUE(CommandAndAnswer(kCmdClearUnreferenced,
                                 {{Ui(TextId::kCaptionConfirm), kClearQuestion, IDYES},
                                  {Ui(TextId::kCaptionConfirm), kOpenTasksQuestion, IDYES},
                                  {Ui(TextId::kCaptionSuccess), kCleared}}));
    ASSERT_TRUE(app_.WaitExit().has_value());
    EXPECT_FALSE(Contains(Tables(), TableOf(L"Idle")));
    EXPECT_TRUE(Contains(Tables(), TableOf(L"Kept")));
}

class AboutBoxTest : public PelmoraUiTest {};

TEST_F(AboutBoxTest, ShowsThePictureAtItsSizeAndClosesOnAClick) {
    ASSERT_TRUE(Launch(L"Proj"));
    Command(kCmdAbout);
    HWND about = app_.WaitWindow([&](HWND window) { return window != main_; });
    ASSERT_TRUE(about) << "no about box";
    EXPECT_FALSE(IsMessageBox(about));
    EXPECT_EQ(L"", WindowText(about));
    // A picture drawn for the display rather than a stretched one: 100%, 150% or 200%.
    const int scale = TestDpi() >= 168 ? 200 : TestDpi() >= 120 ? 150 : 100;
    const SIZE size = OuterSize(about);
    EXPECT_EQ(MulDiv(245, scale, 100), size.cx);
    EXPECT_EQ(MulDiv(189, scale, 100), size.cy);
    BringToFront(about);
    ClickAt(CentreOf(about));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); })) << "a click did not close the box";
    EXPECT_TRUE(app_.Running());
    ASSERT_TRUE(CloseMain());
}
