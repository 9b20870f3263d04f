#include "app/window_geometry.h"

Point CentredOrigin(Size screen, Size window) {
    return Point{(screen.width - window.width) / 2, (screen.height - window.height) / 2};
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

EditorLayout LayOutEditor(Size outer) {
    // Offsets measured from the outer size, so the buttons keep their distance from the frame
    // and the fields take up whatever the window gains.
    EditorLayout layout;
    layout.closeButton = Point{outer.width - 101, outer.height - 68};
    layout.saveButton = Point{outer.width - 183, outer.height - 68};
    layout.doneBox = Point{20, outer.height - 66};
    layout.description = Size{outer.width - 47, outer.height - 144};
    layout.title = Size{outer.width - 48, 21};
    return layout;
}

TaskEntryLayout LayOutTaskEntry(const Box& item, bool isLastEntry) {
    TaskEntryLayout layout;
    // The outline shows at the top, left and right of every entry; the entry below supplies the
    // bottom line, except for the last one, which draws its own.
    layout.card = Box{item.left + 1, item.top + 1, item.right - 1,
                      isLastEntry ? item.bottom - 1 : item.bottom};
    // 80 pixels on the right stay free for "Done" and the date.
    layout.title =
        Box{layout.card.left + 10, layout.card.top, layout.card.right - 80, layout.card.bottom};
    layout.label =
        Box{layout.card.left, layout.card.top + 5, layout.card.right - 10, layout.card.bottom};
    layout.date =
        Box{layout.card.left, layout.card.top + 28, layout.card.right - 10, layout.card.bottom};
    return layout;
}

EntryFill ChooseEntryFill(bool selected, bool done, int index) {
    if (selected) return EntryFill::kSelected;
    if (!done) return EntryFill::kOpen;
    return index % 2 != 0 ? EntryFill::kDoneOdd : EntryFill::kDoneEven;
}
