#include "text/language_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "text/text_format.h"
#include "text/texts.h"

namespace {

const char* const kAvailable[] = {"en", "de", "fr", "pt-BR", "zh-CN", "qps-ploc"};

// Windows' list: each tag ended by a null, the list by an empty tag.
std::u16string Preferred(const std::vector<std::u16string>& tags) {
    std::u16string list;
    for (const std::u16string& tag : tags) list += tag + u'\0';
    return list + u'\0';
}

struct ChoiceCase {
    const char* why;
    const char16_t* override;  // null: none
    std::vector<std::u16string> preferred;
    const char* expected;  // null: nothing matches
};

TEST(LanguageChoiceTest, OverrideThenPreferredInOrderThenNothing) {
    std::u16string tooLong = u"de";
    for (int i = 0; i < 20; ++i) tooLong += u"-abcdefgh";
    const ChoiceCase cases[] = {
        {"exact, any case", u"DE", {u"fr"}, "de"},
        {"base language", u"de-AT", {u"fr"}, "de"},
        {"override wins over the list", u"fr-CA", {u"de-DE"}, "fr"},
        {"empty override is none", u"", {u"de-DE"}, "de"},
        {"unknown override falls to the list", u"sv-SE", {u"de-DE"}, "de"},
        {"malformed override falls to the list", u"de_DE", {u"fr-FR"}, "fr"},
        {"list in order, unknown passed over", nullptr, {u"sv-SE", u"fr-BE", u"de"}, "fr"},
        {"English first keeps English", nullptr, {u"en-US", u"de-DE"}, "en"},
        {"Portuguese of Portugal", nullptr, {u"pt-PT"}, "pt-BR"},
        {"bare Portuguese", nullptr, {u"pt"}, "pt-BR"},
        {"Singapore Chinese", nullptr, {u"zh-SG"}, "zh-CN"},
        {"simplified script", nullptr, {u"zh-Hans-HK"}, "zh-CN"},
        {"Taiwan is passed over", nullptr, {u"zh-TW", u"fr"}, "fr"},
        {"Hong Kong is passed over", nullptr, {u"zh-HK"}, nullptr},
        {"traditional script is passed over", nullptr, {u"zh-Hant-CN"}, nullptr},
        {"pseudo-locale when Windows lists it", nullptr, {u"qps-ploc"}, "qps-ploc"},
        {"other pseudo-locale", nullptr, {u"qps-plocm"}, nullptr},
        {"malformed tags",
         nullptr,
         {u"d", u"deutsch", u"-de", u"de-", u"de--AT", u"de-ABCDEFGHI", u"1e", tooLong},
         nullptr},
        {"empty list", nullptr, {}, nullptr},
    };
    for (const ChoiceCase& c : cases) {
        const std::u16string preferred = Preferred(c.preferred);
        const int chosen = ChooseLanguage(c.override, preferred.c_str(), kAvailable,
                                          sizeof kAvailable / sizeof kAvailable[0]);
        EXPECT_STREQ(c.expected, chosen < 0 ? nullptr : kAvailable[chosen]) << c.why;
    }
    EXPECT_EQ(-1, ChooseLanguage(nullptr, nullptr, kAvailable, 6));
}

// The compiled tables: a chosen translation answers in its words, and English stays the
// designed text under every choice that does not pick another language.
TEST(LanguageChoiceTest, CompiledLanguagesAndFilledTexts) {
    const std::u16string english = Preferred({u"en-GB", u"de"});
    const size_t german = ChooseTextLanguage(u"de-CH", nullptr);
    ASSERT_STREQ("de", LanguageTag(german));
    EXPECT_EQ(std::u16string(u"Datei"), TextIn(german, TextId::kMenuFile));
    EXPECT_EQ(kEnglish, ChooseTextLanguage(nullptr, english.c_str()));
    EXPECT_EQ(kEnglish, ChooseTextLanguage(u"xx", nullptr));
    const size_t pseudo = ChooseTextLanguage(u"qps-ploc", nullptr);
    ASSERT_STREQ("qps-ploc", LanguageTag(pseudo));
    const std::u16string longer = TextIn(pseudo, TextId::kMenuAddTask);
    EXPECT_EQ(u'[', longer.front());
    EXPECT_NE(std::u16string::npos, longer.find(u"]\t(Insert)"));
    EXPECT_EQ(std::u16string(u"Add New Task...\t(Insert)"), TextIn(kEnglish, TextId::kMenuAddTask));
    EXPECT_EQ(TextIn(kEnglish, TextId::kMenuFile), TextIn(LanguageCount(), TextId::kMenuFile));

    EXPECT_EQ(u"7 of 3, {2} {", FormatText(u"{1} of {0}, {2} {", {u"3", u"7"}));
}

TEST(LanguageChoiceTest, RightToLeftLanguages) {
    const std::pair<const char*, bool> cases[] = {
        {"qps-plocm", true}, {"QPS-PLOCM", true}, {"he", true},        {"ar-EG", true},
        {"fa", true},        {"ur-PK", true},     {"qps-ploc", false}, {"qps-plocmx", false},
        {"en", false},       {"de", false},       {"heb", false},      {"arx-EG", false},
        {"", false},         {nullptr, false},
    };
    for (const auto& [tag, expected] : cases) {
        EXPECT_EQ(expected, IsRightToLeft(tag)) << (tag ? tag : "null");
    }
    EXPECT_TRUE(IsRightToLeft(LanguageTag(ChooseTextLanguage(u"qps-plocm", nullptr))));
}

}  // namespace
