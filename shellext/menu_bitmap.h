// Which drawing of the menu mark to load for a menu check mark of a given size. The mark is
// drawn for 13, 20 and 26 pixels (100%, 150% and 200%); the largest drawing that is not larger
// than the check mark is scaled up the rest of the way, which keeps its edges sharp.
#pragma once

#include "shellext/resource.h"

inline constexpr int kMenuBitmapSize = 13;
inline constexpr int kMenuBitmap150Size = 20;
inline constexpr int kMenuBitmap200Size = 26;

constexpr int MenuBitmapFor(int checkWidth, int checkHeight) {
    const int side = checkWidth < checkHeight ? checkWidth : checkHeight;
    if (side >= kMenuBitmap200Size) return IDB_MENU_200;
    if (side >= kMenuBitmap150Size) return IDB_MENU_150;
    return IDB_MENU;
}
