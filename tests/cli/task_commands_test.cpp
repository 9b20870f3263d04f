// The commands on one item's list: what they print, the rows they leave, the status entry they
// write, and that a refused or failed command changes no file.
#include <gtest/gtest.h>

#include "cli/cli.h"
#include "store/folder_key.h"
#include "tests/cli/cli_test_support.h"
#include "tests/store/item_store.h"
#include "text/text_encoding.h"

namespace {

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

}  // namespace

class TaskCommandsTest : public CliTest {};

// Spaces cut from the title's ends, Base64 texts, the done mark with today's date, the place after
// the last, and the status entry.
TEST_F(TaskCommandsTest, AddWritesTheRowTheEditorWritesAtTheEndAndTheStatusEntry) {
    Seed("Alpha", {"one", "two"});
    const LocalDateSpan today;
    const CliResult result =
        Cli({"add", Item("Alpha"), "  Prüfung  ", "--description", "line 1\nline 2", "--done"});
    ASSERT_EQ(result.code, kExitOk) << result.err;
    EXPECT_EQ(result.out, "added task 3: \"Prüfung\"\n");
    const auto rows = Rows("Alpha");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(today.Holds(rows[2].Date()));
    EXPECT_EQ(rows[2], (Row{Quoted(Base64Encode("Prüfung")), Quoted(Base64Encode("line 1\nline 2")),
                            "1", rows[2].date, "2"}));
    EXPECT_EQ(StatusEntry("Alpha"), 1) << "one of three done";
    // Without a description it stores the empty text.
    ASSERT_EQ(Cli({"add", Item("Übung"), "Buy milk"}).code, kExitOk);
    const Row plain = Rows("Übung").at(0);
    EXPECT_EQ(plain, (Row{"'QnV5IG1pbGs='", "''", "0", plain.date, "0"}));
}

// A refused title exits with 4 and changes no file; an empty one is refused before the database
// is even made. (The title rules themselves are the task list's.)
TEST_F(TaskCommandsTest, AddRefusalsExitWithFourAndChangeNoFile) {
    for (const char* title : {"", "   "}) {
        EXPECT_TRUE(FailedWith(Cli({"add", Item("Alpha"), title}), kExitRefused)) << title;
    }
    EXPECT_FALSE(std::filesystem::exists(DbPath()));
    Seed("Alpha", {"Buy milk"});
    ASSERT_EQ(Cli({"rebuild", ParentArg()}).code, kExitOk);
    const auto before = FolderBytes(Parent());
    for (const char* title : {" Buy milk ", "  "}) {
        EXPECT_TRUE(FailedWith(Cli({"add", Item("Alpha"), title}), kExitRefused)) << title;
    }
    EXPECT_EQ(FolderBytes(Parent()), before);
}

TEST_F(TaskCommandsTest, ListShowsPositionsByPriorityWithDescriptions) {
    const std::string table = TaskTableName(FolderKey(u"Alpha"));
    Sql("CREATE TABLE " + table +
        " (title TEXT, description TEXT, done INTEGER, done_date TEXT, priority INTEGER);"
        "insert into " +
        table + " values('" + Base64Encode("third") + "','',0,'2021-01-03',2);" + "insert into " +
        table + " values('" + Base64Encode("first") + "','" + Base64Encode("a\r\nb") +
        "',1,'2021-01-01',0);" + "insert into " + table + " values('" + Base64Encode("sec\nond") +
        "','',0,'2021-01-02',1);");
    const CliResult text = Cli({"list", Item("Alpha")});
    ASSERT_EQ(text.code, kExitOk) << text.err;
    EXPECT_EQ(text.out,
              "1  [x]  2021-01-01  first\n"
              "        a\n"
              "        b\n"
              "2  [ ]  2021-01-02  sec\xEF\xBF\xBDond\n"
              "3  [ ]  2021-01-03  third\n");
    const CliResult json = Cli({"list", Item("Alpha"), "--json"});
    ASSERT_EQ(json.code, kExitOk);
    EXPECT_NE(json.out.find("\"n\": 3,\n      \"title\": \"third\""), std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"title\": \"sec\\nond\""), std::string::npos) << json.out;
}

