#include "tests/installer/registration_check.h"

#include "shellext/guids.h"
#include "tests/installer/driver_support.h"

namespace {

const wchar_t kOverlayRoot[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelmora";
const wchar_t kAllFilesHandler[] = L"*\\ShellEx\\ContextMenuHandlers\\PelmoraShellExt";
const wchar_t kFolderHandler[] = L"Folder\\ShellEx\\ContextMenuHandlers\\PelmoraShellExt";
const wchar_t kBackgroundHandler[] =
    L"Directory\\Background\\ShellEx\\ContextMenuHandlers\\PelmoraShellExt";

struct ComClass {
    const CLSID* clsid;
    const wchar_t* name;
    const wchar_t* overlayKey;  // under ShellIconOverlayIdentifiers, null for the menu handler
};

const ComClass kClasses[] = {
    {&CLSID_ShellExt, L"Pelmora ShellExt Class", nullptr},
    {&CLSID_PelmoraDoneOverlay, L"PelmoraDoneOverlay Class", L"PelmoraDoneOverlay"},
    {&CLSID_PelmoraHalfOverlay, L"PelmoraHalfOverlay Class", L"PelmoraHalfOverlay"},
    {&CLSID_PelmoraZeroOverlay, L"PelmoraZeroOverlay Class", L"PelmoraZeroOverlay"},
};

void ExpectString(HKEY root,
                  const std::wstring& key,
                  const wchar_t* value,
                  const std::wstring& expected) {
    std::wstring actual;
    std::wstring where = key + L" [" + (value ? value : L"(default)") + L"]";
    if (!ReadRegString(root, key, value, actual)) {
        Fail(where + L": missing");
    } else if (actual != expected) {
        Fail(where + L": \"" + actual + L"\", expected \"" + expected + L"\"");
    }
}

void ExpectGone(HKEY root, const std::wstring& key) {
    if (KeyExists(root, key)) {
        Fail(key + L": still present");
    }
}

void ExpectPresent(HKEY root, const std::wstring& key) {
    if (!KeyExists(root, key)) {
        Fail(key + L": shared key was removed");
    }
}

void CheckUninstallEntry(const std::wstring& installDir) {
    const std::wstring uninstaller = L"\"" + installDir + L"\\Uninstall.exe\"";
    ExpectString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName", L"Pelmora");
    ExpectString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion", PELMORA_VERSION);
    ExpectString(HKEY_LOCAL_MACHINE, kUninstallKey, L"Publisher", L"Pelmora");
    ExpectString(HKEY_LOCAL_MACHINE, kUninstallKey, L"URLInfoAbout", PELMORA_HOMEPAGE);
    ExpectString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayIcon",
                 installDir + L"\\Pelmora.exe,0");
    ExpectString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", uninstaller);
    ExpectString(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString", uninstaller + L" /S");
    DWORD size = 0;
    DWORD bytes = sizeof(size);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey, L"EstimatedSize", RRF_RT_REG_DWORD, nullptr,
                     &size, &bytes) != ERROR_SUCCESS) {
        Fail(L"EstimatedSize: missing");
    } else if (size < 100) {
        // Two statically linked binaries and the uninstaller weigh several hundred kilobytes.
        Fail(L"EstimatedSize: " + std::to_wstring(size) + L" KB is too small");
    }
}

}  // namespace

void CheckRegistered(const std::wstring& installDir) {
    const std::wstring dll = installDir + L"\\PelmoraExt.dll";
    for (const ComClass& comClass : kClasses) {
        const std::wstring clsid = GuidText(*comClass.clsid);
        const std::wstring key = L"CLSID\\" + clsid;
        ExpectString(HKEY_CLASSES_ROOT, key, nullptr, comClass.name);
        ExpectString(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", nullptr, dll);
        ExpectString(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
        ExpectString(HKEY_CLASSES_ROOT, key + L"\\Version", nullptr, L"1.0");
        if (comClass.overlayKey) {
            ExpectString(HKEY_LOCAL_MACHINE, std::wstring(kOverlayRoot) + comClass.overlayKey,
                         nullptr, clsid);
        } else {
            ExpectString(HKEY_CLASSES_ROOT, kAllFilesHandler, nullptr, clsid);
            ExpectString(HKEY_CLASSES_ROOT, kFolderHandler, nullptr, clsid);
            ExpectString(HKEY_CLASSES_ROOT, kBackgroundHandler, nullptr, clsid);
        }
    }
    // Per machine: the classes live under HKLM, not in the installing user's own classes.
    for (const ComClass& comClass : kClasses) {
        ExpectPresent(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Classes\\CLSID\\" + GuidText(*comClass.clsid));
        ExpectGone(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\" + GuidText(*comClass.clsid));
    }
    CheckUninstallEntry(installDir);
}

void CheckUnregistered(bool parentsKept) {
    for (const ComClass& comClass : kClasses) {
        ExpectGone(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(*comClass.clsid));
        if (comClass.overlayKey) {
            ExpectGone(HKEY_LOCAL_MACHINE, std::wstring(kOverlayRoot) + comClass.overlayKey);
        }
    }
    ExpectGone(HKEY_CLASSES_ROOT, kAllFilesHandler);
    ExpectGone(HKEY_CLASSES_ROOT, kFolderHandler);
    ExpectGone(HKEY_CLASSES_ROOT, kBackgroundHandler);
    ExpectGone(HKEY_LOCAL_MACHINE, kUninstallKey);
    if (!parentsKept) {
        return;
    }
    ExpectPresent(HKEY_CLASSES_ROOT, L"*\\ShellEx\\ContextMenuHandlers");
    ExpectPresent(HKEY_CLASSES_ROOT, L"Folder\\ShellEx\\ContextMenuHandlers");
    ExpectPresent(HKEY_CLASSES_ROOT, L"Directory\\Background\\ShellEx\\ContextMenuHandlers");
    ExpectPresent(HKEY_LOCAL_MACHINE, std::wstring(kOverlayRoot, wcslen(kOverlayRoot) - 1));
}
