// pelmora-cli and the Pelmora window on one database: each shows what the other wrote. The window
// is driven as a person uses it (tests/app), the command-line program runs as its own process.
#include "tests/app/app_fixture.h"

#include <atomic>
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
        outputs_ = std::filesystem::temp_directory_path() /
                   ("pelmora-cli-interop-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(outputs_);
    }
    void TearDown() override {
        PelmoraUiTest::TearDown();
        std::error_code ignored;
        if (!outputs_.empty()) std::filesystem::remove_all(outputs_, ignored);
    }

    CliResult Cli(const std::vector<std::string>& args) { return RunProgram(args, outputs_); }
    std::string ItemArg() const { return WideToUtf8(Parent() + L"Proj"); }

    std::filesystem::path outputs_;
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

// The window's editor and two command-line writers adding to one item at the same time: every
// task is kept, and the places are 0..n-1, one each, whoever wrote it.
TEST_F(CliInteropTest, TheWindowAndTwoCliWritersAddingAtOnceGetAPlaceEach) {
    ASSERT_TRUE(Launch(L"Proj"));
    constexpr int kEach = 5;
    std::atomic<int> cliAdded{0};
    const auto writer = [&](const std::string& name) {
        const std::filesystem::path scratch = outputs_ / name;
        std::filesystem::create_directories(scratch);
        for (int i = 0; i < kEach; ++i) {
            const CliResult result =
                RunProgram({"add", ItemArg(), name + " " + std::to_string(i)}, scratch);
            if (result.code == 0) ++cliAdded;
            EXPECT_TRUE(result.code == 0 || result.code == 5) << result.err;
        }
    };
    std::thread first(writer, "first");
    std::thread second(writer, "second");
    int windowAdded = 0;
    for (int i = 0; i < kEach; ++i) {
        if (AddTask(L"window " + std::to_wstring(i))) ++windowAdded;
    }
    first.join();
    second.join();
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(windowAdded, kEach);
    std::vector<int> priorities;
    for (const StoredTask& task : Stored(L"Proj")) priorities.push_back(task.priority);
    std::vector<int> places(priorities.size());
    for (size_t i = 0; i < places.size(); ++i) places[i] = static_cast<int>(i);
    EXPECT_EQ(priorities.size(), static_cast<size_t>(windowAdded + cliAdded.load()));
    EXPECT_EQ(priorities, places);
}
