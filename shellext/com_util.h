// Small helpers shared by the extension's COM classes: result macros that keep the happy path
// readable, the one way every class is instantiated, and (through win/unique_handle.h) the
// move-only holder for Win32 handles.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <new>
#include <type_traits>

#include "win/unique_handle.h"

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
