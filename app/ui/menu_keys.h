// Letters for menus whose items carry no "&" marker (the designed menu texts have none): a
// letter picks the items that start with it, so Alt + F opens "File" and, in an open menu,
// "M" chooses "Mark As Done".
#pragma once

#include <windows.h>

// The answer to WM_MENUCHAR for `letter` typed in `menu`: the one item starting with it is
// chosen; among several, the next one after the highlighted item is highlighted; none closes
// nothing (MNC_IGNORE).
LRESULT FirstLetterMenuChar(wchar_t letter, HMENU menu);
