#include "store/folder_key.h"

std::string FolderKey(std::u16string_view folderName) {
    char hex[33];
    FolderKeyHex(folderName, hex);
    return std::string(hex, 32);
}

std::string TaskTableName(std::string_view folderKey) {
    std::string name = "tbl_";
    name += folderKey;
    return name;
}

std::u16string_view FolderNameOf(std::u16string_view path) {
    return path.substr(ParentFolderOf(path).size());
}

std::u16string_view ParentFolderOf(std::u16string_view path) {
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string_view::npos ? std::u16string_view() : path.substr(0, slash + 1);
}
