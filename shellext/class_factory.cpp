#include "shellext/class_factory.h"

#include <shlwapi.h>

#include "shellext/com_util.h"
#include "shellext/server_lock.h"

IFACEMETHODIMP CClassFactory::QueryInterface(REFIID riid, void** ppv) noexcept {
    static const QITAB kInterfaces[] = {
        QITABENT(CClassFactory, IClassFactory),
        {},
    };
    return QISearch(this, kInterfaces, riid, ppv);
}

// Every reference a client takes locks the module before it exists and unlocks it after it is
// gone, so the lock count is never below the number of client references, whatever the threads
// interleave: DllCanUnloadNow cannot answer S_OK while a client holds the class object. Locking on
// the count's transitions alone (1 to 2 and back) leaves a moment in which the count says "held"
// and the lock does not.
IFACEMETHODIMP_(ULONG) CClassFactory::AddRef() noexcept {
    ServerLock();
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

IFACEMETHODIMP_(ULONG) CClassFactory::Release() noexcept {
    const LONG count = InterlockedDecrement(&refCount_);
    ServerUnlock();
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

void CClassFactory::ReleaseModuleReference() noexcept {
    if (InterlockedDecrement(&refCount_) == 0) delete this;
}

IFACEMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, ppv);
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return createInstance_(riid, ppv);
}

IFACEMETHODIMP CClassFactory::LockServer(BOOL lock) noexcept {
    if (lock) {
        ServerLock();
    } else {
        ServerUnlock();
    }
    return S_OK;
}
