// Helpers for driving PelmoraExt.dll the way Explorer and the registration tools do: the
// library through its exports, real data objects, child processes and registry reads.
#pragma once

#include <objbase.h>
#include <shlobj.h>
#include <windows.h>
#include <wrl/client.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"

using Microsoft::WRL::ComPtr;

// MinGW's headers give this interface no __uuidof.
__CRT_UUID_DECL(IShellIconOverlayIdentifier,
                0x0c6c4200,
                0xc589,
                0x11d0,
                0x99,
                0x9a,
                0x00,
                0xc0,
                0x4f,
                0xd6,
                0x55,
                0xe1)

// Windows form of a path the build system knows in its Linux form (Wine maps / to Z:\).
std::wstring WindowsPath(const char* buildPath);

std::wstring ExtensionPath();  // PelmoraExt.dll
std::wstring RecorderPath();   // the program that records its arguments
std::wstring HostPath();       // the program that calls the library's registration exports

// The library, loaded once for the whole test run, and its exports.
struct ExtensionExports {
    HMODULE module;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**);
    HRESULT(STDAPICALLTYPE* canUnloadNow)();
    HRESULT(STDAPICALLTYPE* registerServer)();
    HRESULT(STDAPICALLTYPE* unregisterServer)();
    HRESULT(STDAPICALLTYPE* install)(BOOL, LPCWSTR);
};
const ExtensionExports& Extension();

// Creates an object of `clsid` through the library's class object.
template <class T>
ComPtr<T> CreateExtensionObject(REFCLSID clsid) {
    ComPtr<IClassFactory> factory;
    ComPtr<T> object;
    if (SUCCEEDED(Extension().getClassObject(clsid, IID_PPV_ARGS(&factory)))) {
        factory->CreateInstance(nullptr, __uuidof(T),
                                reinterpret_cast<void**>(object.GetAddressOf()));
    }
    return object;
}

// A data object holding a CF_HDROP list of the given paths, as a drag or a selection carries.
// With `offerDrop` false it holds no file list at all.
ComPtr<IDataObject> MakeDropDataObject(const std::vector<std::wstring>& paths,
                                       bool offerDrop = true);

// The shell's own data object for items of one folder (what Explorer hands a context menu).
ComPtr<IDataObject> MakeShellDataObject(const std::wstring& folder,
                                        const std::vector<std::wstring>& names);

// Runs a command line to its end; returns its exit code, or nullopt if it could not start or
// did not finish within a minute.
std::optional<DWORD> RunProcess(const std::wstring& commandLine);

// Registry reads: a key's existence and a string value (nullptr name: the default value).
bool KeyExists(HKEY root, const std::wstring& path);
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const wchar_t* name);
bool ValueExists(HKEY root, const std::wstring& path, const wchar_t* name);
std::wstring GuidText(REFGUID guid);

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
