// How "Tasks Below This Folder..." looks at a density: its fonts, the height of a row, where its
// controls go, and how one row is drawn. Every colour is the system's, so a high-contrast scheme
// is followed as it is.
#pragma once

#include <windows.h>

#include <vector>

#include "app/below_window/below_entries.h"
#include "app/ui/window_geometry.h"
#include "win/unique_handle.h"

struct BelowLook {
    int dpi = kDefaultDpi;
    UniqueHFont font;      // the system's message font at the window's density
    UniqueHFont boldFont;  // the same, bold, for an entry's heading
    int textHeight = 0;
    int averageWidth = 0;
    int rowHeight = 0;
    int labelWidth = 0;  // "Filter:" in `font`
    // What Close, Cancel, Refresh and Open need for their texts in `font`, in that order.
    std::vector<int> buttonNeeds;
};

BelowLook CreateBelowLook(HWND window, int dpi);

struct BelowLayout {
    Box filterLabel;
    Box filter;
    Box list;
    Box progress;
    Box open;
    Box refresh;
    Box stop;
    Box close;
};

// The controls for a client area of `client` pixels: the filter across the top, the buttons at
// the bottom right with the progress line above them, and the list between. A button whose text
// needs more than the common width grows, and those left of it move along.
BelowLayout LayOutBelow(const BelowLook& look, Size client);

// One row: a heading (the item's path in bold, its counts at the right) or one of its open tasks,
// indented beneath it.
void DrawBelowRow(const DRAWITEMSTRUCT& draw,
                  const BelowEntry& entry,
                  const BelowRow& row,
                  const BelowLook& look);
