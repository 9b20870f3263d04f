#include "shellext/text_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class AppendQuotedTest : public ::testing::Test {
protected:
    wchar_t buffer_[8] = {};
    size_t used_ = 0;
};

TEST_F(AppendQuotedTest, PutsTheTextBetweenQuotes) {
    ASSERT_TRUE(AppendLiteral(buffer_, 8, used_, L"a "));
    ASSERT_TRUE(AppendQuoted(buffer_, 8, used_, L"bcd", 3));
    EXPECT_EQ(std::wstring(L"a \"bcd\""), buffer_);
    EXPECT_EQ(7u, used_);
}

TEST_F(AppendQuotedTest, ATextThatDoesNotFitLeavesTheBufferAsItWas) {
    ASSERT_TRUE(AppendLiteral(buffer_, 8, used_, L"a "));
    // Two quotes, four units and the terminator need seven more places; six are left.
    EXPECT_FALSE(AppendQuoted(buffer_, 8, used_, L"bcde", 4));
    EXPECT_EQ(std::wstring(L"a "), buffer_);
    EXPECT_EQ(2u, used_);
}

TEST_F(AppendQuotedTest, AnEmptyTextBecomesTwoQuotes) {
    ASSERT_TRUE(AppendQuoted(buffer_, 8, used_, L"", 0));
    EXPECT_EQ(std::wstring(L"\"\""), buffer_);
}

// The buffer, its capacity and the length written travel together: a builder starts the buffer
// empty whatever it held, and fills it to the last place before the terminator but not beyond.
TEST(BoundedTextTest, StartsEmptyAndFillsToItsCapacity) {
    wchar_t buffer[6] = L"stale";
    BoundedText text(buffer);
    EXPECT_EQ(std::wstring(), buffer);
    ASSERT_TRUE(text.AppendQuoted(L"ab", 2));
    EXPECT_FALSE(text.AppendLiteral(L"cd"));  // four units, two more and the terminator: seven
    EXPECT_TRUE(text.AppendLiteral(L"c"));
    EXPECT_EQ(std::wstring(L"\"ab\"c"), text.text());
    EXPECT_EQ(5u, text.length());
}

}  // namespace
