// The overlay identifiers' memory of the status files they read. Explorer asks three identifiers
// about every item it shows and asks again after every change notice; reading and parsing a
// folder's "pelmora.ini" each time would cost a big folder far more than an empty one. Each
// folder's file is parsed once into an immutable table and kept while its last-write time and
// size stay what the attribute query of each call reports, for half a minute at most: a file
// replaced by one of the same size and time (a copy that keeps times, a sync client, a server
// whose clock runs behind) is read again then.
#pragma once

#include <windows.h>

#include <cstddef>

#include "store/status/profile_limit.h"

// The largest status file the overlays read, the one the program's writers keep to.
constexpr ULONGLONG kMaxStatusFileBytes = kMaxProfileFileBytes;

// The attribute query of every call: reads the attributes of the status file `statusFile`
// (`length` units). False when there is no file to read: it is missing, a folder or above the
// cap; the folder's kept table is dropped then (and for a link in its place, which is read
// through but never kept), so that a file back in its place is read again whatever its time and
// size.
bool QueryStatusFile(const wchar_t* statusFile,
                     size_t length,
                     WIN32_FILE_ATTRIBUTE_DATA& attributes) noexcept;

// The status value of the folder key `hex` (32 digits and a terminator) in the status file
// `statusFile`, whose attributes QueryStatusFile has just read; 0 when the file has no such entry
// or cannot be read. The file is read only when no table for this very version of it is kept; a
// file changed within the last two seconds is read again on every call, since a change in the
// same tick of a coarse clock would leave its time and size as they were.
int CachedStatusValue(const wchar_t* statusFile,
                      size_t length,
                      const WIN32_FILE_ATTRIBUTE_DATA& attributes,
                      const char (&hex)[33]) noexcept;

// What the cache holds, for tests and the benchmark.
struct StatusCacheUsage {
    size_t folders;
    size_t bytes;
};
StatusCacheUsage StatusCacheUsageNow() noexcept;
bool StatusFileKept(const wchar_t* statusFile, size_t length) noexcept;

// The clock that ages files and kept tables: the system time in 100-nanosecond units, as file
// times count. Tests put their own in place while no identifier is asking; null puts the system's
// back.
using StatusCacheClock = ULONGLONG (*)() noexcept;
void SetStatusCacheClock(StatusCacheClock clock) noexcept;

// Frees every table; called when the library may unload, when no identifier is alive to ask.
void ReleaseStatusCache() noexcept;
