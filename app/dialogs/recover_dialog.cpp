// "Recover Tasks...": a dialog listing the task lists that lost their item, each described well
// enough to be recognised (how many tasks, how many done, the latest date, the first titles).
// Choosing one attaches its tasks to the item; "Other Folder..." lists those of the folder the
// item was moved out of.
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/control_fit.h"
#include "app/dialogs/dialog_box.h"
#include "app/dialogs/messages.h"
#include "app/dialogs/recovery_actions.h"
#include "app/main_window/commands.h"
#include "app/main_window/list_accessible.h"
#include "app/main_window/main_window.h"
#include "app/main_window/task_list.h"
#include "app/resource.h"
#include "app/text_util.h"
#include "app/ui/value_size_text.h"
#include "app/user_texts.h"
#include "app/window_dpi.h"
#include "store/folder_files.h"
#include "win/com_apartment.h"
#include "win/dc_selection.h"
#include "win/unique_com.h"

namespace {

// The most lists the dialog offers at once. A folder can hold thousands of lists whose items are
// gone; beyond a few hundred nobody reads them, and the box only gets slow. When there are more,
// those with the latest dates are offered (the ones a person is most likely looking for), and
// the intro says how many there are and where to see every one.
constexpr size_t kMostListsShown = 500;

// How long one step of a listing may keep the dialog from answering.
constexpr std::chrono::milliseconds kListingSlice{40};
// A listing that finishes within this time shows its result straight away.
constexpr std::chrono::milliseconds kFirstListingSlice{50};
constexpr UINT_PTR kListingTimer = 1;

// A listing under way: read a slice at a time from a timer, so the dialog keeps answering
// (input and painting come before timer messages) and Close stops it at once.
struct PendingListing {
    RecoverySource source;
    UnclaimedListing listing;
    bool active = false;
};

// What one open dialog holds; the dialog reaches it through DWLP_USER from WM_INITDIALOG on.
struct RecoverDialogState {
    explicit RecoverDialogState(const TaskTable& table) : own(table) {}
    TaskTable own;  // the item's list, on the main window's connection
    RecoverySource source;
    std::vector<TaskListSummary> lists;  // entry i describes lists[i]
    size_t unclaimed = 0;                // lists on offer before the cap
    PendingListing pending;
    std::vector<std::string> tooLarge;  // lists of the last listing that could not be read
    bool recovered = false;
    int dpi = kDefaultDpi;
    TemplatePlaces places;  // the intro, the list and the buttons as the template has them
};

// Sent to itself when a listing left lists out for their size: the warning comes once the
// dialog is up, also when the listing completed while it was being made.
constexpr UINT kTellTooLargeMessage = WM_APP + 1;
// Posted after a density change, so that the fitting comes after the system's own rescaling.
constexpr UINT kRefitMessage = WM_APP + 2;

std::u16string Number(int n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

// "4 tasks, 2 done · latest 2024-05-09"
std::u16string CountsLine(const TaskListSummary& list) {
    std::u16string line =
        FormatText(list.tasks == 1 ? TextId::kRecoverCountsOne : TextId::kRecoverCountsMany,
                   {Number(list.tasks), Number(list.done)});
    if (list.latestDate.empty()) return line;
    return FormatText(TextId::kRecoverCountsLatest,
                      {line, std::u16string(list.latestDate.begin(), list.latestDate.end())});
}

std::u16string TitlesLine(const TaskListSummary& list, const char16_t* separator) {
    std::u16string line;
    for (const std::u16string& title : list.firstTitles) {
        if (!line.empty()) line += separator;
        line += title;
    }
    if (list.tasks > static_cast<int>(list.firstTitles.size())) line += u" \u2026";
    return line;
}

HWND List(HWND dialog) {
    return GetDlgItem(dialog, IDC_RECOVER_LIST);
}

void UpdateRecoverButton(HWND dialog) {
    const LRESULT selected = SendMessageW(List(dialog), LB_GETCURSEL, 0, 0);
    EnableWindow(GetDlgItem(dialog, IDOK), selected != LB_ERR);
}

std::u16string FolderShown(const RecoverySource& source) {
    std::u16string folder = source.folder;
    if (folder.size() > 3) folder.pop_back();
    return folder;
}

// The buttons as wide as their texts need, Recover and Close still ending at the right margin;
// the intro as tall as its lines need, the list below it giving up that height.
void FitControls(HWND dialog, const RecoverDialogState& state) {
    if (state.places.places.empty()) return;
    const int dpi = state.dpi;
    const auto at = [&](int id) { return TemplatePlace(state.places, id, dpi); };
    const auto needs = [&](int id) { return NeededWidth(GetDlgItem(dialog, id), dpi); };
    const std::vector<Box> row =
        GrowButtonRow({at(IDCANCEL), at(IDOK)}, {needs(IDCANCEL), needs(IDOK)});
    PlaceControl(dialog, IDCANCEL, row[0]);
    PlaceControl(dialog, IDOK, row[1]);
    Box other = at(IDC_RECOVER_OTHER);
    other.right = other.left + std::max(other.Width(), needs(IDC_RECOVER_OTHER));
    PlaceControl(dialog, IDC_RECOVER_OTHER, other);
    Box intro = at(IDC_RECOVER_INTRO);
    PlaceControl(dialog, IDC_RECOVER_INTRO, intro);
    const int grown =
        std::max(0, NeededHeight(GetDlgItem(dialog, IDC_RECOVER_INTRO)) - intro.Height());
    intro.bottom += grown;
    PlaceControl(dialog, IDC_RECOVER_INTRO, intro);
    Box list = at(IDC_RECOVER_LIST);
    list.top = std::min(list.top + grown, list.bottom);
    PlaceControl(dialog, IDC_RECOVER_LIST, list);
}

void SetIntro(HWND dialog, const RecoverDialogState& state) {
    const std::u16string& item = gApp.folderName;
    std::u16string text;
    if (state.unclaimed > state.lists.size()) {
        text =
            FormatText(TextId::kRecoverIntroCapped, {Number(static_cast<int>(state.lists.size())),
                                                     Number(static_cast<int>(state.unclaimed)),
                                                     FolderShown(state.source), item});
    } else if (state.source.IsOwnFolder()) {
        text = FormatText(
            state.lists.empty() ? TextId::kRecoverIntroOwnNone : TextId::kRecoverIntroOwn, {item});
    } else {
        text = FormatText(
            state.lists.empty() ? TextId::kRecoverIntroOtherNone : TextId::kRecoverIntroOther,
            {FolderShown(state.source), item});
    }
    SetDlgItemTextW(dialog, IDC_RECOVER_INTRO, WidePtr(text));
    FitControls(dialog, state);
}

void ShowProgress(HWND dialog, const RecoverDialogState& state) {
    const UnclaimedListing& listing = state.pending.listing;
    const std::u16string text =
        FormatText(TextId::kRecoverReading,
                   {FolderShown(state.pending.source), Number(static_cast<int>(listing.next)),
                    Number(static_cast<int>(listing.tables.size()))});
    SetDlgItemTextW(dialog, IDC_RECOVER_INTRO, WidePtr(text));
    FitControls(dialog, state);
}

void FillList(HWND dialog, RecoverDialogState& state) {
    const HWND list = List(dialog);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    // Hundreds of entries: one allocation and one repaint at the end, not one per entry.
    SendMessageW(list, LB_INITSTORAGE, state.lists.size(), state.lists.size() * 128);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (const TaskListSummary& summary : state.lists) {
        // The entry's own text is the whole description in one line, for screen readers.
        const std::u16string text = CountsLine(summary) + u": " + TitlesLine(summary, u"; ");
        const LRESULT added =
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WidePtr(text)));
        if (added == LB_ERR || added == LB_ERRSPACE) {
            // Entry i draws state.lists[i]: the lists the box could not take are dropped,
            // so that every entry still shows and recovers its own list.
            const LRESULT shown = SendMessageW(list, LB_GETCOUNT, 0, 0);
            state.lists.resize(shown > 0 ? static_cast<size_t>(shown) : 0);
            break;
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    SetIntro(dialog, state);
    UpdateRecoverButton(dialog);
}

void StopListing(HWND dialog, RecoverDialogState& state) {
    KillTimer(dialog, kListingTimer);
    state.pending = PendingListing();
}

// Lists that hold a text over the store's limit cannot be offered; the user hears which size
// kept them out, and that they were left alone.
void TellTooLarge(HWND dialog, RecoverDialogState& state, const std::vector<std::string>& tables) {
    if (tables.empty() || state.pending.active) return;
    RecoverySource& source = state.source;
    TaskStore& store = source.IsOwnFolder() ? state.own.Store() : source.other;
    int64_t longest = 0;
    for (const std::string& table : tables) {
        longest = std::max(longest, TaskTable(store, table).LongestValueBytes().value_or(0));
    }
    const std::u16string size = ValueSizeText(longest);
    ShowWarning(
        dialog,
        FormatText(tables.size() == 1 ? TextId::kRecoverTooLargeOne : TextId::kRecoverTooLargeMany,
                   {Number(static_cast<int>(tables.size())), size, Number(kMaxValueBytes)}));
}

// The listing is complete: offers its lists, at most kMostListsShown of them.
void FinishListing(HWND dialog, RecoverDialogState& state) {
    KillTimer(dialog, kListingTimer);
    PendingListing done = std::move(state.pending);
    state.pending = PendingListing();
    std::vector<TaskListSummary> lists = OfferedLists(state.own, done.source, done.listing);
    state.unclaimed = lists.size();
    if (lists.size() > kMostListsShown) {
        std::stable_sort(lists.begin(), lists.end(),
                         [](const TaskListSummary& a, const TaskListSummary& b) {
                             return a.latestDate > b.latestDate;
                         });
        lists.resize(kMostListsShown);
    }
    state.source = std::move(done.source);
    state.lists = std::move(lists);
    FillList(dialog, state);
    state.tooLarge = std::move(done.listing.tooLarge);
    if (!state.tooLarge.empty()) PostMessageW(dialog, kTellTooLargeMessage, 0, 0);
}

void OnListingTimer(HWND dialog, RecoverDialogState& state) {
    if (!state.pending.active) {
        KillTimer(dialog, kListingTimer);
        return;
    }
    if (ContinueRecoverableListing(state.own, state.pending.source, state.pending.listing,
                                   kListingSlice)) {
        FinishListing(dialog, state);
    } else {
        ShowProgress(dialog, state);
    }
}

// Starts listing what `source` offers; false (with the user told why) when it cannot be read.
// A small folder is listed at once; a large one goes on from a timer, showing its progress.
bool Load(HWND dialog, RecoverDialogState& state, RecoverySource source) {
    UnclaimedListing listing;
    const ListingStatus status = StartRecoverableListing(state.own, source, listing);
    const wchar_t* problem = nullptr;
    switch (status) {
        case ListingStatus::kOk:
            break;
        case ListingStatus::kNoDatabase:
            problem = UiText(TextId::kRecoverNoDatabase);
            break;
        case ListingStatus::kUnreadable:
            problem = UiText(TextId::kRecoverUnreadable);
            break;
        case ListingStatus::kNoFileList:
            problem = UiText(TextId::kCannotGetFileList);
            break;
    }
    if (problem != nullptr) {
        ShowError(dialog, problem);
        return false;
    }
    StopListing(dialog, state);
    state.pending = PendingListing{std::move(source), std::move(listing), true};
    if (ContinueRecoverableListing(state.own, state.pending.source, state.pending.listing,
                                   kFirstListingSlice)) {
        FinishListing(dialog, state);
        return true;
    }
    // The old offer goes: it belongs to another folder than the one being read.
    state.lists.clear();
    SendMessageW(List(dialog), LB_RESETCONTENT, 0, 0);
    UpdateRecoverButton(dialog);
    ShowProgress(dialog, state);
    SetTimer(dialog, kListingTimer, 0, nullptr);
    return true;
}

std::optional<std::u16string> PickWithItemDialog(HWND owner, const std::u16string& start) {
    UniqueComPtr<IFileOpenDialog> picker;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, picker.putVoid()))) {
        return std::nullopt;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    picker->GetOptions(&options);
    picker->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    picker->SetTitle(UiText(TextId::kRecoverPickerTitle));
    UniqueComPtr<IShellItem> startItem;
    if (SUCCEEDED(SHCreateItemFromParsingName(WidePtr(start), nullptr, IID_IShellItem,
                                              startItem.putVoid()))) {
        picker->SetFolder(startItem.get());
    }
    if (picker->Show(owner) != S_OK) return std::u16string();
    UniqueComPtr<IShellItem> chosen;
    if (FAILED(picker->GetResult(chosen.put()))) return std::u16string();
    UniqueCoTaskMem<PWSTR> path;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, path.put()))) return std::u16string();
    return FromWide(path.get());
}

