// What a screen reader learns about a list box: an IAccessible server of our own for the list's
// client area, answering for the list and for each entry (a simple child, id = index + 1). The
// system's standard object for a list box cannot be relied on (Wine has none, and an owner-drawn
// entry's text says nothing of what the entry draws), so the server answers everything itself.
#pragma once

#include <windows.h>

#include <string>

// The words of one list: its own name and each entry's. Called on the list's thread with a valid
// index.
struct ListAccessibleNames {
    std::u16string (*listName)(HWND list) = nullptr;
    std::u16string (*entryName)(HWND list, int index) = nullptr;
};

// The text of the static control just before `window` (GW_HWNDPREV), its "&" markers removed:
// what Windows reads as a control's name. Empty when there is none.
std::u16string LabelBefore(HWND window);

// The entry's own list box text.
std::u16string ListEntryText(HWND list, int index);

// Gives the list its server: it answers WM_GETOBJECT for OBJID_CLIENT from then on, and is cut
// off from its clients (every call then fails) when the list is destroyed. Call before any
// other replacement of the list's window procedure. False when it could not be attached.
bool AttachListAccessible(HWND list, const ListAccessibleNames& names);

// Tells screen readers that entry `index` now reads differently (marked done, edited).
void AnnounceEntryNameChange(HWND list, int index);
