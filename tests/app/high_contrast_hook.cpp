// Loaded into a running Pelmora.exe by the window tests and the screenshot driver: from then on
// the program's own calls of SystemParametersInfoW report a high-contrast scheme as on. Wine has
// no high-contrast mode to switch on, and the program's reaction to one is what the tests check;
// everything else it asks is passed on unchanged.
#include <windows.h>

namespace {

using SystemParametersInfoFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
SystemParametersInfoFn gOriginal = nullptr;

BOOL WINAPI ReportHighContrast(UINT action, UINT param, PVOID data, UINT flags) {
    if (action == SPI_GETHIGHCONTRAST && data != nullptr) {
        auto* contrast = static_cast<HIGHCONTRASTW*>(data);
        if (contrast->cbSize != sizeof(HIGHCONTRASTW)) return FALSE;
        contrast->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
        contrast->lpszDefaultScheme = nullptr;
        return TRUE;
    }
    return gOriginal(action, param, data, flags);
}

// Points the program's import of SystemParametersInfoW at ReportHighContrast.
void PatchImport() {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (base == nullptr || user32 == nullptr) return;
    gOriginal = reinterpret_cast<SystemParametersInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SystemParametersInfoW")));
    if (gOriginal == nullptr) return;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
             slot->u1.Function != 0; ++slot) {
            if (slot->u1.Function != reinterpret_cast<ULONG_PTR>(gOriginal)) continue;
            DWORD old = 0;
            VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE, &old);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(&ReportHighContrast);
            VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), old, &old);
        }
    }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) PatchImport();
    return TRUE;
}
