#include <gtest/gtest.h>

#include "tasks/task_fields.h"
#include "text/text_encoding.h"

namespace {

// Only ASCII spaces are cut from both ends; what is left is the stored title. Nothing at all and
// spaces alone are told apart (the editor warns of each in its own box).
TEST(TitleFieldTest, OuterAsciiSpacesAreCutAndEmptinessToldApart) {
    const struct {
        std::u16string field;
        TitleProblem problem;
        std::u16string title;
    } cases[] = {
        {u"", TitleProblem::kEmpty, u""},
        {u" ", TitleProblem::kOnlySpaces, u""},
        {u"     ", TitleProblem::kOnlySpaces, u""},
        {u"  Buy milk  ", TitleProblem::kNone, u"Buy milk"},
        {u"\tA  B ", TitleProblem::kNone, u"\tA  B"},  // tabs and inner spaces belong to it
        {u"\t", TitleProblem::kNone, u"\t"},           // a title of tabs alone is not blank
        {u"report", TitleProblem::kNone, u"report"},   // letter case is kept
    };
    for (const auto& c : cases) {
        const EditedTitle title = ReadTitleField(c.field);
        EXPECT_EQ(title.problem, c.problem) << Utf16ToUtf8(c.field);
        if (c.problem != TitleProblem::kNone) continue;
        EXPECT_EQ(title.displayTitle, c.title);
        EXPECT_EQ(title.key, Base64Encode(Utf16ToUtf8(c.title)));
    }
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
