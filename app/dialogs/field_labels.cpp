#include "app/dialogs/field_labels.h"

bool AddUnseenLabel(HWND dialog, int id, const wchar_t* text) {
    const HWND field = GetDlgItem(dialog, id);
    if (field == nullptr) return false;
    // Visible, so that it counts as the field's label, but of no size, so that nothing is drawn.
    const HWND label = CreateWindowExW(
        0, L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, dialog,
        nullptr, reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE)), nullptr);
    if (label == nullptr) return false;
    // Directly before the field in the z-order, which is also the order the labelling follows.
    const HWND before = GetWindow(field, GW_HWNDPREV);
    SetWindowPos(label, before != nullptr ? before : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}
