// How one task entry looks: a card with a one-pixel grey outline, the title on the left and,
// for done tasks, "Done" and the date on the right.
#pragma once

#include <windows.h>

#include "app/ui/dpi.h"
#include "store/sqlite/task_table.h"
#include "win/unique_handle.h"

inline constexpr COLORREF kListBackground = RGB(241, 241, 241);

// The colours of the entries' texts, for an unselected and a selected entry.
struct EntryTextColours {
    COLORREF title = 0;
    COLORREF selectedDoneTitle = 0;
    COLORREF selectedOpenTitle = 0;
    COLORREF label = 0;
    COLORREF selectedLabel = 0;
    COLORREF date = 0;
    COLORREF selectedDate = 0;
};

// Brushes and fonts of the main window, created when it opens and deleted when it closes; made
// again when the window moves to a display of another density or the colour scheme changes.
// The fonts and every measure are the designed 96-DPI ones scaled to `dpi`. In a high-contrast
// scheme the brushes and text colours are the scheme's: done and open entries then share one
// background and differ by the word "Done" and the date alone.
struct DrawingResources {
    int dpi = kDefaultDpi;
    bool highContrast = false;
    COLORREF listColour = kListBackground;  // what the list shows where no entry is
    UniqueHBrush listBackground;  // RGB(241, 241, 241); also even done entries and editor fields
    UniqueHBrush alternateDone;   // RGB(223, 223, 223), odd done entries
    UniqueHBrush openTask;        // RGB(253, 230, 230)
    UniqueHBrush separator;       // RGB(193, 193, 193)
    UniqueHBrush selection;       // RGB(0, 115, 0)
    EntryTextColours text;
    UniqueHFont titleFont;
    UniqueHFont labelFont;
    // The room on the right of an entry that "Done" and the date need in their fonts, with the
    // entry's margin and a gap before the title.
    int doneColumn = 0;
    UniqueHFont dateFont;
};

DrawingResources CreateDrawingResources(int dpi, bool highContrast);

struct TaskEntryState {
    int index = 0;
    bool selected = false;
    bool isLast = false;
};

void DrawTaskEntry(HDC dc,
                   const RECT& item,
                   const TaskRecord& record,
                   const TaskEntryState& state,
                   const DrawingResources& resources);
