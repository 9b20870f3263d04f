// The overlays' cache of parsed status files: never a stale answer, never a torn file kept,
// several Explorer threads at once, and bounded. The cache is compiled in here as well, so the
// tests can ask it directly what it holds; the threads also go through the library's identifiers.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "shellext/guids.h"
#include "shellext/status_cache.h"
#include "store/folder_key.h"
#include "store/folder_key_hex.h"
#include "store/status/profile.h"
#include "test_support.h"

namespace {

constexpr char kAlpha[] = "900150983cd24fb0d6963f7d28e17f72";  // the key of "abc"
constexpr ULONGLONG kSecond = 10 * 1000 * 1000;                // in file time units

// The cache's clock while a test runs: set to the system's time at the start, then moved by hand.
ULONGLONG gNow = 0;
ULONGLONG TestClock() noexcept {
    return gNow;
}

ULONGLONG Ticks(FILETIME time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Sets the file's last-write time `seconds` before now (negative: after).
void SetAge(const std::wstring& path, double seconds) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
    ticks.QuadPart -= static_cast<ULONGLONG>(static_cast<LONGLONG>(seconds * 1e7));
    const FILETIME time{ticks.LowPart, ticks.HighPart};
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
    CloseHandle(file);
}

FILETIME LastWrite(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void SetLastWrite(const std::wstring& path, FILETIME time) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
    CloseHandle(file);
}

// What IsMemberOf does: one attribute query, then the cache; -1 when there is no file to read.
int Value(const std::wstring& statusFile, const char* key = kAlpha) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!QueryStatusFile(statusFile.c_str(), statusFile.size(), data)) return -1;
    char hex[33];
    for (size_t i = 0; i < 33; ++i) hex[i] = key[i];
    return CachedStatusValue(statusFile.c_str(), statusFile.size(), data, hex);
}

bool Kept(const std::wstring& statusFile) {
    return StatusFileKept(statusFile.c_str(), statusFile.size());
}

std::string Entry(const char* key, char value) {
    return std::string("[pelmora]\r\n") + key + "=" + value + "\r\n";
}

class StatusCacheTest : public testing::Test {
protected:
    void SetUp() override {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        gNow = Ticks(now);
        SetStatusCacheClock(TestClock);
    }
    void TearDown() override {
        ReleaseStatusCache();
        SetStatusCacheClock(nullptr);
    }
    ScratchDir folder_;
};

