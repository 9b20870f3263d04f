// "Tasks Below This Folder": how soon the window shows its first entries over a tree of 10,000
// folders holding 500 lists, against the start of a minimal dialog program that shows an empty
// list box, both started the same way from this process (CreateProcess until the list is shown,
// for Pelmora with at least one entry in it). Also the time until the walk has finished. Prints
// the medians of alternating runs; the goal is the first entries within 1 s of opening.
//
// Run under Wine on a display: scripts/wine-run.sh build/win64/bench/below_bench.exe [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_list.h"
#include "tests/app/wine_windows.h"

namespace {

constexpr int kTop = 100;
constexpr int kBelow = 99;  // 100 + 100 * 99 = 10,000 folders below the root
constexpr int kListEvery = 20;
constexpr DWORD kTimeoutMs = 60000;
// The window's list and its Cancel button, as the program's resources number them.
constexpr int kBelowList = 1203;
constexpr int kBelowStop = 1206;

void Touch(const std::wstring& file) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

// The tree: three items in every folder, every 20th folder with a list of 10 tasks for one.
// Returns the number of lists, or -1 when one could not be written.
int MakeTree(const std::wstring& root) {
    int folders = 0;
    int lists = 0;
    auto fill = [&](const std::wstring& folder) {
        CreateDirectoryW(folder.c_str(), nullptr);
        for (const wchar_t* item : {L"\\notes.txt", L"\\report.pdf", L"\\photo.jpg"}) {
            Touch(folder + item);
        }
        if (++folders % kListEvery != 0) return true;
        ++lists;
        return SeedBenchmarkList(folder + L"\\pelmora.db", u"notes.txt", 10);
    };
    CreateDirectoryW(root.c_str(), nullptr);
    for (int i = 0; i < kTop; ++i) {
        const std::wstring project = root + L"\\project " + std::to_wstring(i);
        if (!fill(project)) return -1;
        for (int j = 0; j < kBelow; ++j) {
            if (!fill(project + L"\\part " + std::to_wstring(j))) return -1;
        }
    }
    return lists;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(listing, &found));
        FindClose(listing);
    }
    RemoveDirectoryW(folder.c_str());
}

struct Timing {
    double shown = -1;     // the list shown with at least one entry (any, for the baseline)
    double finished = -1;  // the walk done: the progress line no longer changes (Pelmora only)
};

// One start of `program`; `listId` is the list to wait for.
Timing TimeOneStart(const std::wstring& program,
                    const std::wstring& arguments,
                    int listId,
                    bool waitForEntries) {
    TimedStart run(program, arguments, kTimeoutMs);
    Timing timing;
    HWND list = nullptr;
    while (list == nullptr && run.Going()) {
        ShownListSearch search{run.Id(), waitForEntries ? 1 : -1, nullptr, listId, true};
        EnumWindows(FindShownListIn, reinterpret_cast<LPARAM>(&search));
        list = search.list;
        if (list == nullptr) Sleep(1);
    }
    if (list == nullptr) return timing;
    timing.shown = run.Elapsed();
    run.CloseAtEnd(GetParent(list));
    if (waitForEntries) {
        // The walk is done when Cancel is disabled again.
        const HWND stop = GetDlgItem(GetParent(list), kBelowStop);
        while (stop != nullptr && IsWindowEnabled(stop) && run.Going()) Sleep(1);
        if (stop != nullptr && !IsWindowEnabled(stop)) timing.finished = run.Elapsed();
    }
    return timing;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    wchar_t display[256];
    if (GetEnvironmentVariableW(L"DISPLAY", display, 256) == 0 &&
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
        std::fprintf(stderr, "below_bench: no X display (start Xvfb and set DISPLAY)\n");
        return 2;
    }
    UseUnmanagedWindowsUnderWine();

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"pelmora-below-bench";
    RemoveTree(root);
    const int lists = MakeTree(root);
    if (lists < 0) {
        std::fprintf(stderr, "below_bench: cannot prepare the tree\n");
        RemoveTree(root);
        return 1;
    }
    const std::wstring pelmora = WindowsPath(PELMORA_EXE);
    const std::wstring minimal = WindowsPath(MINIMAL_DIALOG_EXE);
    const std::wstring belowArgs = L"/below \"" + root + L"\"";
    constexpr int kMinimalListId = 1001;

    // One start of each first, unmeasured: the first start of any program pays for loading the
    // system libraries into the file cache.
    TimeOneStart(minimal, L"", kMinimalListId, false);
    TimeOneStart(pelmora, belowArgs, kBelowList, true);

    std::vector<double> shown, finished, minimalTimes;
    for (int i = 0; i < runs; ++i) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool pelmoraTurn = (turn == 0) == (i % 2 == 0);
            const Timing timing = pelmoraTurn ? TimeOneStart(pelmora, belowArgs, kBelowList, true)
                                              : TimeOneStart(minimal, L"", kMinimalListId, false);
            if (timing.shown < 0 || (pelmoraTurn && timing.finished < 0)) {
                std::fprintf(stderr, "below_bench: %s did not show its list\n",
                             pelmoraTurn ? "Pelmora.exe /below" : "minimal_dialog.exe");
                RemoveTree(root);
                return 1;
            }
            if (pelmoraTurn) {
                shown.push_back(timing.shown);
                finished.push_back(timing.finished);
            } else {
                minimalTimes.push_back(timing.shown);
            }
        }
    }
    RemoveTree(root);

    const double first = Median(shown);
    const double baseline = Median(minimalTimes);
    std::printf("Tasks Below This Folder over 10,000 folders with %d lists, median of %d runs\n",
                lists, runs);
    std::printf("  minimal dialog, empty list box shown : %8.1f ms\n", baseline);
    std::printf(
        "  first entries shown                  : %8.1f ms (%.2fx the minimal dialog; "
        "goal: within 1000 ms) %s\n",
        first, first / baseline, first <= 1000.0 ? "met" : "NOT MET");
    std::printf("  whole tree read                      : %8.1f ms\n", Median(finished));
    return 0;
}
