// The platform layer on Windows: the system's profile functions and file calls.
#include <shlobj.h>
#include <windows.h>

#include "store/profile.h"

namespace {

// A NUL-terminated copy for the wide-character API.
std::wstring Wide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

const wchar_t* WidePtr(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

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

bool RemoveFile(const std::u16string& path) {
    if (DeleteFileW(WidePtr(path))) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

void NotifyShellAssocChanged() {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}