TEST_F(TaskCommandsTest, ListOfAnItemWithoutTasksPrintsNothingAndCreatesNothing) {
    const CliResult result = Cli({"list", Item("Alpha")});
    EXPECT_EQ(result.code, kExitOk);
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(std::filesystem::exists(DbPath()));
}

// New texts keep the date and the status entry; a changed done mark dates the task and rewrites
// the entry.
TEST_F(TaskCommandsTest, EditChangesTextsAloneOrTheDoneMarkWithItsDate) {
    Seed("Alpha", {"one", "two"}, 1);
    ASSERT_EQ(Cli({"rebuild", ParentArg()}).code, kExitOk);
    const std::string statusBefore = ReadFileBytes(StatusPath());
    const CliResult result =
        Cli({"edit", Item("Alpha"), "2", "--title", "zwei", "--description", "more"});
    ASSERT_EQ(result.code, kExitOk) << result.err;
    EXPECT_EQ(Rows("Alpha")[1], (Row{Quoted(Base64Encode("zwei")), Quoted(Base64Encode("more")),
                                     "0", "'2020-01-02'", "1"}));
    EXPECT_EQ(ReadFileBytes(StatusPath()), statusBefore) << "the done state did not change";
    // An empty description is stored as the empty text.
    ASSERT_EQ(Cli({"edit", Item("Alpha"), "2", "--description", ""}).code, kExitOk);
    EXPECT_EQ(Rows("Alpha")[1].description, "''");

    const LocalDateSpan today;
    ASSERT_EQ(Cli({"edit", Item("Alpha"), "2", "--done"}).code, kExitOk);
    EXPECT_TRUE(today.Holds(Rows("Alpha")[1].Date()));
    EXPECT_EQ(StatusEntry("Alpha"), 3);
    ASSERT_EQ(Cli({"edit", Item("Alpha"), "1", "--open"}).code, kExitOk);
    EXPECT_EQ(Rows("Alpha")[0].done, "0");
    EXPECT_EQ(StatusEntry("Alpha"), 2);
}

TEST_F(TaskCommandsTest, EditRefusesAnotherTasksTitleButKeepsItsOwn) {
    Seed("Alpha", {"one", "two"});
    const auto before = FolderBytes(Parent());
    EXPECT_TRUE(FailedWith(Cli({"edit", Item("Alpha"), "2", "--title", "one"}), kExitRefused));
    EXPECT_TRUE(FailedWith(Cli({"edit", Item("Alpha"), "2", "--title", " "}), kExitRefused));
    EXPECT_TRUE(FailedWith(Cli({"edit", Item("Alpha"), "2"}), kExitUsage));
    EXPECT_TRUE(FailedWith(Cli({"edit", Item("Alpha"), "2", "--done", "--open"}), kExitUsage));
    EXPECT_EQ(FolderBytes(Parent()), before);
    EXPECT_EQ(Cli({"edit", Item("Alpha"), "2", "--title", " two"}).code, kExitOk);
}

// A marked task carries the local date of the moment it was marked, also one that was done
// already (seeded with 2020-01-02).
TEST_F(TaskCommandsTest, DoneGivesEvenADoneTaskTodaysDate) {
    Seed("Alpha", {"one", "two"}, 1);
    const LocalDateSpan today;
    ASSERT_EQ(Cli({"done", Item("Alpha"), "1"}).code, kExitOk);
    const Row marked = Rows("Alpha")[0];
    EXPECT_TRUE(today.Holds(marked.Date()));
    EXPECT_EQ(marked, (Row{Quoted(Base64Encode("one")), "''", "1", marked.date, "0"}));
    EXPECT_EQ(StatusEntry("Alpha"), 2);
}