// Time and size alone cannot tell two versions of a young file apart: a same-size change whose
// time is set back, or a file read while half written, must never be kept.
TEST_F(StatusCacheTest, YoungFilesAreReadAgainUntilTheirTimeCanBeTrusted) {
    const std::wstring ini = folder_.path().wstring() + L"\\pelmora.ini";
    ASSERT_TRUE(WriteFileBytes(ini, Entry(kAlpha, '1')));
    const FILETIME written = LastWrite(ini);
    // The window is two seconds of the clock, not two of its ticks.
    for (const auto& [tenths, kept] : {std::pair{19, false}, std::pair{21, true}}) {
        ReleaseStatusCache();
        gNow = Ticks(written) + tenths * kSecond / 10;
        EXPECT_EQ(Value(ini), 1);
        EXPECT_EQ(Kept(ini), kept) << "at " << tenths / 10.0 << " s";
    }
    ReleaseStatusCache();
    gNow = Ticks(written);
    EXPECT_EQ(Value(ini), 1);
    ASSERT_TRUE(WriteFileBytes(ini, Entry(kAlpha, '3')));
    SetLastWrite(ini, written);
    EXPECT_EQ(Value(ini), 3) << "a same-size change with the old time was missed";

    // Two halves with a pause between, in a file already as long as the whole.
    const std::string whole = Entry(kAlpha, '1') + "d41d8cd98f00b204e9800998ecf8427e=2\r\n";
    HANDLE file = CreateFileW(ini.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    const std::string half = whole.substr(0, whole.size() / 2);
    ASSERT_TRUE(
        WriteFile(file, whole.data(), static_cast<DWORD>(whole.size() / 2), &done, nullptr));
    SetFilePointer(file, static_cast<LONG>(whole.size()), nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    const FILETIME halfTime = LastWrite(ini);
    EXPECT_EQ(Value(ini, "d41d8cd98f00b204e9800998ecf8427e"), 0);  // the half has no such entry
    SetFilePointer(file, static_cast<LONG>(half.size()), nullptr, FILE_BEGIN);
    ASSERT_TRUE(WriteFile(file, whole.data() + half.size(),
                          static_cast<DWORD>(whole.size() - half.size()), &done, nullptr));
    CloseHandle(file);
    SetLastWrite(ini, halfTime);  // the same tick on a coarse clock
    EXPECT_EQ(Value(ini, "d41d8cd98f00b204e9800998ecf8427e"), 2) << "the half was kept";

    // Once old, the file is kept, and a change is seen by its new time or size.
    SetAge(ini, 60);
    EXPECT_EQ(Value(ini), 1);
    EXPECT_EQ(StatusCacheUsageNow().folders, 1u);
    ASSERT_TRUE(WriteFileBytes(ini, Entry(kAlpha, '2')));
    EXPECT_EQ(Value(ini), 2);
}

// A kept table answers only for the size and time it was read with, and for half a minute at
// most: a rewrite that keeps one of them is seen at once, one that keeps both (a copy or restore
// that keeps times, a server whose clock runs behind) when the half minute is over.
TEST_F(StatusCacheTest, AKeptTableAnswersForItsSizeAndTimeAndHalfAMinute) {
    const std::wstring ini = folder_.path().wstring() + L"\\pelmora.ini";
    const std::string longer = Entry(kAlpha, '2') + "; and a comment\r\n";
    const struct {
        const char* what;
        std::string bytes;
        bool oldTime;
        int secondsLater;
        int expected;
    } kRewrites[] = {
        {"same size, new time", Entry(kAlpha, '2'), false, 0, 2},
        {"other size, old time", longer, true, 0, 2},
        {"same size and time, within the lifetime", Entry(kAlpha, '2'), true, 29, 1},
        {"same size and time, lifetime over", Entry(kAlpha, '2'), true, 30, 2},
    };
    for (const auto& rewrite : kRewrites) {
        SCOPED_TRACE(rewrite.what);
        ReleaseStatusCache();
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        gNow = Ticks(now);
        ASSERT_TRUE(WriteFileBytes(ini, Entry(kAlpha, '1')));
        SetAge(ini, 60);
        const FILETIME old = LastWrite(ini);
        ASSERT_EQ(Value(ini), 1);
        ASSERT_TRUE(Kept(ini));
        ASSERT_TRUE(WriteFileBytes(ini, rewrite.bytes));
        SetAge(ini, 30);
        if (rewrite.oldTime) SetLastWrite(ini, old);
        gNow += rewrite.secondsLater * kSecond;
        EXPECT_EQ(Value(ini), rewrite.expected);
    }
}

// A call that finds no file to read drops the folder's table: the file that comes back is read
// again, even with the old size and time.
TEST_F(StatusCacheTest, AFileAwayForAMomentIsReadAgainWhenBack) {
    const std::wstring ini = folder_.path().wstring() + L"\\pelmora.ini";
    const struct {
        const char* what;
        bool folder;
        bool oversized;
    } kAbsences[] = {
        {"missing", false, false}, {"a folder", true, false}, {"oversized", false, true}};
    for (const auto& absence : kAbsences) {
        SCOPED_TRACE(absence.what);
        ReleaseStatusCache();
        ASSERT_TRUE(WriteFileBytes(ini, Entry(kAlpha, '1')));
        SetAge(ini, 60);
        const FILETIME old = LastWrite(ini);
        ASSERT_EQ(Value(ini), 1);
        ASSERT_TRUE(Kept(ini));
        if (absence.oversized) {
            ASSERT_TRUE(WriteFileBytes(ini, std::string(kMaxStatusFileBytes + 1, ';')));
        } else {
            ASSERT_TRUE(DeleteFileW(ini.c_str()));
            ASSERT_TRUE(!absence.folder || CreateDirectoryW(ini.c_str(), nullptr));
        }
        EXPECT_EQ(Value(ini), -1);
        EXPECT_FALSE(Kept(ini));
        ASSERT_TRUE(!absence.folder || RemoveDirectoryW(ini.c_str()));
        ASSERT_TRUE(WriteFileBytes(ini, Entry(kAlpha, '3')));
        SetLastWrite(ini, old);
        EXPECT_EQ(Value(ini), 3);
    }
}

TEST_F(StatusCacheTest, HoldsAFewDozenFoldersAndAFewMegabytesAtMost) {
    std::vector<std::wstring> files;
    for (int i = 0; i < 100; ++i) {
        files.push_back(folder_.Make(L"f" + std::to_wstring(i)).wstring() + L"\\pelmora.ini");
        ASSERT_TRUE(WriteFileBytes(files.back(), Entry(kAlpha, static_cast<char>('0' + i % 4))));
        SetAge(files.back(), 60);
    }
    // Explorer keeps showing the first folder while the others pass by: the first stays, and
    // each new one takes the place of the one asked longest ago.
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(Value(files[i]), i % 4);
        ASSERT_TRUE(Kept(files[i])) << i;
        ASSERT_TRUE(Kept(files[0])) << i;
        ASSERT_EQ(Value(files[0]), 0);
        const StatusCacheUsage usage = StatusCacheUsageNow();
        ASSERT_LE(usage.folders, 32u);
        ASSERT_GE(usage.folders, static_cast<size_t>(std::min(i + 1, 32)));
    }
    EXPECT_TRUE(Kept(files[0]));
    EXPECT_FALSE(Kept(files[68]));
    EXPECT_TRUE(Kept(files[69]));
    // Files at the size cap: their tables pass the memory cap long before the folder count.
    std::string big = Entry(kAlpha, '3');
    for (int i = 0; big.size() + 36 <= kMaxStatusFileBytes; ++i) {
        char key[33];
        snprintf(key, sizeof key, "%032x", i + 1);
        big += std::string(key) + "=1\r\n";
    }
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(WriteFileBytes(files[i], big));
        SetAge(files[i], 60);
        ASSERT_EQ(Value(files[i]), 3);
        ASSERT_TRUE(Kept(files[i])) << "no room made for a new folder at the cap, " << i;
        ASSERT_LE(StatusCacheUsageNow().bytes, 4u * 1024 * 1024);
    }
    EXPECT_GE(StatusCacheUsageNow().bytes, 3u * 1024 * 1024) << "big tables were not kept";
}

