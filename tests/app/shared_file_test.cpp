// One task file shared with other programs: two Pelmora windows on two items of one folder,
// another program holding the file, and a program killed in the middle of a removal. Each case
// checks every row and the status entries afterwards.
#include <sqlite3.h>

#include "store/sqlite/task_table.h"
#include "tests/app/app_fixture.h"
#include "tests/app/ui_texts.h"
#include "tests/store/item_store.h"

namespace {

// A plain connection to the file, as another program would hold it.
class OtherProgram {
public:
    explicit OtherProgram(const std::wstring& path) {
        sqlite3* raw = nullptr;
        EXPECT_EQ(sqlite3_open(WideToUtf8(path).c_str(), &raw), SQLITE_OK);
        db_.reset(raw);
    }
    int Run(const std::string& sql) {
        return sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr);
    }
    std::string One(const std::string& sql) {
        std::string value;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(statement, 0);
            value = text ? reinterpret_cast<const char*>(text) : "NULL";
        }
        sqlite3_finalize(statement);
        return value;
    }

private:
    UniqueSqlite db_;
};

std::vector<std::string> Rows(const std::vector<StoredTask>& tasks) {
    std::vector<std::string> rows;
    for (const StoredTask& task : tasks) {
        rows.push_back(task.title + (task.done ? "+" : "-") + std::to_string(task.priority));
    }
    return rows;
}

class SharedFileTest : public PelmoraUiTest {
protected:
    // A second program on another item of the same folder, driven by commands and list
    // messages (the first one gets the keyboard and the mouse).
    bool LaunchSecond(const std::wstring& folder) {
        if (!second_.Start(ProgramPath(), L"\"" + DbPath() + L"\" \"" + folder + L"\"", Parent()))
            return false;
        secondMain_ = second_.WaitWindow([](HWND window) {
            return ClassOf(window) == L"#32770" && GetDlgItem(window, kTaskListId) != nullptr;
        });
        secondList_ = secondMain_ ? GetDlgItem(secondMain_, kTaskListId) : nullptr;
        return secondMain_ != nullptr;
    }

