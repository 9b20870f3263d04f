// Two pelmora-cli processes writing entries of one folder's status file at the same moment: the
// database's write lock serialises their status writes, so neither loses the other's entry, and
// a reader polling the status file meanwhile only ever finds a whole file.
#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "cli/cli.h"
#include "store/folder_key.h"
#include "store/status/profile.h"
#include "tests/cli/cli_test_support.h"
#include "text/text_encoding.h"

namespace {

constexpr int kRounds = 4;
const std::string kHeader = "[pelmora]\r\n";

// The keys of a whole status file as this test's writers make it ("key=1" lines under the
// header); false for anything else, such as a file cut short.
bool WholeFile(const std::string& bytes, std::set<std::string>& keys) {
    keys.clear();
    if (bytes.empty()) return true;  // before the first write
    if (bytes.compare(0, kHeader.size(), kHeader) != 0) return false;
    for (size_t at = kHeader.size(); at < bytes.size(); at += 36) {
        if (bytes.size() - at < 36 || bytes.compare(at + 32, 4, "=1\r\n") != 0) return false;
        keys.insert(bytes.substr(at, 32));
    }
    return true;
}

class StatusWritersTest : public CliTest {};

// Each round adds the first task of a new item, whose entry nobody writes again: an entry lost
// to the other writer would stay lost.
TEST_F(StatusWritersTest, TwoProgramsLoseNoEntryAndNoReaderSeesATornFile) {
    Seed("Alpha", {"made the database"});
    for (int i = 0; i < kRounds; ++i) {
        std::filesystem::create_directories(Parent() / ("A" + std::to_string(i)));
        std::filesystem::create_directories(Parent() / ("B" + std::to_string(i)));
    }
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::atomic<int> tornReads{0};
    std::atomic<int> lostEntries{0};
    const auto writer = [&](const std::string& prefix) {
        const std::filesystem::path scratch = scratch_.path() / prefix;
        std::filesystem::create_directories(scratch);
        for (int i = 0; i < kRounds; ++i) {
            if (RunProgram({"add", Item(prefix + std::to_string(i)), "task"}, scratch).code != 0) {
                ++failures;
            }
        }
    };
    std::thread reader([&] {
        std::set<std::string> seen;
        std::set<std::string> keys;
        std::string bytes;
        while (!stop) {
            // Read as the overlays read, sharing the file with its writers; a read that finds
            // the file held for a moment tells nothing. A reader that never let go would keep
            // the writers from replacing the file at all: this one pauses between reads.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (ReadWholeFile(Utf16Path(StatusPath()), bytes) == FileRead::kFailed) continue;
            if (!WholeFile(bytes, keys)) {
                ++tornReads;
                continue;
            }
            // Entries are only ever added: one that goes again was lost by a writer.
            for (const std::string& key : seen) lostEntries += keys.count(key) == 0 ? 1 : 0;
            seen = keys;
        }
    });
    std::thread first(writer, "A");
    std::thread second(writer, "B");
    first.join();
    second.join();
    stop = true;
    reader.join();

    EXPECT_EQ(failures, 0);
    EXPECT_EQ(tornReads, 0);
    EXPECT_EQ(lostEntries, 0);
    std::set<std::string> keys;
    ASSERT_TRUE(WholeFile(ReadFileBytes(StatusPath()), keys));
    EXPECT_EQ(keys.size(), 2u * kRounds);
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(StatusEntry("A" + std::to_string(i)), 1);
        EXPECT_EQ(StatusEntry("B" + std::to_string(i)), 1);
    }
}

// The tasks of a change are saved before its status entry is written. When that write fails the
// command says what it saved and why the overlay was not updated, and ends with exit code 1,
// so that a script neither does the change again nor takes the overlay for a current one.
TEST_F(StatusWritersTest, AChangeWhoseStatusFileCannotBeWrittenIsSavedAndSaysSo) {
    Seed("Alpha", {"one", "two", "three"});
    const std::string notUpdated =
        "; but the overlay was not updated: cannot write " + Utf8Path(StatusPath());
    int n = 0;
    const auto markDone = [&](const std::string& why) {
        ++n;
        const CliResult result = Cli({"done", Item("Alpha"), std::to_string(n)});
        EXPECT_TRUE(FailedWith(result, kExitFailed));
        EXPECT_EQ(result.err.rfind("pelmora-cli: marked task " + std::to_string(n) + " done: ", 0),
                  0u)
            << result.err;
        EXPECT_NE(result.err.find(notUpdated + why), std::string::npos) << result.err;
        EXPECT_EQ(Rows("Alpha")[n - 1].done, "1");
    };
    for (const auto way : UnwritableStatusFile::Ways()) {
        const UnwritableStatusFile unwritable(StatusPath(), way);
        if (unwritable.Active()) markDone("");
    }
    // Larger than the overlays read: not one Pelmora wrote, and not rewritten.
    const std::string large = "[pelmora]\r\n;" + std::string(kMaxProfileFileBytes, 'x');
    WriteFileBytes(StatusPath(), large);
    markDone(": it is larger than the 1 MB that the overlays read");
    EXPECT_TRUE(ReadFileBytes(StatusPath()) == large) << "the file was rewritten";
}

}  // namespace