TEST_F(TaskCommandsTest, RemoveRenumbersTheRestAndWritesTheStatus) {
    Seed("Alpha", {"one", "two", "three"}, 1);
    EXPECT_TRUE(FailedWith(Cli({"remove", Item("Alpha")}), kExitUsage)) << "neither n nor --all";
    const CliResult result = Cli({"remove", Item("Alpha"), "1"});
    ASSERT_EQ(result.code, kExitOk) << result.err;
    EXPECT_EQ(result.out, "removed task 1: \"one\"\n");
    const auto rows = Rows("Alpha");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].priority, "0");
    EXPECT_EQ(rows[1].priority, "1");
    EXPECT_EQ(Titles("Alpha"), (std::vector<std::string>{"two", "three"}));
    EXPECT_EQ(StatusEntry("Alpha"), 1);
}

TEST_F(TaskCommandsTest, RemoveAllEmptiesTheListAndKeepsTheKeyAtZero) {
    Seed("Alpha", {"one", "two", "three"}, 2);
    Seed("Übung", {"other"});
    // Moved, so that the list's order is no longer the order the rows were stored in.
    ASSERT_EQ(Cli({"move", Item("Alpha"), "1", "--down"}).code, kExitOk);
    EXPECT_TRUE(FailedWith(Cli({"remove", Item("Alpha"), "1", "--all"}), kExitUsage));
    ASSERT_EQ(Cli({"remove", Item("Alpha"), "--all"}).code, kExitOk);
    EXPECT_TRUE(Rows("Alpha").empty());
    EXPECT_EQ(Titles("Übung"), std::vector<std::string>{"other"});
    EXPECT_EQ(StatusEntry("Alpha"), 0);
    // Once empty, it stays so without a write.
    const auto before = FolderBytes(Parent());
    const CliResult again = Cli({"remove", Item("Alpha"), "--all"});
    EXPECT_EQ(again.code, kExitOk);
    EXPECT_EQ(again.out, "removed 0 tasks\n");
    EXPECT_EQ(FolderBytes(Parent()), before);
}

// Neighbours exchange their places and the status file stays as it was; past either end, or
// without a direction, nothing changes.
TEST_F(TaskCommandsTest, MoveExchangesNeighboursAndLeavesTheStatusFileAlone) {
    Seed("Alpha", {"one", "two", "three"}, 1);
    ASSERT_EQ(Cli({"rebuild", ParentArg()}).code, kExitOk);
    const auto before = FolderBytes(Parent());
    EXPECT_EQ(Cli({"move", Item("Alpha"), "1", "--up"}).code, kExitOk);
    EXPECT_EQ(Cli({"move", Item("Alpha"), "3", "--down"}).code, kExitOk);
    EXPECT_TRUE(FailedWith(Cli({"move", Item("Alpha"), "1"}), kExitUsage));
    EXPECT_TRUE(FailedWith(Cli({"move", Item("Alpha"), "1", "--up", "--down"}), kExitUsage));
    EXPECT_EQ(FolderBytes(Parent()), before);

    const std::string statusBefore = ReadFileBytes(StatusPath());
    ASSERT_EQ(Cli({"move", Item("Alpha"), "3", "--up"}).code, kExitOk);
    EXPECT_EQ(Titles("Alpha"), (std::vector<std::string>{"one", "three", "two"}));
    ASSERT_EQ(Cli({"move", Item("Alpha"), "1", "--down"}).code, kExitOk);
    EXPECT_EQ(Titles("Alpha"), (std::vector<std::string>{"three", "one", "two"}));
    const auto rows = Rows("Alpha");
    EXPECT_EQ(rows[0].priority + rows[1].priority + rows[2].priority, "012");
    EXPECT_EQ(ReadFileBytes(StatusPath()), statusBefore);
}

