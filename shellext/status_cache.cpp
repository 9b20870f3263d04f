#include "shellext/status_cache.h"

#include "store/status/status_table.h"
#include "win/unique_handle.h"

namespace {

// Folders and table memory kept at most; the least recently used folder goes first.
constexpr size_t kMaxFolders = 32;
constexpr size_t kMaxTableBytes = 4 * 1024 * 1024;
// The coarsest file time met (FAT keeps two seconds), in 100-nanosecond units.
constexpr ULONGLONG kYoungFileTicks = 2ull * 10 * 1000 * 1000;
// How long a kept table answers before the file is read again, whatever its time and size say.
constexpr ULONGLONG kTableLifetimeTicks = 30ull * 10 * 1000 * 1000;
constexpr size_t kPathChars = 520;

// One parsed file. Immutable once made; a reader holds a reference while it searches, so a table
// replaced meanwhile stays alive until the last reader lets go.
struct StatusTable {
    volatile LONG references;
    size_t bytes;  // what the table takes from the heap
    size_t count;
    StatusTableEntry entries[1];  // `count` of them; the allocation holds room for all
};

void AddRef(StatusTable* table) noexcept {
    InterlockedIncrement(&table->references);
}

void Release(StatusTable* table) noexcept {
    if (table != nullptr && InterlockedDecrement(&table->references) == 0) {
        HeapFree(GetProcessHeap(), 0, table);
    }
}

struct CachedFolder {
    wchar_t statusFile[kPathChars];
    size_t length;
    FILETIME lastWrite;
    ULONGLONG size;
    ULONGLONG loadedAt;  // the clock when the file was read
    StatusTable* table;  // null for a free slot
    volatile LONG64 lastUse;
};

// Held shared for lookups and exclusively for installs; never across file input or output.
SRWLOCK gLock = SRWLOCK_INIT;
CachedFolder gFolders[kMaxFolders];
size_t gTableBytes = 0;
volatile LONG64 gUseClock = 0;

ULONGLONG Ticks(FILETIME time) noexcept {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

ULONGLONG SystemClock() noexcept {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Ticks(now);
}

// Read on every call; set only by tests, while nothing asks.
StatusCacheClock gClock = SystemClock;

ULONGLONG SizeOf(DWORD high, DWORD low) noexcept {
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

bool SameVersion(const CachedFolder& folder, FILETIME lastWrite, ULONGLONG size) noexcept {
    return folder.size == size && CompareFileTime(&folder.lastWrite, &lastWrite) == 0;
}

// A clock set back (the user's, or a test's) ends the lifetime as well.
bool Expired(const CachedFolder& folder, ULONGLONG now) noexcept {
    return now < folder.loadedAt || now - folder.loadedAt >= kTableLifetimeTicks;
}

bool SamePath(const CachedFolder& folder, const wchar_t* path, size_t length) noexcept {
    if (folder.table == nullptr || folder.length != length) return false;
    for (size_t i = length; i > 0; --i) {
        if (folder.statusFile[i - 1] != path[i - 1]) return false;
    }
    return true;
}

// The kept table for this version of the file, with a reference for the caller; null when none
// or when it has answered long enough.
StatusTable* FindTable(const wchar_t* path,
                       size_t length,
                       FILETIME lastWrite,
                       ULONGLONG size,
                       ULONGLONG now) noexcept {
    StatusTable* found = nullptr;
    AcquireSRWLockShared(&gLock);
    for (CachedFolder& folder : gFolders) {
        if (!SamePath(folder, path, length)) continue;
        if (SameVersion(folder, lastWrite, size) && !Expired(folder, now)) {
            found = folder.table;
            AddRef(found);
            InterlockedExchange64(&folder.lastUse, InterlockedIncrement64(&gUseClock));
        }
        break;
    }
    ReleaseSRWLockShared(&gLock);
    return found;
}

// Drops the slot's table; the caller holds the lock exclusively.
void Evict(CachedFolder& folder) noexcept {
    gTableBytes -= folder.table->bytes;
    Release(folder.table);
    folder.table = nullptr;
}

// Drops the folder's table, if one is kept. The common case, none, takes the lock only shared.
void Forget(const wchar_t* path, size_t length) noexcept {
    bool kept = false;
    AcquireSRWLockShared(&gLock);
    for (const CachedFolder& folder : gFolders) {
        if (SamePath(folder, path, length)) kept = true;
    }
    ReleaseSRWLockShared(&gLock);
    if (!kept) return;
    AcquireSRWLockExclusive(&gLock);
    for (CachedFolder& folder : gFolders) {
        if (SamePath(folder, path, length)) Evict(folder);
    }
    ReleaseSRWLockExclusive(&gLock);
}

// Keeps `table` (the cache takes its own reference) as this version of the file, in the folder's
// own slot, a free one, or the least recently used one, evicting more while the memory cap would
// be passed.
void Install(const wchar_t* path,
             size_t length,
             FILETIME lastWrite,
             ULONGLONG size,
             ULONGLONG loadedAt,
             StatusTable* table) noexcept {
    if (table->bytes > kMaxTableBytes || length >= kPathChars) return;
    AcquireSRWLockExclusive(&gLock);
    CachedFolder* slot = nullptr;
    for (CachedFolder& folder : gFolders) {
        if (SamePath(folder, path, length)) slot = &folder;
    }
    if (slot != nullptr) Evict(*slot);
    for (;;) {
        CachedFolder* oldest = nullptr;
        for (CachedFolder& folder : gFolders) {
            if (folder.table == nullptr) {
                if (slot == nullptr) slot = &folder;
                continue;
            }
            if (oldest == nullptr || folder.lastUse < oldest->lastUse) oldest = &folder;
        }
        const bool full = slot == nullptr || gTableBytes + table->bytes > kMaxTableBytes;
        if (!full || oldest == nullptr) break;
        Evict(*oldest);
        if (slot == nullptr) slot = oldest;
    }
    if (slot != nullptr && gTableBytes + table->bytes <= kMaxTableBytes) {
        for (size_t i = 0; i < length; ++i) slot->statusFile[i] = path[i];
        slot->statusFile[length] = L'\0';
        slot->length = length;
        slot->lastWrite = lastWrite;
        slot->size = size;
        slot->loadedAt = loadedAt;
        AddRef(table);
        slot->table = table;
        slot->lastUse = InterlockedIncrement64(&gUseClock);
        gTableBytes += table->bytes;
    }
    ReleaseSRWLockExclusive(&gLock);
}

void FreeHeapBlock(void* block) noexcept {
    HeapFree(GetProcessHeap(), 0, block);
}

using HeapBlock = UniqueHandle<NullHandleTraits<void*, FreeHeapBlock>>;

// What the open file says of itself. The change time moves on every write and also when a writer
// puts the last-write time back, which time and size alone cannot show; it comes with the
// last-write time in the same query, so it costs nothing.
struct FileVersion {
    ULONGLONG size;
    LONGLONG lastWrite;
    LONGLONG change;
};

bool ReadVersion(HANDLE file, FileVersion& version) noexcept {
    LARGE_INTEGER size;
    FILE_BASIC_INFO basic;
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 ||
        !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
        return false;
    }
    version = {static_cast<ULONGLONG>(size.QuadPart), basic.LastWriteTime.QuadPart,
               basic.ChangeTime.QuadPart};
    return true;
}

// Reads the file through one handle, never more than the cap, and parses it. `stable` tells
// whether the file stayed the version the caller's attribute query saw while it was read. Null
// when the file cannot be read or is no regular file within the cap.
StatusTable* Load(const wchar_t* path,
                  const WIN32_FILE_ATTRIBUTE_DATA& attributes,
                  bool& stable) noexcept {
    stable = false;
    // Without backup semantics a folder cannot be opened at all; GetFileType turns away a pipe or
    // a device that a link may lead to, whose reads could block.
    UniqueFileHandle file(CreateFileW(path, GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) return nullptr;
    FileVersion before;
    if (!ReadVersion(file.get(), before) || before.size > kMaxStatusFileBytes) return nullptr;
    const ULONGLONG size = before.size;

    HeapBlock bytes(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(size) + 1));
    if (!bytes) return nullptr;
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.get(), static_cast<DWORD>(size), &got, nullptr)) return nullptr;

