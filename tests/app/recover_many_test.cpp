// "Recover Tasks..." on folders a person does not expect: thousands of lists whose items are
// gone, the item's own folder reached under another name, and a list holding a text too long to
// be read. The window keeps answering, says what it found, and changes no file.
#include <sqlite3.h>

#include <cstdio>

#include "tests/app/recover_fixture.h"

namespace {

// `lists` task lists of one task each, named after no entry of any folder, written in one go.
void SeedUnclaimedLists(const std::wstring& dbPath, int lists) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(WideToUtf8(dbPath).c_str(), &db), SQLITE_OK);
    std::string sql = "BEGIN;";
    for (int i = 0; i < lists; ++i) {
        const std::string table = TableOf(L"gone " + std::to_wstring(i));
        const std::string day = std::to_string(10 + i % 19);
        sql += "CREATE TABLE " + table +
               " (title TEXT, description TEXT, done INTEGER, done_date TEXT, priority INTEGER);"
               "insert into " +
               table + " values('dGFzaw==','',0,'2024-01-" + day + "',0);";
    }
    sql += "COMMIT;";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

bool Answers(HWND window) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored) != 0;
}

}  // namespace

class RecoverManyTest : public RecoverTasksTest {};

TEST_F(RecoverManyTest, ThousandsOfListsElsewhereKeepTheWindowAnsweringAndClosable) {
    const std::wstring old = Parent() + L"Old";
    ASSERT_TRUE(CreateDirectoryW(old.c_str(), nullptr));
    SeedUnclaimedLists(old + L"\\pelmora.db", 5000);
    const std::string before = ReadFileBytes(old + L"\\pelmora.db");
    ASSERT_TRUE(Launch(L"Proj"));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(PickOtherFolder(old));
    // Both windows answer within a second all the way through, and the listing completes with
    // the latest of the lists on offer and the way to all of them named.
    bool answering = true;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const DWORD start = GetTickCount();
            answering = answering && Answers(dialog_) && Answers(main_);
            if (!answering) {
                std::printf("no answer after %lu ms: %s\n", GetTickCount() - start,
                            WideToUtf8(Intro()).c_str());
            }
            return Intro().find(L"pelmora-cli status") != std::wstring::npos;
        },
        60000))
        << WideToUtf8(Intro());
    EXPECT_TRUE(answering);
    EXPECT_EQ(Offered().size(), 500u);
    EXPECT_NE(Offered()[0].find(L"latest 2024-01-28"), std::wstring::npos);
    EXPECT_NE(Intro().find(L"of 5000 task lists"), std::wstring::npos) << WideToUtf8(Intro());

    // Read again, and closed in the middle: the dialog goes at once.
    ASSERT_TRUE(PickOtherFolder(old));
    EXPECT_TRUE(Answers(dialog_));
    SendTo(dialog_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitDialogGone());
    EXPECT_TRUE(Answers(main_));
    ASSERT_TRUE(CloseMain());
    EXPECT_TRUE(ReadFileBytes(old + L"\\pelmora.db") == before) << "the other database changed";
}

TEST_F(RecoverManyTest, TheItemsOwnFolderUnderItsShortNameIsThisFolder) {
    Seed(L"Renamed", {{"kept"}});
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(Parent().c_str(), shortPath, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const std::wstring shortName(shortPath);
    if (CompareStringOrdinal(shortName.c_str(), -1, Parent().c_str(), -1, TRUE) == CSTR_EQUAL) {
        GTEST_SKIP() << "this file system gives " << WideToUtf8(Parent()) << " no short name";
    }
    ASSERT_TRUE(Launch(L"Proj"));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(WaitUntil([&] { return Offered().size() == 1; }));
    ASSERT_TRUE(PickOtherFolder(shortName));
    const auto box = app_.WaitMessageBox(1500);
    EXPECT_FALSE(box) << "the same folder was taken for another one: " << WideToUtf8(box->text);
    EXPECT_EQ(Offered().size(), 1u);
    Recover(0);
    EXPECT_TRUE(
        ExpectBox(Ui(TextId::kCaptionSuccess), L"Recovered 1 task into the list of \"Proj\"."));
    ASSERT_TRUE(WaitDialogGone());
    EXPECT_EQ(StoredTitles(L"Proj"), (std::vector<std::string>{"kept"}));
    ASSERT_TRUE(CloseMain());
}

TEST_F(RecoverManyTest, AListWithATextOverTheLimitIsNamedWithItsSizeAndLeftAlone) {
    Seed(L"Big", {{"small"}});
    Seed(L"Proj", {});
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(WideToUtf8(DbPath()).c_str(), &db), SQLITE_OK);
    const std::string sql =
        "insert into " + TableOf(L"Big") + " values(hex(zeroblob(600000)),'',0,'2024-01-01',1);";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const std::string before = ReadFileBytes(DbPath());

    ASSERT_TRUE(StartRaw(L"\"" + DbPath() + L"\" \"Big\""));
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionError),
                          L"The task list of \"Big\" cannot be opened: one of its tasks holds a "
                          L"text of 1200000 bytes, and Pelmora reads texts of up to 1000000 "
                          L"bytes. The list was left as it is."));
    EXPECT_TRUE(app_.WaitExit().has_value());

    ASSERT_TRUE(Launch(L"Proj"));
    ASSERT_TRUE(OpenDialog()) << (app_.CurrentMessageBox()
                                      ? WideToUtf8(app_.CurrentMessageBox()->text)
                                      : std::string("no box"));
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionWarning),
                          L"1 task list here holds a text too long to be read (the longest is "
                          L"1200000 bytes; Pelmora reads texts of up to 1000000 bytes), so it "
                          L"cannot be offered. It was left as it is."));
    BringToFront(dialog_);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitDialogGone());
    ASSERT_TRUE(CloseMain());
    EXPECT_TRUE(ReadFileBytes(DbPath()) == before) << "the database changed";
}
