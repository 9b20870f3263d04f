// The folder's files on Windows: the system's full path and folder listing.
#include <windows.h>

#include "store/folder_files.h"
#include "win/unique_handle.h"

namespace {

const wchar_t* WidePtr(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string FromWide(const wchar_t* text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

}  // namespace

std::u16string FullPath(const std::u16string& path) {
    const DWORD length = GetFullPathNameW(WidePtr(path), 0, nullptr, nullptr);
    if (length == 0) return path;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(WidePtr(path), length, full.data(), nullptr);
    if (written == 0 || written >= length) return path;
    full.resize(written);
    return FromWide(full.c_str());
}

std::optional<std::vector<std::u16string>> ListFolderEntries(const std::u16string& folder) {
    std::u16string pattern = folder;
    if (!pattern.empty() && pattern.back() != u'\\' && pattern.back() != u'/') pattern += u'\\';
    pattern += u'*';
    WIN32_FIND_DATAW found{};
    UniqueFindHandle listing(FindFirstFileW(WidePtr(pattern), &found));
    if (!listing) return std::nullopt;
    std::vector<std::u16string> names;
    do {
        names.push_back(FromWide(found.cFileName));
    } while (FindNextFileW(listing.get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
    return names;
}
