// Stands in for PelmoraExt.dll in an installer whose registration must fail: it writes part of a
// registration, as a real one that fails halfway would, and reports access denied.
#include <windows.h>

namespace {
const wchar_t kPartialKey[] = L"Software\\Classes\\PelmoraFailedRegistration";
}

extern "C" HRESULT __stdcall DllRegisterServer() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPartialKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
    return E_ACCESSDENIED;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPartialKey);
    return S_OK;
}
