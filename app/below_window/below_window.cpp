#include "app/below_window/below_window.h"

#include <windowsx.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "app/app_state.h"
#include "app/below_window/below_draw.h"
#include "app/below_window/below_walk.h"
#include "app/control_fit.h"
#include "app/dialogs/dialog_box.h"
#include "app/dialogs/messages.h"
#include "app/main_window/list_accessible.h"
#include "app/resource.h"
#include "app/settings.h"
#include "app/text_util.h"
#include "app/ui/window_geometry.h"
#include "app/user_texts.h"
#include "app/window_dpi.h"
#include "store/folder_files.h"

namespace {

// The smallest the window may be dragged, at 96 DPI.
constexpr Size kBelowMinimumSize{400, 300};
// The progress line is written from a timer while the walk runs.
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressMs = 100;
// Batches are taken at most this often: when the walk runs ahead, the rows it found meanwhile
// wait in one batch and the list is repainted once for them, not once per list.
constexpr UINT_PTR kBatchTimer = 2;
constexpr DWORD kBatchMs = 50;

struct BelowWindowState {
    std::u16string root;
    std::vector<BelowEntry> entries;
    std::vector<BelowRow> rows;  // list entry i draws rows[i]
    std::u16string filter;       // folded; empty: none
    BelowWalk walk;
    ItemWindows items;
    bool walking = false;
    BelowBatch totals;  // the walk's last word: counts and, once finished, its outcome
    BelowLook look;
    HWND list = nullptr;
    DWORD lastBatchTick = 0;    // when a batch was last taken; 0: none yet in this walk
    bool batchWaiting = false;  // a batch is announced and waits for kBatchTimer
};

BelowWindowState* StateOf(HWND window) {
    return reinterpret_cast<BelowWindowState*>(GetWindowLongPtrW(window, DWLP_USER));
}

std::u16string RootMessage(const std::u16string& root, TextId why) {
    return FormatText(why, {root});
}

// The message for a root the walk cannot start from; none when it can.
std::optional<TextId> RootProblem(const std::u16string& root) {
    const DWORD attributes = GetFileAttributesW(WidePtr(root));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                             error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH ||
                             error == ERROR_BAD_NET_NAME || error == ERROR_INVALID_DRIVE;
        return missing ? TextId::kBelowRootMissing : TextId::kBelowRootUnreadable;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return TextId::kBelowRootNotFolder;
    WIN32_FIND_DATAW found{};
    const std::u16string pattern = FolderBelow(root, u"*");
    const UniqueFindHandle listing(FindFirstFileExW(WidePtr(pattern), FindExInfoBasic, &found,
                                                    FindExSearchNameMatch, nullptr, 0));
    return listing ? std::nullopt : std::optional<TextId>(TextId::kBelowRootUnreadable);
}

std::optional<TextId> OutcomeProblem(WalkOutcome outcome) {
    switch (outcome) {
        case WalkOutcome::RootNotFound:
            return TextId::kBelowRootMissing;
        case WalkOutcome::RootNotFolder:
            return TextId::kBelowRootNotFolder;
        case WalkOutcome::RootUnreadable:
            return TextId::kBelowRootUnreadable;
        default:
            return std::nullopt;
    }
}

// "Reading... 12,340 folders, 57 lists, 213 open", and once the walk is over without "Reading",
// or with "Cancelled" when it was stopped.
void ShowProgress(HWND window, const BelowWindowState& state) {
    const BelowBatch& totals = state.totals;
    const uint64_t folders = state.walk.FoldersListed();
    std::u16string text =
        FormatText(folders == 1 ? TextId::kBelowFoldersOne : TextId::kBelowFoldersMany,
                   {GroupedNumber(folders)}) +
        u", " +
        FormatText(totals.lists == 1 ? TextId::kBelowListsOne : TextId::kBelowListsMany,
                   {GroupedNumber(totals.lists)}) +
        u", " + FormatText(TextId::kBelowOpenCount, {GroupedNumber(totals.open)});
    if (totals.problems > 0) {
        text += u", " + FormatText(TextId::kBelowNotReadable, {GroupedNumber(totals.problems)});
    }
    if (state.walking) {
        text = FormatText(TextId::kBelowReading, {text});
    } else if (totals.outcome == WalkOutcome::Cancelled) {
        text = FormatText(TextId::kBelowCancelled, {text});
    }
    SetDlgItemTextW(window, IDC_BELOW_PROGRESS, WidePtr(text));
}

const BelowRow* SelectedRow(const BelowWindowState& state) {
    const LRESULT selected = SendMessageW(state.list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR || static_cast<size_t>(selected) >= state.rows.size()) return nullptr;
    return &state.rows[static_cast<size_t>(selected)];
}

void UpdateButtons(HWND window, const BelowWindowState& state) {
    const BelowRow* row = SelectedRow(state);
    EnableWindow(GetDlgItem(window, IDOK), row != nullptr && CanOpen(state.entries[row->entry]));
    // The focus leaves a button before it is disabled, or the keyboard would lose its place.
    const HWND stop = GetDlgItem(window, IDC_BELOW_STOP);
    if (!state.walking && GetFocus() == stop) SetFocus(state.list);
    EnableWindow(stop, state.walking);
}

bool AddRowEntry(const BelowWindowState& state, const BelowRow& row) {
    const std::u16string name = RowName(state.entries[row.entry], row);
    const LRESULT added =
        SendMessageW(state.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WidePtr(name)));
    return added != LB_ERR && added != LB_ERRSPACE;
}

