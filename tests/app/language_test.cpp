// The program in another language: "/lang:de" gives the menus, the dialogs, the message boxes and
// the screen reader's states their German words.
#include <windows.h>

#include <oleacc.h>

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
