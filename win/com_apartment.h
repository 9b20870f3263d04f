// The calling thread's membership of a single-threaded COM apartment, for as long as the holder
// lives: what the shell's dialogs and the accessibility objects need on a window's thread.
//
// Header-only for the same reasons as win/unique_handle.h.
#pragma once

#include <objbase.h>
#include <windows.h>

class ScopedComApartment {
public:
    // Joins (or opens) the apartment; a thread that already belongs to another kind of
    // apartment keeps it, and nothing is undone at the end.
    ScopedComApartment() noexcept
        : joined_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ScopedComApartment() {
        if (joined_) CoUninitialize();
    }
    ScopedComApartment(const ScopedComApartment&) = delete;
    ScopedComApartment& operator=(const ScopedComApartment&) = delete;

private:
    bool joined_;
};
