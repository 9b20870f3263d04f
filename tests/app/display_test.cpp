// How the program draws on displays of other densities and in high-contrast schemes: the
// entries on screen are compared pixel for pixel with an entry drawn here from the designed
// 96-DPI measures, scaled; a density change is announced the way the system announces it.
#include "tests/app/app_fixture.h"

#include <algorithm>

namespace {

struct EntryLook {
    COLORREF outline;
    COLORREF fill;
    COLORREF title;
    COLORREF label;
    COLORREF date;
};

// The designed colours of an unselected done entry at an even index.
constexpr EntryLook kEvenDoneLook{RGB(193, 193, 193), RGB(241, 241, 241), RGB(0, 64, 0),
                                  RGB(0, 64, 0), RGB(120, 120, 120)};

int Scaled(int designed, int dpi) {
    return MulDiv(designed, dpi, 96);
}

HFONT Tahoma(int designedHeight, int dpi) {
    return CreateFontW(Scaled(designedHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       VARIABLE_PITCH, L"Tahoma");
}

// One entry as the design describes it at `dpi`: outline, card, title; "Done" and the date when
// `doneDate` is given.
std::vector<COLORREF> ReferenceEntry(SIZE size,
                                     bool last,
                                     int dpi,
                                     const std::wstring& title,
                                     const wchar_t* doneDate,
                                     const EntryLook& look) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);

    const int line = std::max(1, Scaled(1, dpi));
    RECT item{0, 0, size.cx, size.cy};
    HBRUSH outline = CreateSolidBrush(look.outline);
    HBRUSH fill = CreateSolidBrush(look.fill);
    FillRect(dc, &item, outline);
    RECT card{line, line, size.cx - line, last ? size.cy - line : size.cy};
    FillRect(dc, &card, fill);
    SetBkMode(dc, TRANSPARENT);
    HFONT titleFont = Tahoma(13, dpi);
    HFONT smallFont = Tahoma(11, dpi);
    HGDIOBJ oldFont = SelectObject(dc, titleFont);
    SetTextColor(dc, look.title);
    RECT titleBox{card.left + Scaled(10, dpi), card.top, card.right - Scaled(80, dpi), card.bottom};
    DrawTextW(dc, title.c_str(), -1, &titleBox,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    if (doneDate != nullptr) {
        SelectObject(dc, smallFont);
        SetTextColor(dc, look.label);
        RECT label{card.left, card.top + Scaled(5, dpi), card.right - Scaled(10, dpi), card.bottom};
        DrawTextW(dc, L"Done", -1, &label, DT_SINGLELINE | DT_RIGHT | DT_NOPREFIX);
        SetTextColor(dc, look.date);
        RECT date{card.left, card.top + Scaled(28, dpi), card.right - Scaled(10, dpi), card.bottom};
        DrawTextW(dc, doneDate, -1, &date, DT_SINGLELINE | DT_RIGHT | DT_NOPREFIX);
    }
    GdiFlush();
    std::vector<COLORREF> pixels;
    const auto* bgra = static_cast<const BYTE*>(bits);
    for (int i = 0; i < size.cx * size.cy; ++i)
        pixels.push_back(RGB(bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i]));
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(titleFont);
    DeleteObject(smallFont);
    DeleteObject(outline);
    DeleteObject(fill);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

// Compares two pictures of `size`; tells where they first differ.
::testing::AssertionResult SamePixels(const std::vector<COLORREF>& shown,
                                      const std::vector<COLORREF>& expected,
                                      SIZE size) {
    if (shown.size() != expected.size())
        return ::testing::AssertionFailure() << "the entry could not be captured";
    int differing = 0;
    int first = -1;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == expected[i]) continue;
        if (first < 0) first = static_cast<int>(i);
        ++differing;
    }
    if (differing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << differing << " of " << shown.size() << " pixels differ, the first at ("
           << first % size.cx << ", " << first / size.cx << "): shown 0x" << std::hex
           << shown[first] << ", expected 0x" << expected[first];
}

}  // namespace

