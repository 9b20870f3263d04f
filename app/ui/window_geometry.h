// Window and list-entry geometry as plain arithmetic, kept apart from the window code so the
// numbers can be checked without a display. Measures are designed for 96 DPI; the functions that
// take a `dpi` scale them for the window's display.
#pragma once

#include <vector>

#include "app/ui/dpi.h"

struct Box {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct Point {
    int x = 0;
    int y = 0;
};

struct Size {
    int width = 0;
    int height = 0;
};

// Outer window sizes at 96 DPI: the stored defaults, which are also the smallest a drag may make
// them. The settings file keeps sizes in these 96-DPI pixels.
inline constexpr Size kMainWindowSize{380, 414};
inline constexpr Size kEditorSize{383, 349};
inline constexpr Size kBelowWindowSize{560, 460};

// The stored 96-DPI sizes the windows take. Anything outside (0, negative or not a number, which
// all read as 0 or less, or a number no display holds) counts as absent: the designed size is used.
inline constexpr int kSmallestStoredSide = 100;
inline constexpr int kLargestStoredSide = 10000;
Size SaneStoredSize(Size stored, Size designed);

// The window rectangle `window` moved and cut down until it lies wholly inside `workArea` (the
// part of a monitor that the taskbar leaves): never larger than the work area, never past its
// edges, so the title bar is always on screen. A rectangle already inside is returned as it is.
Box FitInWorkArea(const Box& window, const Box& workArea);

// A 96-DPI size in pixels at `dpi`, and back.
Size ScaleSize(Size size, int dpi);
Size UnscaleSize(Size size, int dpi);

// Top-left corner that centres a window of `window` size on a screen of `screen` size. The
// difference is halved with truncation toward zero, also when the window is the larger.
Point CentredOrigin(Size screen, Size window);

// Keeps a rectangle that the user is dragging at least `minimum` large by moving its right and
// bottom edges, whichever edge is being dragged. True when it changed anything.
bool KeepMinimumSize(Box& box, Size minimum);

// The editor's controls for an outer window size of `outer` (pixels at `dpi`), in client
// coordinates.
struct EditorLayout {
    Point closeButton;
    Point saveButton;
    Point doneBox;
    Size description;
    Size title;
};
EditorLayout LayOutEditor(Size outer, int dpi = kDefaultDpi);

// A right-aligned row of buttons whose texts may need more room than the template gave them.
// `placed` are the buttons where the template puts them, from the rightmost leftwards; `widths`
// what each needs. A button grows leftwards, never shrinks, and moves left by what the buttons to
// its right grew, so the row keeps its right edge, its gaps and its heights.
std::vector<Box> GrowButtonRow(const std::vector<Box>& placed, const std::vector<int>& widths);

// Every task entry of the list is this many pixels high at 96 DPI.
inline constexpr int kTaskEntryHeight = 45;
int TaskEntryHeight(int dpi);

// Where the parts of one task entry go inside the rectangle the list gives it.
struct TaskEntryLayout {
    Box card;   // inside the one-pixel outline
    Box title;  // one line, centred vertically, ellipsis at its right end
    Box label;  // "Done", right-aligned at the top of this box
    Box date;   // the done date, right-aligned at the top of this box
};
// `doneColumn`: the pixels "Done" and the date need on the right, measured in the list's fonts;
// the column is never narrower than the designed one.
TaskEntryLayout LayOutTaskEntry(const Box& item,
                                bool isLastEntry,
                                int dpi = kDefaultDpi,
                                int doneColumn = 0);

// Which background a task entry gets.
enum class EntryFill { kSelected, kOpen, kDoneEven, kDoneOdd };
EntryFill ChooseEntryFill(bool selected, bool done, int index);
