#include "tasks/folder_status.h"
#include "tests/store/item_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "store/folder_key.h"
#include "store/status/profile.h"
#include "store/status/profile_format.h"
#include "store/test_support.h"
#include "text/text_encoding.h"

#ifdef _WIN32
#include <windows.h>

#include "win/unique_handle.h"
#else
#include <sys/stat.h>
#endif

namespace {

TaskRecord Task(int priority, bool done) {
    TaskRecord record;
    record.title = Base64Encode("task " + std::to_string(priority));
    record.done = done;
    record.doneDate = "2014-08-12";
    record.priority = priority;
    return record;
}

class FolderStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        statusFile = Utf16Path(dir / "pelmora.ini");
        ASSERT_TRUE(OpenTaskStore(store, Utf8Path(dir / "pelmora.db")));
    }

    // Creates the item's table with `total` tasks of which `done` are done.
    std::string AddItem(const std::u16string& name, int total, int done) {
        const std::string key = FolderKey(name);
        store.table = TaskTableName(key);
        EXPECT_TRUE(CreateTaskTable(store));
        for (int i = 0; i < total; ++i) EXPECT_TRUE(InsertTask(store, Task(i, i < done)));
        return key;
    }

    int StatusOf(const std::string& key, int missing = -1) {
        return ProfileReadInt(statusFile, kStatusSection, Utf8ToUtf16(key), missing);
    }

    ScratchDir dir;
    std::u16string statusFile;
    TestStore store;
};

TEST_F(FolderStatusTest, PathIsBesideTheDatabase) {
    EXPECT_EQ(StatusFilePath(u"C:\\Work\\pelmora.db"), u"C:\\Work\\pelmora.ini");
    EXPECT_EQ(StatusFilePath(u"\\\\server\\share\\x\\pelmora.db"),
              u"\\\\server\\share\\x\\pelmora.ini");
    EXPECT_EQ(StatusFilePath(u"pelmora.db"), u"pelmora.ini");
}

TEST_F(FolderStatusTest, WritingAnEntryReplacesItsOldValue) {
    const std::string key = FolderKey(u"Alpha");
    ASSERT_TRUE(WriteFolderStatus(statusFile, key, FolderStatus::kLessThanHalf));
    ASSERT_TRUE(WriteFolderStatus(statusFile, FolderKey(u"Beta"), FolderStatus::kAllDone));
    ASSERT_TRUE(WriteFolderStatus(statusFile, key, FolderStatus::kAtLeastHalf));
    EXPECT_EQ(StatusOf(key), 2);
    EXPECT_EQ(StatusOf(FolderKey(u"Beta")), 3);
    EXPECT_EQ(StatusOf(FolderKey(u"alpha")), -1);
    const std::string text = ReadFileBytes(dir / "pelmora.ini");
    EXPECT_EQ(text.find(key), text.rfind(key)) << "one line per key:\n" << text;
}

// A write that fails after its temporary file was made (here the final rename is refused: a
// folder holds the file's name) fails and leaves nothing new in the user's folder.
TEST_F(FolderStatusTest, AFailedWriteLeavesNoTemporaryFileBehind) {
    std::filesystem::create_directories(dir / "pelmora.ini" / "kept");
    EXPECT_FALSE(WriteFolderStatus(statusFile, FolderKey(u"Alpha"), FolderStatus::kAllDone));
    for (const bool replace : {false, true}) {
        EXPECT_FALSE(PublishStatusEntries(
            statusFile, {{FolderKey(u"Alpha"), FolderStatus::kAllDone}}, replace));
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
        names.push_back(Utf8Path(entry.path().lexically_relative(dir.path())));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"pelmora.db", "pelmora.ini",
                                        Utf8Path(std::filesystem::path("pelmora.ini") / "kept")}));
}

TEST_F(FolderStatusTest, StartingFreshRemovesTheFileAndToleratesNone) {
    ASSERT_TRUE(WriteFolderStatus(statusFile, FolderKey(u"Alpha"), FolderStatus::kLessThanHalf));
    EXPECT_TRUE(StartFreshStatusFile(statusFile));
    EXPECT_FALSE(PathExists(statusFile));
    EXPECT_TRUE(StartFreshStatusFile(statusFile));
    EXPECT_FALSE(PathExists(statusFile));
}

TEST_F(FolderStatusTest, RebuildWritesOneEntryPerTableAndDropsStaleOnes) {
    const std::string half = AddItem(u"Alpha", 4, 2);
    const std::string some = AddItem(u"\u00DCbung", 3, 1);
    const std::string all = AddItem(u"report.txt", 2, 2);
    const std::string none = AddItem(u"Empty", 0, 0);
    const std::string gone = FolderKey(u"Renamed");
    ASSERT_TRUE(WriteFolderStatus(statusFile, gone, FolderStatus::kAllDone));
    ASSERT_TRUE(RebuildStatusFile(store, statusFile));
    EXPECT_EQ(StatusOf(half), 2);
    EXPECT_EQ(StatusOf(some), 1);
    EXPECT_EQ(StatusOf(all), 3);
    EXPECT_EQ(StatusOf(none), 0);
    EXPECT_EQ(StatusOf(gone), -1);
}

