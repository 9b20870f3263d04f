// Window sizes: where the main window and the editor open, how far they can be dragged smaller,
// what the settings file remembers, and the editor's layout at its default size.
#include "tests/app/app_fixture.h"

namespace {

// The designed sizes at 96 DPI, which the settings file keeps; the windows show them scaled.
constexpr int kMainWidth = 380;
constexpr int kMainHeight = 414;
constexpr int kEditorWidth = 383;
constexpr int kEditorHeight = 349;

// Waits until the outer size of `window` has stopped changing after a drag.
void WaitSizeSettles(HWND window) {
    SIZE last = OuterSize(window);
    int stable = 0;
    WaitUntil(
        [&] {
            const SIZE now = OuterSize(window);
            stable = (now.cx == last.cx && now.cy == last.cy) ? stable + 1 : 0;
            last = now;
            return stable >= 10;
        },
        3000);
    // The frame has its size before the window has laid out its controls for it: a message
    // answered by the window's thread comes back only once that thread is done with the sizing.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

// Drags the bottom-right corner of `window`'s frame by (dx, dy).
void DragCorner(HWND window, int dx, int dy) {
    BringToFront(window);
    const RECT rect = OuterRect(window);
    const POINT corner{rect.right - 2, rect.bottom - 2};
    DragMouse(corner, POINT{corner.x + dx, corner.y + dy});
    WaitSizeSettles(window);
}

// The same for the top-left corner.
void DragTopLeft(HWND window, int dx, int dy) {
    BringToFront(window);
    const RECT rect = OuterRect(window);
    const POINT corner{rect.left + 1, rect.top + 1};
    DragMouse(corner, POINT{corner.x + dx, corner.y + dy});
    WaitSizeSettles(window);
}

::testing::AssertionResult HasSize(HWND window, int width, int height) {
    const SIZE size = OuterSize(window);
    if (size.cx == width && size.cy == height) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "outer size " << size.cx << " x " << size.cy
                                         << ", expected " << width << " x " << height;
}

::testing::AssertionResult IsCentred(HWND window) {
    const RECT rect = OuterRect(window);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
    if (rect.left == x && rect.top == y) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "at " << rect.left << ", " << rect.top
                                         << ", expected the centre position " << x << ", " << y;
}

}  // namespace

class MainWindowSizeTest : public PelmoraUiTest {};

TEST_F(MainWindowSizeTest, OpensCentredAtTheDefaultSizeAndStoresItOnClose) {
    ASSERT_TRUE(Launch(L"Proj"));
    EXPECT_TRUE(HasSize(main_, Px(kMainWidth), Px(kMainHeight)));
    EXPECT_TRUE(IsCentred(main_));
    // The list fills the client area (below the menu bar) once the window has settled.
    RECT client{};
    RECT list{};
    WaitUntil(
        [&] {
            GetClientRect(main_, &client);
            list = ChildRect(main_, list_);
            return list.right == client.right && list.bottom == client.bottom;
        },
        2000);
    EXPECT_EQ(0, list.left);
    EXPECT_EQ(0, list.top);
    EXPECT_EQ(client.right, list.right);
    EXPECT_EQ(client.bottom, list.bottom);
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(kMainWidth, SettingsValue(L"wnd_main_width"));
    EXPECT_EQ(kMainHeight, SettingsValue(L"wnd_main_height"));
}

TEST_F(MainWindowSizeTest, DraggedSizeIsRememberedForTheNextRun) {
    ASSERT_TRUE(Launch(L"Proj"));
    DragCorner(main_, 120, 70);
    const SIZE dragged = OuterSize(main_);
    EXPECT_GT(dragged.cx, Px(kMainWidth)) << "the frame could not be dragged";
    RECT client{};
    GetClientRect(main_, &client);
    EXPECT_EQ(client.right, ChildRect(main_, list_).right) << "the list did not follow the window";
    ASSERT_TRUE(CloseMain());
    // Stored as 96-DPI sizes, so the window keeps its size on a display of another density.
    const int storedWidth = SettingsValue(L"wnd_main_width");
    const int storedHeight = SettingsValue(L"wnd_main_height");
    EXPECT_EQ(Unpx(dragged.cx), storedWidth);
    EXPECT_EQ(Unpx(dragged.cy), storedHeight);

    ASSERT_TRUE(Launch(L"Proj"));
    EXPECT_TRUE(HasSize(main_, Px(storedWidth), Px(storedHeight)));
    EXPECT_TRUE(IsCentred(main_));
}

TEST_F(MainWindowSizeTest, DraggingStopsAtTheMinimumSize) {
    WriteSettings(520, 560, kEditorWidth, kEditorHeight);
    ASSERT_TRUE(Launch(L"Proj"));
    ASSERT_TRUE(HasSize(main_, Px(520), Px(560)));
    DragCorner(main_, -Px(300), -Px(300));
    EXPECT_TRUE(HasSize(main_, Px(kMainWidth), Px(kMainHeight)));
    // From the other corner the window keeps its minimum size too (its far edges move instead).
    DragTopLeft(main_, Px(200), Px(200));
    EXPECT_TRUE(HasSize(main_, Px(kMainWidth), Px(kMainHeight)));
}

TEST_F(MainWindowSizeTest, StoredSizeBelowTheMinimumIsUsedAsItIs) {
    WriteSettings(300, 250, kEditorWidth, kEditorHeight);
    ASSERT_TRUE(Launch(L"Proj"));
    EXPECT_TRUE(HasSize(main_, Px(300), Px(250)));
    EXPECT_TRUE(IsCentred(main_));
}

// A work area smaller than the screen, as taskbars on the left and at the bottom leave it; the
// one before is back when the case ends, however it ends. Windows hands it to every program;
// Wine keeps it to the program that set it (its monitors' work areas come from the X desktop when
// it starts), so there the real work area is used.
class SmallerWorkArea {
public:
    SmallerWorkArea() {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &before_, 0);
        const RECT smaller{before_.left + 120, before_.top, before_.right, before_.bottom - 100};
        set_ = SystemParametersInfoW(SPI_SETWORKAREA, 0, const_cast<RECT*>(&smaller),
                                     SPIF_SENDCHANGE) != 0;
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromPoint(POINT{}, MONITOR_DEFAULTTOPRIMARY), &monitor);
        if (set_ && EqualRect(&monitor.rcWork, &smaller)) {
            area_ = smaller;
        } else {
            Restore();
            area_ = before_;
        }
    }
    ~SmallerWorkArea() { Restore(); }
    // The work area every program now has: the smaller one where the system passes it on.
    const RECT& Area() const { return area_; }

