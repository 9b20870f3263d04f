#include "tests/cli/cli_test_support.h"
#include "tests/store/item_store.h"

#include <sqlite3.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "cli/cli.h"
#include "store/folder_key.h"
#include "store/status/profile.h"
#include "tasks/folder_status.h"
#include "text/text_encoding.h"

#ifdef _WIN32
#include <windows.h>

#include <thread>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

CliResult RunInProcess(const std::vector<std::string>& args) {
    CliResult result;
    std::vector<std::string> full = {"pelmora-cli"};
    full.insert(full.end(), args.begin(), args.end());
    const CliOutput output{[&](std::string_view text) { result.out += text; },
                           [&](std::string_view text) { result.err += text; }};
    result.code = RunCli(full, output);
    return result;
}

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

// The Windows path of a path from the build: Unix paths are reached through Wine's drive Z:.
std::wstring WindowsPath(const std::string& path) {
    std::wstring wide = Wide(path);
    if (!wide.empty() && wide[0] == L'/') {
        for (wchar_t& c : wide) {
            if (c == L'/') c = L'\\';
        }
        wide = L"Z:" + wide;
    }
    return wide;
}

// Quoted for CommandLineToArgvW: backslashes before a quote doubled, quotes escaped.
std::wstring Quote(const std::wstring& arg) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE InheritableFile(const fs::path& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return CreateFileW(path.wstring().c_str(), GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

// Standard output goes through a pipe, as when a script reads it; standard error to a file.
CliResult RunProgram(const std::vector<std::string>& args, const fs::path& scratch) {
    CliResult result;
    // A file of its own for every run: Wine may close an ended child's handles a moment after
    // the wait returns, and a file still open there could not be made again at once.
    static int run = 0;
    ++run;
    const fs::path errPath = scratch / ("stderr-" + std::to_string(run) + ".txt");
    {
        std::wstring commandLine = Quote(WindowsPath(PELMORA_CLI_EXE));
        for (const std::string& arg : args) commandLine += L" " + Quote(Wide(arg));
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE readEnd = nullptr;
        HANDLE out = nullptr;
        if (!CreatePipe(&readEnd, &out, &inherit, 0)) return result;
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        std::thread reader([&] {
            char buffer[4096];
            DWORD read = 0;
            while (ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
                result.out.append(buffer, read);
            }
        });
        HANDLE err = InheritableFile(errPath);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &process)) {
            WaitForSingleObject(process.hProcess, 60000);
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            result.code = static_cast<int>(code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        // The child's copy of the write end has gone with it; closing ours ends the reader.
        CloseHandle(out);
        CloseHandle(err);
        reader.join();
        CloseHandle(readEnd);
    }
    result.err = ReadFileBytes(errPath);
    return result;
}

#else

CliResult RunProgram(const std::vector<std::string>& args, const fs::path& scratch) {
    CliResult result;
    const fs::path outPath = scratch / "stdout.txt";
    const fs::path errPath = scratch / "stderr.txt";
    std::vector<std::string> full = {PELMORA_CLI_EXE};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : full) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadFileBytes(outPath);
    result.err = ReadFileBytes(errPath);
    return result;
}

#ifdef PELMORA_SQLITE3_CLI
namespace {

void RunSqliteTool(const fs::path& db, const std::string& sql) {
    std::string tool = PELMORA_SQLITE3_CLI;
    std::string path = Utf8Path(db);
    std::string statements = sql;
    char* const argv[] = {tool.data(), path.data(), statements.data(), nullptr};
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << sql;
}

}  // namespace
#endif

#endif

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << "(" << row.title << ", " << row.description << ", " << row.done << ", "
               << row.date << ", " << row.priority << ")";
}

std::map<std::string, std::string> FolderBytes(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files[Utf8Path(entry.path())] =
            entry.is_regular_file() ? ReadFileBytes(entry.path()) : std::string("<folder>");
    }
    return files;
}

void CliTest::SetUp() {
    fs::create_directories(Parent() / "Alpha");
    fs::create_directories(Parent() / u8("Übung"));
    WriteFileBytes(Parent() / "report.txt", "quarterly figures\n");
}

