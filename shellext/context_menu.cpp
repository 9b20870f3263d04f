#include "shellext/context_menu.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <climits>
#include <cwchar>

#include "shellext/com_util.h"
#include "shellext/menu_bitmap.h"
#include "shellext/resource.h"
#include "shellext/server_lock.h"
#include "shellext/text_buffer.h"
#include "store/folder_files.h"

namespace {

constexpr wchar_t kMenuText[] = L"Task Management...";
constexpr wchar_t kHelpText[] = L"Manage Tasks";

HBITMAP LoadMenuBitmap(int resource, int width, int height) noexcept {
    return static_cast<HBITMAP>(LoadImageW(ServerInstance(), MAKEINTRESOURCEW(resource),
                                           IMAGE_BITMAP, width, height, LR_DEFAULTCOLOR));
}

}  // namespace

CShellExt::CShellExt() noexcept {
    ServerLock();
    // The picture is scaled to the size of a menu check mark, starting from the one drawn for
    // the nearest size below it, so that it stays crisp on dense displays.
    const int width = GetSystemMetrics(SM_CXMENUCHECK);
    const int height = GetSystemMetrics(SM_CYMENUCHECK);
    const int chosen = MenuBitmapFor(width, height);
    menuBitmap_.reset(LoadMenuBitmap(chosen, width, height));
    if (!menuBitmap_ && chosen != IDB_MENU) {
        menuBitmap_.reset(LoadMenuBitmap(IDB_MENU, width, height));
    }
}

CShellExt::~CShellExt() {
    ServerUnlock();
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
    SetMenuItemBitmaps(menu, position, MF_BYPOSITION | MF_BITMAP, menuBitmap_.get(),
                       menuBitmap_.get());
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 1);
}

IFACEMETHODIMP CShellExt::GetCommandString(UINT_PTR command,
                                           UINT type,
                                           UINT*,
                                           CHAR* name,
                                           UINT nameChars) noexcept {
    if (command != 0) return E_INVALIDARG;
    // Only two bits of the request count, help text (bit 0) and wide text (bit 2). An ANSI verb
    // or validation request has neither and is refused; every wide request, verb and validation
    // included, is answered with the help text. The entry has no verb to give (InvokeCommand
    // takes it by offset only), and callers asking for the wide verb have always been given the
    // help text, so that answer stays.
    if ((type & (GCS_HELPTEXTA | GCS_UNICODE)) == 0) return E_INVALIDARG;
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
    if (!BuildParameters()) return S_OK;
    wchar_t program[kPathChars] = {};
    if (!TaskManagerPath(program)) return S_OK;
    ShellExecuteW(nullptr, L"open", program, parameters_, nullptr, SW_SHOW);
    return S_OK;
}

// Fills parameters_ with the two quoted arguments for the selected item: its parent folder's
// database and its name.
// False when the item has no parent folder or no name, or an argument does not fit.
bool CShellExt::BuildParameters() noexcept {
    const size_t length = wcsnlen(itemPath_, kPathChars);
    const size_t slash = LastBackslash(itemPath_, length);
    if (slash == length) return false;  // no parent folder to keep the database in
    const size_t nameLength = length - slash - 1;
    if (nameLength == 0) return false;  // a drive root has no name to keep tasks for

    BoundedText quotedName(quotedName_);
    if (!quotedName.AppendQuoted(itemPath_ + slash + 1, nameLength)) return false;
    BoundedText database(databaseArgument_);
    if (!database.AppendLiteral(L"\"") || !database.Append(itemPath_, slash + 1) ||
        !database.AppendLiteral(kDatabaseFileName) || !database.AppendLiteral(L"\"")) {
        return false;
    }
    BoundedText parameters(parameters_);
    return parameters.Append(database.text(), database.length()) &&
           parameters.AppendLiteral(L" ") &&
           parameters.Append(quotedName.text(), quotedName.length());
}

// The installed program: "Pelmora\Pelmora.exe" in the Program Files folder. False when that
// folder is unknown or the path does not fit.
bool CShellExt::TaskManagerPath(wchar_t (&program)[kPathChars]) noexcept {
    wchar_t programFiles[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE)) return false;
    BoundedText path(program);
    return path.Append(programFiles, wcsnlen(programFiles, MAX_PATH)) &&
           path.AppendLiteral(L"\\Pelmora\\Pelmora.exe");
}