class DisplayTest : public PelmoraUiTest {
protected:
    // Entry `index` as the screen shows it, and its size.
    std::vector<COLORREF> CaptureEntry(int index, SIZE& size) {
        BringToFront(main_);
        const int height = static_cast<int>(SendTo(list_, LB_GETITEMHEIGHT, 0));
        RECT client{};
        GetClientRect(list_, &client);
        POINT origin{0, index * height};
        ClientToScreen(list_, &origin);
        size = SIZE{client.right, height};
        return CaptureScreen(RECT{origin.x, origin.y, origin.x + size.cx, origin.y + size.cy});
    }

    ::testing::AssertionResult EntryLooksDesigned(int index,
                                                  bool last,
                                                  int dpi,
                                                  const std::wstring& title,
                                                  const wchar_t* doneDate,
                                                  const EntryLook& look) {
        // The program may still be painting (after a density or scheme change, on a busy
        // machine): look again until the entry matches or the wait gives up.
        SIZE size{};
        std::vector<COLORREF> shown;
        std::vector<COLORREF> expected;
        WaitUntil(
            [&] {
                shown = CaptureEntry(index, size);
                expected = ReferenceEntry(size, last, dpi, title, doneDate, look);
                return shown == expected;
            },
            3000);
        return SamePixels(shown, expected, size);
    }
};

TEST_F(DisplayTest, EntryHeightFontsAndOffsetsFollowTheDensity) {
    Seed(L"Proj", {{"Weekly report & review", true, "2021-03-04"}});
    ASSERT_TRUE(Launch(L"Proj"));
    EXPECT_EQ(Px(45), SendTo(list_, LB_GETITEMHEIGHT, 0));
    EXPECT_TRUE(EntryLooksDesigned(0, true, TestDpi(), L"Weekly report & review", L"2021-03-04",
                                   kEvenDoneLook));
    ASSERT_TRUE(CloseMain());
}

TEST_F(DisplayTest, MovingToADenserDisplayRemakesFontsEntriesAndSize) {
    Seed(L"Proj", {{"Weekly report", true, "2021-03-04"}});
    ASSERT_TRUE(Launch(L"Proj"));
    // To 200% (or from there to 150%); the system keeps the window's look by proposing it
    // larger (or smaller) by the same factor.
    const int dpi = TestDpi() == 192 ? 144 : 192;
    const SIZE before = OuterSize(main_);
    const SIZE after{MulDiv(before.cx, dpi, TestDpi()), MulDiv(before.cy, dpi, TestDpi())};
    const RECT suggested{10, 12, 10 + after.cx, 12 + after.cy};
    ASSERT_TRUE(SendDpiChanged(app_.Id(), main_, dpi, suggested));
    const RECT now = OuterRect(main_);
    EXPECT_EQ(suggested.left, now.left);
    EXPECT_EQ(suggested.top, now.top);
    EXPECT_EQ(suggested.right, now.right);
    EXPECT_EQ(suggested.bottom, now.bottom);
    EXPECT_EQ(Scaled(45, dpi), SendTo(list_, LB_GETITEMHEIGHT, 0));
    EXPECT_TRUE(EntryLooksDesigned(0, true, dpi, L"Weekly report", L"2021-03-04", kEvenDoneLook));
    ASSERT_TRUE(CloseMain());
    // The settings file keeps the 96-DPI size, the same as before the move.
    EXPECT_EQ(MulDiv(after.cx, 96, dpi), SettingsValue(L"wnd_main_width"));
    EXPECT_EQ(MulDiv(after.cy, 96, dpi), SettingsValue(L"wnd_main_height"));
    EXPECT_EQ(380, SettingsValue(L"wnd_main_width"));
}

