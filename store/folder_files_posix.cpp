// The folder's files on POSIX: std::filesystem's full path and the system's folder listing.
#include <dirent.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>

#include "store/folder_files.h"
#include "text/text_encoding.h"

namespace {

struct FolderCloser {
    void operator()(DIR* listing) const noexcept { closedir(listing); }
};

bool IsUtf8(std::string_view name) {
    return Utf16ToUtf8(Utf8ToUtf16(name)) == name;
}

}  // namespace

std::u16string FullPath(const std::u16string& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(Utf16ToUtf8(path), error);
    return error ? path : Utf8ToUtf16(full.lexically_normal().string());
}

std::optional<std::vector<std::u16string>> ListFolderEntries(const std::u16string& folder) {
    const std::unique_ptr<DIR, FolderCloser> listing(opendir(Utf16ToUtf8(folder).c_str()));
    if (!listing) return std::nullopt;
    std::vector<std::u16string> names;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(listing.get());
        if (entry == nullptr) break;
        if (IsUtf8(entry->d_name)) names.push_back(Utf8ToUtf16(entry->d_name));
    }
    if (errno != 0) return std::nullopt;
    return names;
}
