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
#include "text/language_choice.h"
#include "text/texts.h"
#include "win/ui_language.h"

namespace {

// The second entry can be asked for by name too (scripts, other shells); the first has none.
constexpr wchar_t kTreeVerb[] = L"TasksBelow";

// The entries' command offsets. They stay the same whichever entries a menu shows, so that an
// offset always names the same command.
constexpr UINT kManageCommand = 0;
constexpr UINT kTreeCommand = 1;

// The language of the entries, chosen afresh for each menu from the user's override and Windows'
// preferred languages (one registry read, no file). Explorer's threads keep their own UI
// language: only the text handed back follows the choice.
size_t MenuLanguage() noexcept {
    wchar_t override[kLanguageTagChars] = {};
    ReadLanguageOverride(override);
    wchar_t preferred[kPreferredLanguagesChars] = {};
    ReadPreferredLanguages(preferred);
    return ChooseTextLanguage(reinterpret_cast<const char16_t*>(override),
                              reinterpret_cast<const char16_t*>(preferred));
}

const wchar_t* MenuText(size_t language, TextId id) noexcept {
    return reinterpret_cast<const wchar_t*>(TextIn(language, id));
}

// Copies `text` into the caller's buffer of `chars` units, wide or in the thread's ANSI code
// page, cut to fit and always terminated. The ANSI copy has room for any catalogue text in a
// double-byte code page.
void CopyCommandText(const wchar_t* text, bool wide, CHAR* name, UINT nameChars) noexcept {
    const int chars = nameChars > INT_MAX ? INT_MAX : static_cast<int>(nameChars);
    if (wide) {
        lstrcpynW(reinterpret_cast<wchar_t*>(name), text, chars);
    } else {
        char ansi[2 * 1024 + 4] = {};
        WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
        ansi[sizeof ansi - 1] = '\0';
        lstrcpynA(name, ansi, chars);
    }
}

// True when `path` names a folder. Explorer has just listed the item, so the answer comes from
// the file system's cache.
bool IsFolder(const wchar_t* path) noexcept {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The command offset a caller asks for: given as a number, or as the second entry's verb, in
// ANSI or (with CMIC_MASK_UNICODE in an extended structure) wide text. False for any other text.
bool CommandOffset(const CMINVOKECOMMANDINFO& info, UINT& offset) noexcept {
    if (IS_INTRESOURCE(info.lpVerb)) {
        offset = LOWORD(reinterpret_cast<UINT_PTR>(info.lpVerb));
        return true;
    }
    offset = kTreeCommand;
    if ((info.fMask & CMIC_MASK_UNICODE) != 0 && info.cbSize >= sizeof(CMINVOKECOMMANDINFOEX)) {
        const auto& extended = reinterpret_cast<const CMINVOKECOMMANDINFOEX&>(info);
        if (extended.lpVerbW != nullptr && !IS_INTRESOURCE(extended.lpVerbW)) {
            return CompareStringOrdinal(extended.lpVerbW, -1, kTreeVerb, -1, TRUE) == CSTR_EQUAL;
        }
    }
    wchar_t verb[sizeof kTreeVerb / sizeof kTreeVerb[0] + 1] = {};
    const int length = MultiByteToWideChar(CP_ACP, 0, info.lpVerb, -1, nullptr, 0);
    if (length != static_cast<int>(sizeof kTreeVerb / sizeof kTreeVerb[0])) return false;
    MultiByteToWideChar(CP_ACP, 0, info.lpVerb, -1, verb, length);
    return CompareStringOrdinal(verb, -1, kTreeVerb, -1, TRUE) == CSTR_EQUAL;
}

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

IFACEMETHODIMP CShellExt::Initialize(PCIDLIST_ABSOLUTE folder,
                                     IDataObject* dataObject,
                                     HKEY) noexcept {
    itemPath_[0] = L'\0';  // a refused selection leaves no item behind
    itemIsFolder_ = false;
    background_ = false;
    // A folder's background brings no selection, only the folder. A folder outside the file
    // system (the control panel, a library) has no path and gets no entry.
    if (dataObject == nullptr) {
        RETURN_HR_IF_NULL(E_INVALIDARG, folder);
        if (!SHGetPathFromIDListEx(folder, itemPath_, kPathChars, GPFIDL_DEFAULT) ||
            wcsnlen(itemPath_, kPathChars) == kPathChars || itemPath_[0] == L'\0') {
            itemPath_[0] = L'\0';
            return E_INVALIDARG;
        }
        itemIsFolder_ = true;
        background_ = true;
        return S_OK;
    }
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
    if (hr == S_OK) itemIsFolder_ = IsFolder(itemPath_);
    return hr;
}

IFACEMETHODIMP CShellExt::QueryContextMenu(HMENU menu,
                                           UINT position,
                                           UINT firstCommand,
                                           UINT lastCommand,
                                           UINT flags) noexcept {
    if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);
    // The count returned is the highest offset used plus one, whichever entries were added.
    UINT used = 0;
    UINT at = position;
    const size_t language = MenuLanguage();
    if (!background_) {
        InsertMenuW(menu, at, MF_BYPOSITION | MF_STRING, firstCommand + kManageCommand,
                    MenuText(language, TextId::kExtManageTasks));
        SetMenuItemBitmaps(menu, at, MF_BYPOSITION | MF_BITMAP, menuBitmap_.get(),
                           menuBitmap_.get());
        used = kManageCommand + 1;
        if (at != static_cast<UINT>(-1)) ++at;  // -1 appends: the next entry goes after it
    }
    // The second entry only when the shell left an identifier for it.
    if (AddsTreeEntry() && lastCommand >= firstCommand &&
        lastCommand - firstCommand >= kTreeCommand) {
        InsertMenuW(menu, at, MF_BYPOSITION | MF_STRING, firstCommand + kTreeCommand,
                    MenuText(language, TextId::kMenuTasksBelow));
        SetMenuItemBitmaps(menu, at, MF_BYPOSITION | MF_BITMAP, menuBitmap_.get(),
                           menuBitmap_.get());
        used = kTreeCommand + 1;
    }
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, used);
}

