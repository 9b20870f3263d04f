// The platform layer on Windows: the system's profile functions and file calls.
#include <shlobj.h>
#include <windows.h>

#include "store/profile.h"
#include "store/profile_format.h"
#include "text/text_encoding.h"

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

std::unordered_map<std::u16string, int> ProfileReadInts(const std::u16string& path,
                                                        std::u16string_view section) {
    // The system hands the section over as "key=value" strings, each ended by a NUL, with one
    // more NUL at the end; it says the buffer was too small by filling it to two units short.
    std::wstring buffer(4096, L'\0');
    DWORD length = 0;
    for (;;) {
        length = GetPrivateProfileSectionW(Wide(section).c_str(), buffer.data(),
                                           static_cast<DWORD>(buffer.size()), WidePtr(path));
        if (length + 2 < buffer.size() || buffer.size() >= (1u << 26)) break;
        buffer.assign(buffer.size() * 4, L'\0');
    }
    // The same entries as lines of a file, read by the same rules as on every other platform.
    std::u16string text = u"[";
    text += section;
    text += u"]\n";
    for (DWORD i = 0; i < length; ++i) {
        text += buffer[i] == L'\0' ? u'\n' : static_cast<char16_t>(buffer[i]);
    }
    return profile_format::ReadInts(Utf16ToUtf8(text), section);
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
