#include <gtest/gtest.h>
#include <windows.h>

#include "app/ui/menu_keys.h"

namespace {

// The Edit menu's letters: pressed again, a letter two items share moves on to the next item
// with it, round to the first; a letter only one item has chooses it. (Wine's menus act on the
// chosen item only, so this is checked here and not through the running program's menus.)
TEST(MenuLetterTest, ASharedLetterMovesOnAndALoneLetterChooses) {
    const HMENU menu = CreatePopupMenu();
    ASSERT_NE(nullptr, menu);
    AppendMenuW(menu, MF_STRING, 1, L"Edit Selected Task...\t(Enter)");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, 2, L"Remove Selected Task...\t(Delete)");
    AppendMenuW(menu, MF_STRING, 3, L"Remove All Tasks...");
    AppendMenuW(menu, MF_STRING, 4, L"Mark As Done");
    const struct {
        int highlighted;  // -1: none
        wchar_t letter;
        LRESULT answer;
    } cases[] = {
        {-1, L'R', MAKELRESULT(2, MNC_SELECT)}, {0, L'r', MAKELRESULT(2, MNC_SELECT)},
        {2, L'R', MAKELRESULT(3, MNC_SELECT)},  {3, L'R', MAKELRESULT(2, MNC_SELECT)},
        {2, L'm', MAKELRESULT(4, MNC_EXECUTE)}, {0, L'x', MAKELRESULT(0, MNC_IGNORE)},
    };
    for (const auto& c : cases) {
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            MENUITEMINFOW item{};
            item.cbSize = sizeof(item);
            item.fMask = MIIM_STATE;
            item.fState = i == c.highlighted ? MFS_HILITE : 0;
            SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
        }
        EXPECT_EQ(c.answer, FirstLetterMenuChar(c.letter, menu))
            << static_cast<char>(c.letter) << " with " << c.highlighted << " highlighted";
    }
    DestroyMenu(menu);
}

}  // namespace
