// The overlays' parser of the status file against the portable profile reader and, on Windows,
// the system's own: all three must read every file alike, or an overlay would disagree with what
// the program and pelmora-cli read.
#include "store/status/status_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/folder_key.h"
#include "store/status/profile_format.h"
#include "store/test_support.h"
#include "text/text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr char kA[] = "900150983cd24fb0d6963f7d28e17f72";
constexpr char kB[] = "d41d8cd98f00b204e9800998ecf8427e";
constexpr int kMissing = -7;

int TableValue(const std::string& bytes, const char* key) {
    std::vector<StatusTableEntry> entries(MaxStatusEntries(bytes.size()));
    const size_t count = ParseStatusTable(reinterpret_cast<const unsigned char*>(bytes.data()),
                                          bytes.size(), entries.data(), entries.size());
    return LookUpStatus(entries.data(), count, key, kMissing);
}

std::string Utf16File(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::vector<std::string> Files() {
    const std::string a = kA;
    const std::string b = kB;
    return {
        "[pelmora]\r\n" + a + "=3\r\n" + b + "=2\r\n",
        "[ Pelmora ]\r\n  " + a + " = 12 \r\n" + b + "=-3\r\n",
        "\t[pelmora]\t\r\n\t" + a + "\t=\t2\t\r\n" + b + "=\t1x\r\n",
        "[pelmora]\r\n" + a + "=1\r\n" + a + "=2\r\n" + Upper(b) + "=3\r\n" + b + "=1",
        "[other]\r\n" + a + "=3\r\n[PELMORA]\r\n" + b + "=1\r\n[pelmora]\r\n" + a + "=2\r\n",
        "[pelmora]\r\n" + a + "\r\n" + b + "\r\n" + b + "=3\r\n",
        "[pelmora]\r\n;" + a + "=3\r\n" + b + "=\"2\"\r\n",
        "[pelmora]\r\n" + a + "=\r\n" + b + "=0x2\r\n",
        "[pelmora]\r\n" + a + "=0b11\r\n" + b + "=\" 5\"\r\n",
        "[pelmora]\r\n" + a + "=+0x1F\r\n" + b + "=0x\r\n",
        "[pelmora]\r\n" + a + "=-0o17z\r\n" + b + "=0B1\r\n",
        "\xEF\xBB\xBF[pelmora]\r\n" + a + "=3\r\n",
        "[pelmora]\n" + a + "=2\n\n" + b + "=3",
        "\r\n\r\n[pelmora]\r\n\r\n" + a + "=3\r\n\r\n" + b + "=1\r\n\r\n",
        "[pelmora]\r\n\xC3" + a + "=3\r\n\xFF\xFE\xC3\x28=1\r\n" + b + "=2\r\n",
        a + "=3\r\n[pelmora]\r\n" + b + "=1\r\n",
        "[pelmora] trailing\r\n" + a + "=3\r\n[]\r\n" + b + "=1\r\n",
        "[pelmora]\r\n" + a + a + "=3\r\n" + b.substr(1) + "=1\r\n",
        Utf16File(u"[pelmora]\r\n" + Utf8ToUtf16(a) + u"=3\r\n" + Utf8ToUtf16(b) + u" = 2\r\n"),
        Utf16File(u"[x]\r\n\u00E9=1\r\n[pelmora]\r\n" + Utf8ToUtf16(Upper(a)) + u"=1\r\n"),
        // Numbers beyond 32 bits, and longer than the system reads of a value.
        "[pelmora]\r\n" + a + "=4294967299\r\n" + b + "=-2147483649\r\n",
        "[pelmora]\r\n" + a + "=2147483648\r\n" + b + "=+4294967295\r\n",
        "[pelmora]\r\n" + a + "=0x1FFFFFFFF\r\n" + b + "=-0x80000001\r\n",
        "[pelmora]\r\n" + a + "=" + std::string(40, '9') + "\r\n" + b + "=1" +
            std::string(39, '0') + "\r\n",
        "[pelmora]\r\n" + a + "=\"" + std::string(28, ' ') + "7\"\r\n" + b + "=" +
            std::string(35, '0') + "6\r\n",
        "[pelmora]\r\n" + a + "='4'\r\n" + b + "=\"" + std::string(27, ' ') + "6\"\r\n",
        "[pelmora]\r\n" + a + "='" + std::string(29, '0') + "5'\r\n" + b + "=" +
            std::string(28, '0') + "6\r\n",
        // Units beyond Latin-1 whose low byte is "p", "9", "=" or a line break: none of them is
        // that character.
        Utf16File(u"[\u0170elmora]\r\n" + Utf8ToUtf16(a) + u"=3\r\n[pelmora]\r\n" + Utf8ToUtf16(b) +
                  u"=1\r\n"),
        Utf16File(u"[pelmora]\r\n" + Utf8ToUtf16(a.substr(0, 31)) + u"\u0132=3\r\n" +
                  Utf8ToUtf16(b) + u"\u013D2\r\n" + Utf8ToUtf16(a) + u"=1\u010A" + Utf8ToUtf16(b) +
                  u"=2\r\n"),
    };
}

TEST(StatusTableTest, ReadsEveryFileAsTheProfileReadersDo) {
    ScratchDir dir;
    int fileNumber = 0;
    for (const std::string& bytes : Files()) {
        SCOPED_TRACE(bytes);
        const std::filesystem::path file = dir / ("case" + std::to_string(++fileNumber) + ".ini");
        WriteFileBytes(file, bytes);
        for (const char* key : {kA, kB}) {
            const int portable =
                profile_format::ReadInt(bytes, u"pelmora", Utf8ToUtf16(key), kMissing);
            EXPECT_EQ(TableValue(bytes, key), portable) << key;
#ifdef _WIN32
            const std::u16string path = Utf16Path(file);
            const std::u16string wideKey = Utf8ToUtf16(key);
            const int system = static_cast<int>(
                GetPrivateProfileIntW(L"pelmora", reinterpret_cast<const wchar_t*>(wideKey.c_str()),
                                      kMissing, reinterpret_cast<const wchar_t*>(path.c_str())));
            EXPECT_EQ(TableValue(bytes, key), system) << key;
#endif
        }
    }
}

TEST(StatusTableTest, FindsEveryKeyOfALargeFileAndNothingElse) {
    // Keys in descending order with a duplicate of each: the sort must keep the first of each.
    // Half are folder keys, spread evenly, half are crowded at the low end, so the search meets
    // both kinds of spread.
    std::string bytes = "[pelmora]\r\n";
    std::vector<std::string> keys;
    for (int i = 999; i >= 0; --i) {
        char key[33];
        std::snprintf(key, sizeof key, "%032x", i * 7919);
        keys.emplace_back(i % 2 == 0 ? FolderKey(Utf8ToUtf16(std::to_string(i))) : key);
        bytes += keys.back() + "=" + std::to_string(i % 4) + "\r\n";
    }
    for (const std::string& key : keys) bytes += key + "=9\r\n";
    for (size_t i = 0; i < keys.size(); ++i) {
        ASSERT_EQ(TableValue(bytes, keys[i].c_str()), static_cast<int>((999 - i) % 4)) << keys[i];
    }
    EXPECT_EQ(TableValue(bytes, kA), kMissing);
    EXPECT_EQ(TableValue(bytes, "ffffffffffffffffffffffffffffffff"), kMissing);
    EXPECT_EQ(TableValue("", kA), kMissing);
}

}  // namespace
