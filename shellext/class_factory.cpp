#include "shellext/class_factory.h"

#include <shlwapi.h>

#include "shellext/com_util.h"

IFACEMETHODIMP CClassFactory::QueryInterface(REFIID riid, void** ppv) noexcept {
    static const QITAB kInterfaces[] = {
        QITABENT(CClassFactory, IClassFactory),
        {},
    };
    return QISearch(this, kInterfaces, riid, ppv);
}

IFACEMETHODIMP_(ULONG) CClassFactory::AddRef() noexcept {
    const LONG count = InterlockedIncrement(&refCount_);
    if (count == 2) gModule.Lock();  // a client now holds the class object
    return static_cast<ULONG>(count);
}

IFACEMETHODIMP_(ULONG) CClassFactory::Release() noexcept {
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 1) gModule.Unlock();  // only the module's own reference is left
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

IFACEMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, ppv);
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return createInstance_(riid, ppv);
}

IFACEMETHODIMP CClassFactory::LockServer(BOOL lock) noexcept {
    if (lock) {
        gModule.Lock();
    } else {
        gModule.Unlock();
    }
    return S_OK;
}