TEST_F(TaskCommandsTest, NOutOfRangeIsNotFoundAndChangesNothing) {
    Seed("Alpha", {"one", "two"});
    const auto before = FolderBytes(Parent());
    for (const char* n : {"0", "3", "99999999999"}) {
        EXPECT_TRUE(FailedWith(Cli({"done", Item("Alpha"), n}), kExitNotFound)) << n;
        EXPECT_TRUE(FailedWith(Cli({"remove", Item("Alpha"), n}), kExitNotFound)) << n;
        EXPECT_TRUE(FailedWith(Cli({"move", Item("Alpha"), n, "--up"}), kExitNotFound)) << n;
        EXPECT_TRUE(FailedWith(Cli({"edit", Item("Alpha"), n, "--done"}), kExitNotFound)) << n;
    }
    EXPECT_TRUE(FailedWith(Cli({"done", Item("Alpha"), "one"}), kExitUsage));
    // An item without a list: every task number is out of range, and no file appears.
    EXPECT_TRUE(FailedWith(Cli({"done", Item("Übung"), "1"}), kExitNotFound));
    EXPECT_EQ(FolderBytes(Parent()), before);
}

// Without a database the item has no tasks: a change to one is refused before anything is
// opened for writing, so no database (nor journal, nor status file) appears in the folder.
TEST_F(TaskCommandsTest, ChangesInAFolderWithoutDatabaseLeaveNoFile) {
    const auto before = FolderBytes(Parent());
    EXPECT_TRUE(FailedWith(Cli({"edit", Item("Alpha"), "1", "--title", "x"}), kExitNotFound));
    EXPECT_TRUE(FailedWith(Cli({"done", Item("Alpha"), "1"}), kExitNotFound));
    EXPECT_TRUE(FailedWith(Cli({"remove", Item("Alpha"), "1"}), kExitNotFound));
    EXPECT_TRUE(FailedWith(Cli({"move", Item("Alpha"), "1", "--down"}), kExitNotFound));
    EXPECT_EQ(Cli({"remove", Item("Alpha"), "--all"}).out, "removed 0 tasks\n");
    EXPECT_EQ(FolderBytes(Parent()), before);
}

TEST_F(TaskCommandsTest, AnItemThatIsNotThereOrHasNoParentIsRefused) {
    EXPECT_TRUE(FailedWith(Cli({"add", Item("Gamma"), "x"}), kExitNotFound));
    EXPECT_TRUE(FailedWith(Cli({"list", Item("Gamma")}), kExitNotFound));
#ifdef _WIN32
    const std::string root = Utf8Path(Parent().root_path());
#else
    const std::string root = "/";
#endif
    EXPECT_TRUE(FailedWith(Cli({"add", root, "x"}), kExitUsage));
    EXPECT_TRUE(FailedWith(Cli({"list", root}), kExitUsage));
    EXPECT_FALSE(std::filesystem::exists(DbPath()));
}

TEST_F(TaskCommandsTest, ATrailingSeparatorOrDotNamesTheItemItself) {
    ASSERT_EQ(Cli({"add", Item("Alpha") + "/", "one"}).code, kExitOk);
    ASSERT_EQ(Cli({"add", Item("Alpha") + "/.", "two"}).code, kExitOk);
    EXPECT_EQ(Titles("Alpha"), (std::vector<std::string>{"one", "two"}));
}

#ifdef _WIN32
// Explorer passes the name as the folder holds it; a name typed in other letters (or in its short
// form) must still reach the same list, not a new one under another key.
TEST_F(TaskCommandsTest, TheNameIsTakenAsTheFolderSpellsIt) {
    ASSERT_EQ(Cli({"add", Utf8Path(Parent() / "ALPHA"), "typed in capitals"}).code, kExitOk);
    EXPECT_EQ(Titles("Alpha"), std::vector<std::string>{"typed in capitals"});
    EXPECT_EQ(StatusEntry("Alpha"), 1);
}
#endif

TEST_F(TaskCommandsTest, FilesHaveTaskListsToo) {
    ASSERT_EQ(Cli({"add", Item("report.txt"), "check the figures"}).code, kExitOk);
    EXPECT_EQ(Titles("report.txt"), std::vector<std::string>{"check the figures"});
    EXPECT_EQ(StatusEntry("report.txt"), 1);
}

