#include "shellext/module.h"

#include <shlwapi.h>

#include "shellext/class_factory.h"
#include "shellext/com_util.h"
#include "shellext/context_menu.h"
#include "shellext/guids.h"
#include "shellext/overlay.h"
#include "shellext/registration.h"
#include "shellext/resource.h"
#include "shellext/server_lock.h"
#include "shellext/status_cache.h"

CPelmoraExtModule gModule;

bool CPelmoraExtModule::Init(HINSTANCE instance) noexcept {
    instance_ = instance;
    SetServerInstance(instance);
    // The map's order is the order of registration and unregistration.
    objectMap_[0] = {&CLSID_ShellExt, &CreateComObject<CShellExt>, IDR_SHELLEXT, nullptr};
    objectMap_[1] = {&CLSID_PelmoraDoneOverlay, &CreateComObject<CPelmoraDoneOverlay>,
                     IDR_PELMORADONEOVERLAY, nullptr};
    objectMap_[2] = {&CLSID_PelmoraHalfOverlay, &CreateComObject<CPelmoraHalfOverlay>,
                     IDR_PELMORAHALFOVERLAY, nullptr};
    objectMap_[3] = {&CLSID_PelmoraZeroOverlay, &CreateComObject<CPelmoraZeroOverlay>,
                     IDR_PELMORAZEROOVERLAY, nullptr};
    initialised_ = InitializeCriticalSectionAndSpinCount(&classObjectGuard_, 0) != FALSE;
    return initialised_;
}

void CPelmoraExtModule::Term() noexcept {
    if (!initialised_) return;
    for (ObjectMapEntry& entry : objectMap_) {
        if (entry.classObject != nullptr) entry.classObject->ReleaseModuleReference();
        entry.classObject = nullptr;
    }
    DeleteCriticalSection(&classObjectGuard_);
    initialised_ = false;
}

HRESULT CPelmoraExtModule::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, ppv);
    *ppv = nullptr;
    if (!initialised_) return E_UNEXPECTED;
    for (ObjectMapEntry& entry : objectMap_) {
        if (!IsEqualCLSID(*entry.clsid, clsid)) continue;
        // A cached class object is used without locking; only its first creation is guarded.
        auto* classObject = static_cast<CClassFactory*>(InterlockedCompareExchangePointer(
            reinterpret_cast<void**>(&entry.classObject), nullptr, nullptr));
        if (classObject == nullptr) {
            EnterCriticalSection(&classObjectGuard_);
            if (entry.classObject == nullptr) {
                auto* created = new (std::nothrow) CClassFactory(entry.createInstance);
                InterlockedExchangePointer(reinterpret_cast<void**>(&entry.classObject), created);
            }
            classObject = entry.classObject;
            LeaveCriticalSection(&classObjectGuard_);
            RETURN_HR_IF_NULL(E_OUTOFMEMORY, classObject);
        }
        return classObject->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

namespace {

// Registration runs in the system's locale, not the caller's: the installer, regsvr32 and an
// uninstall started from another account must all write and remove the very same entries, so
// nothing on the way that depends on the thread's locale (its ANSI code page, case-insensitive
// comparison) may vary with the settings of whoever happens to run it. The caller's locale is
// put back on every path.
class SystemLocaleScope {
public:
    SystemLocaleScope() noexcept : saved_(GetThreadLocale()) {
        SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
    }
    ~SystemLocaleScope() { SetThreadLocale(saved_); }
    SystemLocaleScope(const SystemLocaleScope&) = delete;
    SystemLocaleScope& operator=(const SystemLocaleScope&) = delete;

private:
    LCID saved_;
};

}  // namespace

HRESULT CPelmoraExtModule::RegisterServer() noexcept {
    SystemLocaleScope locale;
    RETURN_IF_FAILED(
        RunRegistrationScript(IDR_PELMORAEXT, CLSID_ShellExt, true, perUser_, instance_));
    for (const ObjectMapEntry& entry : objectMap_) {
        RETURN_IF_FAILED(
            RunRegistrationScript(entry.scriptId, *entry.clsid, true, perUser_, instance_));
    }
    return S_OK;
}

HRESULT CPelmoraExtModule::UnregisterServer() noexcept {
    SystemLocaleScope locale;
    for (const ObjectMapEntry& entry : objectMap_) {
        RETURN_IF_FAILED(
            RunRegistrationScript(entry.scriptId, *entry.clsid, false, perUser_, instance_));
    }
    return RunRegistrationScript(IDR_PELMORAEXT, CLSID_ShellExt, false, perUser_, instance_);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        return gModule.Init(instance) ? TRUE : FALSE;
    }
    // At process exit (reserved set) other threads are gone and the heap is about to go too.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) gModule.Term();
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    return gModule.GetClassObject(clsid, riid, ppv);
}

STDAPI DllCanUnloadNow() {
    if (ServerLockCount() != 0) return S_FALSE;
    // No identifier is alive to read the status tables, and the library may go: free them now,
    // since nothing runs at unload.
    ReleaseStatusCache();
    return S_OK;
}

STDAPI DllRegisterServer() {
    return gModule.RegisterServer();
}

STDAPI DllUnregisterServer() {
    return gModule.UnregisterServer();
}

STDAPI DllInstall(BOOL install, LPCWSTR cmdLine) {
    // The whole text must be "user", in any letter case.
    if (cmdLine != nullptr && CompareStringOrdinal(cmdLine, -1, L"user", -1, TRUE) == CSTR_EQUAL) {
        gModule.SetPerUser();
    }
    if (!install) return DllUnregisterServer();
    const HRESULT hr = DllRegisterServer();
    if (FAILED(hr)) DllUnregisterServer();  // take back what was written before the failure
    return hr;
}
