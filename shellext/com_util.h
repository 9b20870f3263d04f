// Small helpers shared by the extension's COM classes: result macros that keep the happy path
// readable, a move-only holder for Win32 handles, and the one way every class is instantiated.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <new>
#include <type_traits>

// The result macros take an HRESULT and nothing else: a bool, a Win32 status code (LSTATUS) or a
// count passed by mistake would otherwise convert silently and read as success or failure at
// random. Win32 status codes go through HRESULT_FROM_WIN32 first.
template <typename T>
constexpr HRESULT CheckedHResult(T hr) noexcept {
    static_assert(std::is_same_v<T, HRESULT>, "an HRESULT is expected here");
    return hr;
}

#define RETURN_IF_FAILED(expr)                             \
    do {                                                   \
        const HRESULT hrChecked_ = CheckedHResult((expr)); \
        if (FAILED(hrChecked_)) return hrChecked_;         \
    } while (0)

#define RETURN_HR_IF_NULL(hr, ptr)                         \
    do {                                                   \
        if ((ptr) == nullptr) return CheckedHResult((hr)); \
    } while (0)

// Owns one handle of a Win32 type and closes it with `Close` unless it is `kInvalid`.
template <typename T, auto Close, T kInvalid = T()>
class UniqueAny {
public:
    UniqueAny() noexcept = default;
    explicit UniqueAny(T value) noexcept : value_(value) {}
    UniqueAny(UniqueAny&& other) noexcept : value_(other.Release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { Reset(); }

    T Get() const noexcept { return value_; }
    T* Put() noexcept {
        Reset();
        return &value_;
    }
    T Release() noexcept {
        T value = value_;
        value_ = kInvalid;
        return value;
    }
    void Reset(T value = kInvalid) noexcept {
        if (value_ != kInvalid) Close(value_);
        value_ = value;
    }
    explicit operator bool() const noexcept { return value_ != kInvalid; }

private:
    T value_ = kInvalid;
};

using UniqueHKey = UniqueAny<HKEY, &RegCloseKey>;
using UniqueHBitmap = UniqueAny<HBITMAP, &DeleteObject>;

// Creates a `T` and asks it for `riid`. The object starts with no references; the temporary one
// taken here destroys it again when the query fails.
template <class T>
HRESULT CreateComObject(REFIID riid, void** ppv) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, ppv);
    *ppv = nullptr;
    T* object = new (std::nothrow) T();
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, object);
    object->AddRef();
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}
