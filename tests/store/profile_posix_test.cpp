// The POSIX binding of the profile functions: how it puts the format's bytes on disk.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "store/status/profile.h"
#include "store/test_support.h"

namespace {

class ProfilePosixTest : public ::testing::Test {
protected:
    std::filesystem::path file() const { return dir / "pelmora.ini"; }
    std::u16string path() const { return Utf16Path(file()); }
    ScratchDir dir;
};

TEST_F(ProfilePosixTest, WritesTheFormatAndLeavesNothingBeside) {
    ASSERT_TRUE(ProfileWriteString(path(), u"pelmora", u"abc", u"1"));
    ASSERT_TRUE(ProfileWriteString(path(), u"pelmora", u"ABC", u"2"));
    EXPECT_EQ(ReadFileBytes(file()), "[pelmora]\r\nabc=2\r\n");
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename(), "pelmora.ini");
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST_F(ProfilePosixTest, FailsWithoutTheFolderAndCreatesNothing) {
    const std::u16string missing = Utf16Path(dir / "gone" / "pelmora.ini");
    EXPECT_FALSE(ProfileWriteString(missing, u"pelmora", u"abc", u"1"));
    EXPECT_FALSE(std::filesystem::exists(dir / "gone"));
}

// Two writers on one file: each publishes a complete file of its own, so every read in between
// and the file at the end is exactly one writer's result, never a mixture or a truncated file.
TEST_F(ProfilePosixTest, RacingWritersAlwaysLeaveOneCompleteFile) {
    // Large values, so that one write takes many system calls and a shared temporary file
    // would be caught half-written.
    const std::u16string valueA(200000, u'1');
    const std::u16string valueB(200000, u'2');
    const std::string fileA = "[pelmora]\r\nk=" + std::string(valueA.size(), '1') + "\r\n";
    const std::string fileB = "[pelmora]\r\nk=" + std::string(valueB.size(), '2') + "\r\n";
    ASSERT_TRUE(ProfileWriteString(path(), u"pelmora", u"k", valueA));

    std::atomic<bool> stop{false};
    std::atomic<int> failedWrites{0};
    const auto writer = [&](const std::u16string& value) {
        for (int round = 0; round < 40; ++round) {
            if (!ProfileWriteString(path(), u"pelmora", u"k", value)) ++failedWrites;
        }
    };
    std::vector<std::string> badReads;
    std::thread reader([&] {
        while (!stop) {
            const std::string bytes = ReadFileBytes(file());
            if (bytes != fileA && bytes != fileB) badReads.push_back(bytes.substr(0, 40));
        }
    });
    std::thread first(writer, valueA);
    std::thread second(writer, valueB);
    first.join();
    second.join();
    stop = true;
    reader.join();

    EXPECT_EQ(failedWrites, 0);
    EXPECT_TRUE(badReads.empty()) << badReads.size() << " reads saw a partial file";
    const std::string final = ReadFileBytes(file());
    EXPECT_TRUE(final == fileA || final == fileB);
}

}  // namespace