private:
    void Restore() {
        if (set_) SystemParametersInfoW(SPI_SETWORKAREA, 0, &before_, SPIF_SENDCHANGE);
        set_ = false;
    }
    RECT before_{};
    RECT area_{};
    bool set_ = false;
};

// Stored sizes from another display, a hand or another program: each window opens wholly inside
// the work area (not merely the screen), title bar on screen; a size no window could have gives
// the designed one.
TEST_F(MainWindowSizeTest, EveryStoredSizeOpensWhollyOnScreen) {
    const SmallerWorkArea smaller;
    const RECT work = smaller.Area();
    const struct {
        const wchar_t* width;
        const wchar_t* height;
        bool designed;
    } cases[] = {{L"5000", L"300", false},
                 {L"1100", L"980", false},  // inside the screen, larger than the work area
                 {L"2147483647", L"2147483647", true},
                 {L"0", L"-40", true},
                 {L"wide", L"tall", true}};
    for (const auto& c : cases) {
        const std::wstring settings = SettingsFilePath();
        CreateDirectoryW(settings.substr(0, settings.rfind(L'\\')).c_str(), nullptr);
        for (const auto& [key, value] :
             {std::pair{L"wnd_main_width", c.width}, std::pair{L"wnd_main_height", c.height},
              std::pair{L"wnd_add_width", c.width}, std::pair{L"wnd_add_height", c.height}}) {
            WritePrivateProfileStringW(L"pelmora", key, value, settings.c_str());
        }
        ASSERT_TRUE(Launch(L"Proj"));
        PressInMain(VK_INSERT);
        ASSERT_TRUE(WaitEditor());
        for (HWND window : {main_, editor_}) {
            const RECT rect = OuterRect(window);
            EXPECT_TRUE(rect.left >= work.left && rect.top >= work.top &&
                        rect.right <= work.right && rect.bottom <= work.bottom)
                << WideToUtf8(c.width) << " x " << WideToUtf8(c.height) << ": at " << rect.left
                << ", " << rect.top << ", " << rect.right << ", " << rect.bottom;
        }
        if (c.designed) {
            EXPECT_TRUE(HasSize(main_, Px(kMainWidth), Px(kMainHeight)));
            EXPECT_TRUE(IsCentred(main_));
            EXPECT_TRUE(HasSize(editor_, Px(kEditorWidth), Px(kEditorHeight)));
        }
        PressInEditor(VK_ESCAPE);
        ASSERT_TRUE(WaitEditorGone());
        ASSERT_TRUE(CloseMain());
    }
}