void CliTest::Seed(const std::string& item, const std::vector<std::string>& titles, size_t done) {
    TestStore store;
    ASSERT_TRUE(OpenTaskStore(store, Utf8Path(DbPath())));
    store.table = TaskTableName(FolderKey(Utf8ToUtf16(item)));
    ASSERT_TRUE(CreateTaskTable(store));
    const int start = static_cast<int>(LoadTasks(store)->size());
    for (size_t i = 0; i < titles.size(); ++i) {
        TaskRecord record;
        record.title = Base64Encode(titles[i]);
        record.done = i < done ? 1 : 0;
        record.doneDate = "2020-01-02";
        record.priority = start + static_cast<int>(i);
        ASSERT_TRUE(InsertTask(store, record));
    }
}

void CliTest::Sql(const std::string& sql) {
#ifdef PELMORA_SQLITE3_CLI
    // Natively the file is written by Debian's sqlite3 tool, a writer other than the store.
    RunSqliteTool(DbPath(), sql);
#else
    TestStore store;
    ASSERT_TRUE(OpenTaskStore(store, Utf8Path(DbPath())));
    RunSql(store, sql);
#endif
}

std::vector<Row> CliTest::Rows(const std::string& item, const fs::path& db) {
    std::vector<Row> rows;
    sqlite3* raw = nullptr;
    const std::string path = Utf8Path(db.empty() ? DbPath() : db);
    if (sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(raw);
        return rows;
    }
    UniqueSqlite connection(raw);
    const std::string sql =
        "select quote(title), quote(description), quote(done), quote(done_date), "
        "quote(priority) from " +
        TaskTableName(FolderKey(Utf8ToUtf16(item))) + " order by priority, rowid;";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return rows;
    }
    UniqueStatement holder(statement);
    const auto column = [&](int i) {
        return std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
    };
    while (sqlite3_step(statement) == SQLITE_ROW) {
        rows.push_back({column(0), column(1), column(2), column(3), column(4)});
    }
    return rows;
}

std::vector<std::string> CliTest::Titles(const std::string& item) {
    std::vector<std::string> titles;
    for (const Row& row : Rows(item)) {
        // quote() wraps text in single quotes
        titles.push_back(Base64Decode(row.title.substr(1, row.title.size() - 2)));
    }
    return titles;
}

int CliTest::StatusEntry(const std::string& item) {
    return ProfileReadInt(Utf16Path(StatusPath()), kStatusSection,
                          Utf8ToUtf16(FolderKey(Utf8ToUtf16(item))), -1);
}

std::vector<UnwritableStatusFile::Way> UnwritableStatusFile::Ways() {
#ifdef _WIN32
    return {Way::kFolder, Way::kHeld};
#else
    return {Way::kFolder, Way::kImmutable};
#endif
}

UnwritableStatusFile::UnwritableStatusFile(const fs::path& file, Way way) : file_(file), way_(way) {
    switch (way) {
        case Way::kFolder:
            fs::remove(file_);
            active_ = fs::create_directories(file_ / "kept");
            break;
        case Way::kImmutable:
#ifndef _WIN32
            if (!fs::exists(file_)) WriteFileBytes(file_, "[pelmora]\r\n");
            active_ = std::system(("chattr +i '" + Utf8Path(file_) + "' 2>/dev/null").c_str()) == 0;
#endif
            break;
        case Way::kHeld:
#ifdef _WIN32
            if (!fs::exists(file_)) WriteFileBytes(file_, "[pelmora]\r\n");
            handle_ = CreateFileW(file_.wstring().c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
            active_ = handle_ != INVALID_HANDLE_VALUE;
            if (!active_) handle_ = nullptr;
#endif
            break;
    }
}

UnwritableStatusFile::~UnwritableStatusFile() {
    if (!active_) return;
    switch (way_) {
        case Way::kFolder:
            fs::remove_all(file_);
            break;
        case Way::kImmutable:
            if (std::system(("chattr -i '" + Utf8Path(file_) + "'").c_str()) != 0) {
                ADD_FAILURE() << "chattr -i failed on " << Utf8Path(file_);
            }
            break;
        case Way::kHeld:
#ifdef _WIN32
            CloseHandle(handle_);
#endif
            break;
    }
}

::testing::AssertionResult FailedWith(const CliResult& result, int code) {
    if (result.code != code) {
        return ::testing::AssertionFailure() << "exit code " << result.code << ", expected " << code
                                             << "; stderr: " << result.err;
    }
    if (!result.out.empty()) {
        return ::testing::AssertionFailure() << "a failed command printed: " << result.out;
    }
    if (result.err.empty() || result.err.back() != '\n' ||
        result.err.find('\n') != result.err.size() - 1) {
        return ::testing::AssertionFailure() << "not one line on stderr: [" << result.err << "]";
    }
    return ::testing::AssertionSuccess();
}
