// Starting the program: its command line, the database it opens or creates, and the messages for
// a database it cannot use.
#include "tests/app/app_fixture.h"

#include <algorithm>

#include "sqlite3.h"

#include "tests/app/ui_texts.h"

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

class StartupTest : public PelmoraUiTest {
protected:
    // Waits for the program to end on its own, failing if it ever shows a window meanwhile.
    void ExpectSilentExit() {
        bool showedWindow = false;
        const bool ended = WaitUntil([&] {
            if (!app_.VisibleWindows().empty()) showedWindow = true;
            return !app_.Running();
        });
        ASSERT_TRUE(ended) << "the program is still running";
        EXPECT_FALSE(showedWindow) << "the program showed a window";
        EXPECT_EQ(0u, app_.WaitExit(0).value_or(99));
    }

    // Waits for the box, answers it and expects the program to end with code 0 and no window.
    void ExpectBoxThenExit(const std::wstring& caption, const std::wstring& text) {
        EXPECT_TRUE(ExpectBox(caption, text));
        const auto code = app_.WaitExit();
        ASSERT_TRUE(code.has_value()) << "the program kept running after the message";
        EXPECT_EQ(0u, *code);
    }
};

TEST_F(StartupTest, AnyArgumentCountButTwoEndsSilentlyWithCodeZero) {
    const std::wstring db = L"\"" + DbPath() + L"\"";
    for (const std::wstring& arguments : {std::wstring(), db, db + L" \"Proj\" \"Extra\""}) {
        SCOPED_TRACE(WideToUtf8(L"arguments: " + arguments));
        ASSERT_TRUE(StartRaw(arguments));
        ExpectSilentExit();
        EXPECT_FALSE(FileExists(DbPath())) << "a database was created";
    }
}

TEST_F(StartupTest, NewDatabaseGetsTheFolderTableAndAnEmptyList) {
    ASSERT_TRUE(Launch(L"Proj"));
    EXPECT_EQ(L" Pelmora - Proj", WindowText(main_));
    EXPECT_EQ(0, ListCount(list_));
    EXPECT_TRUE(Contains(Tables(), TableOf(L"Proj")));
    ASSERT_TRUE(CloseMain());
    EXPECT_FALSE(FileExists(StatusPath())) << "a run without changes wrote the status file";
}

TEST_F(StartupTest, StoredTasksAppearInPriorityOrderWithNothingSelected) {
    Seed(L"Proj", {{"first"}, {"second", true}, {"third"}});
    Seed(L"Other", {{"not mine"}});
    ASSERT_TRUE(Launch(L"Proj"));
    EXPECT_EQ((std::vector<std::wstring>{L"first", L"second", L"third"}), Shown());
    EXPECT_EQ(LB_ERR, ListSelection(list_));
    EXPECT_EQ(Px(45), SendTo(list_, LB_GETITEMHEIGHT, 0));
    ASSERT_TRUE(CloseMain());
}

TEST_F(StartupTest, NamesWithSpacesAmpersandAndOtherScriptsKeepTheirOwnTable) {
    const std::wstring name = L"R\u00e9union & Co \u6570\u636e";
    Seed(name, {{"\xc3\xa9t\xc3\xa9 & hiver"}});
    Seed(L"r\u00e9union & co \u6570\u636e", {{"other case, other table"}});
    ASSERT_TRUE(Launch(name));
    EXPECT_EQ(L" Pelmora - " + name, WindowText(main_));
    EXPECT_EQ((std::vector<std::wstring>{L"\u00e9t\u00e9 & hiver"}), Shown());
    ASSERT_TRUE(CloseMain());
}

