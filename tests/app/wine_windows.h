// Shared by the window tests and the start-up benchmark.
#pragma once

#include <windows.h>

// Wine waits up to two seconds for a window manager to confirm that a hidden top-level window is
// withdrawn. On a bare virtual display there is no window manager, so every dialog a program
// closes would stall it that long. Windows that Wine does not hand to a window manager close at
// once and keep Wine's own frame, which is what the tests drag. Does nothing on Windows.
inline void UseUnmanagedWindowsUnderWine() {
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    static const wchar_t kNo[] = L"N";
    RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo), sizeof(kNo));
    RegCloseKey(key);
}
