#include "app/main_window/list_accessible.h"
#include "app/user_texts.h"

#include <oleacc.h>
#include <shlwapi.h>

#include <new>

#include "app/text_util.h"
#include "win/unique_com.h"
#include "win/window_proc.h"

namespace {

// Child ids: CHILDID_SELF (0) is the list, id k the entry at index k - 1. The server reads the
// list box itself on every call (count, selection, caret, rectangles), so it never holds a stale
// child after an insertion or a removal, and no call walks the entries.
class CListAccessible final : public IAccessible, public IOleWindow {
public:
    CListAccessible(HWND list, const ListAccessibleNames& names) : list_(list), names_(names) {}

    // The list is going away: every later call fails, and remote clients are cut off.
    void Disconnect() noexcept {
        list_ = nullptr;
        CoDisconnectObject(static_cast<IAccessible*>(this), 0);
    }

    // IUnknown
    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override {
        static const QITAB kInterfaces[] = {
            QITABENT(CListAccessible, IAccessible),
            QITABENTMULTI(CListAccessible, IDispatch, IAccessible),
            QITABENT(CListAccessible, IOleWindow),
            {},
        };
        return QISearch(this, kInterfaces, riid, ppv);
    }
    IFACEMETHODIMP_(ULONG) AddRef() noexcept override {
        return static_cast<ULONG>(InterlockedIncrement(&refCount_));
    }
    IFACEMETHODIMP_(ULONG) Release() noexcept override {
        const LONG count = InterlockedDecrement(&refCount_);
        if (count == 0) delete this;
        return static_cast<ULONG>(count);
    }

    // IDispatch: no type information; screen readers call the interface directly.
    IFACEMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override {
        if (info != nullptr) *info = nullptr;
        return E_NOTIMPL;
    }
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP
    Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
        return E_NOTIMPL;
    }

    // IOleWindow
    IFACEMETHODIMP GetWindow(HWND* window) noexcept override {
        if (window == nullptr) return E_POINTER;
        *window = list_;
        return list_ != nullptr ? S_OK : E_FAIL;
    }
    IFACEMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

    // IAccessible
    IFACEMETHODIMP get_accParent(IDispatch** parent) noexcept override;
    IFACEMETHODIMP get_accChildCount(LONG* count) noexcept override;
    IFACEMETHODIMP get_accChild(VARIANT child, IDispatch** dispatch) noexcept override;
    IFACEMETHODIMP get_accName(VARIANT child, BSTR* name) noexcept override;
    IFACEMETHODIMP get_accValue(VARIANT child, BSTR* value) noexcept override {
        return NoText(child, value);
    }
    IFACEMETHODIMP get_accDescription(VARIANT child, BSTR* description) noexcept override {
        return NoText(child, description);
    }
    IFACEMETHODIMP get_accRole(VARIANT child, VARIANT* role) noexcept override;
    IFACEMETHODIMP get_accState(VARIANT child, VARIANT* state) noexcept override;
    IFACEMETHODIMP get_accHelp(VARIANT child, BSTR* help) noexcept override {
        return NoText(child, help);
    }
    IFACEMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) noexcept override {
        if (topic != nullptr) *topic = 0;
        return NoText(child, file);
    }
    IFACEMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) noexcept override {
        return NoText(child, shortcut);
    }
    IFACEMETHODIMP get_accFocus(VARIANT* focus) noexcept override;
    IFACEMETHODIMP get_accSelection(VARIANT* selection) noexcept override;
    IFACEMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) noexcept override;
    IFACEMETHODIMP accSelect(LONG flags, VARIANT child) noexcept override;
    IFACEMETHODIMP accLocation(LONG* left,
                               LONG* top,
                               LONG* width,
                               LONG* height,
                               VARIANT child) noexcept override;
    IFACEMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* end) noexcept override;
    IFACEMETHODIMP accHitTest(LONG x, LONG y, VARIANT* child) noexcept override;
    IFACEMETHODIMP accDoDefaultAction(VARIANT child) noexcept override;
    IFACEMETHODIMP put_accName(VARIANT, BSTR) noexcept override { return E_NOTIMPL; }
    IFACEMETHODIMP put_accValue(VARIANT, BSTR) noexcept override { return E_NOTIMPL; }

