// Registration of the extension's classes by direct registry calls. Each class (and the module
// itself) has one script: a fixed tree of keys, values and removal marks that is written at
// registration and taken back at unregistration.
#pragma once

#include <objbase.h>
#include <windows.h>

// Runs script `scriptId` (IDR_* of resource.h) for the class `clsid`. In per-user mode the keys
// meant for HKEY_CLASSES_ROOT go to HKEY_CURRENT_USER\Software\Classes; keys under
// HKEY_LOCAL_MACHINE stay there. Returns the first registry failure as an HRESULT.
HRESULT RunRegistrationScript(int scriptId,
                              const CLSID& clsid,
                              bool registering,
                              bool perUser,
                              HMODULE module) noexcept;