    void SecondCommand(int id, int select) {
        SendTo(secondList_, LB_SETCURSEL, static_cast<WPARAM>(select));
        PostMessageW(secondMain_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }

    void FirstCommand(int id, int select) {
        SendTo(list_, LB_SETCURSEL, static_cast<WPARAM>(select));
        Command(id);
    }

    bool AnswerSecond(const std::wstring& text, int answer) {
        const auto box = second_.WaitMessageBox();
        if (!box || box->text != text) {
            ADD_FAILURE() << "second program: "
                          << (box ? WideToUtf8(box->text) : std::string("no message box"));
            return false;
        }
        return AnswerMessageBox(*box, answer);
    }

    bool WaitRows(const std::wstring& folder, const std::vector<std::string>& rows) {
        const bool reached = WaitUntil([&] { return Rows(Stored(folder)) == rows; });
        if (!reached) {
            std::string seen;
            for (const auto& row : Rows(Stored(folder))) seen += row + " ";
            ADD_FAILURE() << WideToUtf8(folder) << " holds " << seen;
        }
        return reached;
    }

    void TearDown() override {
        second_.Kill();
        PelmoraUiTest::TearDown();
    }

    AppProcess second_;
    HWND secondMain_ = nullptr;
    HWND secondList_ = nullptr;
};

TEST_F(SharedFileTest, TwoProgramsOnTwoItemsInterleaveTheirEditsAndCloseTogether) {
    Seed(L"Proj", {{"p0"}, {"p1"}, {"p2"}, {"p3"}});
    Seed(L"Docs", {{"d0"}, {"d1"}, {"d2"}});
    ASSERT_TRUE(Launch(L"Proj"));
    ASSERT_TRUE(LaunchSecond(L"Docs"));

    FirstCommand(kCmdMarkDone, 1);
    ASSERT_TRUE(WaitRows(L"Proj", {"p0-0", "p1+1", "p2-2", "p3-3"}));
    SecondCommand(kCmdMarkDone, 0);
    ASSERT_TRUE(WaitRows(L"Docs", {"d0+0", "d1-1", "d2-2"}));
    FirstCommand(kCmdRemoveSelected, 0);
    ASSERT_TRUE(ExpectBox(Ui(TextId::kCaptionConfirm), Ui(TextId::kConfirmRemoveTask), IDYES));
    SecondCommand(kCmdDecreasePriority, 0);
    ASSERT_TRUE(WaitRows(L"Proj", {"p1+0", "p2-1", "p3-2"}));
    ASSERT_TRUE(WaitRows(L"Docs", {"d1-0", "d0+1", "d2-2"}));
    ASSERT_TRUE(AddTask(L"p4"));
    SecondCommand(kCmdRemoveSelected, 2);
    ASSERT_TRUE(AnswerSecond(Ui(TextId::kConfirmRemoveTask), IDYES));
    FirstCommand(kCmdIncreasePriority, 2);
    ASSERT_TRUE(WaitRows(L"Proj", {"p1+0", "p3-1", "p2-2", "p4-3"}));
    ASSERT_TRUE(WaitRows(L"Docs", {"d1-0", "d0+1"}));
    SecondCommand(kCmdMarkDone, 0);
    ASSERT_TRUE(WaitRows(L"Docs", {"d1+0", "d0+1"}));

    // Both close at once; each writes its own entry into the one status file.
    PostMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(secondMain_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(app_.WaitExit(), std::optional<DWORD>(0));
    EXPECT_EQ(second_.WaitExit(), std::optional<DWORD>(0));
    EXPECT_EQ(Rows(Stored(L"Proj")), (std::vector<std::string>{"p1+0", "p3-1", "p2-2", "p4-3"}));
    EXPECT_EQ(Rows(Stored(L"Docs")), (std::vector<std::string>{"d1+0", "d0+1"}));
    EXPECT_EQ(StatusEntry(L"Proj"), 1);
    EXPECT_EQ(StatusEntry(L"Docs"), 3);
}

// Two windows on one item save one title at the same moment, round after round: it is stored
// once and the other window shows "Title already exists!"; no other row changes.
TEST_F(SharedFileTest, TwoWindowsAddingOneTitleAtOnceStoreItOnce) {
    ASSERT_TRUE(Launch(L"Proj"));
    ASSERT_TRUE(LaunchSecond(L"Proj"));
    constexpr int kRounds = 20;
    std::vector<std::string> rows;
    for (int round = 0; round < kRounds; ++round) {
        const std::wstring title = L"Round " + std::to_wstring(round);
        const HWND first = OpenEditorWithTitle(app_, main_, title);
        const HWND second = OpenEditorWithTitle(second_, secondMain_, title);
        ASSERT_TRUE(first && second) << "round " << round;
        // Each window sets off its save first in every other round.
        PostSave(round % 2 ? second : first);
        PostSave(round % 2 ? first : second);
        const SaveOutcome a = AwaitSave(app_, first);
        const SaveOutcome b = AwaitSave(second_, second);
        EXPECT_TRUE((a == SaveOutcome::kAdded && b == SaveOutcome::kRefusedAsTaken) ||
                    (a == SaveOutcome::kRefusedAsTaken && b == SaveOutcome::kAdded))
            << "round " << round << ": " << static_cast<int>(a) << " " << static_cast<int>(b);
        rows.push_back(WideToUtf8(title) + "-" + std::to_string(round));
        ASSERT_EQ(Rows(Stored(L"Proj")), rows);
    }
    ASSERT_TRUE(CloseMain());
}

TEST_F(SharedFileTest, AWriteWhileAnotherProgramHoldsTheFileIsToldAsInUseAndNotShown) {
    Seed(L"Proj", {{"one"}, {"two"}});
    ASSERT_TRUE(Launch(L"Proj"));
    OtherProgram other(DbPath());
    ASSERT_EQ(other.Run("BEGIN IMMEDIATE;"), SQLITE_OK);
    // The other program adds a task while it holds the lock, and commits it only after the
    // failure was reported: the list read after the failure shows it.
    ASSERT_EQ(other.Run("insert into " + TableOf(L"Proj") + " values('" +
                        std::string("ZnJvbSBlbHNld2hlcmU=") + "','',0,'2020-01-02',2);"),
              SQLITE_OK);
    FirstCommand(kCmdMarkDone, 0);
    const auto box = app_.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, Ui(TextId::kCaptionError));
    EXPECT_EQ(box->text, Ui(TextId::kDatabaseInUse));
    ASSERT_EQ(other.Run("COMMIT;"), SQLITE_OK);
    ASSERT_TRUE(AnswerMessageBox(*box, IDOK));
    EXPECT_TRUE(WaitUntil([&] {
        return Shown() == std::vector<std::wstring>{L"one", L"two", L"from elsewhere"};
    }));
    EXPECT_EQ(Rows(Stored(L"Proj")),
              (std::vector<std::string>{"one-0", "two-1", "from elsewhere-2"}));
    // Once the file is free the same command works.
    FirstCommand(kCmdMarkDone, 0);
    EXPECT_TRUE(WaitRows(L"Proj", {"one+0", "two-1", "from elsewhere-2"}));
    EXPECT_TRUE(CloseMain());
    EXPECT_EQ(StatusEntry(L"Proj"), 1);
}

// The rebuild writes the status file under the database's write lock: while another program
// holds it the rebuild is told as in use (not as an unreadable database) and the file stays.
TEST_F(SharedFileTest, ARebuildWhileAnotherProgramHoldsTheFileIsToldAsInUse) {
    Seed(L"Proj", {{"one", true}});
    const std::string before = "[pelmora]\r\n" + KeyOf(L"Proj") + "=1\r\n";
    WriteFileBytes(StatusPath(), before);
    ASSERT_TRUE(Launch(L"Proj"));
    OtherProgram other(DbPath());
    ASSERT_EQ(other.Run("BEGIN IMMEDIATE;"), SQLITE_OK);
    Command(kCmdRebuildOverlays);
    const auto box = app_.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, Ui(TextId::kCaptionError));
    EXPECT_EQ(box->text, Ui(TextId::kDatabaseInUse));
    EXPECT_EQ(ReadFileBytes(StatusPath()), before);
    ASSERT_EQ(other.Run("COMMIT;"), SQLITE_OK);
    ASSERT_TRUE(AnswerMessageBox(*box, IDOK));
    EXPECT_TRUE(CommandAndAnswer(
        kCmdRebuildOverlays,
        {{Ui(TextId::kCaptionSuccess), L"Icon overlays successfully regenerated!"}}));
    EXPECT_EQ(StatusEntry(L"Proj"), 3);
    EXPECT_TRUE(CloseMain());
}

