// The standard class object of every class of the extension.
#pragma once

#include <objbase.h>
#include <windows.h>

using CreateInstanceFn = HRESULT (*)(REFIID riid, void** ppv);

class CClassFactory final : public IClassFactory {
public:
    explicit CClassFactory(CreateInstanceFn createInstance) noexcept
        : createInstance_(createInstance) {}

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    IFACEMETHODIMP_(ULONG) AddRef() noexcept override;
    IFACEMETHODIMP_(ULONG) Release() noexcept override;

    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override;
    IFACEMETHODIMP LockServer(BOOL lock) noexcept override;

    // Drops the module's own reference (the one the object was created with, which holds no lock).
    void ReleaseModuleReference() noexcept;

private:
    ~CClassFactory() = default;

    // The first reference belongs to the module, which keeps the object until the library
    // unloads; only client references (AddRef/Release) lock the library.
    LONG refCount_ = 1;
    CreateInstanceFn createInstance_;
};
