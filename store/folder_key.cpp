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

std::map<std::string, std::u16string> ItemNamesByKey(const std::vector<std::u16string>& entries) {
    std::map<std::string, std::u16string> names;
    for (const std::u16string& name : entries) names.emplace(FolderKey(name), name);
    for (const char16_t* own : {u".", u".."}) names.emplace(FolderKey(own), own);
    return names;
}
