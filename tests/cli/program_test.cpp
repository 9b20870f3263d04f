// The built program as a shell or a script runs it: arguments and output as bytes, exit codes,
// help and version. Under Wine this is the .exe with wide arguments and piped output.
#include <gtest/gtest.h>

#include "cli/cli.h"
#include "tests/cli/cli_test_support.h"

class ProgramTest : public CliTest {
protected:
    CliResult Run(const std::vector<std::string>& args) {
        return RunProgram(args, scratch_.path());
    }
};

TEST_F(ProgramTest, NonAsciiTitlesAndPathsArriveAndLeaveAsUtf8) {
    const std::string title = "Prüfung \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\x8E";
    const CliResult added = Run({"add", Item("Übung"), title});
    ASSERT_EQ(added.code, kExitOk) << added.err;
    EXPECT_EQ(Titles("Übung"), std::vector<std::string>{title});
    const CliResult listed = Run({"list", Item("Übung")});
    ASSERT_EQ(listed.code, kExitOk) << listed.err;
    EXPECT_EQ(listed.out, "1  [ ]  " + Today() + "  " + title + "\n");
    const CliResult json = Run({"status", ParentArg(), "--json"});
    EXPECT_NE(json.out.find("\"item\": \"Übung\""), std::string::npos) << json.out;
}

TEST_F(ProgramTest, UsageErrorsExitWithTwoAndOneLine) {
    EXPECT_TRUE(FailedWith(Run({}), kExitUsage));
    EXPECT_TRUE(FailedWith(Run({"frobnicate", Item("Alpha")}), kExitUsage));
    EXPECT_TRUE(FailedWith(Run({"list", Item("Alpha"), "--colour"}), kExitUsage));
    EXPECT_TRUE(FailedWith(Run({"list"}), kExitUsage));
    EXPECT_TRUE(FailedWith(Run({"list", Item("Alpha"), Item("Übung")}), kExitUsage));
    EXPECT_TRUE(FailedWith(Run({"add", Item("Alpha")}), kExitUsage));
    EXPECT_FALSE(std::filesystem::exists(DbPath()));
}

TEST_F(ProgramTest, NotFoundAndRefusedHaveTheirOwnCodes) {
    EXPECT_TRUE(FailedWith(Run({"list", Item("Gamma")}), kExitNotFound));
    ASSERT_EQ(Run({"add", Item("Alpha"), "one"}).code, kExitOk);
    EXPECT_TRUE(FailedWith(Run({"add", Item("Alpha"), "one"}), kExitRefused));
}

TEST_F(ProgramTest, EveryCommandHasHelpThatDocumentsTheExitCodes) {
    for (const char* command : {"list", "add", "edit", "done", "remove", "move", "status",
                                "rebuild", "export", "import"}) {
        const CliResult help = Run({command, "--help"});
        EXPECT_EQ(help.code, kExitOk) << command;
        EXPECT_NE(help.out.find(std::string("pelmora-cli ") + command), std::string::npos)
            << help.out;
        EXPECT_NE(help.out.find("5  database busy"), std::string::npos) << command;
    }
    const CliResult help = Run({"--help"});
    EXPECT_EQ(help.code, kExitOk);
    for (const char* code : {"  2  usage error", "  3  not found", "  6  database unreadable"}) {
        EXPECT_NE(help.out.find(code), std::string::npos) << help.out;
    }
}

TEST_F(ProgramTest, VersionNamesTheProgram) {
    const CliResult version = Run({"--version"});
    EXPECT_EQ(version.code, kExitOk);
    EXPECT_EQ(version.out.rfind("pelmora-cli ", 0), 0u) << version.out;
    EXPECT_EQ(version.err, "");
}
