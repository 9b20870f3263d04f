// Start-up time of Pelmora.exe with 1,000 tasks, against a minimal dialog program that shows an
// empty list box, both started the same way from this process: the time from CreateProcess until
// the window is visible (and, for Pelmora, its list holds every task). Prints the medians of
// several alternating runs and their ratio; the goal is at most 2.
//
// Run under Wine on a display: scripts/wine-run.sh build/win64/bench/startup_bench.exe [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_list.h"
#include "tests/app/wine_windows.h"

namespace {

constexpr int kTasks = 1000;
// One start: milliseconds until the window is shown, or a negative value on failure.
double TimeOneStart(const std::wstring& program, const std::wstring& arguments, int wantEntries) {
    TimedStart run(program, arguments);
    while (run.Going()) {
        const HWND list = FindShownTaskList(run.Id(), wantEntries);
        const double elapsed = run.Elapsed();
        if (list != nullptr) {
            run.CloseAtEnd(GetParent(list));
            return elapsed;
        }
        Sleep(1);
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    wchar_t display[256];
    if (GetEnvironmentVariableW(L"DISPLAY", display, 256) == 0 &&
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
        std::fprintf(stderr, "startup_bench: no X display (start Xvfb and set DISPLAY)\n");
        return 2;
    }
    UseUnmanagedWindowsUnderWine();

    const std::wstring dbPath = FreshBenchDatabase(L"pelmora-startup-bench");
    if (!SeedBenchmarkList(dbPath, u"Bench", kTasks,
                           "A description that is a little longer than a title.")) {
        std::fprintf(stderr, "startup_bench: cannot prepare the database\n");
        return 1;
    }
    const std::wstring pelmora = WindowsPath(PELMORA_EXE);
    const std::wstring minimal = WindowsPath(MINIMAL_DIALOG_EXE);
    const std::wstring pelmoraArgs = L"\"" + dbPath + L"\" \"Bench\"";

    // One start of each first, unmeasured: the first start of any program pays for loading the
    // system libraries into the file cache.
    TimeOneStart(minimal, L"", -1);
    TimeOneStart(pelmora, pelmoraArgs, kTasks);

    std::vector<double> pelmoraTimes, minimalTimes;
    for (int i = 0; i < runs; ++i) {
        // Alternate which program goes first, so that neither always finds a warmer machine.
        for (int turn = 0; turn < 2; ++turn) {
            const bool pelmoraTurn = (turn == 0) == (i % 2 == 0);
            const double ms = pelmoraTurn ? TimeOneStart(pelmora, pelmoraArgs, kTasks)
                                          : TimeOneStart(minimal, L"", -1);
            if (ms < 0) {
                std::fprintf(stderr, "startup_bench: %s did not show its window\n",
                             pelmoraTurn ? "Pelmora.exe" : "minimal_dialog.exe");
                return 1;
            }
            (pelmoraTurn ? pelmoraTimes : minimalTimes).push_back(ms);
        }
    }
    RemoveBenchDatabase(dbPath);

    const double pelmoraMedian = Median(pelmoraTimes);
    const double minimalMedian = Median(minimalTimes);
    const double ratio = pelmoraMedian / minimalMedian;
    std::printf("start-up to the window shown, median of %d runs each\n", runs);
    std::printf("  minimal dialog, empty list box : %8.1f ms\n", minimalMedian);
    std::printf("  Pelmora.exe, %d tasks        : %8.1f ms\n", kTasks, pelmoraMedian);
    std::printf("  ratio                          : %8.2f  (goal: at most 2.00) %s\n", ratio,
                ratio <= 2.0 ? "met" : "NOT MET");
    return 0;
}