TEST_F(FolderStatusTest, RebuildOverADatabaseWithoutTablesLeavesTheFileUntouched) {
    const std::string original = "[pelmora]\r\nsomething=3\r\n; a comment\r\n";
    WriteFileBytes(dir / "pelmora.ini", original);
    ASSERT_TRUE(RebuildStatusFile(store, statusFile));
    EXPECT_EQ(ReadFileBytes(dir / "pelmora.ini"), original);
}

TEST_F(FolderStatusTest, RebuildOverAnUnreadableDatabaseLeavesTheFileUntouched) {
    const std::string original = "[pelmora]\r\nabc=2\r\n";
    WriteFileBytes(dir / "pelmora.ini", original);
    TestStore broken;
    ASSERT_TRUE(OpenThenReplaceBytes(broken, dir / "broken.db", std::string(2048, 'x')));
    EXPECT_FALSE(RebuildStatusFile(broken, statusFile));
    EXPECT_EQ(ReadFileBytes(dir / "pelmora.ini"), original);
}

TEST_F(FolderStatusTest, RebuildSkipsTableNamesThatWouldCorruptTheFile) {
    const std::string alpha = AddItem(u"Alpha", 1, 1);
    for (const char* name : {"tbl_x\r\n[other]\r\ny", "tbl_k=3", "tbl_]", "tbl_[pelmora]",
                             "tbl_ pad", "tbl_;comment", "short"}) {
        RunSql(store, "CREATE TABLE " + SqlTableName(name) + " (done INTEGER);");
    }
    RunSql(store, "CREATE TABLE other_table (done INTEGER);");
    ASSERT_TRUE(RebuildStatusFile(store, statusFile));
    EXPECT_EQ(StatusOf(alpha), 3);
    EXPECT_EQ(StatusOf("r_table"), -1);  // not one of the program's table names: no entry
    const std::string text = ReadFileBytes(dir / "pelmora.ini");
    EXPECT_EQ(text.find("other]"), std::string::npos) << text;
    EXPECT_EQ(text.find("k="), std::string::npos) << text;
    EXPECT_EQ(text.find("comment"), std::string::npos) << text;
    EXPECT_EQ(text.find("[", 1), std::string::npos) << "one section only:\n" << text;
}

TEST_F(FolderStatusTest, KeyOfATableIsItsNameWithoutThePrefix) {
    std::string key;
    ASSERT_TRUE(StatusKeyOfTable("tbl_900150983cd24fb0d6963f7d28e17f72", key));
    EXPECT_EQ(key, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_FALSE(StatusKeyOfTable("abcdef", key));
    EXPECT_FALSE(StatusKeyOfTable("tbl_x", key));
    EXPECT_FALSE(StatusKeyOfTable("tbl_900150983CD24FB0D6963F7D28E17F72", key));
    EXPECT_FALSE(StatusKeyOfTable("tbl_900150983cd24fb0d6963f7d28e17f7", key));
    EXPECT_FALSE(StatusKeyOfTable("tbl_900150983cd24fb0d6963f7d28e17f722", key));
    EXPECT_FALSE(StatusKeyOfTable("tbl_900150983cd24fb0d6963f7d28e17f7g", key));
    EXPECT_EQ(key, "900150983cd24fb0d6963f7d28e17f72");  // untouched by a refusal
}

TEST_F(FolderStatusTest, ADecoyTableCannotSetAnotherItemsEntry) {
    const std::string alpha = AddItem(u"Alpha", 2, 0);
    // Listed after the real table, so under the old rule it would have won.
    RunSql(store, "CREATE TABLE zzzz" + alpha + " (done INTEGER);");
    RunSql(store, "INSERT INTO zzzz" + alpha + " VALUES (1);");
    ASSERT_TRUE(RebuildStatusFile(store, statusFile));
    EXPECT_EQ(StatusOf(alpha), 1);
}

}  // namespace

