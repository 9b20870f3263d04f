// The three overlay identifiers asked as Explorer asks them, against real status files.
#include <gtest/gtest.h>

#include <string_view>

#include "shellext/guids.h"
#include "store/folder_key.h"
#include "test_support.h"

#include <shellapi.h>

namespace {

class OverlayTest : public testing::Test {
protected:
    void SetUp() override {
        for (const CLSID* clsid :
             {&CLSID_PelmoraDoneOverlay, &CLSID_PelmoraHalfOverlay, &CLSID_PelmoraZeroOverlay}) {
            identifiers_.push_back(CreateExtensionObject<IShellIconOverlayIdentifier>(*clsid));
            ASSERT_TRUE(identifiers_.back());
        }
        ini_ = folder_.path().wstring() + L"\\pelmora.ini";
    }

    // Which identifiers claim `path`: "done", "half", "zero", "none", or several joined.
    std::string Claims(const wchar_t* path) {
        static const char* const kNames[] = {"done", "half", "zero"};
        std::string claims;
        for (size_t i = 0; i < identifiers_.size(); ++i) {
            const HRESULT hr = identifiers_[i]->IsMemberOf(path, FILE_ATTRIBUTE_DIRECTORY);
            EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
            if (hr == S_OK) claims += claims.empty() ? kNames[i] : std::string("+") + kNames[i];
        }
        return claims.empty() ? "none" : claims;
    }
    std::string Claims(const std::wstring& path) { return Claims(path.c_str()); }

    static std::wstring Key(const std::wstring& name) {
        return Utf8ToWide(FolderKey(
            std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size())));
    }
    void WriteStatus(const std::wstring& name, const wchar_t* value) {
        ASSERT_TRUE(WritePrivateProfileStringW(L"pelmora", Key(name).c_str(), value, ini_.c_str()));
    }
    std::wstring Item(const std::wstring& name) const {
        return folder_.path().wstring() + L"\\" + name;
    }

    ScratchDir folder_;
    std::wstring ini_;
    std::vector<ComPtr<IShellIconOverlayIdentifier>> identifiers_;
};

TEST_F(OverlayTest, EachStatusIsClaimedByExactlyItsIdentifier) {
    WriteStatus(L"zero", L"0");
    WriteStatus(L"some", L"1");
    WriteStatus(L"half", L"2");
    WriteStatus(L"done", L"3");
    EXPECT_EQ(Claims(Item(L"zero")), "none");
    EXPECT_EQ(Claims(Item(L"some")), "zero");
    EXPECT_EQ(Claims(Item(L"half")), "half");
    EXPECT_EQ(Claims(Item(L"done")), "done");
    EXPECT_EQ(Claims(Item(L"unlisted")), "none");
}

TEST_F(OverlayTest, StatusIsReadAfreshOnEveryCall) {
    WriteStatus(L"Alpha", L"1");
    EXPECT_EQ(Claims(Item(L"Alpha")), "zero");
    WriteStatus(L"Alpha", L"3");
    EXPECT_EQ(Claims(Item(L"Alpha")), "done");
    // An old file is kept; gone for a moment and back with the same size and time (a restore), it
    // is read again.
    FILETIME old;
    GetSystemTimeAsFileTime(&old);
    old.dwHighDateTime -= 1;  // some seven minutes ago
    const auto setTime = [&] {
        HANDLE file = CreateFileW(ini_.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &old));
        CloseHandle(file);
    };
    setTime();
    const std::string kept = ReadFileBytes(ini_);
    EXPECT_EQ(Claims(Item(L"Alpha")), "done");
    ASSERT_TRUE(DeleteFileW(ini_.c_str()));
    EXPECT_EQ(Claims(Item(L"Alpha")), "none");
    WriteStatus(L"Alpha", L"2");
    setTime();
    ASSERT_EQ(ReadFileBytes(ini_).size(), kept.size());
    EXPECT_EQ(Claims(Item(L"Alpha")), "half");
}

TEST_F(OverlayTest, OtherValuesAndGarbageClaimNothing) {
    WriteStatus(L"four", L"4");
    WriteStatus(L"negative", L"-3");
    WriteStatus(L"word", L"done");
    WriteStatus(L"empty", L"");
    for (const wchar_t* name : {L"four", L"negative", L"word", L"empty"}) {
        EXPECT_EQ(Claims(Item(name)), "none") << WideToUtf8(name);
    }
    std::string garbage = "\xff\xfe\x00[pelmora]\n";
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) & 0xff);
    ASSERT_TRUE(WriteFileBytes(ini_, garbage));
    EXPECT_EQ(Claims(Item(L"four")), "none");
}

TEST_F(OverlayTest, KeysAreTheExactNameAsUtf8) {
    // The key of "abc" is the RFC 1321 test value: the extension and the program agree on it.
    ASSERT_TRUE(WritePrivateProfileStringW(L"pelmora", L"900150983cd24fb0d6963f7d28e17f72", L"3",
                                           ini_.c_str()));
    EXPECT_EQ(Claims(Item(L"abc")), "done");
    EXPECT_EQ(Claims(Item(L"ABC")), "none");
    EXPECT_EQ(Claims(Item(L"Abc")), "none");
    WriteStatus(L"\u00dcbung", L"2");
    WriteStatus(L"\u65e5\u672c\u8a9e \U0001F600.txt", L"1");
    EXPECT_EQ(Claims(Item(L"\u00dcbung")), "half");
    EXPECT_EQ(Claims(Item(L"\u00fcbung")), "none");
    EXPECT_EQ(Claims(Item(L"\u65e5\u672c\u8a9e \U0001F600.txt")), "zero");
}

