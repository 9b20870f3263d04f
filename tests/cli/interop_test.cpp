// pelmora-cli and the Pelmora window on one database: each shows what the other wrote. The window
// is driven as a person uses it (tests/app), the command-line program runs as its own process.
#include "tests/app/app_fixture.h"

#include <filesystem>
#include <thread>

#include "tests/cli/cli_test_support.h"

namespace {

constexpr char kCliTitle[] =
    "Pr\xC3\xBC"
    "fung from the terminal";

}  // namespace

class CliInteropTest : public PelmoraUiTest {
protected:
    void SetUp() override {
        PelmoraUiTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(CreateDirectoryW((Parent() + L"Proj").c_str(), nullptr));
    }

    CliResult Cli(const std::vector<std::string>& args) {
        return RunProgram(args, outputs_.path());
    }
    std::string ItemArg() const { return WideToUtf8(Parent() + L"Proj"); }

    // The command-line program's output files.
    ScratchDir outputs_;
};

TEST_F(CliInteropTest, ATaskAddedByTheCliAppearsInTheWindow) {
    Seed(L"Proj", {{"written by the window"}});
    const CliResult added = Cli({"add", ItemArg(), kCliTitle, "--description", "from a script"});
    ASSERT_EQ(added.code, 0) << added.err;
    EXPECT_EQ(StatusEntry(L"Proj"), 1) << "the CLI writes the status entry as the window does";
    ASSERT_TRUE(Launch(L"Proj"));
    EXPECT_EQ(Shown(),
              (std::vector<std::wstring>{L"written by the window", Utf8ToWideText(kCliTitle)}));
    // The window opens the CLI's task with its description and marks it done.
    ASSERT_TRUE(SelectEntry(1));
    Command(kCmdMarkDone);
    ASSERT_TRUE(WaitUntil([&] {
        const auto tasks = Stored(L"Proj");
        return tasks.size() == 2 && tasks[1].done;
    }));
    ASSERT_TRUE(CloseMain());
    const auto tasks = Stored(L"Proj");
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(tasks[1].description, "from a script");
    EXPECT_EQ(StatusEntry(L"Proj"), 2);
}

TEST_F(CliInteropTest, ATaskAddedInTheWindowIsListedByTheCli) {
    ASSERT_TRUE(Launch(L"Proj"));
    ASSERT_TRUE(AddTask(L"\u00dcbung in the window", L"two\r\nlines", true));
    ASSERT_TRUE(CloseMain());
    const CliResult listed = Cli({"list", ItemArg(), "--json"});
    ASSERT_EQ(listed.code, 0) << listed.err;
    EXPECT_NE(listed.out.find("\"title\": \"\xC3\x9C"
                              "bung in the window\""),
              std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("\"description\": \"two\\r\\nlines\""), std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("\"done\": true"), std::string::npos) << listed.out;
    const CliResult status = Cli({"status", WideToUtf8(Parent())});
    EXPECT_EQ(status.out, "done  1/1  Proj\n") << "the window's status entry is current";
    // And the CLI removes it where the window will no longer find it.
    ASSERT_EQ(Cli({"remove", ItemArg(), "1"}).code, 0);
    ASSERT_TRUE(Launch(L"Proj"));
    EXPECT_TRUE(Shown().empty());
    ASSERT_TRUE(CloseMain());
}

// A window and the command line add one title to one item at the same moment, round after round:
// the title is stored once, the other writer gets its designed refusal (the box, or exit code 4),
// and every task keeps a place of its own.
TEST_F(CliInteropTest, AWindowAndTheCliAddingOneTitleAtOnceStoreItOnce) {
    ASSERT_TRUE(Launch(L"Proj"));
    // The save is set off at steps across the time the command takes, so that either writer
    // comes first in some rounds and the two meet in others.
    const ULONGLONG start = GetTickCount64();
    ASSERT_EQ(Cli({"list", ItemArg()}).code, 0);
    const DWORD cliTime = static_cast<DWORD>(GetTickCount64() - start);
    constexpr int kRounds = 20;
    int cliFirst = 0;
    std::vector<std::string> titles;
    for (int round = 0; round < kRounds; ++round) {
        const std::string title = "Round " + std::to_string(round);
        const HWND editor = OpenEditorWithTitle(app_, main_, Utf8ToWideText(title));
        ASSERT_TRUE(editor) << "round " << round;
        CliResult cli;
        std::thread writer([&] {
            cli = RunProgram({"add", ItemArg(), title}, outputs_.Make(title));
        });
        Sleep(cliTime * static_cast<DWORD>(round % 4) / 2);
        PostSave(editor);
        const SaveOutcome window = AwaitSave(app_, editor);
        writer.join();
        if (cli.code == 0) ++cliFirst;
        EXPECT_TRUE((window == SaveOutcome::kAdded && cli.code == 4) ||
                    (window == SaveOutcome::kRefusedAsTaken && cli.code == 0))
            << "round " << round << ": window " << static_cast<int>(window) << ", cli " << cli.code
            << " " << cli.err;
        titles.push_back(title);
        ASSERT_EQ(StoredTitles(L"Proj"), titles) << "round " << round;
    }
    std::vector<int> priorities;
    for (const StoredTask& task : Stored(L"Proj")) priorities.push_back(task.priority);
    std::vector<int> places(kRounds);
    for (int i = 0; i < kRounds; ++i) places[i] = i;
    EXPECT_EQ(priorities, places);
    // Rounds the window always won would not test its check against the file.
    EXPECT_GT(cliFirst, 0) << "the command line never came first";
    EXPECT_LT(cliFirst, kRounds) << "the window never came first";
    ASSERT_TRUE(CloseMain());
}
