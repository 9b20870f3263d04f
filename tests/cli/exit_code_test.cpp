// Each failure exits with the code of its cause, says what it is, and leaves every file as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "cli/cli.h"
#include "store/folder_key.h"
#include "tests/cli/cli_test_support.h"
#include "text/text_encoding.h"

namespace {

class ExitCodeTest : public CliTest {
protected:
    std::string TableOf(const std::string& item) {
        return TaskTableName(FolderKey(Utf8ToUtf16(item)));
    }

    // Runs the command and checks its code, a word of its message, and that no file changed.
    void ExpectFailure(const std::vector<std::string>& args, int code, const std::string& says) {
        const auto before = FolderBytes(scratch_.path());
        const CliResult result = Cli(args);
        EXPECT_TRUE(FailedWith(result, code)) << args[0];
        EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
        EXPECT_TRUE(FolderBytes(scratch_.path()) == before) << args[0] << " changed a file";
    }
};

TEST_F(ExitCodeTest, EachCauseHasItsCodeAndNoFileChanges) {
    // Not a command at all.
    ExpectFailure({"frob", Item("Alpha")}, kExitUsage, "\"frob\" is not a command");

    // Refused input: an import whose stored title holds a NUL, or one too long to be kept.
    const auto import = [&](const std::string& task) {
        WriteFileBytes(scratch_.path() / "in.json",
                       "{\"lists\": [{\"item\": \"Alpha\", \"tasks\": [" + task + "]}]}");
        return Utf8Path(scratch_.path() / "in.json");
    };
    Seed("Alpha", {"kept"});
    ExpectFailure({"import", ParentArg(), import("{\"stored_title\": \"QQ\\u0000QQ\"}")},
                  kExitRefused, "NUL");
    ExpectFailure(
        {"import", ParentArg(), import("{\"title\": \"" + std::string(2000000, 'x') + "\"}")},
        kExitRefused, "at most 1000000");
    ExpectFailure({"add", Item("Alpha"), std::string(800000, 'x')}, kExitRefused,
                  "at most 1000000");

    // A crafted file: a value over the length limit fails every reading command as such.
    // Written by a connection without the store's limits, as another program could.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Utf8Path(DbPath()).c_str(), &db), SQLITE_OK);
    const std::string overLong = "insert into " + TableOf("Alpha") +
                                 " values(hex(zeroblob(600000)), '', 0, '2024-01-01', 1);";
    EXPECT_EQ(sqlite3_exec(db, overLong.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ExpectFailure({"list", Item("Alpha")}, kExitUnreadable, "longer than");
    ExpectFailure({"add", Item("Alpha"), "more"}, kExitUnreadable, "longer than");
    ExpectFailure({"status", ParentArg()}, kExitUnreadable, "longer than");

    // A view where the item's table belongs is no list, and certainly not an empty one.
    Sql("CREATE VIEW " + TableOf("Übung") +
        " AS select 'a' as title, '' as description, 0 as done, '' as done_date, 0 as priority;");
    ExpectFailure({"list", Item("Übung")}, kExitUnreadable, "is not a task list");
    ExpectFailure({"add", Item("Übung"), "one"}, kExitUnreadable, "is not a task list");
#ifndef _WIN32
    // Nor is a virtual table of the same columns (Debian's SQLite knows the module; the Windows
    // build's does not, and there it reads as no list at all).
    Sql("CREATE VIRTUAL TABLE " + TableOf("report.txt") +
        " USING fts5(title, description, done, done_date, priority);");
    ExpectFailure({"add", Item("report.txt"), "one"}, kExitUnreadable,
                  "not a task database, or damaged");
#endif
}

}  // namespace