TEST_F(StartupTest, ReadOnlyDatabaseIsAnnouncedThenShown) {
    Seed(L"Proj", {{"kept"}});
    ASSERT_TRUE(SetFileAttributesW(DbPath().c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(StartRaw(L"\"" + DbPath() + L"\" \"Proj\""));
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionReadOnly), Ui(TextId::kReadOnlyNotice)));
    ASSERT_TRUE(WaitMainWindow());
    EXPECT_EQ((std::vector<std::wstring>{L"kept"}), Shown());
    ASSERT_TRUE(CloseMain());
    SetFileAttributesW(DbPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ((std::vector<std::string>{"kept"}), StoredTitles(L"Proj"));
}

TEST_F(StartupTest, DamagedDatabaseIsReportedAndLeftAlone) {
    std::string junk;
    for (int i = 0; i < 64; ++i) junk += "this is not a database file. ";
    WriteFileBytes(DbPath(), junk);
    ASSERT_TRUE(StartRaw(L"\"" + DbPath() + L"\" \"Proj\""));
    ExpectBoxThenExit(Ui(TextId::kCaptionError), Ui(TextId::kCannotModify));
    EXPECT_EQ(junk, ReadFileBytes(DbPath()));
    EXPECT_FALSE(FileExists(StatusPath()));
}

TEST_F(StartupTest, AFailedWriteIsNamedByItsCauseAndOnlyADamagedFileIsCalledSo) {
    Seed(L"Proj", {{"first"}, {"second"}});
    const std::string before = ReadFileBytes(DbPath());
    const std::wstring proj = L"\"" + DbPath() + L"\" \"Proj\"";
    const std::wstring fresh = L"\"" + DbPath() + L"\" \"New\"";
    // A write that fails for another cause (as on a full disk): a folder where the journal goes.
    const std::wstring journal = DbPath() + L"-journal";
    ASSERT_TRUE(CreateDirectoryW(journal.c_str(), nullptr));
    ASSERT_TRUE(StartRaw(fresh));
    ExpectBoxThenExit(Ui(TextId::kCaptionError), Ui(TextId::kDatabaseNotWritten));
    ASSERT_TRUE(RemoveDirectoryW(journal.c_str()));
    EXPECT_TRUE(before == ReadFileBytes(DbPath())) << "the file changed";

    // Cut inside its last page, as by an interrupted copy: damaged, and left as it is.
    const std::string cut = before.substr(0, before.size() - 1000);
    WriteFileBytes(DbPath(), cut);
    ASSERT_TRUE(StartRaw(proj));
    ExpectBoxThenExit(Ui(TextId::kCaptionError), Ui(TextId::kCannotModify));
    EXPECT_TRUE(cut == ReadFileBytes(DbPath())) << "the file changed";
    EXPECT_FALSE(FileExists(StatusPath()));
}

TEST_F(StartupTest, DatabaseInAMissingFolderCannotBeOpened) {
    const std::wstring missing = Parent() + L"gone\\pelmora.db";
    ASSERT_TRUE(StartRaw(L"\"" + missing + L"\" \"Proj\""));
    ExpectBoxThenExit(Ui(TextId::kCaptionError), Ui(TextId::kCannotOpen));
    EXPECT_FALSE(FileExists(missing));
}

TEST_F(StartupTest, DatabaseLockedByAnotherProcessIsReportedAndNothingIsLost) {
    Seed(L"Proj", {{"precious"}});
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(WideToUtf8(DbPath()).c_str(), &db));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr));
    ASSERT_TRUE(StartRaw(L"\"" + DbPath() + L"\" \"Proj\""));
    ExpectBoxThenExit(Ui(TextId::kCaptionError), Ui(TextId::kTaskListInUse));
    sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ((std::vector<std::string>{"precious"}), StoredTitles(L"Proj"));
}

TEST_F(StartupTest, BareDatabaseNameWithoutFolderStillRuns) {
    // The context menu always passes a full path; a bare name must not take the program down.
    ASSERT_TRUE(StartRaw(L"\"pelmora.db\" \"Proj\""));
    ASSERT_TRUE(WaitMainWindow());
    ASSERT_TRUE(AddTask(L"bare"));
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ((std::vector<std::string>{"bare"}), StoredTitles(L"Proj"));
}
