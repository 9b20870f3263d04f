// The program in another language: "/lang:de" gives the menus, the dialogs, the message boxes and
// the screen reader's states their German words.
#include <windows.h>

#include <oleacc.h>

#include <vector>

#include "tests/app/app_fixture.h"

namespace {

constexpr int kRecoverOtherFolderId = 1103;

bool InMenuMode(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
           (info.flags & GUI_INMENUMODE) != 0;
}

}  // namespace

class LanguageTest : public PelmoraUiTest {};

TEST_F(LanguageTest, TheSwitchGivesGermanMenusDialogsBoxesAndSpokenStates) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    Seed(L"Proj", {SeedTask("Milch kaufen")});
    ASSERT_TRUE(StartRaw(L"/lang:de \"" + DbPath() + L"\" \"Proj\""));
    ASSERT_TRUE(WaitMainWindow());
    EXPECT_EQ(L" Pelmora - Proj", WindowText(main_));

    IAccessible* server = nullptr;
    ASSERT_TRUE(SUCCEEDED(AccessibleObjectFromWindow(list_, static_cast<DWORD>(OBJID_CLIENT),
                                                     __uuidof(IAccessible),
                                                     reinterpret_cast<void**>(&server))));
    VARIANT first{};
    first.vt = VT_I4;
    first.lVal = 1;
    BSTR name = nullptr;
    EXPECT_TRUE(SUCCEEDED(server->get_accName(first, &name)));
    EXPECT_EQ(L"offen: Milch kaufen", std::wstring(name != nullptr ? name : L""));
    SysFreeString(name);
    server->Release();

    EXPECT_TRUE(CommandAndAnswer(
        kCmdRemoveAll, {{L"Bestätigen", L"Möchten Sie wirklich alle Aufgaben löschen?", IDNO}}));

    PressInMain('R', {VK_CONTROL});
    const HWND recover = app_.WaitWindow(
        [](HWND window) { return WindowText(window) == L"Aufgaben wiederherstellen"; });
    ASSERT_NE(nullptr, recover);
    EXPECT_EQ(L"Anderer Ordner...", WindowText(GetDlgItem(recover, kRecoverOtherFolderId)));
    EXPECT_EQ(L"Schließen", WindowText(GetDlgItem(recover, IDCANCEL)));
    BringToFront(recover);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(recover); }));

    // The menus answer to their German first letters: D opens "Datei", B is its "Beenden".
    BringToFront(main_);
    PressInMain(VK_F10);
    ASSERT_TRUE(WaitUntil([&] { return InMenuMode(main_); }));
    PressKey('D');
    PressKey('B');
    const auto code = app_.WaitExit();
    ASSERT_TRUE(code.has_value()) << "F10, D, B did not choose \"Beenden\"";
    EXPECT_EQ(0u, *code);
    CoUninitialize();
}

// The mirrored pseudo-language mirrors the window, and the list's entries with it: "Done" and
// the date end at the left edge, the title at the right.
TEST_F(LanguageTest, TheMirroredLanguageMirrorsTheWindowAndTheEntries) {
    Seed(L"Proj", {SeedTask("i", true)});
    ASSERT_TRUE(StartRaw(L"/lang:qps-plocm \"" + DbPath() + L"\" \"Proj\""));
    ASSERT_TRUE(WaitMainWindow());
    EXPECT_NE(0, GetWindowLongPtrW(main_, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    EXPECT_NE(0, GetWindowLongPtrW(list_, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);

    // The entry's pixels that differ from its card, inside its outline, counted in each half:
    // the one-letter title is far less ink than "Done" and the date.
    BringToFront(main_);
    RECT frame{};
    GetWindowRect(list_, &frame);
    POINT top{0, 0};
    ClientToScreen(list_, &top);
    const int height = static_cast<int>(SendTo(list_, LB_GETITEMHEIGHT, 0));
    const int width = frame.right - frame.left;
    const RECT band{frame.left + 4, top.y + 3, frame.right - 4, top.y + height - 3};
    size_t left = 0;
    size_t right = 0;
    WaitUntil(
        [&] {
            const std::vector<COLORREF> pixels = CaptureScreen(band);
            const int bandWidth = band.right - band.left;
            const COLORREF card = pixels.empty() ? 0 : pixels[pixels.size() / 2 + bandWidth / 2];
            left = right = 0;
            for (size_t i = 0; i < pixels.size(); ++i) {
                if (pixels[i] == card) continue;
                ++(static_cast<int>(i % bandWidth) < bandWidth / 2 ? left : right);
            }
            return left > 3 * right && right > 0;
        },
        3000);
    EXPECT_GT(left, 3 * right) << "ink left " << left << ", right " << right << " of " << width;
    EXPECT_GT(right, 0u) << "the title is not drawn";
}
