#include "text/text_encoding.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

struct Base64Vector {
    const char* plain;
    const char* encoded;
};

// RFC 4648, section 10.
constexpr Base64Vector kRfc4648[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

TEST(Base64Test, EncodesTheRfcVectors) {
    for (const auto& v : kRfc4648) EXPECT_EQ(Base64Encode(v.plain), v.encoded) << v.plain;
}

TEST(Base64Test, DecodesTheRfcVectors) {
    for (const auto& v : kRfc4648) EXPECT_EQ(Base64Decode(v.encoded), v.plain) << v.encoded;
}

TEST(Base64Test, UsesTheStandardAlphabetForHighBits) {
    EXPECT_EQ(Base64Encode("\xFB\xFF\xBF"), "+/+/");
    EXPECT_EQ(Base64Decode("+/+/"), "\xFB\xFF\xBF");
    EXPECT_EQ(Base64Encode("Buy milk"), "QnV5IG1pbGs=");
}

TEST(Base64Test, RoundTripsTextWithQuotesLineBreaksAndNonAscii) {
    const std::string texts[] = {"it's \"done\"\r\nnext line",
                                 "\xC3\x9C"
                                 "bung \xE2\x82\xAC",
                                 std::string(1000, 'x') + "'", "\xF0\x9F\x98\x80"};
    for (const auto& text : texts) {
        const std::string encoded = Base64Encode(text);
        EXPECT_EQ(encoded.size(), (text.size() + 2) / 3 * 4);
        EXPECT_EQ(encoded.find_first_of("'\r\n "), std::string::npos);
        EXPECT_EQ(Base64Decode(encoded), text);
    }
}

TEST(Base64Test, DecodingStopsAtTheFirstForeignCharacter) {
    EXPECT_EQ(Base64Decode("Zm9v YmFy"), "foo");
    EXPECT_EQ(Base64Decode("Zm9vYmFy\n"), "foobar");
    EXPECT_EQ(Base64Decode("Zm9v-YmFy"), "foo");  // URL-safe alphabet is foreign here
    EXPECT_EQ(Base64Decode("Zg==Zm9v"), "f");     // nothing after the padding counts
    EXPECT_EQ(Base64Decode("'; drop table x;--"), "");
    EXPECT_EQ(Base64Decode("\xC3\x9C"), "");
}

TEST(Base64Test, IncompleteFinalGroups) {
    EXPECT_EQ(Base64Decode("Zm9vY"), "foo");  // a lone character gives nothing
    EXPECT_EQ(Base64Decode("Zm9vYg"), "foob");
    EXPECT_EQ(Base64Decode("Zm9vYmE"), "fooba");
}

TEST(Base64Test, ADecodedZeroByteEndsTheResult) {
    EXPECT_EQ(Base64Decode(Base64Encode(std::string("ab\0cd", 5))), "ab");
}

TEST(TrimSpacesTest, RemovesOnlyOuterSpaces) {
    EXPECT_EQ(TrimSpaces("   "), "");
    EXPECT_EQ(TrimSpaces(""), "");
    EXPECT_EQ(TrimSpaces("  two  words  "), "two  words");
    EXPECT_EQ(TrimSpaces("\tword\t"), "\tword\t");
    EXPECT_EQ(TrimSpaces(" \r\nx\r\n "), "\r\nx\r\n");
    EXPECT_EQ(TrimSpaces("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");  // no-break spaces stay
}

TEST(TrimSpacesTest, ViewsIntoTheGivenText) {
    const std::string text = "  abc ";
    const std::string_view trimmed = TrimSpaces(text);
    EXPECT_EQ(trimmed.data(), text.data() + 2);
    EXPECT_EQ(trimmed.size(), 3u);
}

TEST(Utf16ToUtf8Test, EncodesEveryLength) {
    EXPECT_EQ(Utf16ToUtf8(u""), "");
    EXPECT_EQ(Utf16ToUtf8(u"abc"), "abc");
    EXPECT_EQ(Utf16ToUtf8(u"\u00DCbung"),
              "\xC3\x9C"
              "bung");
    EXPECT_EQ(Utf16ToUtf8(u"\u20AC"), "\xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(u"\uFFFF"), "\xEF\xBF\xBF");
}

TEST(Utf16ToUtf8Test, UnpairedSurrogatesBecomeReplacementCharacters) {
    const std::u16string loneHigh = {u'a', 0xD83D, u'b'};
    const std::u16string loneLow = {0xDE00, u'a'};
    const std::u16string highAtEnd = {u'a', 0xD83D};
    const std::u16string reversed = {0xDE00, 0xD83D};
    EXPECT_EQ(Utf16ToUtf8(loneHigh),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf16ToUtf8(loneLow),
              "\xEF\xBF\xBD"
              "a");
    EXPECT_EQ(Utf16ToUtf8(highAtEnd), "a\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(reversed), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf8ToUtf16Test, DecodesEveryLength) {
    EXPECT_EQ(Utf8ToUtf16(""), u"");
    EXPECT_EQ(Utf8ToUtf16("\xC3\x9C"
                          "bung"),
              u"\u00DCbung");
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

TEST(CodePointTest, TheTopOfEverySupplementaryPlaneSurvivesBothWays) {
    // U+xFFFF of planes 1 to 16 and the first code point of plane 1: the last values before
    // each boundary where the surrogate arithmetic or the four-byte test could be off by one.
    const struct {
        char32_t cp;
        const char* utf8;
    } cases[] = {
        {0x10000, "\xF0\x90\x80\x80"},  {0x1FFFF, "\xF0\x9F\xBF\xBF"},
        {0x20000, "\xF0\xA0\x80\x80"},  {0xFFFFF, "\xF3\xBF\xBF\xBF"},
        {0x100000, "\xF4\x80\x80\x80"}, {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& c : cases) {
        const char32_t offset = c.cp - 0x10000;
        const std::u16string pair = {static_cast<char16_t>(0xD800 + (offset >> 10)),
                                     static_cast<char16_t>(0xDC00 + (offset & 0x3FF))};
        EXPECT_EQ(Utf16ToUtf8(pair), c.utf8) << std::hex << c.cp;
        EXPECT_EQ(Utf8ToUtf16(c.utf8), pair) << std::hex << c.cp;
        size_t pos = 0;
        EXPECT_EQ(NextCodePoint(pair, pos), c.cp);
        EXPECT_EQ(pos, 2u);
        char out[4] = {};
        ASSERT_EQ(EncodeUtf8(c.cp, out), 4u);
        EXPECT_EQ(std::string(out, 4), c.utf8);
    }
    // The highest surrogate pair is U+10FFFF; one past it in UTF-8 is refused.
    const std::u16string highest = {0xDBFF, 0xDFFF};
    size_t pos = 0;
    EXPECT_EQ(NextCodePoint(highest, pos), 0x10FFFFu);
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), std::u16string(4, 0xFFFD));
    // The last three-byte code point, just below the first four-byte one.
    char out[4] = {};
    EXPECT_EQ(EncodeUtf8(0xFFFF, out), 3u);
}

TEST(Utf8ToUtf16Test, MalformedInputBecomesReplacementCharacters) {
    const char16_t r = 0xFFFD;
    EXPECT_EQ(Utf8ToUtf16("\x80"), std::u16string(1, r));              // stray continuation
    EXPECT_EQ(Utf8ToUtf16("\xC0\x80"), std::u16string(2, r));          // overlong NUL
    EXPECT_EQ(Utf8ToUtf16("\xE0\x80\xAF"), std::u16string(3, r));      // overlong slash
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), std::u16string(3, r));      // surrogate D800
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), std::u16string(4, r));  // past U+10FFFF
    EXPECT_EQ(Utf8ToUtf16("\xF5\xFF"), std::u16string(2, r));
    EXPECT_EQ(Utf8ToUtf16("a\xE2\x82"), (std::u16string{u'a', r}));  // truncated at the end
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82z"), (std::u16string{r, u'z'}));  // truncated in the middle
}