class TaskDatabaseFaultTest : public CliTest {};

TEST_F(TaskDatabaseFaultTest, AFolderWhereTheDatabaseShouldBeIsUnreadable) {
    std::filesystem::create_directory(DbPath());
    const auto before = FolderBytes(Parent());
    EXPECT_TRUE(FailedWith(Cli({"add", Item("Alpha"), "x"}), kExitUnreadable));
    EXPECT_TRUE(FailedWith(Cli({"list", Item("Alpha")}), kExitUnreadable));
    EXPECT_TRUE(FailedWith(Cli({"status", ParentArg()}), kExitUnreadable));
    EXPECT_EQ(FolderBytes(Parent()), before);
}

TEST_F(TaskDatabaseFaultTest, AFileThatIsNotADatabaseIsUnreadableAndStaysAsItWas) {
    WriteFileBytes(DbPath(), std::string(4096, 'x'));
    const auto before = FolderBytes(Parent());
    EXPECT_TRUE(FailedWith(Cli({"list", Item("Alpha")}), kExitUnreadable));
    EXPECT_TRUE(FailedWith(Cli({"add", Item("Alpha"), "x"}), kExitUnreadable));
    EXPECT_TRUE(FailedWith(Cli({"rebuild", ParentArg()}), kExitUnreadable));
    EXPECT_TRUE(FailedWith(Cli({"export", ParentArg()}), kExitUnreadable));
    EXPECT_EQ(FolderBytes(Parent()), before);
}

TEST_F(TaskDatabaseFaultTest, ATableOfAnotherShapeUnderTheItemsNameIsNotWrittenTo) {
    Sql("CREATE TABLE " + TaskTableName(FolderKey(u"Alpha")) + " (title TEXT, payload BLOB);");
    const auto before = FolderBytes(Parent());
    EXPECT_TRUE(FailedWith(Cli({"add", Item("Alpha"), "x"}), kExitUnreadable));
    EXPECT_TRUE(FailedWith(Cli({"list", Item("Alpha")}), kExitUnreadable));
    EXPECT_EQ(FolderBytes(Parent()), before);
}

TEST_F(TaskDatabaseFaultTest, ADatabaseAnotherProgramWritesToIsBusyAndUnchanged) {
    Seed("Alpha", {"one"});
    TestStore other;
    ASSERT_TRUE(OpenTaskStore(other, Utf8Path(DbPath())));
    RunSql(other, "BEGIN EXCLUSIVE;");
    const auto before = FolderBytes(Parent());
    EXPECT_TRUE(FailedWith(Cli({"add", Item("Alpha"), "two"}), kExitBusy));
    EXPECT_TRUE(FailedWith(Cli({"list", Item("Alpha")}), kExitBusy));
    EXPECT_EQ(FolderBytes(Parent()), before);
    RunSql(other, "ROLLBACK;");
    EXPECT_EQ(Cli({"add", Item("Alpha"), "two"}).code, kExitOk);
}

// Another program reads while the command commits: the write lock was granted at the start, but
// the commit must wait for the reader and gives up. The command fails as busy and leaves both
// files as they were, the status file too.
TEST_F(TaskDatabaseFaultTest, ACommitThatAReaderHoldsUpIsBusyAndChangesNoFile) {
    Seed("Alpha", {"one"});
    ASSERT_EQ(Cli({"rebuild", ParentArg()}).code, kExitOk);
    TestStore reader;
    ASSERT_TRUE(OpenTaskStore(reader, Utf8Path(DbPath())));
    RunSql(reader, "BEGIN; SELECT count(*) FROM sqlite_master;");
    const auto before = FolderBytes(Parent());
    EXPECT_TRUE(FailedWith(Cli({"done", Item("Alpha"), "1"}), kExitBusy));
    EXPECT_EQ(FolderBytes(Parent()), before);
    RunSql(reader, "COMMIT;");
    EXPECT_EQ(Cli({"done", Item("Alpha"), "1"}).code, kExitOk);
}
