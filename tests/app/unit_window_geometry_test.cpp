#include <gtest/gtest.h>

#include <algorithm>

#include "app/ui/window_geometry.h"

namespace {

TEST(WindowPlacementTest, CentresWithTruncationTowardZero) {
    const Point origin = CentredOrigin(Size{1024, 768}, Size{380, 414});
    EXPECT_EQ(origin.x, 322);
    EXPECT_EQ(origin.y, 177);
    // Odd differences lose their half pixel.
    const Point odd = CentredOrigin(Size{1025, 769}, Size{380, 414});
    EXPECT_EQ(odd.x, 322);
    EXPECT_EQ(odd.y, 177);
}

TEST(WindowPlacementTest, WindowLargerThanScreenStartsLeftOfAndAboveIt) {
    const Point origin = CentredOrigin(Size{800, 600}, Size{1001, 701});
    EXPECT_EQ(origin.x, -100);  // -201 / 2 truncates toward zero
    EXPECT_EQ(origin.y, -50);
}

TEST(WindowPlacementTest, StoredSizesNoWindowCouldHaveCountAsAbsentAndEveryWindowFitsItsArea) {
    // 0 (also what a word reads as), negative and overflowing sides fall back per side.
    EXPECT_EQ(SaneStoredSize(Size{0, -5}, kMainWindowSize).width, kMainWindowSize.width);
    EXPECT_EQ(SaneStoredSize(Size{0, -5}, kMainWindowSize).height, kMainWindowSize.height);
    EXPECT_EQ(SaneStoredSize(Size{2147483647, 300}, kEditorSize).width, kEditorSize.width);
    EXPECT_EQ(SaneStoredSize(Size{2147483647, 300}, kEditorSize).height, 300);
    EXPECT_EQ(SaneStoredSize(Size{1600, 1200}, kMainWindowSize).width, 1600);

    const Box work{0, 0, 1280, 984};  // a 1280 x 1024 screen less a 40-pixel taskbar
    const auto fitted = [&](Size size) {
        const Point origin = CentredOrigin(Size{1280, 1024}, size);
        return FitInWorkArea(Box{origin.x, origin.y, origin.x + size.width, origin.y + size.height},
                             work);
    };
    // A designed size that fits stays exactly where centring puts it.
    const Box designed = fitted(kMainWindowSize);
    EXPECT_EQ(designed.left, 450);
    EXPECT_EQ(designed.top, 305);
    EXPECT_EQ(designed.Width(), kMainWindowSize.width);
    // Too large for the area, too wide, or far off it: always inside, title bar at or below the
    // area's top.
    for (const Size size : {Size{1600, 1200}, Size{5000, 300}, Size{380, 1000}}) {
        const Box box = fitted(size);
        EXPECT_GE(box.left, work.left);
        EXPECT_GE(box.top, work.top);
        EXPECT_LE(box.right, work.right);
        EXPECT_LE(box.bottom, work.bottom);
        EXPECT_EQ(box.Width(), std::min(size.width, work.Width()));
        EXPECT_EQ(box.Height(), std::min(size.height, work.Height()));
    }
    const Box far = FitInWorkArea(Box{32767, 32767, 32767 + 570, 32767 + 621}, work);
    EXPECT_EQ(far.right, work.right);
    EXPECT_EQ(far.bottom, work.bottom);
    // A second monitor to the left of the primary one: its own area, negative coordinates.
    const Box left = FitInWorkArea(Box{-300, -50, 200, 400}, Box{-1024, 0, 0, 768});
    EXPECT_EQ(left.left, -500);
    EXPECT_EQ(left.top, 0);
}

TEST(MinimumSizeTest, DraggingAnyEdgeInwardsMovesTheRightAndBottomEdges) {
    // The left edge dragged to the right past the minimum width.
    Box box{150, 100, 500, 600};
    EXPECT_TRUE(KeepMinimumSize(box, kMainWindowSize));
    EXPECT_EQ(box.left, 150);
    EXPECT_EQ(box.right, 530);
    EXPECT_EQ(box.top, 100);
    EXPECT_EQ(box.bottom, 600);

    // The top edge dragged down past the minimum height of the editor.
    Box editor{10, 300, 400, 500};
    EXPECT_TRUE(KeepMinimumSize(editor, kEditorSize));
    EXPECT_EQ(editor.right, 400);
    EXPECT_EQ(editor.top, 300);
    EXPECT_EQ(editor.bottom, 649);
}

TEST(MinimumSizeTest, LargeEnoughRectanglesAreLeftAlone) {
    Box exact{0, 0, 380, 414};
    EXPECT_FALSE(KeepMinimumSize(exact, kMainWindowSize));
    EXPECT_EQ(exact.right, 380);
    EXPECT_EQ(exact.bottom, 414);
    Box large{-50, -60, 700, 900};
    EXPECT_FALSE(KeepMinimumSize(large, kEditorSize));
    EXPECT_EQ(large.left, -50);
    EXPECT_EQ(large.bottom, 900);
}

TEST(EditorLayoutTest, DefaultSizeMatchesTheTemplate) {
    const EditorLayout layout = LayOutEditor(kEditorSize);
    EXPECT_EQ(layout.closeButton.x, 282);
    EXPECT_EQ(layout.closeButton.y, 281);
    EXPECT_EQ(layout.saveButton.x, 200);
    EXPECT_EQ(layout.saveButton.y, 281);
    EXPECT_EQ(layout.doneBox.x, 20);
    EXPECT_EQ(layout.doneBox.y, 283);
    EXPECT_EQ(layout.description.width, 336);
    EXPECT_EQ(layout.description.height, 205);
    EXPECT_EQ(layout.title.width, 335);
    EXPECT_EQ(layout.title.height, 21);
}

TEST(EditorLayoutTest, GrowthGoesToTheFieldsAndMovesTheButtons) {
    const EditorLayout small = LayOutEditor(kEditorSize);
    const EditorLayout large = LayOutEditor(Size{kEditorSize.width + 100, kEditorSize.height + 40});
    EXPECT_EQ(large.closeButton.x - small.closeButton.x, 100);
    EXPECT_EQ(large.saveButton.y - small.saveButton.y, 40);
    EXPECT_EQ(large.doneBox.x, small.doneBox.x);
    EXPECT_EQ(large.description.width - small.description.width, 100);
    EXPECT_EQ(large.description.height - small.description.height, 40);
    EXPECT_EQ(large.title.height, small.title.height);
    // The buttons never overlap, and both sit right of the check box.
    EXPECT_GT(large.closeButton.x, large.saveButton.x);
    EXPECT_GT(large.saveButton.x, large.doneBox.x);
}

TEST(ButtonRowTest, LongerTextsGrowLeftwardsAndPushTheRestLeftKeepingGapsAndHeights) {
    // Close and Save, 75 wide and 6 apart, ending at 300.
    const std::vector<Box> placed{{225, 10, 300, 33}, {144, 10, 219, 33}};
    // Texts that fit (and one exactly the template's width) leave the row as it is.
    const std::vector<Box> same = GrowButtonRow(placed, {40, 75});
    for (size_t i = 0; i < placed.size(); ++i) {
        EXPECT_EQ(same[i].left, placed[i].left) << i;
        EXPECT_EQ(same[i].right, placed[i].right) << i;
    }
    const std::vector<Box> grown = GrowButtonRow(placed, {90, 76});
    EXPECT_EQ(grown[0].right, 300);
    EXPECT_EQ(grown[0].Width(), 90);
    EXPECT_EQ(grown[0].left - grown[1].right, 6);
    EXPECT_EQ(grown[1].Width(), 76);
    EXPECT_EQ(grown[1].top, 10);
    EXPECT_EQ(grown[1].bottom, 33);
}

class TaskEntryLayoutTest : public ::testing::Test {
protected:
    const Box item_{0, 90, 360, 90 + kTaskEntryHeight};
};

TEST_F(TaskEntryLayoutTest, OutlineOnThreeSidesForInnerEntries) {
    const TaskEntryLayout layout = LayOutTaskEntry(item_, false);
    EXPECT_EQ(layout.card.left, 1);
    EXPECT_EQ(layout.card.top, 91);
    EXPECT_EQ(layout.card.right, 359);
    EXPECT_EQ(layout.card.bottom, item_.bottom);
}

TEST_F(TaskEntryLayoutTest, LastEntryAlsoHasItsBottomLine) {
    const TaskEntryLayout layout = LayOutTaskEntry(item_, true);
    EXPECT_EQ(layout.card.bottom, item_.bottom - 1);
}

TEST_F(TaskEntryLayoutTest, TitleLeavesRoomForDoneAndTheDate) {
    const TaskEntryLayout layout = LayOutTaskEntry(item_, false);
    EXPECT_EQ(layout.title.left, 11);
    EXPECT_EQ(layout.title.right, 279);
    EXPECT_EQ(layout.title.top, layout.card.top);
    EXPECT_EQ(layout.title.bottom, layout.card.bottom);
    EXPECT_EQ(layout.label.right, 349);
    EXPECT_EQ(layout.label.top, 96);
    EXPECT_EQ(layout.date.right, 349);
    EXPECT_EQ(layout.date.top, 119);
    // Both texts stay inside the card.
    EXPECT_LT(layout.date.top + 11, layout.card.bottom);
    // A longer word for done takes the title's room; a shorter one leaves the designed 80.
    EXPECT_EQ(LayOutTaskEntry(item_, false, kDefaultDpi, 79).title.right, 279);
    EXPECT_EQ(LayOutTaskEntry(item_, false, kDefaultDpi, 120).title.right, 239);
}

TEST(EntryFillTest, SelectionWinsThenOpenThenAlternatingDone) {
    EXPECT_EQ(ChooseEntryFill(true, true, 3), EntryFill::kSelected);
    EXPECT_EQ(ChooseEntryFill(true, false, 0), EntryFill::kSelected);
    EXPECT_EQ(ChooseEntryFill(false, false, 1), EntryFill::kOpen);
    EXPECT_EQ(ChooseEntryFill(false, true, 0), EntryFill::kDoneEven);
    EXPECT_EQ(ChooseEntryFill(false, true, 1), EntryFill::kDoneOdd);
    EXPECT_EQ(ChooseEntryFill(false, true, 2), EntryFill::kDoneEven);
}

}  // namespace