class EditorSizeTest : public PelmoraUiTest {
protected:
    void SetUp() override {
        PelmoraUiTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(Launch(L"Proj"));
    }

    void OpenEditor() {
        PressInMain(VK_INSERT);
        ASSERT_TRUE(WaitEditor());
    }

    void CloseEditor() {
        PressInEditor(VK_ESCAPE);
        ASSERT_TRUE(WaitEditorGone());
    }

    void ExpectAt(int id, int x, int y) {
        const RECT rect = ChildRect(editor_, GetDlgItem(editor_, id));
        EXPECT_EQ(x, rect.left) << "control " << id;
        EXPECT_EQ(y, rect.top) << "control " << id;
    }

    void ExpectSized(int id, int width, int height) {
        const RECT rect = ChildRect(editor_, GetDlgItem(editor_, id));
        EXPECT_EQ(width, rect.right - rect.left) << "control " << id;
        EXPECT_EQ(height, rect.bottom - rect.top) << "control " << id;
    }
};

TEST_F(EditorSizeTest, DefaultSizeIsCentredWithTheDesignedLayout) {
    OpenEditor();
    const int width = Px(kEditorWidth);
    const int height = Px(kEditorHeight);
    EXPECT_TRUE(HasSize(editor_, width, height));
    EXPECT_TRUE(IsCentred(editor_));
    // At 96 DPI: Close at (282, 281), Save at (200, 281), the box at (20, 283), the fields 336 by
    // 205 and 335 by 21.
    ExpectAt(IDCANCEL, width - Px(101), height - Px(68));
    ExpectAt(IDOK, width - Px(183), height - Px(68));
    ExpectAt(kDoneBoxId, Px(20), height - Px(66));
    ExpectSized(kDescriptionFieldId, width - Px(47), height - Px(144));
    ExpectSized(kTitleFieldId, width - Px(48), Px(21));
    if (TestDpi() == 96) {
        ExpectAt(IDCANCEL, 282, 281);
        ExpectSized(kDescriptionFieldId, 336, 205);
    }
    CloseEditor();
    EXPECT_EQ(kEditorWidth, SettingsValue(L"wnd_add_width"));
    EXPECT_EQ(kEditorHeight, SettingsValue(L"wnd_add_height"));
}

TEST_F(EditorSizeTest, LayoutFollowsADraggedFrameAndTheSizeIsRemembered) {
    OpenEditor();
    DragCorner(editor_, 90, 50);
    const SIZE dragged = OuterSize(editor_);
    ASSERT_GT(dragged.cx, Px(kEditorWidth)) << "the frame could not be dragged";
    ExpectAt(IDCANCEL, dragged.cx - Px(101), dragged.cy - Px(68));
    ExpectAt(IDOK, dragged.cx - Px(183), dragged.cy - Px(68));
    ExpectAt(kDoneBoxId, Px(20), dragged.cy - Px(66));
    ExpectSized(kDescriptionFieldId, dragged.cx - Px(47), dragged.cy - Px(144));
    ExpectSized(kTitleFieldId, dragged.cx - Px(48), Px(21));
    CloseEditor();
    const int storedWidth = SettingsValue(L"wnd_add_width");
    const int storedHeight = SettingsValue(L"wnd_add_height");
    EXPECT_EQ(Unpx(dragged.cx), storedWidth);
    EXPECT_EQ(Unpx(dragged.cy), storedHeight);

    // Reopened at the stored size; a successful Save stores the size as well.
    OpenEditor();
    EXPECT_TRUE(HasSize(editor_, Px(storedWidth), Px(storedHeight)));
    EXPECT_TRUE(IsCentred(editor_));
    DragCorner(editor_, 30, 20);
    const SIZE second = OuterSize(editor_);
    SetField(kTitleFieldId, L"saved");
    ClickSave();
    ASSERT_TRUE(WaitEditorGone());
    EXPECT_EQ(Unpx(second.cx), SettingsValue(L"wnd_add_width"));
    EXPECT_EQ(Unpx(second.cy), SettingsValue(L"wnd_add_height"));
}

TEST_F(EditorSizeTest, DraggingStopsAtTheMinimumSize) {
    OpenEditor();
    DragCorner(editor_, -Px(200), -Px(200));
    EXPECT_TRUE(HasSize(editor_, Px(kEditorWidth), Px(kEditorHeight)));
    CloseEditor();
}
