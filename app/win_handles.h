// One move-only owner for every Win32 handle type the program creates. The traits name the
// invalid value and the function that releases the handle, so a holder can never close a handle
// with the wrong function or forget one on an early return.
#pragma once

#include <windows.h>

#include <utility>

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
    Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Handle handle = Traits::Invalid()) noexcept {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::Invalid()) Traits::Close(old);
    }

private:
    Handle handle_ = Traits::Invalid();
};

template <typename H, auto CloseFn>
struct NullHandleTraits {
    using Handle = H;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { CloseFn(handle); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { FindClose(handle); }
};

inline void DeleteGdiObject(HGDIOBJ object) noexcept {
    DeleteObject(object);
}

using UniqueHMenu = UniqueHandle<NullHandleTraits<HMENU, DestroyMenu>>;
using UniqueHFont = UniqueHandle<NullHandleTraits<HFONT, DeleteGdiObject>>;
using UniqueHBrush = UniqueHandle<NullHandleTraits<HBRUSH, DeleteGdiObject>>;
using UniqueHBitmap = UniqueHandle<NullHandleTraits<HBITMAP, DeleteGdiObject>>;
using UniqueHIcon = UniqueHandle<NullHandleTraits<HICON, DestroyIcon>>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueLocalArgv = UniqueHandle<NullHandleTraits<LPWSTR*, LocalFree>>;