// The older folder browser, for systems without the item dialog.
std::u16string PickWithBrowser(HWND owner) {
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = UiText(TextId::kRecoverPickerTitle);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
    const UniqueCoTaskMem<PIDLIST_ABSOLUTE> chosen(SHBrowseForFolderW(&info));
    if (!chosen) return std::u16string();
    wchar_t path[MAX_PATH] = {};
    return SHGetPathFromIDListW(chosen.get(), path) ? FromWide(path) : std::u16string();
}

// The folder the user picked; empty when cancelled.
std::u16string PickFolder(HWND owner) {
    const ScopedComApartment apartment;
    // Start one folder up from this one: items are most often moved between neighbouring folders.
    std::u16string start = OwnDatabaseFolder();
    if (start.size() > 3) start.pop_back();
    const size_t parent = ParentFolderOf(start).size();
    if (parent >= 3) start.resize(parent);
    std::u16string folder;
    if (auto picked = PickWithItemDialog(owner, start)) {
        folder = std::move(*picked);
    } else {
        folder = PickWithBrowser(owner);
    }
    return folder;
}

void OnOtherFolder(HWND dialog, RecoverDialogState& state) {
    const std::u16string folder = PickFolder(dialog);
    if (folder.empty()) return;
    RecoverySource source;
    if (SameFolder(folder, OwnDatabaseFolder())) {
        source.folder = OwnDatabaseFolder();
        Load(dialog, state, std::move(source));
        return;
    }
    const ListingStatus opened = OpenOtherFolder(folder, source);
    if (opened != ListingStatus::kOk) {
        // A file that fails at opening is in use or damaged: opening checks it is whole.
        ShowError(dialog,
                  UiText(opened == ListingStatus::kNoDatabase ? TextId::kRecoverNoDatabase
                                                              : TextId::kRecoverUnreadable));
        return;
    }
    Load(dialog, state, std::move(source));
}

