// What the window benchmarks share: the Windows path of a build path, a task list of a given
// length written straight into a database, as the program would have stored it, the search
// for the program's shown list, a program started with its clock, and the median of runs.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "store/folder_key.h"
#include "store/sqlite/task_table.h"
#include "tests/store/item_store.h"
#include "text/text_encoding.h"

inline std::wstring WindowsPath(const char* path) {
    std::wstring wide(path, path + std::char_traits<char>::length(path));  // build paths are ASCII
    if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;  // Wine maps the root to Z:
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

// The path of an empty "pelmora.db" in the temporary folder `name`, which is made when missing.
inline std::wstring FreshBenchDatabase(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring dbPath = folder + L"\\pelmora.db";
    DeleteFileW(dbPath.c_str());
    return dbPath;
}

// Removes what FreshBenchDatabase made and the program wrote beside it.
inline void RemoveBenchDatabase(const std::wstring& dbPath) {
    const std::wstring folder = dbPath.substr(0, dbPath.rfind(L'\\'));
    DeleteFileW(dbPath.c_str());
    DeleteFileW((folder + L"\\pelmora.ini").c_str());
    RemoveDirectoryW(folder.c_str());
}

// Writes `tasks` tasks for the item `folder` into the database at `dbPath`, a third of them done;
// with `description`, each task carries that description too.
inline bool SeedBenchmarkList(const std::wstring& dbPath,
                              const std::u16string& folder,
                              int tasks,
                              const char* description = nullptr) {
    TestStore store;
    if (!OpenTaskStore(store, Utf16ToUtf8(std::u16string(dbPath.begin(), dbPath.end())))) {
        return false;
    }
    store.table = TaskTableName(FolderKey(folder));
    if (!CreateTaskTable(store)) return false;
    Transaction transaction(store);
    for (int i = 0; i < tasks; ++i) {
        TaskRecord record;
        record.title = Base64Encode("Task number " + std::to_string(i) + " of the benchmark");
        if (description != nullptr) record.description = Base64Encode(description);
        record.done = i % 3 == 0 ? 1 : 0;
        record.doneDate = "2024-05-06";
        record.priority = i;
        if (!InsertTask(store, record)) return false;
    }
    return Succeeded(transaction.Commit());
}

struct ShownListSearch {
    DWORD pid;
    int entries;  // -1: any number
    HWND list;
    int listId = 1001;     // the task window's list
    bool atLeast = false;  // `entries` or more
};

inline BOOL CALLBACK FindShownListIn(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ShownListSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
    HWND list = GetDlgItem(window, search->listId);
    if (!list || !IsWindowVisible(list)) return TRUE;
    if (search->entries >= 0) {
        DWORD_PTR count = 0;
        if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &count)) {
            return TRUE;
        }
        const int shown = static_cast<int>(count);
        if (search->atLeast ? shown < search->entries : shown != search->entries) return TRUE;
    }
    search->list = list;
    return FALSE;
}

// The task list of a shown window of process `pid` holding `entries` entries (any number when
// -1), or null when there is none yet.
inline HWND FindShownTaskList(DWORD pid, int entries) {
    ShownListSearch search{pid, entries, nullptr};
    EnumWindows(FindShownListIn, reinterpret_cast<LPARAM>(&search));
    return search.list;
}

// A program started for one measured run: the clock starts just before CreateProcess. The
// program is asked to close (or ended) when the run is over.
class TimedStart {
public:
    TimedStart(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = 30000)
        : timeoutMs_(timeoutMs) {
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        QueryPerformanceCounter(&start_);
        started_ = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                  nullptr, nullptr, &startup, &info_) != FALSE;
    }
    TimedStart(const TimedStart&) = delete;
    TimedStart& operator=(const TimedStart&) = delete;
    ~TimedStart() {
        if (!started_) return;
        if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(info_.hProcess, timeoutMs_) != WAIT_OBJECT_0) {
            TerminateProcess(info_.hProcess, 1);
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }

    bool Started() const { return started_; }
    DWORD Id() const { return info_.dwProcessId; }
    // Milliseconds since the start.
    double Elapsed() const {
        LARGE_INTEGER frequency, now;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&now);
        return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) /
               static_cast<double>(frequency.QuadPart);
    }
    // True while a run may go on: the program runs and the time is not up.
    bool Going() const {
        return started_ && Elapsed() <= timeoutMs_ &&
               WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0;
    }
    // The window to close when the run is over.
    void CloseAtEnd(HWND window) { window_ = window; }

private:
    DWORD timeoutMs_;
    PROCESS_INFORMATION info_{};
    LARGE_INTEGER start_{};
    bool started_ = false;
    HWND window_ = nullptr;
};

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}