// Adds the rows of entries [first, end) to the list, as far as it takes them.
void AppendEntries(BelowWindowState& state, size_t first) {
    std::vector<BelowRow> rows;
    for (size_t index = first; index < state.entries.size(); ++index) {
        AppendRows(state.entries[index], index, state.filter, rows);
    }
    for (const BelowRow& row : rows) {
        // Entry i draws rows[i]: a row the box cannot take ends the list there.
        if (!AddRowEntry(state, row)) break;
        state.rows.push_back(row);
    }
}

// Fills the list again from every entry (the filter changed, an entry was read again), keeping
// the selected entry's heading selected.
void Refill(HWND window, BelowWindowState& state) {
    const BelowRow* selected = SelectedRow(state);
    const std::optional<size_t> keep =
        selected ? std::optional<size_t>(selected->entry) : std::nullopt;
    const LRESULT top = SendMessageW(state.list, LB_GETTOPINDEX, 0, 0);
    SendMessageW(state.list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(state.list, LB_RESETCONTENT, 0, 0);
    state.rows.clear();
    AppendEntries(state, 0);
    if (keep) {
        const auto found = std::find_if(state.rows.begin(), state.rows.end(),
                                        [&](const BelowRow& row) { return row.entry == *keep; });
        if (found != state.rows.end()) {
            SendMessageW(state.list, LB_SETCURSEL, static_cast<WPARAM>(found - state.rows.begin()),
                         0);
        }
    }
    SendMessageW(state.list, LB_SETTOPINDEX, static_cast<WPARAM>(std::max<LRESULT>(top, 0)), 0);
    SendMessageW(state.list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(state.list, nullptr, TRUE);
    UpdateButtons(window, state);
}

void StartWalk(HWND window, BelowWindowState& state) {
    state.walk.Stop();
    // A notice of the walk just stopped would hand the new walk's first entries to no one.
    MSG message{};
    while (PeekMessageW(&message, window, kBelowBatchMessage, kBelowBatchMessage, PM_REMOVE)) {
    }
    state.entries.clear();
    state.rows.clear();
    SendMessageW(state.list, LB_RESETCONTENT, 0, 0);
    state.totals = BelowBatch();
    state.walking = true;
    KillTimer(window, kBatchTimer);
    state.batchWaiting = false;
    state.lastBatchTick = 0;
    state.walk.Start(window, state.root);
    SetTimer(window, kProgressTimer, kProgressMs, nullptr);
    ShowProgress(window, state);
    UpdateButtons(window, state);
}

void OnBatch(HWND window, BelowWindowState& state) {
    KillTimer(window, kBatchTimer);
    state.batchWaiting = false;
    state.lastBatchTick = GetTickCount() | 1;  // never 0, which means none yet
    const std::unique_ptr<BelowBatch> batch = state.walk.TakeBatch();
    if (!batch) return;
    const bool wasEmpty = state.rows.empty();
    const size_t first = state.entries.size();
    std::move(batch->entries.begin(), batch->entries.end(), std::back_inserter(state.entries));
    // One repaint and one scroll-bar update for the whole batch, not one per row: a batch can
    // carry thousands of rows when the walk runs ahead of the window.
    SendMessageW(state.list, WM_SETREDRAW, FALSE, 0);
    AppendEntries(state, first);
    SendMessageW(state.list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(state.list, nullptr, TRUE);
    if (wasEmpty && !state.rows.empty() && SendMessageW(state.list, LB_GETCURSEL, 0, 0) == LB_ERR) {
        SendMessageW(state.list, LB_SETCURSEL, 0, 0);
    }
    batch->entries.clear();
    state.totals = std::move(*batch);
    if (state.totals.finished) {
        state.walking = false;
        KillTimer(window, kProgressTimer);
    }
    ShowProgress(window, state);
    UpdateButtons(window, state);
    if (state.totals.finished) {
        if (const auto problem = OutcomeProblem(state.totals.outcome)) {
            ShowError(window, RootMessage(state.root, *problem));
        }
    }
}

// A batch is announced: taken now, or when kBatchMs have passed since the last one.
void OnBatchAnnounced(HWND window, BelowWindowState& state) {
    if (state.batchWaiting) return;
    const DWORD since = GetTickCount() - state.lastBatchTick;
    if (state.lastBatchTick != 0 && since < kBatchMs) {
        state.batchWaiting = SetTimer(window, kBatchTimer, kBatchMs - since, nullptr) != 0;
        if (state.batchWaiting) return;
    }
    OnBatch(window, state);
}

void OnRefreshed(HWND window, BelowWindowState& state, WPARAM number, BelowRefresh* posted) {
    const std::unique_ptr<BelowRefresh> refresh(posted);
    state.items.Finished(number);
    const auto found =
        std::find_if(state.entries.begin(), state.entries.end(), [&](const BelowEntry& entry) {
            return entry.folder == refresh->folder && entry.key == refresh->key;
        });
    // The walk began again since the window was opened, and has not come to it yet.
    if (found == state.entries.end()) return;
    BelowEntry& entry = *found;
    const uint64_t openBefore = entry.total - entry.done;
    if (refresh->found) {
        entry = std::move(refresh->entry);
    } else {
        // Its list is gone: every task was removed.
        entry.open.clear();
        entry.total = entry.done = 0;
    }
    const uint64_t openNow = entry.problem == TreeProblem::kNone ? entry.total - entry.done : 0;
    state.totals.open = state.totals.open - std::min(openBefore, state.totals.open) + openNow;
    Refill(window, state);
    ShowProgress(window, state);
}

void OpenSelected(HWND window, BelowWindowState& state) {
    const BelowRow* row = SelectedRow(state);
    if (row == nullptr || !CanOpen(state.entries[row->entry])) {
        MessageBeep(MB_OK);
        return;
    }
    if (!state.items.Open(window, state.root, state.entries[row->entry])) {
        ShowError(window, UiText(TextId::kCannotStartProgram));
    }
}

void LayOut(HWND window, const BelowWindowState& state) {
    RECT client{};
    GetClientRect(window, &client);
    const BelowLayout layout = LayOutBelow(state.look, Size{client.right, client.bottom});
    const auto place = [&](int id, const Box& box) {
        SetWindowPos(GetDlgItem(window, id), nullptr, box.left, box.top, box.Width(), box.Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(IDC_BELOW_FILTER_LABEL, layout.filterLabel);
    place(IDC_BELOW_FILTER, layout.filter);
    place(IDC_BELOW_LIST, layout.list);
    place(IDC_BELOW_PROGRESS, layout.progress);
    place(IDOK, layout.open);
    place(IDC_BELOW_REFRESH, layout.refresh);
    place(IDC_BELOW_STOP, layout.stop);
    place(IDCANCEL, layout.close);
    InvalidateRect(window, nullptr, TRUE);
}

// Fonts, entry height and layout for the window's density (at start and on a move to a display
// of another one).
void ApplyDpi(HWND window, BelowWindowState& state, int dpi) {
    state.look = CreateBelowLook(window, dpi);
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(state.look.font.get()), FALSE);
    }
    SendMessageW(state.list, LB_SETITEMHEIGHT, 0, state.look.rowHeight);
    for (const int button : {IDCANCEL, IDC_BELOW_STOP, IDC_BELOW_REFRESH, IDOK}) {
        state.look.buttonNeeds.push_back(NeededWidth(GetDlgItem(window, button), dpi));
    }
    LayOut(window, state);
}

std::u16string ListName(HWND) {
    return Text(TextId::kBelowListName);
}

BOOL OnInitDialog(HWND window, BelowWindowState& state) {
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    SetClassLongPtrW(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(gApp.icon.get()));
    SetWindowTextW(window, WidePtr(FormatText(TextId::kBelowWindowCaption, {state.root})));
    SetDialogTexts(window, {{IDC_BELOW_FILTER_LABEL, TextId::kBelowFilterLabel},
                            {IDOK, TextId::kBelowOpen},
                            {IDC_BELOW_REFRESH, TextId::kBelowRefresh},
                            {IDC_BELOW_STOP, TextId::kBelowCancel},
                            {IDCANCEL, TextId::kClose}});
    state.list = GetDlgItem(window, IDC_BELOW_LIST);
    AttachListAccessible(state.list, ListAccessibleNames{&ListName, &ListEntryText});
    const int dpi = WindowDpi(window);
    ApplyDpi(window, state, dpi);
    const Size stored{ReadSetting(kBelowWidthKey, kBelowWindowSize.width),
                      ReadSetting(kBelowHeightKey, kBelowWindowSize.height)};
    PlaceOnScreen(window, ScaleSize(SaneStoredSize(stored, kBelowWindowSize), dpi));
    LayOut(window, state);
    StartWalk(window, state);
    SetFocus(state.list);
    return FALSE;  // the focus is set
}

void OnClose(HWND window, BelowWindowState& state) {
    RECT outer{};
    GetWindowRect(window, &outer);
    if (!IsIconic(window) && !IsZoomed(window)) {
        const Size stored =
            UnscaleSize(Size{outer.right - outer.left, outer.bottom - outer.top}, state.look.dpi);
        WriteSetting(kBelowWidthKey, stored.width);
        WriteSetting(kBelowHeightKey, stored.height);
    }
    ShowWindow(window, SW_HIDE);
    KillTimer(window, kProgressTimer);
    KillTimer(window, kBatchTimer);
    // The walk stops within a listing or a list; the item windows stay open, unwatched.
    state.walk.Stop();
    state.items.StopAll(window);
    EndDialog(window, IDCANCEL);
}

bool OnCommand(HWND window, BelowWindowState& state, int id, int notification) {
    switch (id) {
        case IDOK:
            OpenSelected(window, state);
            return true;
        case IDCANCEL:
            OnClose(window, state);
            return true;
        case IDC_BELOW_REFRESH:
            StartWalk(window, state);
            return true;
        case IDC_BELOW_STOP:
            state.walk.Cancel();
            return true;
        case IDC_BELOW_LIST:
            if (notification == LBN_DBLCLK) OpenSelected(window, state);
            if (notification == LBN_SELCHANGE) UpdateButtons(window, state);
            return true;
        case IDC_BELOW_FILTER:
            if (notification != EN_CHANGE) return false;
            state.filter = FoldForFilter(WindowText(GetDlgItem(window, IDC_BELOW_FILTER)));
            Refill(window, state);
            return true;
        default:
            return false;
    }
}

void OnDpiChanged(HWND window, BelowWindowState& state, int dpi, const RECT* suggested) {
    ApplyDpi(window, state, dpi);
    if (suggested != nullptr) {
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LayOut(window, state);
}

INT_PTR CALLBACK BelowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return OnInitDialog(window, *reinterpret_cast<BelowWindowState*>(lParam));
    }
    if (message == WM_MEASUREITEM) {
        // Asked while the dialog makes the list, before the fonts exist; set again at once.
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 20;
        return TRUE;
    }
    BelowWindowState* found = StateOf(window);
    if (found == nullptr) return FALSE;
    BelowWindowState& state = *found;
    switch (message) {
        case kBelowBatchMessage:
            OnBatchAnnounced(window, state);
            return TRUE;
        case kBelowRefreshMessage:
            OnRefreshed(window, state, wParam, reinterpret_cast<BelowRefresh*>(lParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == kProgressTimer) ShowProgress(window, state);
            if (wParam == kBatchTimer) OnBatch(window, state);
            return TRUE;
        case WM_DRAWITEM: {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (draw->CtlID != IDC_BELOW_LIST || draw->itemID >= state.rows.size()) return TRUE;
            const BelowRow& row = state.rows[draw->itemID];
            DrawBelowRow(*draw, state.entries[row.entry], row, state.look);
            return TRUE;
        }
        case WM_COMMAND:
            return OnCommand(window, state, LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_SIZE:
            LayOut(window, state);
            return TRUE;
        case WM_GETMINMAXINFO: {
            const Size least = ScaleSize(kBelowMinimumSize, state.look.dpi);
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = POINT{least.width, least.height};
            return TRUE;
        }
        case WM_DPICHANGED:
            OnDpiChanged(window, state, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return TRUE;
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            // The rows are drawn in the system's colours, read as each is drawn.
            RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
            return FALSE;
        case WM_CLOSE:
            OnClose(window, state);
            return TRUE;
        default:
            return FALSE;
    }
}

// "C:\Work\" as "C:\Work"; a drive's root keeps its backslash.
std::u16string WithoutTrailingSeparator(std::u16string folder) {
    while (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
    return folder;
}

}  // namespace

void RunBelowWindow(const std::u16string& root) {
    BelowWindowState state;
    state.root = WithoutTrailingSeparator(root.empty() ? root : FullPath(root));
    if (state.root.empty()) state.root = root;
    if (const auto problem = RootProblem(state.root)) {
        ShowError(nullptr, RootMessage(state.root, *problem));
        return;
    }
    RunDialog(gApp.instance, IDD_BELOW, nullptr, BelowProc, reinterpret_cast<LPARAM>(&state));
}

bool StartBelowWindow(const std::u16string& folder) {
    return StartThisProgram({FromWide(kBelowSwitch), WithoutTrailingSeparator(folder)});
}