private:
    ~CListAccessible() = default;

    int Count() const {
        const LRESULT count = SendMessageW(list_, LB_GETCOUNT, 0, 0);
        return count == LB_ERR ? 0 : static_cast<int>(count);
    }

    // E_FAIL once the list is gone; E_INVALIDARG for anything but VT_I4 0 (the list) or an
    // entry's id. `index` is -1 for the list itself.
    HRESULT Resolve(const VARIANT& child, int& index) const {
        index = -1;
        if (list_ == nullptr || !IsWindow(list_)) return E_FAIL;
        if (child.vt != VT_I4) return E_INVALIDARG;
        if (child.lVal == CHILDID_SELF) return S_OK;
        if (child.lVal < 0 || child.lVal > Count()) return E_INVALIDARG;
        index = static_cast<int>(child.lVal) - 1;
        return S_OK;
    }

    HRESULT NoText(const VARIANT& child, BSTR* text) const {
        if (text == nullptr) return E_POINTER;
        *text = nullptr;
        int index = -1;
        const HRESULT resolved = Resolve(child, index);
        return FAILED(resolved) ? resolved : S_FALSE;
    }

    bool HasFocus() const { return GetFocus() == list_; }

    // The list, or the window it sits in, is disabled: a modal window (an editor, a question) is
    // up over it. It then takes no selection and no action from a client, as it takes no click:
    // a command started under the modal window would run inside that window's loop, beside the
    // command that opened it.
    bool Unavailable() const {
        return !IsWindowEnabled(list_) || !IsWindowEnabled(GetAncestor(list_, GA_ROOT));
    }

    int Caret() const {
        const LRESULT caret = SendMessageW(list_, LB_GETCARETINDEX, 0, 0);
        return caret == LB_ERR ? -1 : static_cast<int>(caret);
    }

    int Selected() const {
        const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
        return selected == LB_ERR ? -1 : static_cast<int>(selected);
    }

    bool EntryRect(int index, RECT& rect) const {
        return SendMessageW(list_, LB_GETITEMRECT, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(&rect)) != LB_ERR;
    }

    LONG refCount_ = 1;
    HWND list_;
    ListAccessibleNames names_;
};

void SetChild(VARIANT* variant, LONG id) {
    variant->vt = VT_I4;
    variant->lVal = id;
}

