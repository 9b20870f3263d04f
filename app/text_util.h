// Bridges between the core's UTF-16 strings and the wide-character API (wchar_t is 16 bits on
// Windows), and the text of a window.
#pragma once

#include <windows.h>

#include <string>

inline const wchar_t* WidePtr(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string FromWide(const wchar_t* text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

// The whole text of a window or control, of any length.
std::u16string WindowText(HWND window);
