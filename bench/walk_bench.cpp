// The folder-tree walk over 10,000 folders holding 500 task databases, against a bare walk of the
// same tree measured in the same run: readdir natively, the large-fetch FindFirstFileExW under
// Wine. Each walk runs several times, alternating, and the best of each is compared; the goal is
// at most 1.3 times the bare walk. The tree is made on a memory file system where there is one, so
// that the figures are the walks' own and not the disk's.
// Run: build/linux/bench/walk_bench (or under Wine for the Windows build).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#endif

#include "walk/folder_walk.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kTop = 100;
constexpr int kBelow = 99;  // 100 + 100 * 99 = 10,000 folders below the root
constexpr int kListEvery = 20;
constexpr int kRuns = 5;

fs::path ScratchParent() {
#ifdef _WIN32
    const fs::path memory = "Z:\\dev\\shm";
#else
    const fs::path memory = "/dev/shm";
#endif
    std::error_code error;
    return fs::is_directory(memory, error) ? memory : fs::temp_directory_path();
}

void Touch(const fs::path& file) {
    std::ofstream(file, std::ios::binary) << "x";
}

// Each folder holds three items; every 20th folder a database.
int MakeTree(const fs::path& root) {
    int folders = 0;
    auto fill = [&](const fs::path& folder) {
        fs::create_directory(folder);
        for (const char* item : {"notes.txt", "report.pdf", "photo.jpg"}) Touch(folder / item);
        if (++folders % kListEvery == 0) Touch(folder / "pelmora.db");
    };
    fs::create_directories(root);
    for (int i = 0; i < kTop; ++i) {
        const fs::path top = root / ("project " + std::to_string(i));
        fill(top);
        for (int j = 0; j < kBelow; ++j) fill(top / ("part " + std::to_string(j)));
    }
    return folders / kListEvery;
}

#ifdef _WIN32
std::wstring LongRoot(const fs::path& root) {
    wchar_t full[MAX_PATH];
    GetFullPathNameW(root.c_str(), MAX_PATH, full, nullptr);
    return std::wstring(L"\\\\?\\") + full;
}

// What the system does at the least for the same answer: every folder listed once, with the
// basic information, in large fetches.
long BareWalk(const std::wstring& folder) {
    long folders = 1;
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (listing == INVALID_HANDLE_VALUE) return folders;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) {
            folders += BareWalk(folder + L"\\" + found.cFileName);
        }
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    return folders;
}
#else
long BareWalk(const std::string& folder) {
    long folders = 1;
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return folders;
    while (const dirent* entry = readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (entry->d_type == DT_DIR && name != "." && name != "..") {
            folders += BareWalk(folder + "/" + entry->d_name);
        }
    }
    closedir(listing);
    return folders;
}
#endif

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
    const fs::path root =
        ScratchParent() /
        ("pelmora-walk-bench-" + std::to_string(Clock::now().time_since_epoch().count()));
    const int lists = MakeTree(root);
    const std::u16string root16 = root.u16string();
#ifdef _WIN32
    const std::wstring bareRoot = LongRoot(root);
#else
    const std::string bareRoot = root.string();
#endif

    double walker = 1e9, bare = 1e9;
    uint64_t reported = 0, walked = 0;
    long bareFolders = 0;
    for (int run = 0; run < kRuns; ++run) {
        Clock::time_point start = Clock::now();
        bareFolders = BareWalk(bareRoot);
        bare = std::min(bare, Seconds(start));

        std::atomic<bool> cancel{false};
        reported = 0;
        start = Clock::now();
        const WalkResult result = WalkTree(
            root16, {}, [&](const WalkedFolder&) { ++reported; }, cancel);
        walker = std::min(walker, Seconds(start));
        walked = result.folders;
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);

    if (reported != static_cast<uint64_t>(lists) || walked != static_cast<uint64_t>(bareFolders)) {
        std::printf("wrong answer: %llu of %d lists, %llu of %ld folders\n",
                    static_cast<unsigned long long>(reported), lists,
                    static_cast<unsigned long long>(walked), bareFolders);
        return 1;
    }
    const double ratio = walker / bare;
    std::printf("walk over %ld folders with %d lists (best of %d):\n", bareFolders, lists, kRuns);
    std::printf("  walker %.1f ms, bare walk %.1f ms: %.2fx (goal <= 1.3x) %s\n", walker * 1e3,
                bare * 1e3, ratio, ratio <= 1.3 ? "ok" : "SLOW");
    return 0;
}
