#include <gtest/gtest.h>
#include <windows.h>

#include "app/ui/entry_text.h"

namespace {

TaskRecord Task(std::u16string title, uint32_t done, std::optional<std::string> date) {
    TaskRecord record;
    record.displayTitle = std::move(title);
    record.done = done;
    record.doneDate = std::move(date);
    return record;
}

// What a screen reader hears for titles of any content: the state first, with the date of a
// done task exactly as the entry draws it, then all of the title, whatever it holds.
TEST(TaskEntryNameTest, TheStateLeadsAndEveryTitleUnitFollows) {
    const struct {
        TaskRecord record;
        std::u16string name;
    } cases[] = {
        {Task(u"Buy milk", 0, "2020-01-02"), u"open: Buy milk"},
        {Task(u"Pay rent", 1, "2024-05-02"), u"done 2024-05-02: Pay rent"},
        {TaskRecord(), u"open: "},
        {Task(u"Odd", 1, std::nullopt), u"done: Odd"},
        // A title written to look like another state cannot come first.
        {Task(u"Pay rent, done, 2024-05-02", 0, "2024-05-02"), u"open: Pay rent, done, 2024-05-02"},
        // A foreign file's done value: anything but 0 is drawn as done.
        {Task(u"Foreign", 2, "2024-05-02"), u"done 2024-05-02: Foreign"},
        {Task(u"Foreign", 0xffffffffu, "2024-05-02"), u"done 2024-05-02: Foreign"},
        // Line breaks, tabs and C1 controls read as spaces, direction marks are dropped; in the
        // date as in the title. Right-to-left letters and unpaired surrogates pass as they are.
        {Task(u"a\nb\r\nc\td\u0085e", 0, std::nullopt), u"open: a b  c d e"},
        {Task(u"x\u202eyz\u2066w\u200f", 0, std::nullopt), u"open: xyzw"},
        {Task(u"T", 1, "2024\x01-05\x7f-02\n"), u"done 2024 -05 -02 : T"},
        {Task(u"\u05e9\u05dc\u05d5\u05dd", 0, std::nullopt), u"open: \u05e9\u05dc\u05d5\u05dd"},
        {Task({u'a', char16_t(0xd800), u'b', char16_t(0xdc00)}, 0, std::nullopt),
         {u'o', u'p', u'e', u'n', u':', u' ', u'a', char16_t(0xd800), u'b', char16_t(0xdc00)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.name, TaskEntryName(c.record)) << c.record.done;
    }
    EXPECT_EQ("2024-05-02", DoneDateText(Task(u"Pay rent", 1, "2024-05-02")));

    // A date byte of 0x80 and above is drawn as the ANSI code page's character, not Latin-1's.
    ASSERT_EQ(1252u, GetACP()) << "the cases below are written for the Western code page";
    EXPECT_EQ(u"done 2024-05-02\u20ac\u00e9: T",
              TaskEntryName(Task(u"T", 1, "2024-05-02\x80\xe9")));
    // 0x81 has no character in that page; it comes out as a C1 control and reads as a space.
    EXPECT_EQ(u"done 2024 05: T", TaskEntryName(Task(u"T", 1,
                                                     "2024\x81"
                                                     "05")));

    // A pair at the very end of a long title stays whole.
    std::u16string longTitle(32765, u'x');
    longTitle += {char16_t(0xd83d), char16_t(0xde00)};
    const std::u16string name = TaskEntryName(Task(longTitle, 0, std::nullopt));
    ASSERT_EQ(longTitle.size() + 6, name.size());
    EXPECT_EQ(longTitle, name.substr(6));
}

}  // namespace
