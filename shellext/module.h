// The in-process server's frame: the per-user registration flag and the object map with one cached
// class object per class. The count that decides when the library may unload is server_lock's,
// which the objects share without depending on this frame.
#pragma once

#include <objbase.h>
#include <windows.h>

#include "shellext/class_factory.h"

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

    bool PerUser() const noexcept { return perUser_; }
    void SetPerUser() noexcept { perUser_ = true; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept;
    HRESULT RegisterServer() noexcept;
    HRESULT UnregisterServer() noexcept;

private:
    bool perUser_ = false;
    bool initialised_ = false;
    HINSTANCE instance_ = nullptr;
    CRITICAL_SECTION classObjectGuard_;
    ObjectMapEntry objectMap_[4];
};

extern CPelmoraExtModule gModule;