TEST_F(OverlayTest, PathsWithoutANameOrParentClaimNothing) {
    WriteStatus(L"", L"3");  // the key of the empty name
    EXPECT_EQ(Claims(nullptr), "none");
    EXPECT_EQ(Claims(L""), "none");
    EXPECT_EQ(Claims(folder_.path().wstring() + L"\\"), "none");
    EXPECT_EQ(Claims(L"C:\\"), "none");
    EXPECT_EQ(Claims(L"pelmora.ini"), "none");
}

TEST_F(OverlayTest, LongPathsAreAnsweredWithoutOverflow) {
    WriteStatus(L"Alpha", L"3");
    // Padded with ".\" the parent still names the real folder: up to 519 units for the status
    // file path the item is claimed, beyond that it is not.
    std::wstring parent = folder_.path().wstring() + L"\\";
    while (parent.size() + 2 <= 519 - 11) parent += L".\\";
    EXPECT_EQ(Claims(parent + L"Alpha"), "done");
    EXPECT_EQ(Claims(parent + L".\\.\\.\\Alpha"), "none");
    EXPECT_EQ(Claims(parent + std::wstring(600, L'n')), "none");
    // The longest path Windows knows, and a text without terminator in that range.
    EXPECT_EQ(Claims(folder_.path().wstring() + L"\\" +
                     std::wstring(32766 - folder_.path().wstring().size(), L'a')),
              "none");
    std::vector<wchar_t> unterminated(40000, L'a');
    unterminated[5] = L'\\';
    EXPECT_EQ(identifiers_[0]->IsMemberOf(unterminated.data(), 0), S_FALSE);
}

TEST_F(OverlayTest, AStatusFileAboveOneMegabyteIsNotRead) {
    // The entry comes first, so the file is claimed while it is small; padding a comment line
    // past the cap turns every answer into "no overlay".
    WriteStatus(L"Alpha", L"3");
    std::string bytes;
    {
        HANDLE file = CreateFileW(ini_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
            bytes.append(buffer, read);
        }
        CloseHandle(file);
    }
    const auto writeWithPadding = [&](size_t total) {
        std::string padded = bytes + ";";
        padded.append(total - padded.size() - 2, 'x');
        padded += "\r\n";
        HANDLE file =
            CreateFileW(ini_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, padded.data(), static_cast<DWORD>(padded.size()), &written, nullptr);
        CloseHandle(file);
        ASSERT_EQ(written, total);
    };
    writeWithPadding(1024 * 1024);
    EXPECT_EQ(Claims(Item(L"Alpha")), "done");  // exactly at the cap: still read
    writeWithPadding(1024 * 1024 + 1);
    EXPECT_EQ(Claims(Item(L"Alpha")), "none");
}

TEST_F(OverlayTest, OverlayInfoNamesTheLibraryAndItsIcon) {
    for (int i = 0; i < 3; ++i) {
        wchar_t file[MAX_PATH] = {};
        int index = -1;
        DWORD flags = 0;
        ASSERT_EQ(identifiers_[i]->GetOverlayInfo(file, MAX_PATH, &index, &flags), S_OK);
        EXPECT_EQ(CompareStringOrdinal(file, -1, ExtensionPath().c_str(), -1, TRUE), CSTR_EQUAL)
            << WideToUtf8(file);
        EXPECT_EQ(index, i);
        EXPECT_EQ(flags, static_cast<DWORD>(ISIOI_ICONFILE | ISIOI_ICONINDEX));
        int priority = -1;
        EXPECT_EQ(identifiers_[i]->GetPriority(&priority), S_OK);
        EXPECT_EQ(priority, i);
        // The icon Explorer would load from there exists.
        HICON icon = nullptr;
        EXPECT_EQ(ExtractIconExW(file, index, nullptr, &icon, 1), 1u);
        if (icon != nullptr) DestroyIcon(icon);
    }
}

TEST_F(OverlayTest, MissingPointersAreAnsweredWithoutWriting) {
    wchar_t file[16];
    int index = 42;
    DWORD flags = 42;
    wmemset(file, L'#', 16);
    for (const auto& identifier : identifiers_) {
        EXPECT_EQ(identifier->GetOverlayInfo(nullptr, MAX_PATH, &index, &flags), S_FALSE);
        EXPECT_EQ(identifier->GetOverlayInfo(file, 8, nullptr, &flags), S_FALSE);
        EXPECT_EQ(identifier->GetOverlayInfo(file, 8, &index, nullptr), S_FALSE);
        EXPECT_EQ(identifier->GetOverlayInfo(file, 0, &index, &flags), S_FALSE);
        EXPECT_EQ(identifier->GetPriority(nullptr), S_FALSE);
    }
    EXPECT_EQ(file[0], L'#');
    EXPECT_EQ(index, 42);
    EXPECT_EQ(flags, 42u);
    // A buffer too small for the library's path gets no cut path, and nothing past its end.
    EXPECT_EQ(identifiers_[0]->GetOverlayInfo(file, 8, &index, &flags), S_FALSE);
    EXPECT_EQ(file[0], L'\0');
    EXPECT_EQ(file[8], L'#');
    EXPECT_EQ(index, 42);
}

}  // namespace
