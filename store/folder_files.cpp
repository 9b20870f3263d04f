#include "store/folder_files.h"

std::u16string_view FolderNameOf(std::u16string_view path) {
    return path.substr(ParentFolderOf(path).size());
}

std::u16string_view ParentFolderOf(std::u16string_view path) {
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string_view::npos ? std::u16string_view() : path.substr(0, slash + 1);
}
