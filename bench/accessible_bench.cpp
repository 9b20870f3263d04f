// What a screen reader's questions cost on a long task list: the time of one round of questions
// about an entry (name, state, place, role) asked of Pelmora.exe's accessible task list from
// this process, for the first and the last entry of 50,000 tasks, against the first entry of a
// list of 10. No question walks the list, so every ratio should stay near 1 (goal: at most 2).
//
// Run under Wine on a display: scripts/wine-run.sh build/win64/bench/accessible_bench.exe [rounds]
#include <windows.h>

#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_list.h"
#include "tests/app/wine_windows.h"

namespace {

constexpr int kLongList = 50000;
constexpr int kShortList = 10;
constexpr DWORD kTimeoutMs = 120000;

// Milliseconds for `rounds` rounds of questions about child `id`.
double TimeQuestions(IAccessible* server, LONG id, int rounds) {
    VARIANT child;
    child.vt = VT_I4;
    child.lVal = id;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < rounds; ++i) {
        BSTR name = nullptr;
        server->get_accName(child, &name);
        SysFreeString(name);
        VARIANT value;
        server->get_accState(child, &value);
        server->get_accRole(child, &value);
        LONG x = 0, y = 0, w = 0, h = 0;
        server->accLocation(&x, &y, &w, &h, child);
    }
    QueryPerformanceCounter(&end);
    return 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart;
}

// Waits for the started program's list with `entries` entries; null when it did not show.
HWND ShownList(TimedStart& run, int entries) {
    while (run.Going()) {
        if (const HWND list = FindShownTaskList(run.Id(), entries)) {
            run.CloseAtEnd(GetParent(list));
            return list;
        }
        Sleep(10);
    }
    return nullptr;
}

std::wstring ArgumentsFor(const std::wstring& dbPath, const wchar_t* folder) {
    return L"\"" + dbPath + L"\" \"" + folder + L"\"";
}

IAccessible* ServerOf(HWND list) {
    IAccessible* server = nullptr;
    if (FAILED(AccessibleObjectFromWindow(list, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&server))))
        return nullptr;
    return server;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    UseUnmanagedWindowsUnderWine();
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;

    const std::wstring dbPath = FreshBenchDatabase(L"pelmora-accessible-bench");
    if (!SeedBenchmarkList(dbPath, u"Long", kLongList) ||
        !SeedBenchmarkList(dbPath, u"Short", kShortList)) {
        std::fprintf(stderr, "accessible_bench: cannot prepare the database\n");
        return 1;
    }

    const std::wstring program = WindowsPath(PELMORA_EXE);
    double shortMs = -1;
    double firstMs = -1;
    double lastMs = -1;
    {
        TimedStart run(program, ArgumentsFor(dbPath, L"Short"), kTimeoutMs);
        const HWND list = ShownList(run, kShortList);
        if (IAccessible* server = list != nullptr ? ServerOf(list) : nullptr) {
            TimeQuestions(server, 1, rounds / 10 + 1);  // the first calls set up the connection
            shortMs = TimeQuestions(server, 1, rounds);
            server->Release();
        }
    }
    {
        TimedStart run(program, ArgumentsFor(dbPath, L"Long"), kTimeoutMs);
        const HWND list = ShownList(run, kLongList);
        if (IAccessible* server = list != nullptr ? ServerOf(list) : nullptr) {
            TimeQuestions(server, 1, rounds / 10 + 1);
            firstMs = TimeQuestions(server, 1, rounds);
            lastMs = TimeQuestions(server, kLongList, rounds);
            server->Release();
        }
    }
    RemoveBenchDatabase(dbPath);
    CoUninitialize();
    if (shortMs <= 0 || firstMs <= 0 || lastMs <= 0) {
        std::fprintf(stderr, "accessible_bench: a list or its accessible server did not appear\n");
        return 1;
    }

    const double worst = std::max(firstMs, lastMs) / shortMs;
    std::printf("questions about one entry (name, state, role, place), %d rounds each\n", rounds);
    std::printf("  %5d tasks, first entry : %8.1f ms\n", kShortList, shortMs);
    std::printf("  %5d tasks, first entry : %8.1f ms  (ratio %.2f)\n", kLongList, firstMs,
                firstMs / shortMs);
    std::printf("  %5d tasks, last entry  : %8.1f ms  (ratio %.2f)\n", kLongList, lastMs,
                lastMs / shortMs);
    std::printf("  worst ratio               : %8.2f  (goal: at most 2.00) %s\n", worst,
                worst <= 2.0 ? "met" : "NOT MET");
    return 0;
}
