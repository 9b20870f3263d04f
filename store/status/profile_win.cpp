// The platform layer on Windows: the system's profile functions and file calls.
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "store/status/profile.h"
#include "store/status/profile_format.h"
#include "win/unique_handle.h"

namespace {

// A NUL-terminated copy for the wide-character API.
std::wstring Wide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

const wchar_t* WidePtr(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// How long a replace waits in all for a reader or a scanner to let go of the old file (the
// system refuses to replace a file that is open), and the pause between attempts: readers hold
// the file for one read, so short pauses find it free soonest.
constexpr ULONGLONG kReplaceWaitMs = 1000;
constexpr DWORD kReplacePauseMs = 2;

bool IsFolder(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(WidePtr(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsHeldByAnother(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

void Tell(FileFailure* why, FileFailure failure) {
    if (why != nullptr) *why = failure;
}

// Why a call on `path` failed with `error`. The system answers "access denied" for a read-only
// file, for a folder in the file's place and for a file another program holds without sharing
// its deletion, so the file's attributes tell them apart.
FileFailure FailureOf(DWORD error, const std::u16string& path) {
    switch (error) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return FileFailure::kInUse;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileFailure::kDiskFull;
        case ERROR_WRITE_PROTECT:
            return FileFailure::kReadOnly;
        case ERROR_FILE_TOO_LARGE:
            return FileFailure::kTooLarge;
        case ERROR_ACCESS_DENIED: {
            const DWORD attributes = GetFileAttributesW(WidePtr(path));
            if (attributes == INVALID_FILE_ATTRIBUTES) return FileFailure::kDenied;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileFailure::kNotAFile;
            if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return FileFailure::kReadOnly;
            return FileFailure::kDenied;
        }
        default:
            return FileFailure::kOther;
    }
}

// True for a file larger than kMaxProfileFileBytes (its size from its attributes).
bool LargerThanTheLimit(const std::u16string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WidePtr(path), GetFileExInfoStandard, &data)) return false;
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return size > kMaxProfileFileBytes;
}

// How old a temporary file must be before any writer takes it for one left behind, whatever its
// process: a publish takes milliseconds, and the process id may have been given to another
// program since. In units of 100 ns, as file times count.
constexpr ULONGLONG kStaleTempAge = 60ull * 10'000'000ull;

ULONGLONG Ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// True when no process has the id: the system refuses to open an id it does not know with
// ERROR_INVALID_PARAMETER (a process that may not be opened answers "access denied").
bool ProcessIsGone(uint32_t pid) {
    const UniqueHandle<NullHandleTraits<HANDLE, CloseHandle>> process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    return !process && GetLastError() == ERROR_INVALID_PARAMETER;
}

// Removes the temporary files of `target` whose writer was killed before it could remove its
// own: its process is gone, or the file is older than a minute. Each is as large as the file it
// was to replace and would otherwise stay beside the user's items for good. A writer still at
// work holds its file without sharing, so it cannot be removed under it.
void RemoveStaleTempFiles(const std::u16string& target) {
    const size_t slash = target.find_last_of(u"\\/");
    const std::u16string folder =
        slash == std::u16string::npos ? std::u16string() : target.substr(0, slash + 1);
    const std::u16string fileName = target.substr(folder.size());
    const std::u16string pattern = target + u".*.tmp";
    WIN32_FIND_DATAW found{};
    UniqueFindHandle listing(FindFirstFileExW(WidePtr(pattern), FindExInfoBasic, &found,
                                              FindExSearchNameMatch, nullptr, 0));
    if (!listing) return;
    FILETIME nowTime;
    GetSystemTimeAsFileTime(&nowTime);
    const ULONGLONG now = Ticks(nowTime);
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
        const auto owner = profile_format::TempFileOwner(name, fileName);
        if (!owner) continue;
        const ULONGLONG written = Ticks(found.ftLastWriteTime);
        if (ProcessIsGone(*owner) || (now > written && now - written > kStaleTempAge)) {
            DeleteFileW(WidePtr(folder + name));
        }
    } while (FindNextFileW(listing.get(), &found));
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// A new file beside `target` that no other writer uses (this process's id and a count in its
// name, created exclusively), open for writing.
UniqueFileHandle CreateTempBeside(const std::u16string& target, std::wstring& tempPath) {
    static volatile LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = Wide(target) + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                   std::to_wstring(InterlockedIncrement(&counter)) + L".tmp";
        UniqueFileHandle file(CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return UniqueFileHandle();
}

}  // namespace

FileRead ReadWholeFile(const std::u16string& path, std::string& bytes, FileFailure* why) {
    bytes.clear();
    // Writers replace the file rather than write into it, so sharing everything never shows a
    // half-written one; a moment's retry rides out a program that holds it exclusively.
    UniqueFileHandle file;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        file.reset(CreateFileW(WidePtr(path), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) break;
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return FileRead::kMissing;
        }
        if (!IsHeldByAnother(error) || IsFolder(path) ||
            GetTickCount64() - start >= kReplaceWaitMs) {
            Tell(why, FailureOf(error, path));
            return FileRead::kFailed;
        }
        Sleep(kReplacePauseMs);
    }
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            Tell(why, FailureOf(GetLastError(), path));
            bytes.clear();
            return FileRead::kFailed;
        }
        if (got == 0) break;
        bytes.append(buffer, got);
        // A larger file is not read to its end.
        if (bytes.size() > kMaxProfileFileBytes) {
            Tell(why, FileFailure::kTooLarge);
            bytes.clear();
            return FileRead::kFailed;
        }
    }
    return FileRead::kRead;
}