HRESULT ReturnText(const std::u16string& text, BSTR* out) {
    *out = SysAllocStringLen(WidePtr(text), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

IFACEMETHODIMP CListAccessible::get_accParent(IDispatch** parent) noexcept {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    if (list_ == nullptr) return E_FAIL;
    // The list's window object, which the system provides where it can.
    if (FAILED(AccessibleObjectFromWindow(list_, static_cast<DWORD>(OBJID_WINDOW),
                                          __uuidof(IDispatch), reinterpret_cast<void**>(parent)))) {
        *parent = nullptr;
        return S_FALSE;
    }
    return S_OK;
}

IFACEMETHODIMP CListAccessible::get_accChildCount(LONG* count) noexcept {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    if (list_ == nullptr || !IsWindow(list_)) return E_FAIL;
    *count = Count();
    return S_OK;
}

// Entries are simple children: they have no object of their own.
IFACEMETHODIMP CListAccessible::get_accChild(VARIANT child, IDispatch** dispatch) noexcept {
    if (dispatch == nullptr) return E_POINTER;
    *dispatch = nullptr;
    int index = -1;
    const HRESULT resolved = Resolve(child, index);
    if (FAILED(resolved)) return resolved;
    return index < 0 ? E_INVALIDARG : S_FALSE;
}

IFACEMETHODIMP CListAccessible::get_accName(VARIANT child, BSTR* name) noexcept {
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    int index = -1;
    const HRESULT resolved = Resolve(child, index);
    if (FAILED(resolved)) return resolved;
    if (index < 0) {
        return names_.listName != nullptr ? ReturnText(names_.listName(list_), name) : S_FALSE;
    }
    return names_.entryName != nullptr ? ReturnText(names_.entryName(list_, index), name) : S_FALSE;
}

IFACEMETHODIMP CListAccessible::get_accRole(VARIANT child, VARIANT* role) noexcept {
    if (role == nullptr) return E_POINTER;
    VariantInit(role);
    int index = -1;
    const HRESULT resolved = Resolve(child, index);
    if (FAILED(resolved)) return resolved;
    SetChild(role, index < 0 ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM);
    return S_OK;
}

IFACEMETHODIMP CListAccessible::get_accState(VARIANT child, VARIANT* state) noexcept {
    if (state == nullptr) return E_POINTER;
    VariantInit(state);
    int index = -1;
    const HRESULT resolved = Resolve(child, index);
    if (FAILED(resolved)) return resolved;
    LONG bits = Unavailable() ? STATE_SYSTEM_UNAVAILABLE : 0;
    if (index < 0) {
        bits |= STATE_SYSTEM_FOCUSABLE;
        if (HasFocus()) bits |= STATE_SYSTEM_FOCUSED;
        if (!IsWindowVisible(list_)) bits |= STATE_SYSTEM_INVISIBLE;
    } else {
        // Done or open is in the name, never here: a reader says "not selected" for every
        // entry that is not, and that must not sound like the task's state.
        bits |= STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
        if (SendMessageW(list_, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0) {
            bits |= STATE_SYSTEM_SELECTED;
        }
        if (HasFocus() && Caret() == index) bits |= STATE_SYSTEM_FOCUSED;
        RECT entry{};
        RECT client{};
        RECT shown{};
        GetClientRect(list_, &client);
        if (!EntryRect(index, entry) || !IntersectRect(&shown, &entry, &client)) {
            bits |= STATE_SYSTEM_OFFSCREEN;
        }
    }
    SetChild(state, bits);
    return S_OK;
}

IFACEMETHODIMP CListAccessible::get_accFocus(VARIANT* focus) noexcept {
    if (focus == nullptr) return E_POINTER;
    VariantInit(focus);
    if (list_ == nullptr || !IsWindow(list_)) return E_FAIL;
    if (!HasFocus()) return S_FALSE;
    const int caret = Caret();
    SetChild(focus, caret >= 0 && caret < Count() ? caret + 1 : CHILDID_SELF);
    return S_OK;
}

IFACEMETHODIMP CListAccessible::get_accSelection(VARIANT* selection) noexcept {
    if (selection == nullptr) return E_POINTER;
    VariantInit(selection);
    if (list_ == nullptr || !IsWindow(list_)) return E_FAIL;
    const int selected = Selected();
    if (selected < 0) return S_FALSE;
    SetChild(selection, selected + 1);
    return S_OK;
}

IFACEMETHODIMP CListAccessible::get_accDefaultAction(VARIANT child, BSTR* action) noexcept {
    if (action == nullptr) return E_POINTER;
    *action = nullptr;
    int index = -1;
    const HRESULT resolved = Resolve(child, index);
    if (FAILED(resolved)) return resolved;
    if (index < 0) return S_FALSE;
    return ReturnText(Text(TextId::kDefaultAction), action);
}

// The list holds one selection, which is also its caret: taking the selection moves the caret,
// and a screen reader's "take focus" gives the list the keyboard focus the way the dialog
// would on Tab.
IFACEMETHODIMP CListAccessible::accSelect(LONG flags, VARIANT child) noexcept {
    int index = -1;
    const HRESULT resolved = Resolve(child, index);
    if (FAILED(resolved)) return resolved;
    constexpr LONG kSupported = SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION;
    if (flags == 0 || (flags & ~kSupported) != 0) return E_INVALIDARG;
    if (index < 0 && (flags & SELFLAG_TAKESELECTION) != 0) return E_INVALIDARG;
    if (Unavailable()) return E_FAIL;
    if ((flags & SELFLAG_TAKEFOCUS) != 0) {
        const HWND parent = GetParent(list_);
        SendMessageW(parent, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list_), TRUE);
    }
    if ((flags & SELFLAG_TAKESELECTION) != 0) {
        SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        // As a click would: the owner updates whatever follows the selection.
        SendMessageW(GetParent(list_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list_), LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list_));
    }
    return S_OK;
}

IFACEMETHODIMP CListAccessible::accLocation(LONG* left,
                                            LONG* top,
                                            LONG* width,
                                            LONG* height,
                                            VARIANT child) noexcept {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr)
        return E_POINTER;
    *left = *top = *width = *height = 0;
    int index = -1;
    const HRESULT resolved = Resolve(child, index);
    if (FAILED(resolved)) return resolved;
    RECT rect{};
    if (index < 0) {
        GetClientRect(list_, &rect);
    } else if (!EntryRect(index, rect)) {
        return S_FALSE;
    }
    MapWindowPoints(list_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
}

IFACEMETHODIMP CListAccessible::accNavigate(LONG direction, VARIANT start, VARIANT* end) noexcept {
    if (end == nullptr) return E_POINTER;
    VariantInit(end);
    int index = -1;
    const HRESULT resolved = Resolve(start, index);
    if (FAILED(resolved)) return resolved;
    const int count = Count();
    int target = -1;
    switch (direction) {
        case NAVDIR_FIRSTCHILD:
        case NAVDIR_LASTCHILD:
            // Only the list has children; its siblings are the window's business.
            if (index >= 0) return E_INVALIDARG;
            if (count > 0) target = direction == NAVDIR_FIRSTCHILD ? 0 : count - 1;
            break;
        case NAVDIR_NEXT:
        case NAVDIR_DOWN:
            if (index >= 0 && index + 1 < count) target = index + 1;
            break;
        case NAVDIR_PREVIOUS:
        case NAVDIR_UP:
            if (index > 0) target = index - 1;
            break;
        case NAVDIR_LEFT:
        case NAVDIR_RIGHT:
            break;
        default:
            return E_INVALIDARG;
    }
    if (target < 0) return S_FALSE;
    SetChild(end, target + 1);
    return S_OK;
}

// Entries all have the list's one height, so the entry under a point follows from the top
// entry alone, also past the 65,535 entries that LB_ITEMFROMPOINT can name.
IFACEMETHODIMP CListAccessible::accHitTest(LONG x, LONG y, VARIANT* child) noexcept {
    if (child == nullptr) return E_POINTER;
    VariantInit(child);
    if (list_ == nullptr || !IsWindow(list_)) return E_FAIL;
    POINT point{x, y};
    ScreenToClient(list_, &point);
    RECT client{};
    GetClientRect(list_, &client);
    if (!PtInRect(&client, point)) return S_FALSE;
    const LRESULT top = SendMessageW(list_, LB_GETTOPINDEX, 0, 0);
    const LRESULT height = SendMessageW(list_, LB_GETITEMHEIGHT, 0, 0);
    SetChild(child, CHILDID_SELF);
    if (top == LB_ERR || height == LB_ERR || height <= 0) return S_OK;
    const LONGLONG index = top + point.y / height;
    if (index < Count()) SetChild(child, static_cast<LONG>(index + 1));
    return S_OK;
}

// As a double click would; posted, so that a dialog it opens does not hold the caller.
IFACEMETHODIMP CListAccessible::accDoDefaultAction(VARIANT child) noexcept {
    int index = -1;
    const HRESULT resolved = Resolve(child, index);
    if (FAILED(resolved)) return resolved;
    if (index < 0) return DISP_E_MEMBERNOTFOUND;
    if (Unavailable()) return E_FAIL;
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageW(GetParent(list_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list_), LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list_));
    return S_OK;
}

