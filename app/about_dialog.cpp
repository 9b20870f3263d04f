#include "app/about_dialog.h"

#include "app/app_state.h"
#include "app/resource.h"

namespace {

// The picture's size; the box is made exactly this large, without a frame of its own.
constexpr int kAboutWidth = 245;
constexpr int kAboutHeight = 189;

BOOL OnInitDialog(HWND dialog) {
    SetWindowPos(dialog, nullptr, 0, 0, kAboutWidth, kAboutHeight, SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(dialog, SW_SHOW);
    return TRUE;
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog);
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
    DialogBoxParamW(gApp.instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc, 0);
}
