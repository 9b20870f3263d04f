// Every dialog of the program is shown through here, so that it reads in the chosen language's
// direction.
#pragma once

#include <windows.h>

// DialogBoxParamW for template `id`; in a language read from right to left the dialog is made
// mirrored (WS_EX_LAYOUTRTL), and its controls with it.
INT_PTR RunDialog(HINSTANCE instance, int id, HWND owner, DLGPROC proc, LPARAM param);
