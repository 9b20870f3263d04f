#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "tests/cli/cli_test_support.h"

namespace tree_command_test {

namespace fs = std::filesystem;

struct Streamed {
    int code = -1;
    std::vector<std::string> writes;  // each write to standard output, as it came
    std::string err;
};

Streamed Tree(std::vector<std::string> args) {
    Streamed result;
    args.insert(args.begin(), {"pelmora-cli", "tree"});
    const CliOutput output{[&](std::string_view text) { result.writes.emplace_back(text); },
                           [&](std::string_view text) { result.err += text; }};
    result.code = RunCli(args, output);
    return result;
}

std::string Joined(const Streamed& result) {
    std::string all;
    for (const std::string& write : result.writes) all += write;
    return all;
}

class TreeCommandTest : public CliTest {};

TEST_F(TreeCommandTest, StreamsListsAndTellsAPartlyReadTreeByItsCode) {
    // Projects holds Alpha (one open task of two) and Übung (all done); a nested folder holds
    // one more list.
    ASSERT_EQ(Cli({"add", Item("Alpha"), "Renew certificate"}).code, kExitOk);
    ASSERT_EQ(Cli({"add", Item("Alpha"), "Paid", "--done"}).code, kExitOk);
    ASSERT_EQ(Cli({"add", Item(u8"Übung"), "Read", "--done"}).code, kExitOk);
    const fs::path nested = Parent() / "Alpha" / "Sub";
    fs::create_directories(nested);
    ASSERT_EQ(Cli({"add", Utf8Path(nested), "Deep"}).code, kExitOk);
    const std::string root = Utf8Path(Parent());

    const Streamed text = Tree({root});
    EXPECT_EQ(text.code, kExitOk) << text.err;
    const std::string sep = Utf8Path(fs::path("a") / "b").substr(1, 1);
    EXPECT_EQ(Joined(text),
              "Alpha  1 open, 1 done\n    [ ] Renew certificate\n"
              "Alpha" +
                  sep +
                  "Sub  1 open, 0 done\n    [ ] Deep\n"
                  "4 folders, 3 lists, 2 open tasks\n");

    // One write per list, each a whole line that parses on its own: what jq reads as it comes.
    const Streamed lines = Tree({root, "--all", "--jsonl"});
    EXPECT_EQ(lines.code, kExitOk);
    ASSERT_EQ(lines.writes.size(), 3u);
    for (const std::string& line : lines.writes) {
        ASSERT_EQ(line.find('\n'), line.size() - 1) << line;
        EXPECT_TRUE(nlohmann::json::parse(line).contains("item")) << line;
    }
    const auto document = nlohmann::json::parse(Joined(Tree({root, "--json", "--depth", "0"})));
    EXPECT_EQ(document["lists"].size(), 1u);
    EXPECT_EQ(document["lists"][0]["list"][0]["title"], "Renew certificate");

    // A damaged database below: the rest is read, the row says why, and the code tells it.
    fs::create_directories(Parent() / "Broken");
    WriteFileBytes(Parent() / "Broken" / "pelmora.db", std::string(2048, 'x'));
    const auto before = FolderBytes(Parent());
    const Streamed partly = Tree({root, "--jsonl"});
    EXPECT_EQ(partly.code, kExitPartlyRead);
    EXPECT_EQ(partly.writes.size(), 3u);
    EXPECT_NE(Joined(partly).find("\"problem\":\"damaged\""), std::string::npos);
    EXPECT_EQ(FolderBytes(Parent()), before);

    const Streamed missing = Tree({root + "/missing"});
    EXPECT_EQ(missing.code, kExitNotFound);
    EXPECT_TRUE(missing.writes.empty());
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);
    EXPECT_EQ(Tree({root, "--json", "--jsonl"}).code, kExitUsage);
}

}  // namespace tree_command_test
