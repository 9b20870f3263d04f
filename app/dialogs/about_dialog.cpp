#include "app/dialogs/about_dialog.h"

#include "app/app_state.h"
#include "app/dialogs/dialog_box.h"
#include "app/resource.h"
#include "app/ui/dpi.h"
#include "app/window_dpi.h"
#include "win/unique_handle.h"

namespace {

// The picture's size at 96 DPI; the box is made exactly as large as the picture it shows,
// without a frame of its own.
constexpr int kAboutWidth = 245;
constexpr int kAboutHeight = 189;

// Shows the picture drawn for the box's display rather than a stretched small one, and sizes
// the box to it. `picture` keeps it while the box is open; none at 100%, where the template's own
// picture shows.
BOOL OnInitDialog(HWND dialog, UniqueHBitmap& picture) {
    // The picture's words are part of the artwork: a mirrored box shows it as drawn.
    const HWND shown = GetDlgItem(dialog, IDC_ABOUT_PICTURE);
    const LONG_PTR shownStyle = GetWindowLongPtrW(shown, GWL_EXSTYLE);
    if ((shownStyle & WS_EX_LAYOUTRTL) != 0) {
        SetWindowLongPtrW(shown, GWL_EXSTYLE, shownStyle & ~WS_EX_LAYOUTRTL);
    }
    SIZE size{kAboutWidth, kAboutHeight};
    const int scale = PictureScaleForDpi(WindowDpi(dialog));
    const int resource = scale >= 200 ? IDB_ABOUT_200 : scale >= 150 ? IDB_ABOUT_150 : 0;
    if (resource != 0) {
        picture.reset(static_cast<HBITMAP>(LoadImageW(gApp.instance, MAKEINTRESOURCEW(resource),
                                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        BITMAP info{};
        if (picture && GetObjectW(picture.get(), sizeof(info), &info) != 0) {
            const HWND control = GetDlgItem(dialog, IDC_ABOUT_PICTURE);
            // The control hands back the picture it showed before, which is ours to delete.
            UniqueHBitmap previous(reinterpret_cast<HBITMAP>(SendMessageW(
                control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.get()))));
            if (previous.get() == picture.get()) previous.release();
            size = SIZE{info.bmWidth, info.bmHeight};
            SetWindowPos(control, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        }
    }
    SetWindowPos(dialog, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(dialog, SW_SHOW);
    return TRUE;
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog, *reinterpret_cast<UniqueHBitmap*>(lParam));
        case WM_COMMAND:
            // Escape and Enter, which the dialog manager turns into these, close it as a click
            // does: the box has no button to tab to.
            if (LOWORD(wParam) != IDCANCEL && LOWORD(wParam) != IDOK) return FALSE;
            EndDialog(dialog, 0);
            return TRUE;
        case WM_CLOSE:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void RunAboutBox(HWND owner) {
    // The picture the box shows outlives the box.
    UniqueHBitmap picture;
    RunDialog(gApp.instance, IDD_ABOUT, owner, AboutProc, reinterpret_cast<LPARAM>(&picture));
}
