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
