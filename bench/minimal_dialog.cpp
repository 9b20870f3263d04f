// The start-up baseline for Pelmora.exe: the least a Windows program can do to show a dialog
// with a list box. It is built with the same compiler, runtime and resource tools as the program,
// so the benchmark's ratio measures only what Pelmora adds.
#include <windows.h>

#include <commctrl.h>

#include "minimal_dialog_resource.h"

namespace {

INT_PTR CALLBACK MinimalDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MINIMAL), nullptr, MinimalDialogProc, 0);
    return 0;
}
