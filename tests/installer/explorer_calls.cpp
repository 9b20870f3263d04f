#include "tests/installer/explorer_calls.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>

#include "tests/installer/driver_support.h"

namespace {

const wchar_t kMenuText[] = L"Task Management...";
const UINT kFirstCommand = 100;
const wchar_t kOverlayKeyRoot[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\";

// Releases a COM interface on scope exit.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (ptr_) {
            ptr_->Release();
        }
    }
    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    void** out() { return reinterpret_cast<void**>(&ptr_); }

private:
    T* ptr_ = nullptr;
};

std::wstring HexResult(HRESULT hr) {
    wchar_t text[16];
    wsprintfW(text, L"0x%08X", static_cast<unsigned>(hr));
    return text;
}

// Reads the handler's class from the all-files key and checks the folder key names the same one.
bool HandlerClass(CLSID& clsid) {
    std::wstring allFiles;
    std::wstring folder;
    if (!ReadRegString(HKEY_CLASSES_ROOT, L"*\\ShellEx\\ContextMenuHandlers\\PelmoraShellExt",
                       nullptr, allFiles)) {
        Fail(L"no context-menu handler registered for all files");
        return false;
    }
    if (!ReadRegString(HKEY_CLASSES_ROOT, L"Folder\\ShellEx\\ContextMenuHandlers\\PelmoraShellExt",
                       nullptr, folder) ||
        folder != allFiles) {
        Fail(L"the folder handler is missing or names another class than " + allFiles);
        return false;
    }
    if (FAILED(CLSIDFromString(allFiles.c_str(), &clsid))) {
        Fail(L"handler class is not a CLSID: " + allFiles);
        return false;
    }
    return true;
}

// The selection as Explorer hands it over: the parent folder's data object for the one item.
bool SelectionDataObject(const std::wstring& itemPath, ComPtr<IDataObject>& dataObject) {
    PIDLIST_ABSOLUTE pidl = nullptr;
    HRESULT hr = SHParseDisplayName(itemPath.c_str(), nullptr, &pidl, 0, nullptr);
    if (FAILED(hr)) {
        Fail(L"SHParseDisplayName(" + itemPath + L") " + HexResult(hr));
        return false;
    }
    ComPtr<IShellFolder> parent;
    PCUITEMID_CHILD child = nullptr;
    hr = SHBindToParent(pidl, IID_IShellFolder, parent.out(), &child);
    if (SUCCEEDED(hr)) {
        hr = parent->GetUIObjectOf(nullptr, 1, &child, IID_IDataObject, nullptr, dataObject.out());
    }
    CoTaskMemFree(pidl);
    if (FAILED(hr)) {
        Fail(L"no data object for " + itemPath + L": " + HexResult(hr));
        return false;
    }
    // The handler reads the selection as a file drop list; make sure that is what it gets.
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (dataObject->QueryGetData(&format) != S_OK) {
        Fail(L"the data object offers no CF_HDROP");
        return false;
    }
    return true;
}

int FindMenuItem(HMENU menu, const wchar_t* text) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t itemText[128] = {};
        if (GetMenuStringW(menu, static_cast<UINT>(i), itemText, 128, MF_BYPOSITION) > 0 &&
            lstrcmpW(itemText, text) == 0) {
            return i;
        }
    }
    return -1;
}

}  // namespace

