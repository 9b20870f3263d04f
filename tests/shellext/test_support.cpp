#include "test_support.h"

#include <shellapi.h>

#include <atomic>

std::wstring WindowsPath(const char* buildPath) {
    std::wstring path = Utf8ToWide(buildPath);
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

std::wstring ExtensionPath() {
    return WindowsPath(PELMORA_EXT_DLL);
}
std::wstring RecorderPath() {
    return WindowsPath(PELMORA_RECORDER);
}
std::wstring HostPath() {
    return WindowsPath(PELMORA_EXT_HOST);
}

const ExtensionExports& Extension() {
    static const ExtensionExports exports = [] {
        ExtensionExports e = {};
        e.module = LoadLibraryW(ExtensionPath().c_str());
        if (e.module == nullptr) return e;
        auto get = [&](const char* name) {
            return reinterpret_cast<void*>(GetProcAddress(e.module, name));
        };
        e.getClassObject = reinterpret_cast<decltype(e.getClassObject)>(get("DllGetClassObject"));
        e.canUnloadNow = reinterpret_cast<decltype(e.canUnloadNow)>(get("DllCanUnloadNow"));
        e.registerServer = reinterpret_cast<decltype(e.registerServer)>(get("DllRegisterServer"));
        e.unregisterServer =
            reinterpret_cast<decltype(e.unregisterServer)>(get("DllUnregisterServer"));
        e.install = reinterpret_cast<decltype(e.install)>(get("DllInstall"));
        return e;
    }();
    return exports;
}

namespace {

// A minimal data object: CF_HDROP in an HGLOBAL, a fresh copy for every GetData.
class DropDataObject final : public IDataObject {
public:
    DropDataObject(const std::vector<std::wstring>& paths, bool offerDrop)
        : paths_(paths), offerDrop_(offerDrop) {}

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDataObject) {
            *ppv = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    IFACEMETHODIMP_(ULONG) Release() override {
        const ULONG count = --refs_;
        if (count == 0) delete this;
        return count;
    }

    IFACEMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (format == nullptr || medium == nullptr) return E_INVALIDARG;
        if (!offerDrop_ || format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        size_t chars = 1;
        for (const std::wstring& path : paths_) chars += path.size() + 1;
        const size_t bytes = sizeof(DROPFILES) + chars * sizeof(wchar_t);
        HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        if (global == nullptr) return E_OUTOFMEMORY;
        auto* drop = static_cast<DROPFILES*>(GlobalLock(global));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        auto* out = reinterpret_cast<wchar_t*>(drop + 1);
        for (const std::wstring& path : paths_) {
            path.copy(out, path.size());
            out += path.size() + 1;
        }
        GlobalUnlock(global);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = global;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    IFACEMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    IFACEMETHODIMP QueryGetData(FORMATETC* format) override {
        return offerDrop_ && format != nullptr && format->cfFormat == CF_HDROP ? S_OK
                                                                               : DV_E_FORMATETC;
    }
    IFACEMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out != nullptr) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    IFACEMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    IFACEMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    IFACEMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    IFACEMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    IFACEMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~DropDataObject() = default;
    std::atomic<ULONG> refs_{1};
    std::vector<std::wstring> paths_;
    bool offerDrop_;
};

}  // namespace

ComPtr<IDataObject> MakeDropDataObject(const std::vector<std::wstring>& paths, bool offerDrop) {
    ComPtr<IDataObject> object;
    object.Attach(new DropDataObject(paths, offerDrop));
    return object;
}

ComPtr<IDataObject> MakeShellDataObject(const std::wstring& folder,
                                        const std::vector<std::wstring>& names) {
    ComPtr<IShellFolder> desktop;
    ComPtr<IShellFolder> parent;
    ComPtr<IDataObject> object;
    PIDLIST_RELATIVE folderId = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) ||
        FAILED(desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(folder.c_str()),
                                         nullptr, &folderId, nullptr))) {
        return object;
    }
    if (SUCCEEDED(desktop->BindToObject(folderId, nullptr, IID_PPV_ARGS(&parent)))) {
        std::vector<PITEMID_CHILD> children;
        for (const std::wstring& name : names) {
            PIDLIST_RELATIVE child = nullptr;
            if (SUCCEEDED(parent->ParseDisplayName(nullptr, nullptr,
                                                   const_cast<wchar_t*>(name.c_str()), nullptr,
                                                   &child, nullptr))) {
                children.push_back(reinterpret_cast<PITEMID_CHILD>(child));
            }
        }
        if (children.size() == names.size()) {
            parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()),
                                  const_cast<PCUITEMID_CHILD_ARRAY>(children.data()),
                                  IID_IDataObject, nullptr,
                                  reinterpret_cast<void**>(object.GetAddressOf()));
        }
        for (PITEMID_CHILD child : children) CoTaskMemFree(child);
    }
    CoTaskMemFree(folderId);
    return object;
}

std::optional<DWORD> RunProcess(const std::wstring& commandLine) {
    std::wstring mutableLine = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // Under Wine on a loaded machine, starting a process now and then fails once for no reason
    // of ours; what is tested is the program started, so the start is tried again.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0) Sleep(250);
        started = CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process) != FALSE;
    }
    if (!started) return std::nullopt;
    CloseHandle(process.hThread);
    std::optional<DWORD> result;
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process.hProcess, &code)) {
        result = code;
    }
    CloseHandle(process.hProcess);
    return result;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const wchar_t* name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value.data(), &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.resize(wcslen(value.c_str()));
    return value;
}

bool ValueExists(HKEY root, const std::wstring& path, const wchar_t* name) {
    return RegGetValueW(root, path.c_str(), name, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[39];
    StringFromGUID2(guid, text, 39);
    return text;
}

std::wstring Utf8ToWide(const std::string& text) {
    if (text.empty()) return {};
    const int chars =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(chars, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), chars);
    return wide;
}

std::string WideToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes,
                        nullptr, nullptr);
    return utf8;
}