namespace {

std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Every operation writes the file once, with the bytes the entries written one at a time would
// give, keeping every other line as it was.
TEST_F(FolderStatusTest, OneWriteOfManyEntriesIsTheirWritesOneAfterAnother) {
    const std::string foreign = "\xEF\xBB\xBF; kept\r\n[a]\r\nk = 1\r\n\r\n[Pelmora]\r\n  " +
                                FolderKey(u"Old") + " = 2 \r\n\r\n[z]\n";
    std::vector<StatusEntry> entries;
    for (const char16_t* name : {u"Alpha", u"OLD", u"Old", u"Beta", u"Alpha"}) {
        entries.push_back({FolderKey(name), static_cast<FolderStatus>(entries.size() % 4)});
    }
    for (const std::string& start : {std::string(), foreign}) {
        WriteFileBytes(dir / "pelmora.ini", start);
        std::string oneByOne = start;
        for (const StatusEntry& entry : entries) {
            const std::u16string value(
                1, static_cast<char16_t>(u'0' + static_cast<int>(entry.status)));
            oneByOne =
                *profile_format::WithEntry(oneByOne, kStatusSection, Utf8ToUtf16(entry.key), value);
        }
        ASSERT_TRUE(PublishStatusEntries(statusFile, entries, false));
        EXPECT_EQ(ReadFileBytes(dir / "pelmora.ini"), oneByOne);
    }
    EXPECT_EQ(FilesIn(dir.path()).size(), 2u) << "pelmora.db and pelmora.ini, nothing beside";
}

// Two connections, as two programs have: each writes entries of its own items, one operation
// after another. Without the shared lock one would read the file, the other replace it, and the
// first then write back a file without the other's new entry.
TEST_F(FolderStatusTest, WritersOnTwoConnectionsLoseNoEntry) {
    constexpr int kEach = 40;
    std::vector<std::string> keys[2];
    for (int i = 0; i < kEach; ++i) {
        keys[0].push_back(AddItem(u"A" + Utf8ToUtf16(std::to_string(i)), 1, 1));
        keys[1].push_back(AddItem(u"B" + Utf8ToUtf16(std::to_string(i)), 1, 1));
    }
    std::atomic<int> failures{0};
    const auto writer = [&](const std::vector<std::string>& own) {
        TestStore connection;
        if (!OpenTaskStore(connection, Utf8Path(dir / "pelmora.db"))) ++failures;
        for (const std::string& key : own) {
            if (!RefreshStatusEntries(connection, statusFile, {key})) ++failures;
        }
    };
    std::thread first(writer, keys[0]);
    std::thread second(writer, keys[1]);
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    const auto entries = ReadStatusEntries(statusFile);
    EXPECT_EQ(entries.size(), 2u * kEach);
    for (const auto& own : keys) {
        for (const std::string& key : own) EXPECT_EQ(StatusOf(key), 3) << key;
    }
}

// A writer merges its entries into the file, so it reads the file first: one that is there but
// cannot be read, or is larger than the overlays read, is never taken for an empty one. Nothing
// is written over it, and the failure says why. A rebuild reads no old file and replaces it.
TEST_F(FolderStatusTest, AFileThatCannotBeReadIsNeverWrittenOver) {
    const std::string alpha = AddItem(u"Alpha", 1, 1);
    const std::filesystem::path file = dir / "pelmora.ini";
    const std::string large =
        "[pelmora]\r\n" + alpha + "=1\r\n;" + std::string(kMaxProfileFileBytes, 'x') + "\r\n";
    WriteFileBytes(file, large);
    StatusWriteResult result = RefreshStatusEntries(store, statusFile, {alpha});
    EXPECT_FALSE(result);
    EXPECT_EQ(result.fileFailure, FileFailure::kTooLarge);
    EXPECT_TRUE(ReadFileBytes(file) == large) << "the file was rewritten";
    ASSERT_TRUE(RebuildStatusFile(store, statusFile));
    EXPECT_EQ(StatusOf(alpha), 3);

    const std::string original = "[pelmora]\r\n" + FolderKey(u"Beta") + "=2\r\n";
    WriteFileBytes(file, original);
    {
#ifdef _WIN32
        // Held by a program that lets it be deleted (and so replaced) but not read.
        const UniqueFileHandle holder(CreateFileW(file.wstring().c_str(), GENERIC_READ,
                                                  FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
#else
        // A pipe in the file's place: opened, but no file to read.
        std::filesystem::remove(file);
        ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
#endif
        result = WriteFolderStatus(statusFile, alpha, FolderStatus::kAllDone);
        EXPECT_FALSE(result);
        EXPECT_NE(result.fileFailure, FileFailure::kNone);
#ifndef _WIN32
        EXPECT_TRUE(std::filesystem::is_fifo(file)) << "the pipe was replaced";
        std::filesystem::remove(file);
        WriteFileBytes(file, original);
#endif
    }
    EXPECT_EQ(ReadFileBytes(file), original);
}

TEST_F(FolderStatusTest, WritersWaitForTheDatabaseWriteLockAndWriteNothingWithoutIt) {
    const std::string alpha = AddItem(u"Alpha", 2, 2);
    const std::string original = "[pelmora]\r\n" + alpha + "=1\r\n";
    WriteFileBytes(dir / "pelmora.ini", original);
    TestStore other;
    ASSERT_TRUE(OpenTaskStore(other, Utf8Path(dir / "pelmora.db")));
    RunSql(other, "BEGIN IMMEDIATE;");
    const StatusWriteResult rebuilt = RebuildStatusFile(store, statusFile);
    EXPECT_FALSE(rebuilt);
    EXPECT_EQ(rebuilt.storeFailure, StoreFailure::kBusy);
    EXPECT_EQ(ReadFileBytes(dir / "pelmora.ini"), original);
    RunSql(other, "COMMIT;");
    ASSERT_TRUE(RefreshStatusEntries(store, statusFile, {alpha}));
    EXPECT_EQ(StatusOf(alpha), 3);
}

}  // namespace
