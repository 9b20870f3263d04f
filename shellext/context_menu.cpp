#include "shellext/context_menu.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <climits>
#include <cwchar>

#include "shellext/com_util.h"
#include "shellext/menu_bitmap.h"
#include "shellext/module.h"
#include "shellext/resource.h"
#include "shellext/text_buffer.h"

namespace {

constexpr wchar_t kMenuText[] = L"Task Management...";
constexpr wchar_t kHelpText[] = L"Manage Tasks";

}  // namespace

CShellExt::CShellExt() noexcept {
    gModule.Lock();
    // The picture is scaled to the size of a menu check mark, starting from the one drawn for
    // the nearest size below it, so that it stays crisp on dense displays.
    const int width = GetSystemMetrics(SM_CXMENUCHECK);
    const int height = GetSystemMetrics(SM_CYMENUCHECK);
    const int chosen = MenuBitmapFor(width, height);
    menuBitmap_ = static_cast<HBITMAP>(LoadImageW(gModule.Instance(), MAKEINTRESOURCEW(chosen),
                                                  IMAGE_BITMAP, width, height, LR_DEFAULTCOLOR));
    if (menuBitmap_ == nullptr && chosen != IDB_MENU) {
        menuBitmap_ =
            static_cast<HBITMAP>(LoadImageW(gModule.Instance(), MAKEINTRESOURCEW(IDB_MENU),
                                            IMAGE_BITMAP, width, height, LR_DEFAULTCOLOR));
    }
}

CShellExt::~CShellExt() {
    if (menuBitmap_ != nullptr) DeleteObject(menuBitmap_);
    gModule.Unlock();
}

IFACEMETHODIMP CShellExt::QueryInterface(REFIID riid, void** ppv) noexcept {
    static const QITAB kInterfaces[] = {
        QITABENT(CShellExt, IShellExtInit),
        QITABENT(CShellExt, IContextMenu),
        {},
    };
    return QISearch(this, kInterfaces, riid, ppv);
}

IFACEMETHODIMP_(ULONG) CShellExt::AddRef() noexcept {
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

IFACEMETHODIMP_(ULONG) CShellExt::Release() noexcept {
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

IFACEMETHODIMP CShellExt::Initialize(PCIDLIST_ABSOLUTE, IDataObject* dataObject, HKEY) noexcept {
    itemPath_[0] = L'\0';  // a refused selection leaves no item behind
    RETURN_HR_IF_NULL(E_INVALIDARG, dataObject);
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(dataObject->GetData(&format, &medium))) return E_INVALIDARG;

    HRESULT hr = E_INVALIDARG;
    // A data object may answer with another medium than the one asked for.
    auto drop =
        medium.tymed == TYMED_HGLOBAL ? static_cast<HDROP>(GlobalLock(medium.hGlobal)) : nullptr;
    if (drop != nullptr) {
        // Only the first item counts. A path that does not fit the buffer would arrive cut and
        // name another item, so it is refused rather than used.
        if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
            const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
            if (length > 0 && length < kPathChars &&
                DragQueryFileW(drop, 0, itemPath_, kPathChars) == length) {
                hr = S_OK;
            } else {
                itemPath_[0] = L'\0';
            }
        }
        GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return hr;
}

IFACEMETHODIMP CShellExt::QueryContextMenu(HMENU menu,
                                           UINT position,
                                           UINT firstCommand,
                                           UINT,
                                           UINT flags) noexcept {
    if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);
    InsertMenuW(menu, position, MF_BYPOSITION | MF_STRING, firstCommand, kMenuText);
    SetMenuItemBitmaps(menu, position, MF_BYPOSITION | MF_BITMAP, menuBitmap_, menuBitmap_);
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 1);
}

IFACEMETHODIMP CShellExt::GetCommandString(UINT_PTR command,
                                           UINT type,
                                           UINT*,
                                           CHAR* name,
                                           UINT nameChars) noexcept {
    if (command != 0) return E_INVALIDARG;
    if ((type & (GCS_HELPTEXTA | GCS_UNICODE)) == 0) return E_INVALIDARG;  // verbs, validation
    // No room even for the terminator: there is nothing that could be written.
    if (name == nullptr || nameChars == 0) return E_INVALIDARG;
    const int chars = nameChars > INT_MAX ? INT_MAX : static_cast<int>(nameChars);
    if (type & GCS_UNICODE) {
        lstrcpynW(reinterpret_cast<wchar_t*>(name), kHelpText, chars);
    } else {
        char ansi[sizeof kHelpText] = {};
        WideCharToMultiByte(CP_THREAD_ACP, 0, kHelpText, -1, ansi, sizeof ansi, nullptr, nullptr);
        ansi[sizeof ansi - 1] = '\0';
        lstrcpynA(name, ansi, chars);
    }
    return S_OK;
}

IFACEMETHODIMP CShellExt::InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept {
    if (info == nullptr || info->cbSize < sizeof(CMINVOKECOMMANDINFO)) return E_INVALIDARG;
    // Only command offset 0, given as a number; a verb given as text is not ours.
    if (reinterpret_cast<UINT_PTR>(info->lpVerb) != 0) return E_INVALIDARG;
    return StartTaskManager();
}

// Starts the task manager with two quoted arguments: the database in the item's parent folder
// and the item's name. It starts nothing when either does not fit its buffer or the name is
// empty (a drive root); the program is not watched and its start is not checked.
HRESULT CShellExt::StartTaskManager() noexcept {
    const size_t length = wcsnlen(itemPath_, kPathChars);
    const size_t slash = LastBackslash(itemPath_, length);
    if (slash == length) return S_OK;  // no parent folder to keep the database in
    const wchar_t* name = itemPath_ + slash + 1;
    const size_t nameLength = length - slash - 1;

    size_t quotedLength = 0;
    quotedName_[0] = L'\0';
    if (!AppendLiteral(quotedName_, kPathChars, quotedLength, L"\"") ||
        !AppendText(quotedName_, kPathChars, quotedLength, name, nameLength) ||
        !AppendLiteral(quotedName_, kPathChars, quotedLength, L"\"")) {
        return S_OK;
    }
    size_t databaseLength = 0;
    databaseArgument_[0] = L'\0';
    if (!AppendLiteral(databaseArgument_, kPathChars, databaseLength, L"\"") ||
        !AppendText(databaseArgument_, kPathChars, databaseLength, itemPath_, slash + 1) ||
        !AppendLiteral(databaseArgument_, kPathChars, databaseLength, L"pelmora.db\"")) {
        return S_OK;
    }
    if (quotedLength <= 2) return S_OK;  // a drive root has no name to keep tasks for

    size_t parametersLength = 0;
    parameters_[0] = L'\0';
    if (!AppendText(parameters_, kParameterChars, parametersLength, databaseArgument_,
                    databaseLength) ||
        !AppendLiteral(parameters_, kParameterChars, parametersLength, L" ") ||
        !AppendText(parameters_, kParameterChars, parametersLength, quotedName_, quotedLength)) {
        return S_OK;
    }

    wchar_t programFiles[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE)) return S_OK;
    wchar_t program[kPathChars] = {};
    size_t programLength = 0;
    if (!AppendText(program, kPathChars, programLength, programFiles,
                    wcsnlen(programFiles, MAX_PATH)) ||
        !AppendLiteral(program, kPathChars, programLength, L"\\Pelmora\\Pelmora.exe")) {
        return S_OK;
    }
    ShellExecuteW(nullptr, L"open", program, parameters_, nullptr, SW_SHOW);
    return S_OK;
}
