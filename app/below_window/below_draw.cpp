#include "app/below_window/below_draw.h"

#include <algorithm>

#include "app/text_util.h"
#include "app/user_texts.h"
#include "text/texts.h"
#include "win/dc_selection.h"

namespace {

// The density the system's metrics are given at.
int SystemDpi() {
    const ScopedWindowDC screen(nullptr);
    return screen.get() != nullptr ? SaneDpi(GetDeviceCaps(screen.get(), LOGPIXELSY)) : kDefaultDpi;
}

LOGFONTW MessageFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW font{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        font = metrics.lfMessageFont;
        font.lfHeight = MulDiv(font.lfHeight, dpi, SystemDpi());
    } else {
        font.lfHeight = -ScaleForDpi(12, dpi);
        lstrcpynW(font.lfFaceName, L"Tahoma", LF_FACESIZE);
    }
    return font;
}

}  // namespace

BelowLook CreateBelowLook(HWND window, int dpi) {
    BelowLook look;
    look.dpi = dpi;
    LOGFONTW font = MessageFont(dpi);
    look.font.reset(CreateFontIndirectW(&font));
    font.lfWeight = FW_BOLD;
    look.boldFont.reset(CreateFontIndirectW(&font));
    const ScopedWindowDC dc(window);
    const ScopedSelectObject selected(dc.get(), look.font.get());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.get(), &metrics);
    look.textHeight = metrics.tmHeight;
    look.averageWidth = metrics.tmAveCharWidth;
    look.rowHeight = metrics.tmHeight + ScaleForDpi(6, dpi);
    SIZE label{};
    // The label as drawn: its "&" marks the key and takes no room.
    std::u16string shown = Text(TextId::kBelowFilterLabel);
    shown.erase(std::remove(shown.begin(), shown.end(), u'&'), shown.end());
    GetTextExtentPoint32W(dc.get(), WidePtr(shown), static_cast<int>(shown.size()), &label);
    look.labelWidth = label.cx;
    return look;
}

BelowLayout LayOutBelow(const BelowLook& look, Size client) {
    const int dpi = look.dpi;
    const int margin = ScaleForDpi(11, dpi);
    const int gap = ScaleForDpi(7, dpi);
    const int fieldHeight = look.textHeight + ScaleForDpi(8, dpi);
    const int buttonHeight = std::max(ScaleForDpi(23, dpi), fieldHeight);
    const int buttonWidth = std::max(ScaleForDpi(75, dpi), look.averageWidth * 10);
    BelowLayout layout;
    const int labelTop = margin + (fieldHeight - look.textHeight) / 2;
    layout.filterLabel =
        Box{margin, labelTop, margin + look.labelWidth, labelTop + look.textHeight};
    layout.filter =
        Box{layout.filterLabel.right + gap, margin, client.width - margin, margin + fieldHeight};
    const int buttonTop = client.height - margin - buttonHeight;
    int right = client.width - margin;
    std::vector<Box> row;
    for (int button = 0; button < 4; ++button) {
        row.push_back(Box{right - buttonWidth, buttonTop, right, buttonTop + buttonHeight});
        right -= buttonWidth + ScaleForDpi(6, dpi);
    }
    row = GrowButtonRow(row, look.buttonNeeds);
    layout.close = row[0];
    layout.stop = row[1];
    layout.refresh = row[2];
    layout.open = row[3];
    // The progress line has the window's width to itself: its counts grow as the walk goes.
    const int progressTop = buttonTop - gap - look.textHeight;
    layout.progress =
        Box{margin, progressTop, client.width - margin, progressTop + look.textHeight};
    layout.list = Box{margin, layout.filter.bottom + gap, client.width - margin,
                      std::max(layout.filter.bottom + gap, progressTop - gap)};
    return layout;
}

void DrawBelowRow(const DRAWITEMSTRUCT& draw,
                  const BelowEntry& entry,
                  const BelowRow& row,
                  const BelowLook& look) {
    const HDC dc = draw.hDC;
    const bool selected = (draw.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &draw.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int margin = ScaleForDpi(6, look.dpi);
    const ScopedBkMode mode(dc, TRANSPARENT);
    const COLORREF text = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    const COLORREF quiet = selected ? text : GetSysColor(COLOR_GRAYTEXT);
    ScopedTextColor colour(dc, text);
    RECT line = draw.rcItem;
    line.left += margin;
    line.right -= margin;
    // The list's context is mirrored in a right-to-left language, so "left" is the reading start.
    const UINT lineFlags =
        DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | ReadingOrder();
    if (row.task >= 0 && static_cast<size_t>(row.task) < entry.open.size()) {
        const ScopedSelectObject font(dc, look.font.get());
        line.left += ScaleForDpi(20, look.dpi);
        const std::u16string& title = entry.open[static_cast<size_t>(row.task)];
        DrawTextW(dc, WidePtr(title), static_cast<int>(title.size()), &line, lineFlags);
    } else {
        // A thin rule above each heading but the first parts the entries.
        if (draw.itemID > 0) {
            RECT rule = draw.rcItem;
            rule.bottom = rule.top + ScaleLineForDpi(1, look.dpi);
            FillRect(dc, &rule, GetSysColorBrush(COLOR_BTNSHADOW));
        }
        const std::u16string counts = CountsText(entry);
        const ScopedSelectObject font(dc, look.font.get());
        SIZE countsSize{};
        GetTextExtentPoint32W(dc, WidePtr(counts), static_cast<int>(counts.size()), &countsSize);
        colour.Set(quiet);
        RECT right = line;
        DrawTextW(dc, WidePtr(counts), static_cast<int>(counts.size()), &right,
                  lineFlags | DT_RIGHT);
        colour.Set(text);
        line.right = std::max(line.left, line.right - countsSize.cx - margin);
        // A problem row reads in the plain font: it names a folder, not an item with tasks.
        const ScopedSelectObject heading(
            dc, entry.problem == TreeProblem::kNone ? look.boldFont.get() : look.font.get());
        const std::u16string path = EntryPath(entry);
        DrawTextW(dc, WidePtr(path), static_cast<int>(path.size()), &line,
                  (lineFlags & ~DT_END_ELLIPSIS) | DT_PATH_ELLIPSIS);
    }
    if ((draw.itemState & ODS_FOCUS) != 0 && (draw.itemState & ODS_NOFOCUSRECT) == 0) {
        DrawFocusRect(dc, &draw.rcItem);
    }
}
