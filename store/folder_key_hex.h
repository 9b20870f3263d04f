// The folder key written into a caller's buffer, without the heap: what the shell extension needs
// for every item Explorer shows. Compiled on its own by the extension; the program's FolderKey
// (store/folder_key.h) is built on it, so both deliverables agree byte for byte.
#pragma once

#include <string_view>

// The folder key of `folderName` written into `hex`: 32 digits and a terminator.
void FolderKeyHex(std::u16string_view folderName, char (&hex)[33]) noexcept;
