#include "shellext/overlay.h"

#include <shlwapi.h>

#include <cwchar>
#include <string_view>

#include "shellext/com_util.h"
#include "shellext/server_lock.h"
#include "shellext/status_cache.h"
#include "shellext/text_buffer.h"
#include "store/folder_files.h"
#include "store/folder_key_hex.h"

namespace {

// The buffers of the item name and of the status file path, in UTF-16 units.
constexpr size_t kPathChars = 520;
// The longest path Windows hands out, with its terminator.
constexpr size_t kLongestPath = 32768;

}  // namespace

COverlayIdentifier::COverlayIdentifier(FolderStatus status, int iconIndex, int priority) noexcept
    : status_(status), iconIndex_(iconIndex), priority_(priority) {
    ServerLock();
}

COverlayIdentifier::~COverlayIdentifier() {
    ServerUnlock();
}

IFACEMETHODIMP COverlayIdentifier::QueryInterface(REFIID riid, void** ppv) noexcept {
    static const QITAB kInterfaces[] = {
        // MinGW declares no __uuidof for this interface: name its IID directly.
        {&IID_IShellIconOverlayIdentifier,
         OFFSETOFCLASS(IShellIconOverlayIdentifier, COverlayIdentifier)},
        {},
    };
    return QISearch(this, kInterfaces, riid, ppv);
}

IFACEMETHODIMP_(ULONG) COverlayIdentifier::AddRef() noexcept {
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

IFACEMETHODIMP_(ULONG) COverlayIdentifier::Release() noexcept {
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

// Asked for every item Explorer shows, once per identifier: one attribute query of the status
// file comes first and answers whether it exists, how large it is and which version it is, so a
// folder without one (or with an oversized one) costs only a glance at the cache, and one whose
// file was parsed before costs a search of its table. Every doubt answers S_FALSE.
IFACEMETHODIMP COverlayIdentifier::IsMemberOf(PCWSTR path, DWORD) noexcept {
    if (path == nullptr) return S_FALSE;
    const size_t length = wcsnlen(path, kLongestPath);
    if (length == 0 || length == kLongestPath) return S_FALSE;
    const size_t slash = LastBackslash(path, length);
    if (slash == length) return S_FALSE;  // no parent folder to hold a status file
    const size_t nameLength = length - slash - 1;
    if (nameLength == 0 || nameLength >= kPathChars) return S_FALSE;  // a drive root has no name

    wchar_t statusFile[kPathChars];
    BoundedText statusPath(statusFile);
    if (!statusPath.Append(path, slash + 1) || !statusPath.AppendLiteral(kStatusFileName)) {
        return S_FALSE;
    }
    const size_t used = statusPath.length();
    WIN32_FILE_ATTRIBUTE_DATA file;
    if (!QueryStatusFile(statusFile, used, file)) return S_FALSE;

    char hex[33];
    FolderKeyHex(
        std::u16string_view(reinterpret_cast<const char16_t*>(path + slash + 1), nameLength), hex);
    // The attributes just read say whether the folder's parsed file is still this file.
    const int status = CachedStatusValue(statusFile, used, file, hex);
    return status == static_cast<int>(status_) ? S_OK : S_FALSE;
}

IFACEMETHODIMP COverlayIdentifier::GetOverlayInfo(PWSTR iconFile,
                                                  int iconFileChars,
                                                  int* index,
                                                  DWORD* flags) noexcept {
    if (iconFile == nullptr || index == nullptr || flags == nullptr) return S_FALSE;
    if (iconFileChars <= 0) return S_FALSE;
    // The pictures are this library's own icon groups; a cut path would name another file.
    const DWORD length =
        GetModuleFileNameW(ServerInstance(), iconFile, static_cast<DWORD>(iconFileChars));
    if (length == 0 || length >= static_cast<DWORD>(iconFileChars)) {
        iconFile[0] = L'\0';
        return S_FALSE;
    }
    *index = iconIndex_;
    *flags = ISIOI_ICONFILE | ISIOI_ICONINDEX;
    return S_OK;
}

IFACEMETHODIMP COverlayIdentifier::GetPriority(int* priority) noexcept {
    if (priority == nullptr) return S_FALSE;
    *priority = priority_;
    return S_OK;
}