// What the list's replaced window procedure needs; kept in the list's user data, which list
// boxes leave to their owner. (The common controls' subclassing would look its data up in the
// window's properties on every message, which costs a trip to the window server under Wine for
// each of the thousands of messages that fill a long list.)
struct AccessibleList {
    UniqueComPtr<CListAccessible> server;  // the list's own reference
    WNDPROC listProc = nullptr;
};

LRESULT CALLBACK AccessibleListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* attached = reinterpret_cast<AccessibleList*>(GetWindowLongPtrW(list, GWLP_USERDATA));
    if (attached == nullptr) return DefWindowProcW(list, message, wParam, lParam);
    const WNDPROC listProc = attached->listProc;
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        return LresultFromObject(__uuidof(IAccessible), wParam,
                                 static_cast<IAccessible*>(attached->server.get()));
    }
    if (message == WM_NCDESTROY) {
        UnchainWindowProc(list, listProc);
        SetWindowLongPtrW(list, GWLP_USERDATA, 0);
        attached->server->Disconnect();
        delete attached;
    }
    return CallWindowProcW(listProc, list, message, wParam, lParam);
}

}  // namespace

std::u16string LabelBefore(HWND window) {
    const HWND previous = GetWindow(window, GW_HWNDPREV);
    wchar_t className[16] = {};
    if (previous == nullptr || GetClassNameW(previous, className, 16) == 0 ||
        lstrcmpiW(className, L"Static") != 0) {
        return std::u16string();
    }
    const std::u16string text = WindowText(previous);
    std::u16string label;
    label.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 >= text.size()) break;
            ++i;
        }
        label += text[i];
    }
    return label;
}

std::u16string ListEntryText(HWND list, int index) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR || length <= 0) return std::u16string();
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
    return text;
}

bool AttachListAccessible(HWND list, const ListAccessibleNames& names) {
    if (GetWindowLongPtrW(list, GWLP_USERDATA) != 0) return false;
    auto* attached = new (std::nothrow) AccessibleList;
    if (attached == nullptr) return false;
    attached->server.reset(new (std::nothrow) CListAccessible(list, names));
    if (!attached->server) {
        delete attached;
        return false;
    }
    SetWindowLongPtrW(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(attached));
    attached->listProc = ChainWindowProc(list, &AccessibleListProc);
    return true;
}

void AnnounceEntryNameChange(HWND list, int index) {
    if (index >= 0) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, list, OBJID_CLIENT, index + 1);
}
