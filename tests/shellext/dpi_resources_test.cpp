// The extension's pictures on dense displays: the menu mark drawn for 150% and 200%, the choice
// among the drawings, and the overlay icons at every size Explorer asks for from 100% to 200%.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "shellext/menu_bitmap.h"
#include "shellext/resource.h"
#include "test_support.h"

namespace {

TEST(MenuBitmapChoiceTest, TheLargestDrawingThatFitsTheCheckMark) {
    EXPECT_EQ(MenuBitmapFor(13, 13), IDB_MENU);  // 100%
    EXPECT_EQ(MenuBitmapFor(15, 15), IDB_MENU);  // 100% on newer Windows
    EXPECT_EQ(MenuBitmapFor(19, 19), IDB_MENU);  // 125%
    EXPECT_EQ(MenuBitmapFor(20, 20), IDB_MENU_150);
    EXPECT_EQ(MenuBitmapFor(21, 21), IDB_MENU_150);  // 150% under Wine
    EXPECT_EQ(MenuBitmapFor(26, 26), IDB_MENU_200);
    EXPECT_EQ(MenuBitmapFor(30, 30), IDB_MENU_200);
    // The smaller side decides, so the drawing is never squeezed in either direction.
    EXPECT_EQ(MenuBitmapFor(26, 20), IDB_MENU_150);
    // A check mark smaller than any drawing, or a broken metric, gets the designed bitmap.
    EXPECT_EQ(MenuBitmapFor(8, 8), IDB_MENU);
    EXPECT_EQ(MenuBitmapFor(0, 0), IDB_MENU);
}

class DenseDisplayResourcesTest : public testing::Test {
protected:
    HMODULE module_ = LoadLibraryExW(ExtensionPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    void TearDown() override { FreeLibrary(module_); }
};

TEST_F(DenseDisplayResourcesTest, MenuMarkIsDrawnForOneAndAHalfAndTwiceTheSize) {
    ASSERT_NE(module_, nullptr);
    const struct {
        int id;
        int side;
    } drawings[] = {{IDB_MENU_150, kMenuBitmap150Size}, {IDB_MENU_200, kMenuBitmap200Size}};
    for (const auto& drawing : drawings) {
        HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(drawing.id), RT_BITMAP);
        ASSERT_NE(found, nullptr) << drawing.id;
        const auto* info =
            static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module_, found)));
        EXPECT_EQ(info->biWidth, drawing.side);
        EXPECT_EQ(std::abs(info->biHeight), drawing.side);
        EXPECT_EQ(info->biBitCount, 24);
    }
    EXPECT_EQ(kMenuBitmap150Size, 20);
    EXPECT_EQ(kMenuBitmap200Size, 26);
}

// Draws `icon` at `side` pixels over a magenta field and returns the pixels, row by row.
std::vector<COLORREF> Render(HICON icon, int side) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    RECT all{0, 0, side, side};
    FillRect(dc, &all, magenta);
    DrawIconEx(dc, 0, 0, icon, side, side, 0, nullptr, DI_NORMAL);
    GdiFlush();
    std::vector<COLORREF> pixels;
    const auto* bgra = static_cast<const BYTE*>(bits);
    for (int i = 0; i < side * side; ++i)
        pixels.push_back(RGB(bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i]));
    SelectObject(dc, old);
    DeleteObject(magenta);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

// Explorer's small icons are 16 pixels at 100%, 24 at 150% and 32 at 200%; its large icons 32,
// 48 and 64. The groups store 16, 32, 48 and 256 pixels; Windows makes the others from the next
// larger image. Every size must come out as the overlay: a ball in the lower right quarter and
// nothing elsewhere, so the item's own icon stays visible.
TEST_F(DenseDisplayResourcesTest, OverlaysServeEverySizeExplorerAsksForUpTo200Percent) {
    ASSERT_NE(module_, nullptr);
    for (int group : {IDI_DONE_OVERLAY, IDI_HALF_OVERLAY, IDI_ZERO_OVERLAY}) {
        for (int side : {16, 24, 32, 48, 64}) {
            HICON icon = static_cast<HICON>(
                LoadImageW(module_, MAKEINTRESOURCEW(group), IMAGE_ICON, side, side, 0));
            ASSERT_NE(icon, nullptr) << group << " at " << side;
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP colour{};
            GetObjectW(info.hbmColor, sizeof(colour), &colour);
            EXPECT_EQ(colour.bmWidth, side) << group;
            EXPECT_EQ(colour.bmHeight, side) << group;
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);

            const std::vector<COLORREF> pixels = Render(icon, side);
            DestroyIcon(icon);
            const int half = side / 2;
            int paintedOutside = 0;
            for (int y = 0; y < side; ++y) {
                for (int x = 0; x < side; ++x) {
                    if ((x < half || y < half) && pixels[y * side + x] != RGB(255, 0, 255))
                        ++paintedOutside;
                }
            }
            EXPECT_EQ(paintedOutside, 0) << group << " at " << side;
            const int centre = half + half / 2;
            EXPECT_NE(pixels[centre * side + centre], RGB(255, 0, 255))
                << group << " at " << side << ": no ball in the lower right quarter";
        }
    }
}

TEST_F(DenseDisplayResourcesTest, OverlayGroupsStoreTheSizesOfOneAndTwoTimesScaling) {
    ASSERT_NE(module_, nullptr);
    for (int group : {IDI_DONE_OVERLAY, IDI_HALF_OVERLAY, IDI_ZERO_OVERLAY}) {
        HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(group), RT_GROUP_ICON);
        ASSERT_NE(found, nullptr);
        const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(module_, found)));
        const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
        std::vector<int> trueColourSides;
        for (WORD i = 0; i < count; ++i) {
            const BYTE* entry = dir + 6 + 14 * i;
            const WORD bits = *reinterpret_cast<const WORD*>(entry + 6);
            if (bits == 32) trueColourSides.push_back(entry[0] == 0 ? 256 : entry[0]);
        }
        // 32 and 48 serve 200% small and 150% large icons as they are; 48 halves exactly to 24,
        // and 256 quarters exactly to 64.
        for (int side : {16, 32, 48, 256}) {
            EXPECT_NE(std::find(trueColourSides.begin(), trueColourSides.end(), side),
                      trueColourSides.end())
                << group << " has no " << side << " pixel image";
        }
    }
}

}  // namespace
