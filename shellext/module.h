// The in-process server's frame: the lock count that decides when the library may unload, the
// per-user registration flag, and the object map with one cached class object per class.
#pragma once

#include <objbase.h>
#include <windows.h>

class CClassFactory;

using CreateInstanceFn = HRESULT (*)(REFIID riid, void** ppv);

struct ObjectMapEntry {
    const CLSID* clsid;
    CreateInstanceFn createInstance;
    int scriptId;                // the registration script of the class (resource.h)
    CClassFactory* classObject;  // created on first use; the module holds its first reference
};

class CPelmoraExtModule {
public:
    bool Init(HINSTANCE instance) noexcept;
    void Term() noexcept;

    LONG Lock() noexcept { return InterlockedIncrement(&lockCount_); }
    LONG Unlock() noexcept { return InterlockedDecrement(&lockCount_); }
    LONG LockCount() const noexcept { return lockCount_; }

    HINSTANCE Instance() const noexcept { return instance_; }
    bool PerUser() const noexcept { return perUser_; }
    void SetPerUser() noexcept { perUser_ = true; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept;
    HRESULT RegisterServer() noexcept;
    HRESULT UnregisterServer() noexcept;

private:
    volatile LONG lockCount_ = 0;
    bool perUser_ = false;
    bool initialised_ = false;
    HINSTANCE instance_ = nullptr;
    CRITICAL_SECTION classObjectGuard_;
    ObjectMapEntry objectMap_[4];
};

extern CPelmoraExtModule gModule;
