#include <gtest/gtest.h>

#include "tasks/task_fields.h"
#include "text/text_encoding.h"

namespace {

TEST(TitleFieldTest, EmptyAndBlankTitlesAreToldApart) {
    EXPECT_EQ(ReadTitleField(u"").problem, TitleProblem::kEmpty);
    EXPECT_EQ(ReadTitleField(u" ").problem, TitleProblem::kOnlySpaces);
    EXPECT_EQ(ReadTitleField(u"     ").problem, TitleProblem::kOnlySpaces);
}

TEST(TitleFieldTest, OnlyAsciiSpacesAreCut) {
    const EditedTitle title = ReadTitleField(u"  Buy milk  ");
    EXPECT_EQ(title.problem, TitleProblem::kNone);
    EXPECT_EQ(title.displayTitle, u"Buy milk");
    EXPECT_EQ(title.key, Base64Encode("Buy milk"));

    // Tabs and inner spaces belong to the title.
    const EditedTitle tabbed = ReadTitleField(u"\tA  B ");
    EXPECT_EQ(tabbed.problem, TitleProblem::kNone);
    EXPECT_EQ(tabbed.displayTitle, u"\tA  B");
    EXPECT_EQ(Base64Decode(tabbed.key), "\tA  B");

    // A title of tabs alone is not blank.
    EXPECT_EQ(ReadTitleField(u"\t").problem, TitleProblem::kNone);
}

TEST(TitleFieldTest, TitlesDifferingOnlyInOuterSpacesShareTheirKey) {
    EXPECT_EQ(ReadTitleField(u"Report").key, ReadTitleField(u"  Report ").key);
    EXPECT_NE(ReadTitleField(u"Report").key, ReadTitleField(u"report").key);
}

TEST(TitleFieldTest, NonAsciiAndAmpersandSurviveTheRoundTrip) {
    const std::u16string text = u"\u00c4rger & \u65e5\u672c \U0001F600";
    const EditedTitle title = ReadTitleField(text);
    EXPECT_EQ(title.displayTitle, text);
    EXPECT_EQ(Utf8ToUtf16(Base64Decode(title.key)), text);
}

TEST(DescriptionFieldTest, EmptyFieldIsAbsent) {
    EXPECT_FALSE(EncodeDescription(u"").has_value());
    EXPECT_EQ(DecodeDescription(std::nullopt), u"");
    EXPECT_EQ(DecodeDescription(std::string()), u"");
}

TEST(DescriptionFieldTest, KeptAsTypedIncludingLineBreaksAndSpaces) {
    const std::u16string typed = u"  first line\r\n\r\nthird \u00e9  ";
    const auto stored = EncodeDescription(typed);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, Base64Encode(Utf16ToUtf8(typed)));
    EXPECT_EQ(DecodeDescription(stored), typed);
}

}  // namespace
