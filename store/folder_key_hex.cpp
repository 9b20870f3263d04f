#include "store/folder_key_hex.h"

#include <cstring>

#include "store/md5.h"
#include "text/code_points.h"

void FolderKeyHex(std::u16string_view folderName, char (&hex)[33]) noexcept {
    Md5Context ctx;
    Md5Init(ctx);
    // Hash the UTF-8 form in small pieces; the bytes are exactly those of Utf16ToUtf8.
    char chunk[256];
    size_t used = 0;
    size_t pos = 0;
    while (pos < folderName.size()) {
        used += EncodeUtf8(NextCodePoint(folderName, pos), chunk + used);
        if (used > sizeof chunk - 4) {
            Md5Update(ctx, chunk, used);
            used = 0;
        }
    }
    Md5Update(ctx, chunk, used);
    Md5Final(ctx);
    std::memcpy(hex, ctx.hex, sizeof hex);
}