bool ReplaceFileContents(const std::u16string& path, std::string_view bytes, FileFailure* why) {
    if (bytes.size() > kMaxProfileFileBytes) {
        Tell(why, FileFailure::kTooLarge);
        return false;
    }
    RemoveStaleTempFiles(path);
    std::wstring temp;
    UniqueFileHandle file = CreateTempBeside(path, temp);
    if (!file) {
        Tell(why, FailureOf(GetLastError(), path));
        return false;
    }
    const bool written = WriteAll(file.get(), bytes) && FlushFileBuffers(file.get());
    DWORD error = written ? ERROR_SUCCESS : GetLastError();
    file.reset();
    bool replaced = false;
    const ULONGLONG start = GetTickCount64();
    while (written) {
        replaced = MoveFileExW(temp.c_str(), WidePtr(path),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        if (replaced) break;
        error = GetLastError();
        if (!IsHeldByAnother(error) || IsFolder(path) ||
            GetTickCount64() - start >= kReplaceWaitMs) {
            break;
        }
        Sleep(kReplacePauseMs);
    }
    if (!replaced) {
        Tell(why, FailureOf(error, path));
        DeleteFileW(temp.c_str());
    }
    return replaced;
}

int ProfileReadInt(const std::u16string& path,
                   std::u16string_view section,
                   std::u16string_view key,
                   int defaultValue) {
    // The system would read a file of any size, and for every value asked.
    if (LargerThanTheLimit(path)) return defaultValue;
    return static_cast<int>(GetPrivateProfileIntW(Wide(section).c_str(), Wide(key).c_str(),
                                                  defaultValue, WidePtr(path)));
}

bool ProfileWriteString(const std::u16string& path,
                        std::u16string_view section,
                        std::u16string_view key,
                        std::u16string_view value) {
    if (LargerThanTheLimit(path)) return false;
    return WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(value).c_str(),
                                      WidePtr(path)) != FALSE;
}

bool PathExists(const std::u16string& path) {
    return GetFileAttributesW(WidePtr(path)) != INVALID_FILE_ATTRIBUTES;
}

NewFileBeside ProbeNewFileBeside(const std::u16string& path) {
    std::wstring temp;
    UniqueFileHandle file = CreateTempBeside(path, temp);
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT
                   ? NewFileBeside::kRefused
                   : NewFileBeside::kFailed;
    }
    file.reset();
    DeleteFileW(temp.c_str());
    return NewFileBeside::kAllowed;
}

bool RemoveFile(const std::u16string& path) {
    if (DeleteFileW(WidePtr(path))) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

void NotifyShellAssocChanged() {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}
