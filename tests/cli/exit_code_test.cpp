// Each failure exits with the code of its cause, says what it is, and leaves every file as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "cli/cli.h"
#include "store/folder_key.h"
#include "tests/cli/cli_test_support.h"
#include "text/text_encoding.h"

#ifndef _WIN32
#include <unistd.h>
#endif

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

#ifndef _WIN32
// A folder's database that may only be read, a disk that takes nothing more, a file cut short:
// each is named by its cause, none is called damaged unless it is, and nothing changes.
TEST_F(ExitCodeTest, EachCauseOfAFailedWriteHasItsCode) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root: chattr +i and a tmpfs of its own";
    std::vector<std::string> titles;
    for (int i = 0; i < 200; ++i) titles.push_back("task " + std::to_string(i));
    Seed("Alpha", titles);

    ASSERT_TRUE(SetImmutable(DbPath(), true));
    ExpectFailure({"add", Item("Alpha"), "new"}, kExitFailed, "it may only be read");
    ExpectFailure({"add", Item("Übung"), "new"}, kExitFailed, "it may only be read");
    ASSERT_TRUE(SetImmutable(DbPath(), false));
    // The file may be written, but no journal can be made beside it.
    ASSERT_TRUE(SetImmutable(Parent(), true));
    ExpectFailure({"add", Item("Alpha"), "new"}, kExitFailed, "it may only be read");
    ExpectFailure({"add", Item("Übung"), "new"}, kExitFailed, "it may only be read");
    ASSERT_TRUE(SetImmutable(Parent(), false));

    // A full disk, and one with space but no entry left for the journal: a failed write.
    // A machine that lets no one mount runs the rest and reports the test as skipped.
    std::string unmounted;
    for (const char* options : {"size=256k", "size=1m,nr_inodes=64"}) {
        SCOPED_TRACE(options);
        ScratchVolume volume(scratch_.path() / "volume", options);
        if (!volume.Mounted()) {
            unmounted = volume.Why();
            continue;
        }
        std::filesystem::create_directory(scratch_.path() / "volume" / "Beta");
        const std::string beta = Utf8Path(scratch_.path() / "volume" / "Beta");
        ASSERT_EQ(Cli({"add", beta, "first"}).code, kExitOk);
        std::string(options).find("inodes") == std::string::npos ? volume.FillSpace()
                                                                 : volume.FillEntries();
        const CliResult result = Cli({"add", beta, "second"});
        EXPECT_TRUE(FailedWith(result, kExitFailed));
        EXPECT_EQ(result.err.find("damaged"), std::string::npos) << result.err;
        EXPECT_EQ(Cli({"list", beta}).out.find("second"), std::string::npos);
    }

    // Cut inside its last page, as by an interrupted copy: no blank tasks, no write.
    const std::string whole = ReadFileBytes(DbPath());
    WriteFileBytes(DbPath(), whole.substr(0, whole.size() - 1000));
    ExpectFailure({"list", Item("Alpha")}, kExitUnreadable, "not a task database, or damaged");
    ExpectFailure({"status", ParentArg()}, kExitUnreadable, "not a task database, or damaged");
    ExpectFailure({"add", Item("Alpha"), "new"}, kExitUnreadable,
                  "not a task database, or damaged");
    if (!unmounted.empty()) GTEST_SKIP() << "a full disk on a tmpfs of its own: " << unmounted;
}
#endif

}  // namespace
