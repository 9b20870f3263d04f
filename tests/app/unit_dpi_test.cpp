#include <gtest/gtest.h>

#include "app/ui/dpi.h"
#include "app/ui/window_geometry.h"

namespace {

TEST(DpiScaleTest, NinetySixIsTheIdentity) {
    for (int value : {-101, -1, 0, 1, 13, 45, 380, 414}) {
        EXPECT_EQ(ScaleForDpi(value, 96), value);
        EXPECT_EQ(UnscaleForDpi(value, 96), value);
    }
}

TEST(DpiScaleTest, RoundsHalfAwayFromZeroAsMulDiv) {
    EXPECT_EQ(ScaleForDpi(45, 144), 68);      // 67.5
    EXPECT_EQ(ScaleForDpi(13, 144), 20);      // 19.5
    EXPECT_EQ(ScaleForDpi(11, 144), 17);      // 16.5
    EXPECT_EQ(ScaleForDpi(11, 120), 14);      // 13.75
    EXPECT_EQ(ScaleForDpi(-101, 144), -152);  // -151.5
    EXPECT_EQ(ScaleForDpi(45, 192), 90);
    EXPECT_EQ(ScaleForDpi(1, 144), 2);  // 1.5
}

TEST(DpiScaleTest, LinesStayAtLeastOnePixel) {
    EXPECT_EQ(ScaleLineForDpi(1, 96), 1);
    EXPECT_EQ(ScaleLineForDpi(1, 120), 1);
    EXPECT_EQ(ScaleLineForDpi(1, 192), 2);
    EXPECT_EQ(ScaleLineForDpi(1, 48), 1);  // half a pixel rounds up
    EXPECT_EQ(ScaleLineForDpi(0, 192), 0);
}

TEST(DpiScaleTest, StoredSizesSurviveARoundTrip) {
    // A size stored at 96 DPI, opened on a denser display and stored again, comes back the same.
    for (int dpi : {96, 120, 144, 168, 192, 240, 288}) {
        for (int stored : {300, 380, 381, 383, 414, 1000}) {
            EXPECT_EQ(UnscaleForDpi(ScaleForDpi(stored, dpi), dpi), stored)
                << stored << " at " << dpi;
        }
    }
    EXPECT_EQ(UnscaleForDpi(570, 144), 380);
    EXPECT_EQ(UnscaleForDpi(621, 144), 414);
}

TEST(DpiSanityTest, ZeroNegativeAndAbsurdDensitiesCountAsNinetySix) {
    EXPECT_EQ(SaneDpi(0), 96);
    EXPECT_EQ(SaneDpi(-144), 96);
    EXPECT_EQ(SaneDpi(5), 96);
    EXPECT_EQ(SaneDpi(100000), 96);
    EXPECT_EQ(SaneDpi(144), 144);
    EXPECT_EQ(SaneDpi(480), 480);
    // Every scaling goes through the same check, so a broken report leaves 96-DPI measures.
    EXPECT_EQ(ScaleForDpi(45, 0), 45);
    EXPECT_EQ(UnscaleForDpi(380, 0), 380);
    EXPECT_EQ(ScaleForDpi(45, 1 << 30), 45);
}

TEST(DpiPictureTest, ChoosesTheNearestDrawnScale) {
    EXPECT_EQ(PictureScaleForDpi(96), 100);
    EXPECT_EQ(PictureScaleForDpi(110), 100);
    EXPECT_EQ(PictureScaleForDpi(120), 150);
    EXPECT_EQ(PictureScaleForDpi(144), 150);
    EXPECT_EQ(PictureScaleForDpi(167), 150);
    EXPECT_EQ(PictureScaleForDpi(168), 200);
    EXPECT_EQ(PictureScaleForDpi(192), 200);
    EXPECT_EQ(PictureScaleForDpi(480), 200);
    EXPECT_EQ(PictureScaleForDpi(0), 100);
}

TEST(ScaledGeometryTest, EntryAndMinimumSizesAt150Percent) {
    EXPECT_EQ(TaskEntryHeight(96), 45);
    EXPECT_EQ(TaskEntryHeight(144), 68);
    EXPECT_EQ(TaskEntryHeight(192), 90);
    const Size main = ScaleSize(kMainWindowSize, 144);
    EXPECT_EQ(main.width, 570);
    EXPECT_EQ(main.height, 621);
    Box dragged{0, 0, 400, 400};
    EXPECT_TRUE(KeepMinimumSize(dragged, ScaleSize(kMainWindowSize, 144)));
    EXPECT_EQ(dragged.right, 570);
    EXPECT_EQ(dragged.bottom, 621);
}

TEST(ScaledGeometryTest, EditorLayoutScalesItsOffsets) {
    const Size outer = ScaleSize(kEditorSize, 144);  // 575 x 524
    const EditorLayout layout = LayOutEditor(outer, 144);
    EXPECT_EQ(layout.closeButton.x, 575 - 152);
    EXPECT_EQ(layout.closeButton.y, 524 - 102);
    EXPECT_EQ(layout.saveButton.x, 575 - 275);  // 274.5
    EXPECT_EQ(layout.doneBox.x, 30);
    EXPECT_EQ(layout.doneBox.y, 524 - 99);
    EXPECT_EQ(layout.description.width, 575 - 71);  // 70.5
    EXPECT_EQ(layout.description.height, 524 - 216);
    EXPECT_EQ(layout.title.width, 575 - 72);
    EXPECT_EQ(layout.title.height, 32);  // 31.5
}

TEST(ScaledGeometryTest, EntryPartsAt200Percent) {
    const TaskEntryLayout last = LayOutTaskEntry(Box{0, 90, 400, 180}, true, 192);
    // Two-pixel outline on all four sides of the last entry.
    EXPECT_EQ(last.card.left, 2);
    EXPECT_EQ(last.card.top, 92);
    EXPECT_EQ(last.card.right, 398);
    EXPECT_EQ(last.card.bottom, 178);
    EXPECT_EQ(last.title.left, 22);
    EXPECT_EQ(last.title.right, 398 - 160);
    EXPECT_EQ(last.label.top, 102);
    EXPECT_EQ(last.label.right, 378);
    EXPECT_EQ(last.date.top, 92 + 56);
    const TaskEntryLayout inner = LayOutTaskEntry(Box{0, 0, 400, 90}, false, 192);
    EXPECT_EQ(inner.card.bottom, 90);  // the entry below draws the line between them
}

TEST(ScaledGeometryTest, NinetySixDpiLayoutIsTheDesignedOne) {
    const TaskEntryLayout scaled = LayOutTaskEntry(Box{0, 45, 300, 90}, true, 96);
    const TaskEntryLayout designed = LayOutTaskEntry(Box{0, 45, 300, 90}, true);
    EXPECT_EQ(scaled.card.left, 1);
    EXPECT_EQ(scaled.card.bottom, 89);
    EXPECT_EQ(scaled.title.left, designed.title.left);
    EXPECT_EQ(scaled.title.right, 299 - 80);
    EXPECT_EQ(scaled.date.top, 46 + 28);
    const EditorLayout editor = LayOutEditor(kEditorSize, 96);
    EXPECT_EQ(editor.closeButton.x, 282);
    EXPECT_EQ(editor.title.height, 21);
}

}  // namespace
