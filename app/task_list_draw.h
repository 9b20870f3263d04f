// How one task entry looks: a card with a one-pixel grey outline, the title on the left and,
// for done tasks, "Done" and the date on the right.
#pragma once

#include <windows.h>

#include "app/win_handles.h"
#include "store/task_store.h"

inline constexpr COLORREF kListBackground = RGB(241, 241, 241);

// Brushes and fonts of the main window, created when it opens and deleted when it closes.
struct DrawingResources {
    UniqueHBrush listBackground;  // RGB(241, 241, 241); also even done entries and editor fields
    UniqueHBrush alternateDone;   // RGB(223, 223, 223), odd done entries
    UniqueHBrush openTask;        // RGB(253, 230, 230)
    UniqueHBrush separator;       // RGB(193, 193, 193)
    UniqueHBrush selection;       // RGB(0, 115, 0)
    UniqueHFont titleFont;
    UniqueHFont labelFont;
    UniqueHFont dateFont;
};

DrawingResources CreateDrawingResources();

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
