// The platform layer on Windows: the system's profile functions and file calls.
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "store/profile.h"
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

FileRead ReadWholeFile(const std::u16string& path, std::string& bytes) {
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
            return FileRead::kFailed;
        }
        Sleep(kReplacePauseMs);
    }
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            bytes.clear();
            return FileRead::kFailed;
        }
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return FileRead::kRead;
}

bool ReplaceFileContents(const std::u16string& path, std::string_view bytes) {
    std::wstring temp;
    UniqueFileHandle file = CreateTempBeside(path, temp);
    if (!file) return false;
    const bool written = WriteAll(file.get(), bytes) && FlushFileBuffers(file.get());
    file.reset();
    bool replaced = false;
    const ULONGLONG start = GetTickCount64();
    while (written) {
        replaced = MoveFileExW(temp.c_str(), WidePtr(path),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        if (replaced || !IsHeldByAnother(GetLastError()) || IsFolder(path) ||
            GetTickCount64() - start >= kReplaceWaitMs) {
            break;
        }
        Sleep(kReplacePauseMs);
    }
    if (!replaced) DeleteFileW(temp.c_str());
    return replaced;
}

int ProfileReadInt(const std::u16string& path,
                   std::u16string_view section,
                   std::u16string_view key,
                   int defaultValue) {
    return static_cast<int>(GetPrivateProfileIntW(Wide(section).c_str(), Wide(key).c_str(),
                                                  defaultValue, WidePtr(path)));
}

bool ProfileWriteString(const std::u16string& path,
                        std::u16string_view section,
                        std::u16string_view key,
                        std::u16string_view value) {
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