TEST_F(SharedFileTest, AFileHeldAtStartIsToldAsInUseNotAsDamaged) {
    Seed(L"Proj", {{"kept"}});
    OtherProgram other(DbPath());
    ASSERT_EQ(other.Run("BEGIN EXCLUSIVE;"), SQLITE_OK);
    ASSERT_TRUE(StartRaw(L"\"" + DbPath() + L"\" \"Proj\""));
    ASSERT_TRUE(ExpectBox(Ui(TextId::kCaptionError), Ui(TextId::kTaskListInUse)));
    EXPECT_EQ(app_.WaitExit(), std::optional<DWORD>(0));
    ASSERT_EQ(other.Run("ROLLBACK;"), SQLITE_OK);
    EXPECT_TRUE(FileExists(DbPath()));
    EXPECT_EQ(StoredTitles(L"Proj"), std::vector<std::string>{"kept"});
}

TEST_F(SharedFileTest, AProgramKilledDuringALargeRemovalLeavesAConsistentFile) {
    constexpr int kTasks = 20000;
    {
        TestStore store;
        ASSERT_TRUE(OpenTaskStore(store, WideToUtf8(DbPath())));
        store.table = TableOf(L"Proj");
        ASSERT_TRUE(CreateTaskTable(store));
        Transaction transaction(store);
        for (int i = 0; i < kTasks; ++i) {
            TaskRecord record;
            record.title = "dGFzaw" + std::to_string(i);  // distinct, need not decode
            record.doneDate = "2020-01-02";
            record.priority = i;
            ASSERT_TRUE(InsertTask(store, record));
        }
        ASSERT_TRUE(Succeeded(transaction.Commit()));
    }
    ASSERT_TRUE(Launch(L"Proj"));
    FirstCommand(kCmdRemoveSelected, 0);
    const auto box = app_.WaitMessageBox();
    ASSERT_TRUE(box);
    ASSERT_TRUE(AnswerMessageBox(*box, IDYES));
    app_.Kill();  // wherever the removal is, it stops there

    OtherProgram after(DbPath());
    EXPECT_EQ(after.One("PRAGMA integrity_check;"), "ok");
    const std::string table = TableOf(L"Proj");
    const int rows = std::stoi(after.One("select count(*) from " + table + ";"));
    EXPECT_TRUE(rows == kTasks || rows == kTasks - 1) << rows;
    // Whichever it is, the priorities are 0..rows-1, each once.
    EXPECT_EQ(after.One("select count(distinct priority) from " + table + ";"),
              std::to_string(rows));
    EXPECT_EQ(after.One("select min(priority) || ',' || max(priority) from " + table + ";"),
              "0," + std::to_string(rows - 1));
}

TEST_F(SharedFileTest, RemoveAllOfAListAnotherProgramAddedToRemovesNothingAndShowsTheFile) {
    Seed(L"Proj", {{"one"}, {"two"}});
    ASSERT_TRUE(Launch(L"Proj"));
    // The window exists before it has read the file: add the row only once the list is filled.
    ASSERT_TRUE(WaitUntil([&] { return Shown() == std::vector<std::wstring>{L"one", L"two"}; }));
    Seed(L"Proj", {{"added elsewhere"}});  // not in the list the window shows
    Command(kCmdRemoveAll);
    ASSERT_TRUE(ExpectBox(Ui(TextId::kCaptionConfirm), Ui(TextId::kConfirmRemoveAll), IDYES));
    ASSERT_TRUE(ExpectBox(Ui(TextId::kCaptionError), Ui(TextId::kCannotRemoveRecord)));
    EXPECT_TRUE(WaitUntil([&] {
        return Shown() == std::vector<std::wstring>{L"one", L"two", L"added elsewhere"};
    }));
    EXPECT_EQ(StoredTitles(L"Proj"), (std::vector<std::string>{"one", "two", "added elsewhere"}));
    // Now that the window shows every task, Remove All removes them.
    Command(kCmdRemoveAll);
    ASSERT_TRUE(ExpectBox(Ui(TextId::kCaptionConfirm), Ui(TextId::kConfirmRemoveAll), IDYES));
    EXPECT_TRUE(WaitUntil([&] { return StoredTitles(L"Proj").empty(); }));
    EXPECT_TRUE(CloseMain());
    EXPECT_EQ(StatusEntry(L"Proj"), 0);
}

}  // namespace
