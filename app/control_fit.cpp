#include "app/control_fit.h"

#include <algorithm>
#include <string>

#include "app/text_util.h"
#include "win/dc_selection.h"

namespace {

struct TextExtent {
    int width = 0;
    int height = 0;
};

// The control's text as it draws it: an "&" marks the key and takes no room, unless the label
// shows its text as it stands.
TextExtent MeasureText(HWND control, UINT format, int wrapWidth = 0) {
    const std::u16string text = WindowText(control);
    if (text.empty()) return {};
    const ScopedWindowDC dc(control);
    if (dc.get() == nullptr) return {};
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (font == nullptr) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const ScopedSelectObject selected(dc.get(), font);
    wchar_t className[16]{};
    GetClassNameW(control, className, 16);
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    if (lstrcmpiW(className, L"Static") == 0 && (style & SS_NOPREFIX) != 0) format |= DT_NOPREFIX;
    RECT box{0, 0, wrapWidth, 0};
    DrawTextW(dc.get(), WidePtr(text), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
    return TextExtent{box.right - box.left, box.bottom - box.top};
}

}  // namespace

int NeededWidth(HWND control, int dpi) {
    const int text = MeasureText(control, DT_SINGLELINE).width;
    if (text == 0) return 0;
    wchar_t className[16]{};
    GetClassNameW(control, className, 16);
    if (lstrcmpiW(className, L"Button") != 0) return text;
    const LONG_PTR kind = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
    if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_3STATE ||
        kind == BS_AUTO3STATE || kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON) {
        // The box, the gap before the text and the focus frame around it.
        const int box = std::max(GetSystemMetrics(SM_CXMENUCHECK), ScaleForDpi(13, dpi));
        return box + ScaleForDpi(6, dpi) + text + ScaleForDpi(2, dpi);
    }
    // The frame, the focus rectangle inside it and a little air on both sides.
    return text + 2 * ScaleForDpi(8, dpi);
}

int NeededHeight(HWND control) {
    RECT client{};
    GetClientRect(control, &client);
    return MeasureText(control, DT_WORDBREAK | DT_EDITCONTROL, client.right).height;
}

TemplatePlaces RememberPlaces(HWND dialog, std::initializer_list<int> ids, int dpi) {
    TemplatePlaces remembered;
    remembered.dpi = dpi;
    for (const int id : ids) {
        RECT rect{};
        const HWND control = GetDlgItem(dialog, id);
        if (control == nullptr || !GetWindowRect(control, &rect)) continue;
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        remembered.places.emplace_back(id, Box{rect.left, rect.top, rect.right, rect.bottom});
    }
    return remembered;
}

Box TemplatePlace(const TemplatePlaces& remembered, int id, int dpi) {
    for (const auto& [placeId, box] : remembered.places) {
        if (placeId != id) continue;
        if (dpi == remembered.dpi) return box;
        const auto scale = [&](int value) { return MulDiv(value, dpi, remembered.dpi); };
        return Box{scale(box.left), scale(box.top), scale(box.right), scale(box.bottom)};
    }
    return Box{};
}

void PlaceControl(HWND dialog, int id, const Box& box) {
    SetWindowPos(GetDlgItem(dialog, id), nullptr, box.left, box.top, box.Width(), box.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}
