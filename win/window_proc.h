// Putting a window procedure in front of a control's own, and taking it out again: the one way
// the program chains procedures, so that every filter calls on to the procedure it replaced.
//
// Header-only for the same reasons as win/unique_handle.h.
#pragma once

#include <windows.h>

// Makes `filter` the window's procedure; returns the one it replaced, which the filter passes
// every message on to (CallWindowProcW) and which UnchainWindowProc puts back.
inline WNDPROC ChainWindowProc(HWND window, WNDPROC filter) noexcept {
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(filter)));
}

// Puts back the procedure ChainWindowProc replaced.
inline void UnchainWindowProc(HWND window, WNDPROC previous) noexcept {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
}
