// Owners for what COM hands out: an interface pointer, whose reference is given back with Release,
// and a block of COM task memory (a display name, an item ID list), given back with
// CoTaskMemFree. Like the handle holders, they are move-only and free what they hold on every
// path, so an early return can neither leak a reference nor release one twice.
//
// Header-only for the same reasons as win/unique_handle.h.
#pragma once

#include <objbase.h>
#include <windows.h>

#include "win/unique_handle.h"

// Holds one reference to a COM object of interface `T`.
template <typename T>
class UniqueComPtr {
public:
    UniqueComPtr() noexcept = default;
    // Takes over the reference `object` carries; it adds none of its own.
    explicit UniqueComPtr(T* object) noexcept : object_(object) {}
    ~UniqueComPtr() { reset(); }
    UniqueComPtr(UniqueComPtr&& other) noexcept : object_(other.release()) {}
    UniqueComPtr& operator=(UniqueComPtr&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueComPtr(const UniqueComPtr&) = delete;
    UniqueComPtr& operator=(const UniqueComPtr&) = delete;

    T* get() const noexcept { return object_; }
    T* operator->() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

    // Gives the reference up without releasing it.
    T* release() noexcept {
        T* const object = object_;
        object_ = nullptr;
        return object;
    }
    // Releases the reference held, if any, and takes over `object`'s.
    void reset(T* object = nullptr) noexcept {
        T* const old = object_;
        object_ = object;
        if (old != nullptr) old->Release();
    }
    // For functions that return a new reference through an out parameter: releases the one held
    // and hands out the place for the next.
    T** put() noexcept {
        reset();
        return &object_;
    }
    // The same place, typed as the void** that creation and query functions take beside an IID.
    void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* object_ = nullptr;
};

// A block of COM task memory that the callee allocated and the caller must free, such as the
// PWSTR of IShellItem::GetDisplayName or the item ID list of SHBrowseForFolder.
template <typename Pointer>
using UniqueCoTaskMem = UniqueHandle<NullHandleTraits<Pointer, CoTaskMemFree>>;
