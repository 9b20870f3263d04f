// Calls one registration export of the library in a process of its own, since the library's
// per-user flag stays set for as long as it is loaded:
//   shellext_host <dll> register | unregister | install <0|1> [text]
// The exit code is the export's HRESULT (or 0xE0000001 for a usage or load error).
#include <windows.h>

#include <shellapi.h>

#include <cwchar>

namespace {

constexpr DWORD kUsageError = 0xE0000001;

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3) return static_cast<int>(kUsageError);
    HMODULE module = LoadLibraryW(argv[1]);
    if (module == nullptr) return static_cast<int>(kUsageError);
    using Plain = HRESULT(STDAPICALLTYPE*)();
    using Install = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
    HRESULT hr = static_cast<HRESULT>(kUsageError);
    if (wcscmp(argv[2], L"register") == 0) {
        hr = reinterpret_cast<Plain>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")))();
    } else if (wcscmp(argv[2], L"unregister") == 0) {
        hr = reinterpret_cast<Plain>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")))();
    } else if (wcscmp(argv[2], L"install") == 0 && argc >= 4) {
        auto install = reinterpret_cast<Install>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllInstall")));
        hr = install(wcscmp(argv[3], L"1") == 0, argc >= 5 ? argv[4] : nullptr);
    }
    return static_cast<int>(hr);
}
