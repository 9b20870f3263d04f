#include "app/main_window/empty_list_hint.h"

#include "app/dialogs/recovery_actions.h"
#include "app/ui/dpi.h"
#include "app/user_texts.h"
#include "app/window_dpi.h"
#include "win/dc_selection.h"

namespace {

// Distances from the list's top and sides, in pixels at 96 DPI, scaled to the list's density.
constexpr int kHintTop96 = 14;
constexpr int kHintSide96 = 10;

// `dpi` is the list's own density, so the margins follow the window to another monitor like the
// rest of its measures.
void DrawHint(HDC dc, const RECT& client, HFONT font, int dpi, bool offerRecovery) {
    const ScopedSelectObject selectedFont(dc, font);
    const ScopedBkMode mode(dc, TRANSPARENT);
    const ScopedTextColor colour(dc, GetSysColor(COLOR_GRAYTEXT));
    const int side = ScaleForDpi(kHintSide96, dpi);
    RECT text{client.left + side, client.top + ScaleForDpi(kHintTop96, dpi), client.right - side,
              client.bottom};
    // A narrow window wraps the sentence rather than cut it.
    DrawTextW(dc, UiText(offerRecovery ? TextId::kHintAddOrRecover : TextId::kHintAdd), -1, &text,
              DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | ReadingOrder());
}

void PaintHint(HWND list, HBRUSH background, TaskTable& own, RecoveryOffer& offer) {
    if (!offer) offer = OwnFolderHasRecoverableLists(own);
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(list, &paint);
    RECT client{};
    GetClientRect(list, &client);
    FillRect(dc, &client, background);
    DrawHint(dc, client, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)),
             WindowDpi(list), *offer);
    EndPaint(list, &paint);
}

int Count(HWND list) {
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    return count == LB_ERR ? 0 : static_cast<int>(count);
}

}  // namespace

bool FilterEmptyListHint(HWND list,
                         WNDPROC listProc,
                         UINT message,
                         WPARAM wParam,
                         LPARAM lParam,
                         HBRUSH background,
                         TaskTable& own,
                         RecoveryOffer& offer,
                         LRESULT& result) {
    switch (message) {
        case WM_PAINT:
            if (Count(list) != 0) return false;
            PaintHint(list, background, own, offer);
            result = 0;
            return true;
        case LB_ADDSTRING:
        case LB_INSERTSTRING:
        case LB_DELETESTRING:
        case LB_RESETCONTENT: {
            const bool wasEmpty = Count(list) == 0;
            result = CallWindowProcW(listProc, list, message, wParam, lParam);
            // The hint is centred on the whole list: it appears and goes in one piece.
            if (wasEmpty != (Count(list) == 0)) InvalidateRect(list, nullptr, TRUE);
            return true;
        }
        case WM_SIZE:
            // Centred text moves with the width; the list only repaints what it gained.
            if (Count(list) == 0) InvalidateRect(list, nullptr, TRUE);
            return false;
        default:
            return false;
    }
}