IFACEMETHODIMP CShellExt::GetCommandString(UINT_PTR command,
                                           UINT type,
                                           UINT*,
                                           CHAR* name,
                                           UINT nameChars) noexcept {
    if (command == kTreeCommand && AddsTreeEntry()) {
        // This entry answers as the shell asks: its verb, its help text, and that it exists.
        switch (type) {
            case GCS_VALIDATEA:
            case GCS_VALIDATEW:
                return S_OK;
            case GCS_VERBA:
            case GCS_VERBW:
            case GCS_HELPTEXTA:
            case GCS_HELPTEXTW:
                break;
            default:
                return E_INVALIDARG;
        }
        if (name == nullptr || nameChars == 0) return E_INVALIDARG;
        const bool wide = (type & GCS_UNICODE) != 0;
        if (type & GCS_HELPTEXTA) {
            CopyCommandText(MenuText(MenuLanguage(), TextId::kExtTasksBelowHelp), wide, name,
                            nameChars);
        } else {
            CopyCommandText(kTreeVerb, wide, name, nameChars);
        }
        return S_OK;
    }
    if (command != kManageCommand) return E_INVALIDARG;
    // Only two bits of the request count, help text (bit 0) and wide text (bit 2). An ANSI verb
    // or validation request has neither and is refused; every wide request, verb and validation
    // included, is answered with the help text. The entry has no verb to give (InvokeCommand
    // takes it by offset only), and callers asking for the wide verb have always been given the
    // help text, so that answer stays.
    if ((type & (GCS_HELPTEXTA | GCS_UNICODE)) == 0) return E_INVALIDARG;
    // No room even for the terminator: there is nothing that could be written.
    if (name == nullptr || nameChars == 0) return E_INVALIDARG;
    CopyCommandText(MenuText(MenuLanguage(), TextId::kExtManageTasksHelp),
                    (type & GCS_UNICODE) != 0, name, nameChars);
    return S_OK;
}

IFACEMETHODIMP CShellExt::InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept {
    if (info == nullptr || info->cbSize < sizeof(CMINVOKECOMMANDINFO)) return E_INVALIDARG;
    // The first entry only by its offset, 0; the second by its offset or its verb, and only
    // where it was shown. Any other verb is not ours.
    UINT offset = 0;
    if (!CommandOffset(*info, offset)) return E_INVALIDARG;
    if (offset == kManageCommand && !background_) return StartTaskManager();
    if (offset == kTreeCommand && AddsTreeEntry()) return StartTreeWindow();
    return E_INVALIDARG;
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

// Starts the program's view of the open tasks below the folder: "/below" and the folder in
// double quotes. Like the first entry it starts nothing when the folder does not fit, and
// neither watches nor checks the start.
HRESULT CShellExt::StartTreeWindow() noexcept {
    if (!BuildTreeParameters()) return S_OK;
    wchar_t program[kPathChars] = {};
    if (!TaskManagerPath(program)) return S_OK;
    ShellExecuteW(nullptr, L"open", program, parameters_, nullptr, SW_SHOW);
    return S_OK;
}

// Fills parameters_ with "/below" and the quoted folder. Backslashes just before the closing
// quote are doubled (a drive root, "C:\\"): single, the last would make the quote part of the
// argument when the program splits its command line.
bool CShellExt::BuildTreeParameters() noexcept {
    const size_t length = wcsnlen(itemPath_, kPathChars);
    if (length == 0 || length == kPathChars) return false;
    size_t trailing = 0;
    while (trailing < length && itemPath_[length - 1 - trailing] == L'\\') ++trailing;
    BoundedText parameters(parameters_);
    if (!parameters.AppendLiteral(L"/below \"") || !parameters.Append(itemPath_, length)) {
        return false;
    }
    for (size_t i = 0; i < trailing; ++i) {
        if (!parameters.AppendLiteral(L"\\")) return false;
    }
    return parameters.AppendLiteral(L"\"");
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
