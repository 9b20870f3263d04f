// Controls that grow with their text. The templates give each control the room its English text
// needs; a language with longer words gets wider buttons and check boxes and taller labels,
// measured in the control's own font at the window's density, rather than cut texts. A control
// is never made smaller than its template made it, so an English window stays as designed.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "app/ui/window_geometry.h"

// The width `control` needs to show its text on one line: the text in the control's font, plus a
// push button's frame, or a check box's box and the gap after it.
int NeededWidth(HWND control, int dpi);

// The height a word-wrapping label needs to show all its text at its present width.
int NeededHeight(HWND control);

// Where a dialog's template put some of its controls (client coordinates), and at which density,
// so that a layout done again (new text, new density) starts from the template and not from a
// control it has grown before.
struct TemplatePlaces {
    int dpi = kDefaultDpi;
    std::vector<std::pair<int, Box>> places;  // control id, rectangle
};
TemplatePlaces RememberPlaces(HWND dialog, std::initializer_list<int> ids, int dpi);

// The control's template rectangle scaled to `dpi`; an empty one for an id not remembered.
Box TemplatePlace(const TemplatePlaces& remembered, int id, int dpi);

void PlaceControl(HWND dialog, int id, const Box& box);
