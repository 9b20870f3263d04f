#include "app/dialogs/dialog_box.h"

#include <cstring>
#include <vector>

#include "app/user_texts.h"

namespace {

// The template's extended style sits after the style in the classic layout and after the help
// id in the extended one (which starts with version 1 and the signature 0xFFFF).
size_t ExStyleOffset(const std::vector<DWORD>& copy, size_t bytes) {
    WORD head[2] = {};
    if (bytes < sizeof(head)) return 0;
    std::memcpy(head, copy.data(), sizeof(head));
    const bool extended = head[0] == 1 && head[1] == 0xFFFF;
    const size_t offset = extended ? 8 : 4;
    return bytes >= offset + sizeof(DWORD) ? offset : 0;
}

}  // namespace

INT_PTR RunDialog(HINSTANCE instance, int id, HWND owner, DLGPROC proc, LPARAM param) {
    // A dialog inherits no layout from the process or its owner: the mirrored one must be made
    // from a template that asks for it, before any of its controls exist.
    if (RightToLeftLanguage()) {
        HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_DIALOG);
        HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
        const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
        const size_t size = found != nullptr ? SizeofResource(instance, found) : 0;
        // A dialog template is a few hundred bytes; the bound keeps the rounding below exact.
        if (bytes != nullptr && size > 0 && size < 0x10000) {
            // DWORD elements: a template in memory must be aligned like one.
            std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD));
            std::memcpy(copy.data(), bytes, size);
            if (const size_t offset = ExStyleOffset(copy, size); offset != 0) {
                DWORD exStyle = 0;
                auto* raw = reinterpret_cast<unsigned char*>(copy.data());
                std::memcpy(&exStyle, raw + offset, sizeof(exStyle));
                exStyle |= WS_EX_LAYOUTRTL;
                std::memcpy(raw + offset, &exStyle, sizeof(exStyle));
                return DialogBoxIndirectParamW(instance,
                                               reinterpret_cast<const DLGTEMPLATE*>(copy.data()),
                                               owner, proc, param);
            }
        }
    }
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(id), owner, proc, param);
}
