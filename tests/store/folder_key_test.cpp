#include "store/folder_key.h"
#include "store/folder_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text/text_encoding.h"

namespace {

std::string Md5Hex(const std::string& bytes) {
    Md5Context ctx;
    Md5Init(ctx);
    Md5Update(ctx, bytes.data(), bytes.size());
    Md5Final(ctx);
    return ctx.hex;
}

TEST(Md5Test, MatchesTheRfc1321TestSuite) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("1234567890123456789012345678901234567890"
                     "1234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Test, PiecewiseUpdatesGiveTheSameDigest) {
    // Lengths around the 56- and 64-byte padding boundaries, fed in uneven pieces.
    for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
        std::string bytes;
        for (size_t i = 0; i < length; ++i) bytes += static_cast<char>('a' + i * 7 % 26);
        Md5Context ctx;
        Md5Init(ctx);
        for (size_t pos = 0; pos < length; pos += 13) {
            Md5Update(ctx, bytes.data() + pos, std::min<size_t>(13, length - pos));
        }
        Md5Final(ctx);
        EXPECT_EQ(std::string(ctx.hex), Md5Hex(bytes)) << length;
    }
}

TEST(Md5Test, BlockBoundaryLengthsMatchAnIndependentDigest) {
    // Runs of "a" at the lengths where the padding changes shape: 55 bytes still take the
    // length in the same block, 56 push it into a second one, 63 and 64 end at the block edge.
    // The digests were computed with GNU coreutils' md5sum, not with this implementation.
    const std::pair<size_t, const char*> expected[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"},  {56, "3b0c8ac703f828b04c6c197006d17218"},
        {57, "652b906d60af96844ebd21b674f35e93"},  {63, "b06521f39153d618550606be297466d5"},
        {64, "014842d480b571495a4a0363793f7367"},  {65, "c743a45e0d2e6a95cb859adae0248435"},
        {119, "8a7bd0732ed6a28ce75f6dabc90e1613"}, {120, "5f61c0ccad4cac44c75ff505e1f1e537"},
    };
    for (const auto& [length, digest] : expected) {
        EXPECT_EQ(Md5Hex(std::string(length, 'a')), digest) << length;
        // The folder key of a name of that many "a" is the same digest.
        EXPECT_EQ(FolderKey(std::u16string(length, u'a')), digest) << length;
    }
}

TEST(Md5Test, FinalClearsTheWorkingStateAndKeepsTheResult) {
    Md5Context ctx;
    Md5Init(ctx);
    Md5Update(ctx, "abc", 3);
    Md5Final(ctx);
    const Md5Context zero{};
    EXPECT_EQ(std::memcmp(ctx.state, zero.state, sizeof ctx.state), 0);
    EXPECT_EQ(std::memcmp(ctx.count, zero.count, sizeof ctx.count), 0);
    EXPECT_EQ(std::memcmp(ctx.buffer, zero.buffer, sizeof ctx.buffer), 0);
    EXPECT_EQ(ctx.digest[0], 0x90);
    EXPECT_EQ(ctx.digest[15], 0x72);
    EXPECT_STREQ(ctx.hex, "900150983cd24fb0d6963f7d28e17f72");
}

TEST(FolderKeyTest, HashesTheUtf8BytesOfTheName) {
    EXPECT_EQ(FolderKey(u"abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(FolderKey(u"\u00DCbung"), Md5Hex("\xC3\x9C\x62\x75\x6E\x67"));
    EXPECT_EQ(FolderKey(u""), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(FolderKeyTest, LetterCaseMatters) {
    EXPECT_NE(FolderKey(u"Proj"), FolderKey(u"proj"));
    EXPECT_EQ(FolderKey(u"Proj"), Md5Hex("Proj"));
}

TEST(FolderKeyTest, LongAndUnusualNamesHashLikeTheirUtf8Form) {
    // Names long enough to cross the key's internal chunking, with four-byte characters and
    // an unpaired surrogate, must hash exactly the bytes Utf16ToUtf8 gives.
    std::u16string names[] = {std::u16string(300, u'\u4EFB'), std::u16string(32767, u'x'),
                              u"a\U0001F600b", std::u16string{u'x', 0xD800, u'y'}};
    names[1][251] = 0xD83D;  // a four-byte character right at a chunk boundary
    names[1][252] = 0xDE00;
    for (const auto& name : names) EXPECT_EQ(FolderKey(name), Md5Hex(Utf16ToUtf8(name)));
}

TEST(FolderKeyTest, TableNameIsTblAndTheKey) {
    const std::string table = TaskTableName(FolderKey(u"abc"));
    EXPECT_EQ(table, "tbl_900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(table.size(), 36u);
}

TEST(FolderKeyTest, NameIsTheLastPathComponent) {
    EXPECT_EQ(FolderNameOf(u"C:\\Work\\Alpha"), u"Alpha");
    EXPECT_EQ(FolderNameOf(u"C:\\"), u"");
    EXPECT_EQ(FolderNameOf(u"C:\\Work\\"), u"");
    EXPECT_EQ(FolderNameOf(u"plain"), u"plain");
    EXPECT_NE(FolderKey(FolderNameOf(u"C:\\Work\\abc")), FolderKey(u"C:\\Work\\abc"));
}

TEST(FolderKeyTest, ParentFolderKeepsItsBackslashAndJoinsTheName) {
    EXPECT_EQ(ParentFolderOf(u"C:\\Work\\Alpha"), u"C:\\Work\\");
    EXPECT_EQ(ParentFolderOf(u"C:\\"), u"C:\\");
    EXPECT_EQ(ParentFolderOf(u"\\\\server\\share"), u"\\\\server\\");
    EXPECT_EQ(ParentFolderOf(u"plain"), u"");
    for (const std::u16string path : {u"C:\\Work\\Alpha", u"C:\\", u"plain", u"a\\b\\"}) {
        EXPECT_EQ(std::u16string(ParentFolderOf(path)) + std::u16string(FolderNameOf(path)), path);
    }
}

}  // namespace