// Explorer's threads ask while a writer replaces files: every answer is the old value or the new
// one, and once the writer has stopped every answer is the file's.
TEST_F(StatusCacheTest, ThreadsAskWhileAWriterReplacesFiles) {
    constexpr int kFolders = 50;
    std::vector<std::wstring> items;
    std::vector<std::u16string> files;
    for (int i = 0; i < kFolders; ++i) {
        const std::wstring dir = folder_.Make(L"f" + std::to_wstring(i)).wstring();
        items.push_back(dir + L"\\abc");
        files.push_back(std::u16string(dir.begin(), dir.end()) + u"\\pelmora.ini");
        ASSERT_TRUE(ReplaceFileContents(files.back(), Entry(kAlpha, '1')));
    }
    std::vector<ComPtr<IShellIconOverlayIdentifier>> identifiers;
    for (const CLSID* clsid :
         {&CLSID_PelmoraDoneOverlay, &CLSID_PelmoraHalfOverlay, &CLSID_PelmoraZeroOverlay}) {
        identifiers.push_back(CreateExtensionObject<IShellIconOverlayIdentifier>(*clsid));
        ASSERT_TRUE(identifiers.back());
    }
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::atomic<long> calls{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 8; ++t) {
        readers.emplace_back([&, t] {
            for (int n = t; !stop; ++n) {
                const int i = n % kFolders;
                const int value = Value(std::wstring(files[i].begin(), files[i].end()));
                if (value != 1 && value != 3) ++wrong;
                // Only 1 and 3 are ever written: the half identifier never claims.
                for (size_t k = 0; k < identifiers.size(); ++k) {
                    const HRESULT hr = identifiers[k]->IsMemberOf(items[i].c_str(), 0);
                    if (hr != S_FALSE && (hr != S_OK || k == 1)) ++wrong;
                }
                ++calls;
                Sleep(10);  // room for the writer on a small machine
            }
        });
    }
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kFolders; ++i) {
            ASSERT_TRUE(ReplaceFileContents(files[i], Entry(kAlpha, round == 0 ? '3' : '1')));
        }
    }
    stop = true;
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(wrong, 0) << "of " << calls << " calls";
    // The last round wrote 1 everywhere. Aged past the young window, the files are kept now.
    for (int i = 0; i < kFolders; ++i) {
        const std::wstring ini(files[i].begin(), files[i].end());
        SetAge(ini, 60);
        EXPECT_EQ(Value(ini), 1);
        EXPECT_EQ(identifiers[2]->IsMemberOf(items[i].c_str(), 0), S_OK);
        EXPECT_EQ(identifiers[0]->IsMemberOf(items[i].c_str(), 0), S_FALSE);
    }
}

}  // namespace
