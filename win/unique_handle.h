// One move-only owner for every Win32 handle type that the program and the extension create.
// The traits name the invalid value and the function that releases the handle, so a holder can
// never close a handle with the wrong function, and never forgets one on an early return.
//
// Header-only on purpose: the extension and the program share it without linking anything of
// each other, and nothing in it allocates or throws (the extension is built without the C++
// runtime).
#pragma once

#include <windows.h>

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

    // Gives the handle up without closing it.
    Handle release() noexcept {
        const Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    // Closes the handle held, if any, and takes `handle`.
    void reset(Handle handle = Traits::Invalid()) noexcept {
        const Handle old = handle_;
        handle_ = handle;
        if (old != Traits::Invalid()) Traits::Close(old);
    }
    // For functions that return a new handle through an out parameter: closes the one held and
    // hands out the place for the next.
    Handle* put() noexcept {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::Invalid();
};

// Handles whose "none" is a null pointer.
template <typename H, auto CloseFn>
struct NullHandleTraits {
    using Handle = H;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { CloseFn(handle); }
};

// FindFirstFile reports failure with INVALID_HANDLE_VALUE, not null.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { FindClose(handle); }
};

// CreateFile reports failure with INVALID_HANDLE_VALUE as well.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { CloseHandle(handle); }
};

// DeleteObject takes any GDI object; one name for the brush, font and bitmap holders.
inline void DeleteGdiObject(HGDIOBJ object) noexcept {
    DeleteObject(object);
}

inline void CloseRegistryKey(HKEY key) noexcept {
    RegCloseKey(key);
}

using UniqueHKey = UniqueHandle<NullHandleTraits<HKEY, CloseRegistryKey>>;
using UniqueHMenu = UniqueHandle<NullHandleTraits<HMENU, DestroyMenu>>;
using UniqueHFont = UniqueHandle<NullHandleTraits<HFONT, DeleteGdiObject>>;
using UniqueHBrush = UniqueHandle<NullHandleTraits<HBRUSH, DeleteGdiObject>>;
using UniqueHBitmap = UniqueHandle<NullHandleTraits<HBITMAP, DeleteGdiObject>>;
using UniqueHIcon = UniqueHandle<NullHandleTraits<HICON, DestroyIcon>>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueLocalArgv = UniqueHandle<NullHandleTraits<LPWSTR*, LocalFree>>;
