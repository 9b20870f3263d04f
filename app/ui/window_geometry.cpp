#include "app/ui/window_geometry.h"

#include <algorithm>
#include <utility>

Point CentredOrigin(Size screen, Size window) {
    return Point{(screen.width - window.width) / 2, (screen.height - window.height) / 2};
}

Size SaneStoredSize(Size stored, Size designed) {
    const auto sane = [](int side, int fallback) {
        return side >= kSmallestStoredSide && side <= kLargestStoredSide ? side : fallback;
    };
    return Size{sane(stored.width, designed.width), sane(stored.height, designed.height)};
}

Box FitInWorkArea(const Box& window, const Box& workArea) {
    // Each axis on its own: the size first, then the position. The far edge is checked before
    // the near one, so a window at least as large as the area starts at the area's top left.
    const auto fit = [](int start, int length, int areaStart, int areaEnd) {
        length = length < areaEnd - areaStart ? length : areaEnd - areaStart;
        if (start > areaEnd - length) start = areaEnd - length;
        if (start < areaStart) start = areaStart;
        return std::pair<int, int>(start, length);
    };
    const auto [left, width] = fit(window.left, window.Width(), workArea.left, workArea.right);
    const auto [top, height] = fit(window.top, window.Height(), workArea.top, workArea.bottom);
    return Box{left, top, left + width, top + height};
}

Size ScaleSize(Size size, int dpi) {
    return Size{ScaleForDpi(size.width, dpi), ScaleForDpi(size.height, dpi)};
}

Size UnscaleSize(Size size, int dpi) {
    return Size{UnscaleForDpi(size.width, dpi), UnscaleForDpi(size.height, dpi)};
}

bool KeepMinimumSize(Box& box, Size minimum) {
    bool changed = false;
    if (box.Width() < minimum.width) {
        box.right = box.left + minimum.width;
        changed = true;
    }
    if (box.Height() < minimum.height) {
        box.bottom = box.top + minimum.height;
        changed = true;
    }
    return changed;
}

EditorLayout LayOutEditor(Size outer, int dpi) {
    // Offsets measured from the outer size, so the buttons keep their distance from the frame
    // and the fields take up whatever the window gains.
    const auto px = [dpi](int value) { return ScaleForDpi(value, dpi); };
    EditorLayout layout;
    layout.closeButton = Point{outer.width - px(101), outer.height - px(68)};
    layout.saveButton = Point{outer.width - px(183), outer.height - px(68)};
    layout.doneBox = Point{px(20), outer.height - px(66)};
    layout.description = Size{outer.width - px(47), outer.height - px(144)};
    layout.title = Size{outer.width - px(48), px(21)};
    return layout;
}

std::vector<Box> GrowButtonRow(const std::vector<Box>& placed, const std::vector<int>& widths) {
    std::vector<Box> row;
    int shift = 0;
    for (size_t index = 0; index < placed.size(); ++index) {
        const Box& at = placed[index];
        const int width = index < widths.size() ? std::max(at.Width(), widths[index]) : at.Width();
        row.push_back(Box{at.right - shift - width, at.top, at.right - shift, at.bottom});
        shift += width - at.Width();
    }
    return row;
}

int TaskEntryHeight(int dpi) {
    return ScaleForDpi(kTaskEntryHeight, dpi);
}

TaskEntryLayout LayOutTaskEntry(const Box& item, bool isLastEntry, int dpi, int doneColumn) {
    const auto px = [dpi](int value) { return ScaleForDpi(value, dpi); };
    const int line = ScaleLineForDpi(1, dpi);
    TaskEntryLayout layout;
    // The outline shows at the top, left and right of every entry; the entry below supplies the
    // bottom line, except for the last one, which draws its own.
    layout.card = Box{item.left + line, item.top + line, item.right - line,
                      isLastEntry ? item.bottom - line : item.bottom};
    // 80 pixels on the right stay free for "Done" and the date, more when a language's word
    // for done needs them.
    const int column = std::max(px(80), doneColumn);
    layout.title = Box{layout.card.left + px(10), layout.card.top, layout.card.right - column,
                       layout.card.bottom};
    layout.label = Box{layout.card.left, layout.card.top + px(5), layout.card.right - px(10),
                       layout.card.bottom};
    layout.date = Box{layout.card.left, layout.card.top + px(28), layout.card.right - px(10),
                      layout.card.bottom};
    return layout;
}

EntryFill ChooseEntryFill(bool selected, bool done, int index) {
    if (selected) return EntryFill::kSelected;
    if (!done) return EntryFill::kOpen;
    return index % 2 != 0 ? EntryFill::kDoneOdd : EntryFill::kDoneEven;
}
