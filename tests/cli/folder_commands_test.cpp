// status and rebuild: what Explorer shows for a folder's items, and the status file rebuilt as the
// window's "Rebuild Icon Overlays" does.
#include <gtest/gtest.h>

#include "cli/cli.h"
#include "store/folder_key.h"
#include "tests/cli/cli_test_support.h"
#include "text/text_encoding.h"

class FolderCommandsTest : public CliTest {
protected:
    static std::string KeyOf(const std::string& name) { return FolderKey(Utf8ToUtf16(name)); }
};

TEST_F(FolderCommandsTest, StatusCountsEachItemWithTasksAndNamesItsOverlay) {
    Seed("Alpha", {"one", "two", "three", "four"}, 2);
    Seed("Übung", {"one"}, 1);
    Seed("report.txt", {});  // a table without tasks: no overlay, not listed
    ASSERT_EQ(Cli({"rebuild", ParentArg()}).code, kExitOk);
    const CliResult result = Cli({"status", ParentArg()});
    ASSERT_EQ(result.code, kExitOk) << result.err;
    EXPECT_EQ(result.out, "half  2/4  Alpha\ndone  1/1  Übung\n");
}

TEST_F(FolderCommandsTest, StatusSaysWhenExplorerShowsAnOlderState) {
    Seed("Alpha", {"one", "two"});
    const CliResult result = Cli({"status", ParentArg()});
    ASSERT_EQ(result.code, kExitOk);
    EXPECT_EQ(result.out, "zero  0/2  Alpha  (Explorer shows none; run rebuild)\n");
}

TEST_F(FolderCommandsTest, StatusListsTheListsNoItemClaims) {
    Seed("Alpha", {"one"});
    Seed("Website", {"a", "b", "c"}, 1);  // a folder since renamed: no entry has this name
    const CliResult json = Cli({"status", ParentArg(), "--json"});
    ASSERT_EQ(json.code, kExitOk) << json.err;
    EXPECT_NE(json.out.find("\"unclaimed\": [\n    {\n      \"key\": \"" + KeyOf("Website") +
                            "\",\n      \"tasks\": 3,\n      \"done\": 1"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"item\": \"Alpha\""), std::string::npos);
    const CliResult text = Cli({"status", ParentArg()});
    EXPECT_NE(text.out.find("unclaimed  1/3  " + KeyOf("Website") + "\n"), std::string::npos)
        << text.out;
}

TEST_F(FolderCommandsTest, StatusAndRebuildOfAFolderWithoutDatabaseCreateNothing) {
    const auto before = FolderBytes(Parent());
    EXPECT_EQ(Cli({"status", ParentArg()}).out, "");
    EXPECT_EQ(Cli({"rebuild", ParentArg()}).code, kExitOk);
    EXPECT_EQ(FolderBytes(Parent()), before);
    EXPECT_TRUE(FailedWith(Cli({"status", Item("report.txt")}), kExitNotFound));
    EXPECT_TRUE(FailedWith(Cli({"status", Item("Gamma")}), kExitNotFound));
}

TEST_F(FolderCommandsTest, RebuildWritesOneEntryPerTableAndDropsStaleOnes) {
    Seed("Alpha", {"one", "two", "three"}, 1);
    Seed("Übung", {"one", "two"}, 2);
    Seed("report.txt", {});
    WriteFileBytes(StatusPath(), "[pelmora]\r\n" + KeyOf("Gone") + "=3\r\n");
    const CliResult result = Cli({"rebuild", ParentArg()});
    ASSERT_EQ(result.code, kExitOk) << result.err;
    EXPECT_EQ(StatusEntry("Alpha"), 1);
    EXPECT_EQ(StatusEntry("Übung"), 3);
    EXPECT_EQ(StatusEntry("report.txt"), 0);
    EXPECT_EQ(StatusEntry("Gone"), -1);
}
