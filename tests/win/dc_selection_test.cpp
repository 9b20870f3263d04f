#include "win/dc_selection.h"

#include <gtest/gtest.h>

#include "win/unique_handle.h"

namespace {

// A memory device context with two fonts to select into it.
class DcSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        dc_ = CreateCompatibleDC(nullptr);
        ASSERT_NE(nullptr, dc_);
        first_.reset(MakeFont(12));
        second_.reset(MakeFont(20));
        ASSERT_TRUE(first_);
        ASSERT_TRUE(second_);
        original_ = GetCurrentObject(dc_, OBJ_FONT);
    }
    void TearDown() override { DeleteDC(dc_); }

    static HFONT MakeFont(int height) {
        return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                           L"Tahoma");
    }

    HDC dc_ = nullptr;
    UniqueHFont first_;
    UniqueHFont second_;
    HGDIOBJ original_ = nullptr;
};

TEST_F(DcSelectionTest, SelectsTheObjectForTheScopeAndPutsTheOldOneBack) {
    {
        const ScopedSelectObject selected(dc_, first_.get());
        EXPECT_EQ(first_.get(), GetCurrentObject(dc_, OBJ_FONT));
    }
    EXPECT_EQ(original_, GetCurrentObject(dc_, OBJ_FONT));
}

TEST_F(DcSelectionTest, ASecondSelectionStillRestoresTheFirstObjectReplaced) {
    {
        ScopedSelectObject selected(dc_, first_.get());
        selected.Select(second_.get());
        EXPECT_EQ(second_.get(), GetCurrentObject(dc_, OBJ_FONT));
    }
    EXPECT_EQ(original_, GetCurrentObject(dc_, OBJ_FONT));
}

TEST_F(DcSelectionTest, NoObjectSelectsNothingAndRestoresNothing) {
    SelectObject(dc_, first_.get());
    { const ScopedSelectObject none(dc_, nullptr); }
    EXPECT_EQ(first_.get(), GetCurrentObject(dc_, OBJ_FONT));
    SelectObject(dc_, original_);
}

TEST_F(DcSelectionTest, TextColourAndBackgroundModeComeBackInTheirOldState) {
    SetTextColor(dc_, RGB(10, 20, 30));
    SetBkMode(dc_, OPAQUE);
    {
        const ScopedBkMode mode(dc_, TRANSPARENT);
        ScopedTextColor colour(dc_, RGB(200, 0, 0));
        EXPECT_EQ(TRANSPARENT, GetBkMode(dc_));
        EXPECT_EQ(RGB(200, 0, 0), GetTextColor(dc_));
        colour.Set(RGB(0, 200, 0));
        EXPECT_EQ(RGB(0, 200, 0), GetTextColor(dc_));
    }
    EXPECT_EQ(RGB(10, 20, 30), GetTextColor(dc_));
    EXPECT_EQ(OPAQUE, GetBkMode(dc_));
}

}  // namespace