TEST_F(DisplayTest, HighContrastSchemeDrawsEntriesInSystemColours) {
    Seed(L"Proj", {{"Done task", true, "2021-03-04"}, {"Open task"}});
    ASSERT_TRUE(Launch(L"Proj"));
    ASSERT_TRUE(LoadIntoProcess(app_.Id(), BuildOutputPath(PELMORA_HIGH_CONTRAST_HOOK)));
    SendTo(main_, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);

    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    const EntryLook plain{text, window, text, text, GetSysColor(COLOR_GRAYTEXT)};
    // Done and open tasks share the scheme's background; "Done" and the date tell them apart.
    EXPECT_TRUE(EntryLooksDesigned(0, false, TestDpi(), L"Done task", L"2021-03-04", plain));
    EXPECT_TRUE(EntryLooksDesigned(1, true, TestDpi(), L"Open task", nullptr, plain));

    ASSERT_TRUE(SelectEntry(0));
    const COLORREF highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    const EntryLook selected{text, GetSysColor(COLOR_HIGHLIGHT), highlightText, highlightText,
                             highlightText};
    EXPECT_TRUE(EntryLooksDesigned(0, false, TestDpi(), L"Done task", L"2021-03-04", selected));
    ASSERT_TRUE(CloseMain());
}

TEST_F(DisplayTest, NormalSchemeKeepsTheDesignedColours) {
    Seed(L"Proj", {{"Open task"}});
    ASSERT_TRUE(Launch(L"Proj"));
    SendTo(main_, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    SendTo(main_, WM_SYSCOLORCHANGE, 0, 0);
    const EntryLook open{RGB(193, 193, 193), RGB(253, 230, 230), RGB(0, 64, 0), 0, 0};
    EXPECT_TRUE(EntryLooksDesigned(0, true, TestDpi(), L"Open task", nullptr, open));
    ASSERT_TRUE(CloseMain());
}

TEST_F(DisplayTest, EditorLaysItselfOutAgainOnADensityChange) {
    ASSERT_TRUE(Launch(L"Proj"));
    PressInMain(VK_INSERT);
    ASSERT_TRUE(WaitEditor());
    const int dpi = TestDpi() == 192 ? 144 : 192;
    const SIZE before = OuterSize(editor_);
    const SIZE after{MulDiv(before.cx, dpi, TestDpi()), MulDiv(before.cy, dpi, TestDpi())};
    const RECT suggested{20, 16, 20 + after.cx, 16 + after.cy};
    ASSERT_TRUE(SendDpiChanged(app_.Id(), editor_, dpi, suggested));
    const auto at = [&](int id) { return ChildRect(editor_, GetDlgItem(editor_, id)); };
    // The layout follows a posted message, after the system's own rescaling of the controls.
    EXPECT_TRUE(WaitUntil([&] { return at(IDCANCEL).left == after.cx - Scaled(101, dpi); }, 3000));
    EXPECT_EQ(after.cx, OuterSize(editor_).cx);
    EXPECT_EQ(after.cy, OuterSize(editor_).cy);
    EXPECT_EQ(after.cy - Scaled(68, dpi), at(IDCANCEL).top);
    EXPECT_EQ(after.cx - Scaled(183, dpi), at(IDOK).left);
    EXPECT_EQ(Scaled(20, dpi), at(kDoneBoxId).left);
    EXPECT_EQ(after.cy - Scaled(66, dpi), at(kDoneBoxId).top);
    const RECT title = at(kTitleFieldId);
    EXPECT_EQ(after.cx - Scaled(48, dpi), title.right - title.left);
    EXPECT_EQ(Scaled(21, dpi), title.bottom - title.top);
    const RECT description = at(kDescriptionFieldId);
    EXPECT_EQ(after.cx - Scaled(47, dpi), description.right - description.left);
    EXPECT_EQ(after.cy - Scaled(144, dpi), description.bottom - description.top);
    PressInEditor(VK_ESCAPE);
    ASSERT_TRUE(WaitEditorGone());
    // Stored in 96-DPI pixels (the designed default, give or take the rounding of the move).
    EXPECT_EQ(MulDiv(after.cx, 96, dpi), SettingsValue(L"wnd_add_width"));
    EXPECT_EQ(MulDiv(after.cy, 96, dpi), SettingsValue(L"wnd_add_height"));
    ASSERT_TRUE(CloseMain());
}
