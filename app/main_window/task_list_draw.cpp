#include "app/main_window/task_list_draw.h"

#include <algorithm>

#include "app/ui/entry_text.h"
#include "app/ui/window_geometry.h"
#include "app/user_texts.h"
#include "win/dc_selection.h"

namespace {

constexpr COLORREF kTitleColour = RGB(0, 64, 0);
constexpr COLORREF kSelectedDoneTitle = RGB(255, 255, 255);
constexpr COLORREF kSelectedOpenTitle = RGB(253, 200, 200);
constexpr COLORREF kDateColour = RGB(120, 120, 120);
constexpr COLORREF kSelectedDateColour = RGB(193, 193, 193);

EntryTextColours DesignedTextColours() {
    EntryTextColours colours;
    colours.title = kTitleColour;
    colours.selectedDoneTitle = kSelectedDoneTitle;
    colours.selectedOpenTitle = kSelectedOpenTitle;
    colours.label = kTitleColour;
    colours.selectedLabel = kSelectedDoneTitle;
    colours.date = kDateColour;
    colours.selectedDate = kSelectedDateColour;
    return colours;
}

// A high-contrast scheme's colours: window text on the window colour, highlight text on the
// highlight, and the date in the scheme's grey text.
EntryTextColours SystemTextColours() {
    const COLORREF windowText = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    EntryTextColours colours;
    colours.title = windowText;
    colours.selectedDoneTitle = highlightText;
    colours.selectedOpenTitle = highlightText;
    colours.label = windowText;
    colours.selectedLabel = highlightText;
    colours.date = GetSysColor(COLOR_GRAYTEXT);
    colours.selectedDate = highlightText;
    return colours;
}

// `height` is the 96-DPI cell height.
UniqueHFont TahomaFont(int height, int dpi) {
    return UniqueHFont(CreateFontW(ScaleForDpi(height, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                   FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, VARIABLE_PITCH, L"Tahoma"));
}

UniqueHBrush SolidBrush(COLORREF colour) {
    return UniqueHBrush(CreateSolidBrush(colour));
}

int TextWidth(HDC dc, HFONT font, const wchar_t* text) {
    const ScopedSelectObject selected(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    return size.cx;
}

// Every date has the same width: the digits of the list's font are all equally wide.
int DoneColumn(const DrawingResources& resources) {
    const ScopedWindowDC screen(nullptr);
    if (screen.get() == nullptr) return 0;
    const int texts =
        std::max(TextWidth(screen.get(), resources.labelFont.get(), UiText(TextId::kDoneLabel)),
                 TextWidth(screen.get(), resources.dateFont.get(), L"0000-00-00"));
    return texts + 2 * ScaleForDpi(10, resources.dpi);
}

RECT ToRect(const Box& box) {
    return RECT{box.left, box.top, box.right, box.bottom};
}

HBRUSH FillBrush(EntryFill fill, const DrawingResources& resources) {
    switch (fill) {
        case EntryFill::kSelected:
            return resources.selection.get();
        case EntryFill::kOpen:
            return resources.openTask.get();
        case EntryFill::kDoneOdd:
            return resources.alternateDone.get();
        case EntryFill::kDoneEven:
            break;
    }
    return resources.listBackground.get();
}

}  // namespace

DrawingResources CreateDrawingResources(int dpi, bool highContrast) {
    DrawingResources resources;
    resources.dpi = SaneDpi(dpi);
    resources.highContrast = highContrast;
    if (highContrast) {
        const COLORREF window = GetSysColor(COLOR_WINDOW);
        resources.listColour = window;
        resources.listBackground = SolidBrush(window);
        resources.alternateDone = SolidBrush(window);
        resources.openTask = SolidBrush(window);
        resources.separator = SolidBrush(GetSysColor(COLOR_WINDOWTEXT));
        resources.selection = SolidBrush(GetSysColor(COLOR_HIGHLIGHT));
        resources.text = SystemTextColours();
    } else {
        resources.listBackground = SolidBrush(kListBackground);
        resources.alternateDone = SolidBrush(RGB(223, 223, 223));
        resources.openTask = SolidBrush(RGB(253, 230, 230));
        resources.separator = SolidBrush(RGB(193, 193, 193));
        resources.selection = SolidBrush(RGB(0, 115, 0));
        resources.text = DesignedTextColours();
    }
    resources.titleFont = TahomaFont(13, resources.dpi);
    resources.labelFont = TahomaFont(11, resources.dpi);
    resources.dateFont = TahomaFont(11, resources.dpi);
    resources.doneColumn = DoneColumn(resources);
    return resources;
}

void DrawTaskEntry(HDC dc,
                   const RECT& item,
                   const TaskRecord& record,
                   const TaskEntryState& state,
                   const DrawingResources& resources) {
    const bool done = record.done != 0;
    const TaskEntryLayout layout =
        LayOutTaskEntry(Box{item.left, item.top, item.right, item.bottom}, state.isLast,
                        resources.dpi, resources.doneColumn);
    const EntryTextColours& colours = resources.text;

    FillRect(dc, &item, resources.separator.get());
    const RECT card = ToRect(layout.card);
    FillRect(dc, &card, FillBrush(ChooseEntryFill(state.selected, done, state.index), resources));

    const ScopedBkMode mode(dc, TRANSPARENT);
    const COLORREF titleColour =
        state.selected ? (done ? colours.selectedDoneTitle : colours.selectedOpenTitle)
                       : colours.title;
    ScopedTextColor colour(dc, titleColour);
    ScopedSelectObject font(dc, resources.titleFont.get());

    // DT_NOPREFIX: a title is shown as typed, so "&" stays an ampersand.
    // Drawn in the list's own coordinates: a mirrored list's context flips them, so "Done" and
    // the date end at the left edge and the title at the right without a second layout.
    const UINT reading = ReadingOrder();
    RECT title = ToRect(layout.title);
    if (record.displayTitle) {
        DrawTextW(dc, reinterpret_cast<const wchar_t*>(record.displayTitle->c_str()),
                  static_cast<int>(record.displayTitle->size()), &title,
                  DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX | reading);
    }

    if (done) {
        RECT label = ToRect(layout.label);
        font.Select(resources.labelFont.get());
        colour.Set(state.selected ? colours.selectedLabel : colours.label);
        DrawTextW(dc, UiText(TextId::kDoneLabel), -1, &label,
                  DT_SINGLELINE | DT_RIGHT | DT_NOPREFIX | reading);

        RECT date = ToRect(layout.date);
        font.Select(resources.dateFont.get());
        colour.Set(state.selected ? colours.selectedDate : colours.date);
        const std::string doneDate = DoneDateText(record);
        DrawTextA(dc, doneDate.c_str(), static_cast<int>(doneDate.size()), &date,
                  DT_SINGLELINE | DT_RIGHT | DT_NOPREFIX | reading);
    }
}
