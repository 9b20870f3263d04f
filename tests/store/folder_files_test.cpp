#include "store/folder_files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "store/test_support.h"

namespace {

TEST(FolderFilesTest, ListingNamesEveryEntryOrNothing) {
    ScratchDir dir;
    WriteFileBytes(dir / "a.txt", "");
    std::filesystem::create_directory(dir / "Sub");
#ifndef _WIN32
    // A name that is not UTF-8 can be no item's: it is left out, and the rest still counts.
    WriteFileBytes(dir / "bad\xff", "");
#endif
    auto names = ListFolderEntries(Utf16Path(dir.path()));
    ASSERT_TRUE(names.has_value());
    std::sort(names->begin(), names->end());
    EXPECT_EQ(*names, (std::vector<std::u16string>{u".", u"..", u"Sub", u"a.txt"}));
    // The same folder named with its trailing separator.
    EXPECT_EQ(ListFolderEntries(Utf16Path(dir.path()) + u"/")->size(), 4u);
    EXPECT_FALSE(ListFolderEntries(Utf16Path(dir / "missing")).has_value());
    EXPECT_FALSE(ListFolderEntries(Utf16Path(dir / "a.txt")).has_value());
}

}  // namespace