TEST(Utf8ToUtf16Test, WellFormedTextRoundTrips) {
    const std::u16string texts[] = {u"Task \u00E9t\u00E9 \u4EFB\u52A1 \U0001F4DD", u"a'b\r\nc",
                                    std::u16string(5000, u'\u00DC')};
    for (const auto& text : texts) EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
}

// Checks that `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF), independently of the converter under test.
bool IsWellFormedUtf8(const std::string& bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        size_t n;
        uint32_t cp;
        if (b < 0x80) {
            n = 1;
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            n = 2;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            n = 3;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            n = 4;
            cp = b & 0x07;
        } else
            return false;
        if (i + n > bytes.size()) return false;
        for (size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        const uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < minimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

// Random input of every kind, with a fixed seed so that a failure repeats.
TEST(TextPropertiesTest, ArbitraryInputAlwaysConvertsToWellFormedText) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 40, '\0');
        for (char& c : bytes) c = static_cast<char>(random() % 256);
        const std::u16string wide = Utf8ToUtf16(bytes);
        const std::string back = Utf16ToUtf8(wide);
        ASSERT_TRUE(IsWellFormedUtf8(back)) << round;
        // Once well-formed, text converts without loss in both directions.
        ASSERT_EQ(Utf8ToUtf16(back), wide) << round;
        // Base64 keeps every byte except that a zero byte ends the decoded text.
        ASSERT_EQ(Base64Decode(Base64Encode(bytes)), bytes.substr(0, bytes.find('\0'))) << round;

        std::u16string units(random() % 20, u'\0');
        for (char16_t& c : units)
            c = static_cast<char16_t>(random() % 3 ? random() % 0x10000
                                                   : 0xD800 + random() % 0x800);
        ASSERT_TRUE(IsWellFormedUtf8(Utf16ToUtf8(units))) << round;
    }
}

}  // namespace