    const size_t capacity = MaxStatusEntries(got);
    const size_t tableBytes = sizeof(StatusTable) + capacity * sizeof(StatusTableEntry);
    auto* table = static_cast<StatusTable*>(HeapAlloc(GetProcessHeap(), 0, tableBytes));
    if (table == nullptr) return nullptr;
    table->references = 1;
    table->bytes = tableBytes;
    table->count = ParseStatusTable(static_cast<const unsigned char*>(bytes.get()), got,
                                    table->entries, capacity);

    // A file written while it was read may be torn: it answers this call but is not kept.
    FileVersion after;
    stable = got == size && ReadVersion(file.get(), after) && after.size == size &&
             after.lastWrite == before.lastWrite && after.change == before.change &&
             static_cast<ULONGLONG>(before.lastWrite) == Ticks(attributes.ftLastWriteTime) &&
             SizeOf(attributes.nFileSizeHigh, attributes.nFileSizeLow) == size;
    return table;
}

bool IsYoung(FILETIME lastWrite, ULONGLONG now) noexcept {
    return Ticks(lastWrite) + kYoungFileTicks > now;
}

// A link or other reparse point is read through but never kept: its attributes are its own, not
// those of the file behind it.
bool IsPlainFile(const WIN32_FILE_ATTRIBUTE_DATA& attributes) noexcept {
    return (attributes.dwFileAttributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

}  // namespace

bool QueryStatusFile(const wchar_t* statusFile,
                     size_t length,
                     WIN32_FILE_ATTRIBUTE_DATA& attributes) noexcept {
    const bool found = GetFileAttributesExW(statusFile, GetFileExInfoStandard, &attributes) != 0;
    const bool readable =
        found && (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        SizeOf(attributes.nFileSizeHigh, attributes.nFileSizeLow) <= kMaxStatusFileBytes;
    if (!readable || !IsPlainFile(attributes)) Forget(statusFile, length);
    return readable;
}

int CachedStatusValue(const wchar_t* statusFile,
                      size_t length,
                      const WIN32_FILE_ATTRIBUTE_DATA& attributes,
                      const char (&hex)[33]) noexcept {
    const ULONGLONG size = SizeOf(attributes.nFileSizeHigh, attributes.nFileSizeLow);
    const ULONGLONG now = gClock();
    const bool plain = IsPlainFile(attributes);
    StatusTable* table =
        plain ? FindTable(statusFile, length, attributes.ftLastWriteTime, size, now) : nullptr;
    if (table == nullptr) {
        bool stable = false;
        table = Load(statusFile, attributes, stable);
        if (table == nullptr) return 0;
        if (plain && stable && !IsYoung(attributes.ftLastWriteTime, now)) {
            Install(statusFile, length, attributes.ftLastWriteTime, size, now, table);
        }
    }
    const int value = LookUpStatus(table->entries, table->count, hex, 0);
    Release(table);
    return value;
}

StatusCacheUsage StatusCacheUsageNow() noexcept {
    StatusCacheUsage usage{0, 0};
    AcquireSRWLockShared(&gLock);
    for (const CachedFolder& folder : gFolders) {
        if (folder.table != nullptr) ++usage.folders;
    }
    usage.bytes = gTableBytes;
    ReleaseSRWLockShared(&gLock);
    return usage;
}

bool StatusFileKept(const wchar_t* statusFile, size_t length) noexcept {
    bool kept = false;
    AcquireSRWLockShared(&gLock);
    for (const CachedFolder& folder : gFolders) {
        if (SamePath(folder, statusFile, length)) kept = true;
    }
    ReleaseSRWLockShared(&gLock);
    return kept;
}

void SetStatusCacheClock(StatusCacheClock clock) noexcept {
    gClock = clock != nullptr ? clock : SystemClock;
}

void ReleaseStatusCache() noexcept {
    AcquireSRWLockExclusive(&gLock);
    for (CachedFolder& folder : gFolders) {
        if (folder.table != nullptr) Evict(folder);
    }
    ReleaseSRWLockExclusive(&gLock);
}
