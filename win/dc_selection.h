// Scoped changes to a device context: each holder puts back what it replaced when it goes out of
// scope, so a drawing function restores the context on every path and in the right order (the
// reverse of the changes).
#pragma once

#include <windows.h>

// A window's device context from GetDC (the screen's for a null window), released with
// ReleaseDC when the holder goes out of scope. Null when the system gave none.
class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDC() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;

    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects `object` into `dc` and selects the previous object back again.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), old_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelectObject() {
        if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

    // Selects another object for the rest of the scope; the first one replaced is still the one
    // put back.
    void Select(HGDIOBJ object) noexcept {
        if (object != nullptr) SelectObject(dc_, object);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Sets the text colour and puts back the previous one.
class ScopedTextColor {
public:
    ScopedTextColor(HDC dc, COLORREF colour) noexcept : dc_(dc), old_(SetTextColor(dc, colour)) {}
    ~ScopedTextColor() { SetTextColor(dc_, old_); }
    ScopedTextColor(const ScopedTextColor&) = delete;
    ScopedTextColor& operator=(const ScopedTextColor&) = delete;

    void Set(COLORREF colour) noexcept { SetTextColor(dc_, colour); }

private:
    HDC dc_;
    COLORREF old_;
};

// Sets the background mode (TRANSPARENT or OPAQUE) and puts back the previous one.
class ScopedBkMode {
public:
    ScopedBkMode(HDC dc, int mode) noexcept : dc_(dc), old_(SetBkMode(dc, mode)) {}
    ~ScopedBkMode() { SetBkMode(dc_, old_); }
    ScopedBkMode(const ScopedBkMode&) = delete;
    ScopedBkMode& operator=(const ScopedBkMode&) = delete;

private:
    HDC dc_;
    int old_;
};
