// Each way a folder's database can fail is told by its cause, so that no front end calls a
// healthy file damaged, and a damaged one is refused before anything is read from it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "store/folder_key.h"
#include "store/test_support.h"
#include "tests/store/item_store.h"

namespace {

const std::string kItem = TaskTableName(FolderKey(u"Item"));
const std::string kNewItem = TaskTableName(FolderKey(u"New item"));

// A database of `rows` tasks for kItem, written through a plain connection.
void MakeDatabase(const std::filesystem::path& path, int rows, int valueBytes = 10) {
    TestStore store;
    ASSERT_TRUE(OpenTaskStore(store, Utf8Path(path)));
    store.table = kItem;
    ASSERT_TRUE(CreateTaskTable(store));
    RunSql(store, "BEGIN;");
    for (int i = 0; i < rows; ++i) {
        RunSql(store, "insert into " + kItem + " values(hex(zeroblob(" +
                          std::to_string(valueBytes / 2) + ")),'',0,'2024-01-01'," +
                          std::to_string(i) + ");");
    }
    RunSql(store, "COMMIT;");
}

uint32_t PageSizeOf(const std::string& bytes) {
    return (static_cast<uint8_t>(bytes[16]) << 8) | static_cast<uint8_t>(bytes[17]);
}

TEST(DamagedFileTest, AFileCutShortOrBrokenIsRefusedAtOpenAndLeftAsItIs) {
    ScratchDir dir;
    // A file over the size that gets SQLite's quick check (only the header is compared with
    // it), and a small one that gets the check.
    MakeDatabase(dir / "large.db", 6, 900000);
    MakeDatabase(dir / "small.db", 300, 100);
    const std::string large = ReadFileBytes(dir / "large.db");
    const std::string small = ReadFileBytes(dir / "small.db");
    ASSERT_GT(large.size(), 4u * 1024 * 1024);
    const uint32_t page = PageSizeOf(large);
    const auto withoutValidCount = [](std::string bytes) {
        bytes[95] = static_cast<char>(bytes[95] + 1);  // "version valid for" no longer matches
        return bytes;
    };
    const auto brokenPage = [&](std::string bytes, size_t pageNumber) {
        for (size_t i = 0; i < page; ++i) bytes[(pageNumber - 1) * page + i] = '\x5A';
        return bytes;
    };
    const struct {
        const char* name;
        std::string bytes;
        bool damaged;
    } cases[] = {
        {"whole", large, false},
        {"whole, page count not valid", withoutValidCount(large), false},
        {"cut to half", large.substr(0, large.size() / 2), true},
        {"cut inside its last page", large.substr(0, large.size() - page / 2), true},
        {"cut inside its last page, page count not valid",
         withoutValidCount(large).substr(0, large.size() - page / 2), true},
        {"small, a page in the middle overwritten", brokenPage(small, small.size() / page / 2),
         true},
        {"no database at all", std::string(4096, 'G'), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir / "pelmora.db";
        WriteFileBytes(path, c.bytes);
        TestStore store;
        EXPECT_EQ(store.Open(Utf8Path(path)),
                  c.damaged ? StoreFailure::kDamaged : StoreFailure::kNone);
        EXPECT_EQ(store.IsOpen(), !c.damaged);
        store.Close();
        EXPECT_TRUE(ReadFileBytes(path) == c.bytes) << "the file changed";
    }
}

#ifndef _WIN32
// Every write fails by the folder's or the medium's cause, and the file stays as it was and
// readable.
TEST(WriteFailureTest, EachCauseIsToldAndTheFileIsLeftReadable) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root: chattr +i and a tmpfs of its own";
    const struct {
        const char* name;
        const char* mountOptions;  // a tmpfs of its own for the folder, or nullptr
        std::function<bool(const std::filesystem::path& folder, ScratchVolume* volume)> make;
        StoreFailure expected;
    } cases[] = {
        {"read-only file", nullptr,
         [](const auto& folder, auto*) { return SetImmutable(folder / "pelmora.db", true); },
         StoreFailure::kReadOnly},
        // The file itself may be written, but no journal can be made beside it.
        {"folder that takes no new files", nullptr,
         [](const auto& folder, auto*) { return SetImmutable(folder, true); },
         StoreFailure::kReadOnly},
        {"read-only medium", "size=1m",
         [](const auto&, ScratchVolume* volume) { return volume->MakeReadOnly(); },
         StoreFailure::kReadOnly},
        {"full disk", "size=256k",
         [](const auto&, ScratchVolume* volume) {
             volume->FillSpace();
             return true;
         },
         StoreFailure::kOther},
        // Space is left, but no entry for a journal: not read-only, and certainly not damaged.
        {"no entries left", "size=1m,nr_inodes=64",
         [](const auto&, ScratchVolume* volume) {
             volume->FillEntries();
             return true;
         },
         StoreFailure::kOther},
    };
    // A machine that lets no one mount (a container without the capability) runs the other
    // cases and reports the test as skipped, with the reason.
    std::string unmounted;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const auto folder = dir / "folder";
        std::optional<ScratchVolume> volume;
        if (c.mountOptions != nullptr) {
            volume.emplace(folder, c.mountOptions);
            if (!volume->Mounted()) {
                unmounted = volume->Why();
                continue;
            }
        } else {
            std::filesystem::create_directories(folder);
        }
        MakeDatabase(folder / "pelmora.db", 3);
        const std::string before = ReadFileBytes(folder / "pelmora.db");
        ASSERT_TRUE(c.make(folder, volume ? &*volume : nullptr));

        TestStore store;
        ASSERT_TRUE(OpenTaskStore(store, Utf8Path(folder / "pelmora.db")));
        EXPECT_EQ(TaskTable(store, kNewItem).Create(), c.expected);
        store.table = kItem;
        TaskRecord task;
        task.title = "bmV3";
        EXPECT_EQ(store.Table().Append(task).Failure(), c.expected);
        const auto tasks = LoadTasks(store);
        EXPECT_EQ(tasks ? tasks->size() : 0u, 3u);
        store.Close();

        if (!volume) {
            EXPECT_TRUE(SetImmutable(folder, false));
            EXPECT_TRUE(SetImmutable(folder / "pelmora.db", false));
        }
        EXPECT_TRUE(ReadFileBytes(folder / "pelmora.db") == before) << "the file changed";
        EXPECT_FALSE(std::filesystem::exists(folder / "pelmora.db-journal"));
    }
    if (!unmounted.empty()) GTEST_SKIP() << "the cases on a tmpfs of their own: " << unmounted;
}
#endif

}  // namespace
