#include "app/dialogs/editor_dialog.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/control_fit.h"
#include "app/dialogs/dialog_box.h"
#include "app/dialogs/field_labels.h"
#include "app/dialogs/messages.h"
#include "app/main_window/task_list.h"
#include "app/main_window/task_list_draw.h"
#include "app/resource.h"
#include "app/settings.h"
#include "app/text_util.h"
#include "app/ui/window_geometry.h"
#include "app/user_texts.h"
#include "app/window_dpi.h"
#include "tasks/task_fields.h"
#include "tasks/task_list.h"

namespace {

constexpr COLORREF kFieldText = RGB(0, 100, 0);

// What one open editor holds; the dialog reaches it through DWLP_USER from WM_INITDIALOG on.
struct EditorWindow {
    EditorRequest* request = nullptr;
    // The density the editor lays itself out for: its display's, or the one the last density
    // change announced.
    int dpi = kDefaultDpi;
    // Save, Close and "Mark As Done" as the template made them: the least they take.
    TemplatePlaces places;
};

EditorWindow* EditorOf(HWND dialog) {
    return reinterpret_cast<EditorWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// Posted after a density change, so that the layout comes after the system's own rescaling of
// the dialog's controls.
constexpr UINT kRelayout = WM_APP + 1;

// Before WM_INITDIALOG the controls do not exist yet; it lays them out itself.
void LayOut(HWND dialog) {
    const EditorWindow* editor = EditorOf(dialog);
    if (editor == nullptr) return;
    RECT outer{};
    GetWindowRect(dialog, &outer);
    const EditorLayout layout =
        LayOutEditor(Size{outer.right - outer.left, outer.bottom - outer.top}, editor->dpi);
    // A button or box at `at` as large as the template made it, or wider for a longer text.
    const auto placed = [&](int id, Point at, int width) {
        const Box least = TemplatePlace(editor->places, id, editor->dpi);
        return Box{at.x, at.y, at.x + std::max(least.Width(), width), at.y + least.Height()};
    };
    const auto resize = [dialog](int id, Size size) {
        SetWindowPos(GetDlgItem(dialog, id), nullptr, 0, 0, size.width, size.height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    const std::vector<Box> buttons =
        GrowButtonRow({placed(IDCANCEL, layout.closeButton, 0), placed(IDOK, layout.saveButton, 0)},
                      {NeededWidth(GetDlgItem(dialog, IDCANCEL), editor->dpi),
                       NeededWidth(GetDlgItem(dialog, IDOK), editor->dpi)});
    PlaceControl(dialog, IDCANCEL, buttons[0]);
    PlaceControl(dialog, IDOK, buttons[1]);
    PlaceControl(
        dialog, IDC_DONE,
        placed(IDC_DONE, layout.doneBox, NeededWidth(GetDlgItem(dialog, IDC_DONE), editor->dpi)));
    resize(IDC_DESCRIPTION, layout.description);
    resize(IDC_TITLE, layout.title);
    RedrawWindow(dialog, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

bool DoneChecked(HWND dialog) {
    return SendDlgItemMessageW(dialog, IDC_DONE, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The box each refusal of the list's rules shows; the editor stays open with the user's text. A
// refusal without a box of its own (a field longer than the file may hold, which the editor's
// fields cannot make) is reported as the store failure it is.
struct RefusalBox {
    TaskRefusal refusal;
    TextId text;
    WarningCaption caption;
};
constexpr RefusalBox kRefusalBoxes[] = {
    {TaskRefusal::kTitleTaken, TextId::kTitleExists, WarningCaption::kWarning},
    {TaskRefusal::kEmptyTitle, TextId::kTitleEmpty, WarningCaption::kWarning1},
};

// True when the refusal was shown. A title taken by a task the list does not show yet (another
// program added it since the list was read) has the list read again once the editor closes.
bool ShowRefusal(HWND dialog, EditorRequest& request, TaskRefusal refusal, const std::string& key) {
    for (const RefusalBox& box : kRefusalBoxes) {
        if (box.refusal != refusal) continue;
        ShowWarning(dialog, UiText(box.text), box.caption);
        if (refusal == TaskRefusal::kTitleTaken && !TitleExists(TaskListOf(dialog), key)) {
            request.listStale = true;
        }
        return true;
    }
    return false;
}

void SaveNewTask(HWND dialog, EditorRequest& request, const EditedTitle& title) {
    const HWND list = TaskListOf(dialog);
    TaskRecord record;
    record.title = title.key;
    record.displayTitle = title.displayTitle;
    record.description = EncodeDescription(WindowText(GetDlgItem(dialog, IDC_DESCRIPTION)));
    record.done = DoneChecked(dialog) ? 1 : 0;
    // The title is checked and the place taken from the file, not from the list: another program
    // may have added tasks since the list was read.
    TaskChange added = request.tasks->Add(std::move(record));
    if (ShowRefusal(dialog, request, added.refusal, title.key)) return;
    if (!added.task) {
        ShowEditorStoreError(dialog, added.failure, UiText(TextId::kCannotAddRecord));
        return;
    }
    // The row is written; a list out of room is read again once the editor has closed.
    if (!AppendListItem(list, std::make_unique<TaskRecord>(std::move(*added.task)))) {
        request.listStale = true;
    }
    request.statusChanged = true;
    SendMessageW(dialog, WM_CLOSE, 0, 0);
}

void SaveChangedTask(HWND dialog, EditorRequest& request, const EditedTitle& title) {
    const TaskRecord& task = request.task;
    const HWND list = TaskListOf(dialog);
    // The edit is written from a copy and reaches the list's record only once its row has it:
    // the editor stays open with the user's text after a failure, and the list is read again
    // when it closes.
    TaskRecord edited = task;
    const uint32_t done = DoneChecked(dialog) ? 1 : 0;
    edited.title = title.key;
    edited.displayTitle = title.displayTitle;
    edited.description = EncodeDescription(WindowText(GetDlgItem(dialog, IDC_DESCRIPTION)));
    if (done != (task.done != 0 ? 1u : 0u)) edited.done = done;
    // An unchanged title (also one that differs only in spaces at its ends) is the task's own;
    // any other is checked against the file, where another program may have taken it.
    TaskChange changed = request.tasks->Edit(edited);
    if (ShowRefusal(dialog, request, changed.refusal, title.key)) return;
    if (!changed.task) {
        request.listStale = true;
        ShowEditorStoreError(dialog, changed.failure, UiText(TextId::kCannotUpdateDatabase));
        return;
    }
    // The written task carries the date the list gave a changed mark.
    edited = std::move(*changed.task);
    if (edited.done != task.done) request.statusChanged = true;
    // The entry is found by the row just written (Update needs its key): the editor's loop
    // has run since the entry was chosen.
    const auto index = edited.rowId ? FindEntry(list, *edited.rowId) : std::nullopt;
    if (TaskRecord* shown = index ? RecordAt(list, *index) : nullptr) {
        *shown = edited;
    } else {
        request.listStale = true;
    }
    request.task = std::move(edited);
    SendMessageW(dialog, WM_CLOSE, 0, 0);
}

void OnSave(HWND dialog, EditorRequest& request) {
    const EditedTitle title = ReadTitleField(WindowText(GetDlgItem(dialog, IDC_TITLE)));
    if (title.problem == TitleProblem::kEmpty) {
        ShowWarning(dialog, UiText(TextId::kTitleEmpty), WarningCaption::kWarning1);
        return;
    }
    if (title.problem == TitleProblem::kOnlySpaces) {
        ShowWarning(dialog, UiText(TextId::kTitleEmpty),
                    request.addMode ? WarningCaption::kWarning2 : WarningCaption::kWarning1);
        return;
    }
    if (request.addMode) {
        SaveNewTask(dialog, request, title);
    } else {
        SaveChangedTask(dialog, request, title);
    }
}

BOOL OnInitDialog(HWND dialog, EditorWindow& editor) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&editor));
    editor.dpi = WindowDpi(dialog);
    editor.places = RememberPlaces(dialog, {IDOK, IDCANCEL, IDC_DONE}, editor.dpi);
    const EditorRequest& request = *editor.request;
    SetClassLongPtrW(dialog, GCLP_HICON, reinterpret_cast<LONG_PTR>(gApp.icon.get()));
    SetWindowTextW(dialog, UiText(TextId::kEditorCaption));
    SetDialogTexts(
        dialog,
        {{IDC_DONE, TextId::kMarkAsDone}, {IDOK, TextId::kSave}, {IDCANCEL, TextId::kClose}});
    AddUnseenLabel(dialog, IDC_TITLE, UiText(TextId::kTitleLabel));
    AddUnseenLabel(dialog, IDC_DESCRIPTION, UiText(TextId::kDescriptionLabel));
    if (!request.addMode) {
        const TaskRecord& task = request.task;
        SetDlgItemTextW(dialog, IDC_TITLE, WidePtr(task.displayTitle.value_or(std::u16string())));
        const std::u16string description = DecodeDescription(task.description);
        if (!description.empty()) SetDlgItemTextW(dialog, IDC_DESCRIPTION, WidePtr(description));
        if (task.done != 0) CheckDlgButton(dialog, IDC_DONE, BST_CHECKED);
    }
    // The settings file keeps 96-DPI sizes; a stored size below the minimum is used as it is.
    const Size stored{ReadSetting(kEditorWidthKey, kEditorSize.width),
                      ReadSetting(kEditorHeightKey, kEditorSize.height)};
    PlaceOnScreen(dialog, ScaleSize(SaneStoredSize(stored, kEditorSize), editor.dpi));
    // A stored size equal to the template's sends no size change; lay out regardless.
    LayOut(dialog);
    ShowWindow(dialog, SW_SHOW);
    return TRUE;
}

void OnSizing(const EditorWindow& editor, RECT* proposed) {
    Box box{proposed->left, proposed->top, proposed->right, proposed->bottom};
    if (KeepMinimumSize(box, ScaleSize(kEditorSize, editor.dpi))) {
        proposed->right = box.right;
        proposed->bottom = box.bottom;
    }
}

// Null in a high-contrast scheme: the fields then keep the scheme's colours.
HBRUSH OnCtlColorEdit(HDC dc) {
    if (HighContrastOn()) return nullptr;
    SetTextColor(dc, kFieldText);
    SetBkColor(dc, kListBackground);
    static const UniqueHBrush fieldBrush(CreateSolidBrush(kListBackground));
    return fieldBrush.get();
}

// The editor moved to a display of another density: it takes the suggested rectangle and lays
// its controls out again for the new density.
void OnDpiChanged(HWND dialog, EditorWindow& editor, int dpi, const RECT* suggested) {
    editor.dpi = SaneDpi(dpi);
    if (suggested != nullptr) {
        SetWindowPos(dialog, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PostMessageW(dialog, kRelayout, 0, 0);
}

// Save is the default button, so Enter in the title field saves; Escape and Close both close.
bool OnCommand(HWND dialog, int id) {
    EditorWindow* editor = EditorOf(dialog);
    if (id == IDOK && editor != nullptr) {
        OnSave(dialog, *editor->request);
        return true;
    }
    if (id == IDCANCEL) {
        SendMessageW(dialog, WM_CLOSE, 0, 0);
        return true;
    }
    return false;
}

void OnClose(HWND dialog, const EditorWindow& editor) {
    RECT outer{};
    GetWindowRect(dialog, &outer);
    const Size stored =
        UnscaleSize(Size{outer.right - outer.left, outer.bottom - outer.top}, editor.dpi);
    WriteSetting(kEditorWidthKey, stored.width);
    WriteSetting(kEditorHeightKey, stored.height);
    EndDialog(dialog, 0);
}

INT_PTR CALLBACK EditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return OnInitDialog(dialog, *reinterpret_cast<EditorWindow*>(lParam));
    }
    EditorWindow* editor = EditorOf(dialog);
    switch (message) {
        case WM_SIZE:
            LayOut(dialog);
            return TRUE;
        case WM_SIZING:
            if (editor != nullptr) OnSizing(*editor, reinterpret_cast<RECT*>(lParam));
            return TRUE;
        case WM_CTLCOLOREDIT:
            return reinterpret_cast<INT_PTR>(OnCtlColorEdit(reinterpret_cast<HDC>(wParam)));
        case WM_DPICHANGED:
            // Not reported as handled: the dialog manager rescales the controls' font as well.
            if (editor != nullptr) {
                OnDpiChanged(dialog, *editor, LOWORD(wParam),
                             reinterpret_cast<const RECT*>(lParam));
            }
            return FALSE;
        case kRelayout:
            LayOut(dialog);
            return TRUE;
        case WM_COMMAND:
            return OnCommand(dialog, LOWORD(wParam)) ? TRUE : FALSE;
        case WM_CLOSE:
            if (editor != nullptr) {
                OnClose(dialog, *editor);
            } else {
                EndDialog(dialog, 0);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void RunEditor(HWND owner, EditorRequest& request) {
    EditorWindow editor;
    editor.request = &request;
    RunDialog(gApp.instance, IDD_EDITOR, owner, EditorProc, reinterpret_cast<LPARAM>(&editor));
}
