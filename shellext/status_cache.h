// The overlay identifiers' memory of the status files they read. Explorer asks three identifiers
// about every item it shows and asks again after every change notice; reading and parsing a
// folder's "pelmora.ini" each time would cost a big folder far more than an empty one. Each
// folder's file is parsed once into an immutable table and kept while its last-write time and
// size stay what the attribute query of each call reports.
#pragma once

#include <windows.h>

#include <cstddef>

#include "store/profile_limit.h"

// The largest status file the overlays read, the one the program's writers keep to.
constexpr ULONGLONG kMaxStatusFileBytes = kMaxProfileFileBytes;

// The status value of the folder key `hex` (32 digits and a terminator) in the status file
// `statusFile` (`length` units), whose attributes the caller has just read; 0 when the file has
// no such entry or cannot be read. The file is read only when no table for this very version of
// it is kept; a file changed within the last two seconds is read again on every call, since a
// change in the same tick of a coarse clock would leave its time and size as they were.
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

// Frees every table; called when the library may unload, when no identifier is alive to ask.
void ReleaseStatusCache() noexcept;
