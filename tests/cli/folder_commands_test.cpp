// status and rebuild: what Explorer shows for a folder's items, and the status file rebuilt as the
// window's "Rebuild Icon Overlays" does.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

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

// A rebuild that cannot write the status file says which file and why, claims no success and
// leaves the folder as it was.
TEST_F(FolderCommandsTest, RebuildThatCannotWriteTheStatusFileFailsAndChangesNothing) {
    Seed("Alpha", {"one"}, 1);
    WriteFileBytes(StatusPath(), "[pelmora]\r\n" + KeyOf("Alpha") + "=1\r\n");
    for (const auto way : UnwritableStatusFile::Ways()) {
        const UnwritableStatusFile unwritable(StatusPath(), way);
        if (!unwritable.Active()) continue;
        const auto before = FolderBytes(Parent());
        const CliResult result = Cli({"rebuild", ParentArg()});
        EXPECT_TRUE(FailedWith(result, kExitFailed)) << static_cast<int>(way);
        EXPECT_EQ(result.err.rfind("pelmora-cli: cannot write " + Utf8Path(StatusPath()), 0), 0u)
            << result.err;
        EXPECT_EQ(FolderBytes(Parent()), before);
    }
}

// Scripts read the documents by type: a done mark is a boolean whatever number a foreign writer
// stored, counts and priorities are numbers, texts are strings, and a missing date is left out
// of an export. Every field of all three documents is compared, types included.
TEST_F(FolderCommandsTest, JsonDocumentsHaveTheirTypesForAForeignFile) {
    const auto table = [](const std::string& name) { return TaskTableName(KeyOf(name)); };
    const std::string columns =
        " (title TEXT, description TEXT, done INTEGER, done_date TEXT, priority INTEGER);";
    Sql("CREATE TABLE " + table("Alpha") + columns + "insert into " + table("Alpha") + " values('" +
        Base64Encode("first") + "',NULL,5,NULL,3);" + "insert into " + table("Alpha") +
        " values('" + Base64Encode("second") + "','" + Base64Encode("d") + "',0,'2021-03-04',8);" +
        "CREATE TABLE " + table("Website") + columns + "insert into " + table("Website") +
        " values('" + Base64Encode("w") + "','',1,'2020-01-01',0);");
    using nlohmann::json;
    const auto document = [](const CliResult& result) {
        EXPECT_EQ(result.code, kExitOk) << result.err;
        return json::parse(result.out, nullptr, false);
    };
    const auto with = [](json fields, const json& more) {
        fields.update(more);
        return fields;
    };
    const json first = {{"title", "first"}, {"description", ""}, {"done", true}, {"priority", 3}};
    const json second = {{"title", "second"},
                         {"description", "d"},
                         {"done", false},
                         {"date", "2021-03-04"},
                         {"priority", 8}};
    const json alpha = {{"item", "Alpha"}, {"key", KeyOf("Alpha")}};
    const json folder = {{"folder", ParentArg()}};

    EXPECT_EQ(document(Cli({"list", Item("Alpha"), "--json"})),
              with(with(alpha, folder),
                   {{"tasks", {with(first, {{"n", 1}, {"date", ""}}), with(second, {{"n", 2}})}}}));
    const json item = {
        {"tasks", 2}, {"done", 1}, {"overlay", "half"}, {"status", 2}, {"status_file", 0}};
    const json unclaimed = {{"key", KeyOf("Website")}, {"tasks", 1}, {"done", 1}};
    EXPECT_EQ(document(Cli({"status", ParentArg(), "--json"})),
              with(folder, {{"items", {with(alpha, item)}}, {"unclaimed", {unclaimed}}}));
    const json website = {{"title", "w"},
                          {"description", ""},
                          {"done", true},
                          {"date", "2020-01-01"},
                          {"priority", 0}};
    EXPECT_EQ(document(Cli({"export", ParentArg()})),
              with(folder, {{"pelmora_export", 1},
                            {"lists",
                             {with(alpha, {{"tasks", {first, second}}}),
                              {{"key", KeyOf("Website")}, {"tasks", {website}}}}}}));
}
