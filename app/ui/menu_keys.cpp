#include "app/ui/menu_keys.h"

#include <cwctype>
#include <vector>

namespace {

bool StartsWith(HMENU menu, int position, wchar_t letter) {
    wchar_t text[64] = {};
    if (GetMenuStringW(menu, static_cast<UINT>(position), text, 64, MF_BYPOSITION) <= 0) {
        return false;
    }
    return std::towupper(text[0]) == std::towupper(letter);
}

}  // namespace

LRESULT FirstLetterMenuChar(wchar_t letter, HMENU menu) {
    const int count = GetMenuItemCount(menu);
    std::vector<int> matches;
    int highlighted = -1;
    for (int i = 0; i < count; ++i) {
        if (StartsWith(menu, i, letter)) matches.push_back(i);
        if ((GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE) != 0) {
            highlighted = i;
        }
    }
    if (matches.empty()) return MAKELRESULT(0, MNC_IGNORE);
    if (matches.size() == 1) return MAKELRESULT(matches.front(), MNC_EXECUTE);
    for (const int match : matches) {
        if (match > highlighted) return MAKELRESULT(match, MNC_SELECT);
    }
    return MAKELRESULT(matches.front(), MNC_SELECT);
}
