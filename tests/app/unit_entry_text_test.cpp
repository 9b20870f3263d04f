#include <gtest/gtest.h>

#include "app/entry_text.h"

namespace {

TaskRecord Task(std::u16string title, bool done, std::optional<std::string> date) {
    TaskRecord record;
    record.display_title = std::move(title);
    record.done = done ? 1 : 0;
    record.done_date = std::move(date);
    return record;
}

// What a screen reader hears for titles of any content: all of the title, whatever it holds, and
// the state after it; the date of a done task exactly as the entry draws it.
TEST(TaskEntryNameTest, TitlesOfAnyContentKeepEveryUnitAndGainTheirState) {
    EXPECT_EQ(u"Buy milk, open", TaskEntryName(Task(u"Buy milk", false, "2020-01-02")));
    const TaskRecord done = Task(u"Pay rent", true, "2024-05-02");
    EXPECT_EQ(u"Pay rent, done, " + std::u16string(u"2024-05-02"), TaskEntryName(done));
    EXPECT_EQ("2024-05-02", DoneDateText(done));
    EXPECT_EQ(u", open", TaskEntryName(TaskRecord()));
    EXPECT_EQ(u"Odd, done", TaskEntryName(Task(u"Odd", true, std::nullopt)));

    // Line breaks and tabs read as spaces; right-to-left text and unpaired surrogates pass as
    // they are, and a pair at the very end of a long title stays whole.
    EXPECT_EQ(u"a b  c d, open", TaskEntryName(Task(u"a\nb\r\nc\td", false, std::nullopt)));
    EXPECT_EQ(u"\u05e9\u05dc\u05d5\u05dd, open",
              TaskEntryName(Task(u"\u05e9\u05dc\u05d5\u05dd", false, std::nullopt)));
    const std::u16string unpaired = {u'a', char16_t(0xd800), u'b', char16_t(0xdc00)};
    EXPECT_EQ(unpaired + u", open", TaskEntryName(Task(unpaired, false, std::nullopt)));
    std::u16string longTitle(32765, u'x');
    longTitle += {char16_t(0xd83d), char16_t(0xde00)};
    const std::u16string name = TaskEntryName(Task(longTitle, false, std::nullopt));
    ASSERT_EQ(longTitle.size() + 6, name.size());
    EXPECT_EQ(longTitle, name.substr(0, longTitle.size()));
}

}  // namespace
