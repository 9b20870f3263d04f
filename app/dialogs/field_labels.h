// Names for fields that show no label of their own. A screen reader names a field after the
// static text just before it among the dialog's controls; these labels take no room, so they
// are heard and never seen.
#pragma once

#include <windows.h>

// Puts a label with `text` just before control `id` of `dialog`. False when it could not be made.
bool AddUnseenLabel(HWND dialog, int id, const wchar_t* text);