void ChooseTaskManagement(const std::wstring& itemPath) {
    CLSID clsid;
    if (!HandlerClass(clsid)) {
        return;
    }
    ComPtr<IShellExtInit> init;
    HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.out());
    if (FAILED(hr)) {
        Fail(L"CoCreateInstance of the context-menu handler " + HexResult(hr));
        return;
    }
    ComPtr<IDataObject> dataObject;
    if (!SelectionDataObject(itemPath, dataObject)) {
        return;
    }
    hr = init->Initialize(nullptr, dataObject.get(), nullptr);
    if (hr != S_OK) {
        Fail(L"IShellExtInit::Initialize " + HexResult(hr));
        return;
    }
    ComPtr<IContextMenu> contextMenu;
    hr = init->QueryInterface(IID_IContextMenu, contextMenu.out());
    if (FAILED(hr)) {
        Fail(L"no IContextMenu " + HexResult(hr));
        return;
    }
    HMENU menu = CreatePopupMenu();
    // Explorer's own entries come first; the handler inserts at the position it is given.
    AppendMenuW(menu, MF_STRING, 1, L"Open");
    AppendMenuW(menu, MF_STRING, 2, L"Properties");
    hr = contextMenu->QueryContextMenu(menu, 1, kFirstCommand, 0x7FFF, CMF_NORMAL);
    int position = FindMenuItem(menu, kMenuText);
    UINT command = position < 0 ? 0 : GetMenuItemID(menu, position);
    DestroyMenu(menu);
    // The count Explorer is given must cover the entry's identifier (a folder has a second entry).
    if (FAILED(hr) || position != 1 || command < kFirstCommand ||
        static_cast<UINT>(HRESULT_CODE(hr)) <= command - kFirstCommand) {
        Fail(L"QueryContextMenu " + HexResult(hr) + L", \"Task Management...\" at position " +
             std::to_wstring(position));
        return;
    }

    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(command - kFirstCommand);
    info.nShow = SW_SHOWNORMAL;
    hr = contextMenu->InvokeCommand(&info);
    if (hr != S_OK) {
        Fail(L"InvokeCommand " + HexResult(hr));
    }
}

void HoldExtension(const std::wstring& releaseFile) {
    std::wstring clsidText;
    CLSID clsid;
    if (!ReadRegString(HKEY_LOCAL_MACHINE, std::wstring(kOverlayKeyRoot) + L"PelmoraZeroOverlay",
                       nullptr, clsidText) ||
        FAILED(CLSIDFromString(clsidText.c_str(), &clsid))) {
        Fail(L"the zero overlay is not registered");
        return;
    }
    ComPtr<IShellIconOverlayIdentifier> identifier;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IShellIconOverlayIdentifier, identifier.out());
    if (FAILED(hr)) {
        Fail(L"CoCreateInstance of the zero overlay " + HexResult(hr));
        return;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    for (int i = 0; i < 600 && GetFileAttributesW(releaseFile.c_str()) == INVALID_FILE_ATTRIBUTES;
         ++i) {
        Sleep(100);
    }
}

std::wstring ClaimingOverlays(const std::wstring& itemPath) {
    static const wchar_t* const kOverlays[][2] = {
        {L"PelmoraDoneOverlay", L"done"},
        {L"PelmoraHalfOverlay", L"half"},
        {L"PelmoraZeroOverlay", L"zero"},
    };
    std::wstring claimed;
    for (const auto& overlay : kOverlays) {
        std::wstring clsidText;
        CLSID clsid;
        if (!ReadRegString(HKEY_LOCAL_MACHINE, std::wstring(kOverlayKeyRoot) + overlay[0], nullptr,
                           clsidText) ||
            FAILED(CLSIDFromString(clsidText.c_str(), &clsid))) {
            Fail(std::wstring(L"overlay identifier not registered: ") + overlay[0]);
            continue;
        }
        ComPtr<IShellIconOverlayIdentifier> identifier;
        HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellIconOverlayIdentifier, identifier.out());
        if (FAILED(hr)) {
            Fail(std::wstring(L"CoCreateInstance of ") + overlay[0] + L" " + HexResult(hr));
            continue;
        }
        // Explorer asks for the picture before it asks about items.
        wchar_t iconFile[MAX_PATH] = {};
        int index = -1;
        DWORD flags = 0;
        if (identifier->GetOverlayInfo(iconFile, MAX_PATH, &index, &flags) != S_OK ||
            GetFileAttributesW(iconFile) == INVALID_FILE_ATTRIBUTES) {
            Fail(std::wstring(overlay[0]) + L" names no existing icon file: " + iconFile);
        }
        hr = identifier->IsMemberOf(itemPath.c_str(), FILE_ATTRIBUTE_DIRECTORY);
        if (hr == S_OK) {
            claimed += claimed.empty() ? overlay[1] : std::wstring(L" ") + overlay[1];
        } else if (hr != S_FALSE) {
            Fail(std::wstring(overlay[0]) + L" IsMemberOf " + HexResult(hr));
        }
    }
    return claimed.empty() ? L"none" : claimed;
}