void OnRecover(HWND dialog, RecoverDialogState& state) {
    const LRESULT selected = SendMessageW(List(dialog), LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR || static_cast<size_t>(selected) >= state.lists.size()) return;
    if (RecoverList(dialog, state.own, state.source,
                    state.lists[static_cast<size_t>(selected)].table)) {
        state.recovered = true;
        EndDialog(dialog, IDOK);
    }
}

// Two lines of the dialog's font with a third of a line above and below them: the measure
// follows the font, so it grows with the display's scale.
int EntryHeight(HWND dialog) {
    TEXTMETRICW metrics{};
    const ScopedWindowDC dc(dialog);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    const ScopedSelectObject selected(dc.get(), font);
    GetTextMetricsW(dc.get(), &metrics);
    return metrics.tmHeight * 2 + 2 * (metrics.tmHeight / 3) + 1;
}

void DrawEntryText(HDC dc, const RECT& item, const TaskListSummary& list, bool selected) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int gap = metrics.tmHeight / 3;
    const int margin = metrics.tmAveCharWidth;
    const ScopedBkMode mode(dc, TRANSPARENT);
    ScopedTextColor colour(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT line{item.left + margin, item.top + gap, item.right - margin,
              item.top + gap + metrics.tmHeight};
    const std::u16string counts = CountsLine(list);
    const UINT flags = DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | ReadingOrder();
    DrawTextW(dc, WidePtr(counts), -1, &line, flags);
    if (!selected) colour.Set(GetSysColor(COLOR_GRAYTEXT));
    OffsetRect(&line, 0, metrics.tmHeight);
    const std::u16string titles = TitlesLine(list, u"  \u00b7  ");
    DrawTextW(dc, WidePtr(titles), -1, &line, flags);
}

