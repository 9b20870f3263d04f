// The folder key: 32 lower-case hexadecimal digits of the MD5 digest of an item's name (the last
// path component, as UTF-8). It names the item's task table and its entry in the status file.
// The program and the shell extension both compile this file and must agree byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// MD5 (RFC 1321). After Md5Final the state, bit count and input buffer are cleared; the digest
// and its hexadecimal text stay in the context.
struct Md5Context {
    uint32_t state[4];
    uint32_t count[2];  // message length in bits, low word first
    uint8_t buffer[64];
    uint8_t digest[16];
    char hex[33];
};

void Md5Init(Md5Context& ctx) noexcept;
void Md5Update(Md5Context& ctx, const void* data, size_t length) noexcept;
void Md5Final(Md5Context& ctx) noexcept;

std::string FolderKey(std::u16string_view folderName);

// The same key written into `hex` (32 digits and a terminator) without touching the heap, for
// the shell extension, which runs inside Explorer for every item shown.
void FolderKeyHex(std::u16string_view folderName, char (&hex)[33]) noexcept;

// "tbl_" followed by the key.
std::string TaskTableName(std::string_view folderKey);

// The item's name: the text after the last backslash of `path` (the whole text when there is
// none). Empty for a drive root or a path that ends in a backslash.
std::u16string_view FolderNameOf(std::u16string_view path);
