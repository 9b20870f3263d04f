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
    EXPECT_EQ(listed.out, "1  [ ]  " + Rows("Übung")[0].Date() + "  " + title + "\n");
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
    EXPECT_EQ(version.out, "pelmora-cli " PELMORA_EXPECTED_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

#ifdef _WIN32
#include <windows.h>

#include "text/text_encoding.h"

// In a console the program writes UTF-16, so characters outside the console's code page show as
// themselves rather than as the bytes of their UTF-8 form.
TEST_F(ProgramTest, AConsoleShowsNonAsciiTitlesAsCharacters) {
    const std::string title =
        "Pr\xC3\xBC"
        "fung \xE2\x9C\x93 \xCE\xA9mega \xD0\x96\xD0\xA3\xD0\x9A";
    ASSERT_EQ(Run({"add", Item("Alpha"), title}).code, kExitOk);
    FreeConsole();
    if (!AllocConsole()) GTEST_SKIP() << "no console can be made here";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(console, INVALID_HANDLE_VALUE);
    const std::u16string item = Utf8ToUtf16(Item("Alpha"));
    std::wstring commandLine =
        L"\"" + std::wstring(PELMORA_CLI_EXE, PELMORA_CLI_EXE + sizeof(PELMORA_CLI_EXE) - 1) +
        L"\" list \"" + std::wstring(item.begin(), item.end()) + L"\"";
    if (commandLine[1] == L'/') {
        for (wchar_t& c : commandLine) {
            if (c == L'/') c = L'\\';
        }
        commandLine.insert(1, L"Z:");
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = console;
    startup.hStdOutput = console;
    startup.hStdError = console;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u);

    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(console, &info));
    const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
    std::wstring screen(cells, L' ');
    DWORD read = 0;
    ASSERT_TRUE(ReadConsoleOutputCharacterW(console, screen.data(), cells, COORD{0, 0}, &read));
    CloseHandle(console);
    FreeConsole();
    const std::u16string expected = Utf8ToUtf16(title);
    EXPECT_NE(screen.find(std::wstring(expected.begin(), expected.end())), std::wstring::npos);
}
#endif