// One entry: the counts and date on the first line, the first titles in grey on the second.
void OnDrawItem(const RecoverDialogState& state, const DRAWITEMSTRUCT* draw) {
    if (draw->CtlID != IDC_RECOVER_LIST || draw->itemID == static_cast<UINT>(-1)) return;
    if (draw->itemID >= state.lists.size()) return;
    const TaskListSummary& list = state.lists[draw->itemID];
    const bool selected = (draw->itemState & ODS_SELECTED) != 0;
    const HDC dc = draw->hDC;
    FillRect(dc, &draw->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    RECT separator = draw->rcItem;
    separator.top = separator.bottom - 1;
    FillRect(dc, &separator, GetSysColorBrush(COLOR_BTNFACE));

    DrawEntryText(dc, draw->rcItem, list, selected);
    // After the text colours are put back: the focus pattern takes them from the context.
    if ((draw->itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &draw->rcItem);
}

BOOL OnInitDialog(HWND dialog, RecoverDialogState& state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    SetClassLongPtrW(dialog, GCLP_HICON, reinterpret_cast<LONG_PTR>(gApp.icon.get()));
    SetWindowTextW(dialog, UiText(TextId::kRecoverCaption));
    SetDialogTexts(dialog, {{IDC_RECOVER_OTHER, TextId::kRecoverOtherFolder},
                            {IDOK, TextId::kRecoverButton},
                            {IDCANCEL, TextId::kClose}});
    state.dpi = WindowDpi(dialog);
    state.places = RememberPlaces(
        dialog, {IDC_RECOVER_INTRO, IDC_RECOVER_LIST, IDC_RECOVER_OTHER, IDOK, IDCANCEL},
        state.dpi);
    FitControls(dialog, state);
    // The list measured its entries while the dialog was being made, perhaps before its font.
    SendMessageW(List(dialog), LB_SETITEMHEIGHT, 0, EntryHeight(dialog));
    // Named by the dialog's own words above it; each entry by its text, which says in one line
    // what the entry draws in two.
    AttachListAccessible(List(dialog), ListAccessibleNames{&LabelBefore, &ListEntryText});
    // Centred by its template; on a display too small for it at this density, kept on screen.
    KeepInWorkArea(dialog);
    RecoverySource own;
    own.folder = OwnDatabaseFolder();
    if (!Load(dialog, state, std::move(own))) {
        state.source.folder = OwnDatabaseFolder();
        FillList(dialog, state);
    }
    return TRUE;
}

bool OnCommand(HWND dialog, RecoverDialogState& state, int id, int notification) {
    switch (id) {
        case IDOK:
            OnRecover(dialog, state);
            return true;
        case IDCANCEL:
            // Also stops a listing under way.
            StopListing(dialog, state);
            EndDialog(dialog, IDCANCEL);
            return true;
        case IDC_RECOVER_OTHER:
            OnOtherFolder(dialog, state);
            return true;
        case IDC_RECOVER_LIST:
            if (notification == LBN_SELCHANGE) UpdateRecoverButton(dialog);
            if (notification == LBN_DBLCLK) OnRecover(dialog, state);
            return true;
        default:
            return false;
    }
}

INT_PTR CALLBACK RecoverProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog, *reinterpret_cast<RecoverDialogState*>(lParam));
        case WM_MEASUREITEM:
            // Asked while the dialog makes the list, before WM_INITDIALOG.
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight =
                static_cast<UINT>(EntryHeight(dialog));
            return TRUE;
        default:
            break;
    }
    auto* found = reinterpret_cast<RecoverDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (found == nullptr) return FALSE;
    RecoverDialogState& state = *found;
    switch (message) {
        case WM_DRAWITEM:
            OnDrawItem(state, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_COMMAND:
            return OnCommand(dialog, state, LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case kTellTooLargeMessage:
            // A modal dialog shows itself once its queue is idle; the warning comes after it.
            ShowWindow(dialog, SW_SHOW);
            TellTooLarge(dialog, state, std::exchange(state.tooLarge, {}));
            return TRUE;
        case WM_TIMER:
            if (wParam == kListingTimer) OnListingTimer(dialog, state);
            return TRUE;
        case WM_DPICHANGED:
            // Not reported as handled: the dialog manager rescales the controls and their font.
            state.dpi = SaneDpi(LOWORD(wParam));
            PostMessageW(dialog, kRefitMessage, 0, 0);
            return FALSE;
        case kRefitMessage:
            FitControls(dialog, state);
            return TRUE;
        case WM_CLOSE:
            StopListing(dialog, state);
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void CmdRecoverTasks(MainWindowState& main, HWND window) {
    bool recovered = false;
    {
        // The other folder's database is closed with the dialog.
        RecoverDialogState state{main.tasks.Table()};
        RunDialog(gApp.instance, IDD_RECOVER, window, RecoverProc,
                  reinterpret_cast<LPARAM>(&state));
        recovered = state.recovered;
    }
    if (recovered) {
        main.statusChanged = true;
        ForgetRecoveryOffer(main);
        if (!ReloadTaskList(main.list, main.tasks.Table())) {
            ShowError(window, UiText(TextId::kCannotReadTaskList));
        }
    }
}
