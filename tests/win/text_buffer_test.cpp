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

}  // namespace
