#include "walk/folder_walk.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <linux/capability.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "store/test_support.h"
#include "text/text_encoding.h"

namespace {

namespace fs = std::filesystem;

struct Walked {
    WalkResult result;
    std::vector<WalkedFolder> rows;
    // Relative paths with "/" between names, and how often each was reported.
    std::map<std::string, int> Counts() const {
        std::map<std::string, int> counts;
        for (const WalkedFolder& row : rows) {
            counts[fs::path(row.relative).generic_u8string()]++;
        }
        return counts;
    }
    const WalkedFolder* Row(const std::string& relative) const {
        for (const WalkedFolder& row : rows) {
            if (fs::path(row.relative).generic_u8string() == relative) return &row;
        }
        return nullptr;
    }
};

Walked Walk(const fs::path& root, const WalkOptions& options = {}) {
    Walked walked;
    std::atomic<bool> cancel{false};
    // A walk that loops reports without end: stopped, it fails on what it reported.
    const auto onFolder = [&](const WalkedFolder& row) {
        walked.rows.push_back(row);
        if (walked.rows.size() > 100) cancel = true;
    };
    walked.result = WalkTree(Utf16Path(root), options, onFolder, cancel);
    return walked;
}

std::map<std::string, int> Once(std::initializer_list<const char*> relatives) {
    std::map<std::string, int> counts;
    for (const char* relative : relatives) counts[relative] = 1;
    return counts;
}

void MakeList(const fs::path& folder, const std::string& bytes = "list") {
    fs::create_directories(folder);
    WriteFileBytes(folder / "pelmora.db", bytes);
}

// Every file's size and time below `root`, links not followed: what a walk must leave as it was.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> Snapshot(const fs::path& root) {
    std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[entry.path().generic_u8string()] = {entry.file_size(), entry.last_write_time()};
        }
    }
    return files;
}

// A link to `target` named `link`; false where the system cannot make one.
bool MakeFolderLink(const fs::path& target, const fs::path& link) {
    std::error_code error;
    fs::create_directory_symlink(target, link, error);
    return !error;
}

TEST(FolderWalkTest, ReportsEveryListOnceAndEntersNoLinkOrSkippedFolder) {
    ScratchDir dir;
    const fs::path root = dir / "root";
    MakeList(root);
    WriteFileBytes(root / "item.txt", "");
    MakeList(root / "a", "seven b");
    fs::create_directories(root / "a" / "x");
    MakeList(root / "a" / "b" / "c");
    const fs::path unicode = root / fs::u8path(u8"Café 日本") / fs::u8path(u8"ünï");
    MakeList(unicode);
    for (const char* skipped :
         {".git", "node_modules", "$Recycle.Bin", "System Volume Information"}) {
        MakeList(root / skipped);
    }
#ifdef _WIN32
    MakeList(root / "hidden");
    ASSERT_TRUE(SetFileAttributesW((root / "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    const char* hidden = "hidden";
#else
    MakeList(root / ".hidden");
    const char* hidden = ".hidden";
#endif
    // Loops back to the root, by an absolute and by a relative link.
    const bool linked = MakeFolderLink(root, root / "a" / "up") &&
                        MakeFolderLink(fs::path(".."), root / "a" / "b" / "back");
    if (!linked) std::printf("note: this system makes no folder links; the loop is not tried\n");
    const auto before = Snapshot(dir.path());

    Walked walked = Walk(root);
    EXPECT_EQ(walked.result.outcome, WalkOutcome::Finished);
    EXPECT_EQ(walked.Counts(), Once({"", "a", "a/b/c", u8"Café 日本/ünï"}));
    const WalkedFolder* a = walked.Row("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->failure, FolderFailure::None);
    EXPECT_TRUE(a->hasDatabase);
    EXPECT_EQ(a->database.size, 7u);
    EXPECT_TRUE(a->database.plainFile);
    EXPECT_FALSE(a->database.onlineOnly);
    std::set<std::u16string> names(a->entries.begin(), a->entries.end());
    std::set<std::u16string> expected{u"pelmora.db", u"b", u"x"};
    if (linked) expected.insert(u"up");
    EXPECT_EQ(names, expected);
    ASSERT_NE(walked.Row(u8"Café 日本/ünï"), nullptr);
#ifdef _WIN32
    EXPECT_EQ(walked.Row(u8"Café 日本/ünï")->path, u"\\\\?\\" + Utf16Path(unicode));
#else
    EXPECT_EQ(walked.Row(u8"Café 日本/ünï")->path, Utf16Path(unicode));
#endif

    walked = Walk(root, WalkOptions{-1, true, {}, {}});
    EXPECT_EQ(walked.Counts(),
              Once({"", "a", "a/b/c", u8"Café 日本/ünï", ".git", "node_modules", hidden}));
    EXPECT_EQ(Snapshot(dir.path()), before);

#ifndef _WIN32
    // A name that is not UTF-8 is walked all the same, shown with U+FFFD; in a folder's names it
    // is left out, since no item of that name can have a list.
    MakeList(root / "a" / "x" / "bad\xff");
    WriteFileBytes(root / "a" / "x" / "bad\xff" / "item\xfe", "");
    walked = Walk(root / "a" / "x");
    ASSERT_EQ(walked.rows.size(), 1u);
    EXPECT_EQ(walked.rows[0].relative, u"bad\uFFFD");
    EXPECT_FALSE(walked.rows[0].exactPath);
    EXPECT_EQ(walked.rows[0].entries, std::vector<std::u16string>{u"pelmora.db"});
#endif
}

TEST(FolderWalkTest, DepthAndExcludeLimitWhatIsEntered) {
    ScratchDir dir;
    for (const char* list : {"", "a", "a/b", "a/b/c", "Build", "Build/b"}) {
        MakeList(fs::path(dir.path()) / fs::u8path(list));
    }
    struct Case {
        int depth;
        std::vector<std::u16string> exclude;
        std::map<std::string, int> expected;
    };
#ifdef _WIN32
    const std::map<std::string, int> notBuild = Once({"", "a"});  // names compare without case
#else
    const std::map<std::string, int> notBuild = Once({"", "a", "Build"});
#endif
    const Case cases[] = {
        {-1, {}, Once({"", "a", "a/b", "a/b/c", "Build", "Build/b"})},
        {0, {}, Once({""})},
        {1, {}, Once({"", "a", "Build"})},
        {2, {}, Once({"", "a", "a/b", "Build", "Build/b"})},
        {-1, {u"b*"}, notBuild},
        {-1, {u"?"}, Once({"", "Build"})},
        {-1, {u"*ui*"}, Once({"", "a", "a/b", "a/b/c"})},
        {-1, {u"c", u"Bu?ld"}, Once({"", "a", "a/b"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth);
        EXPECT_EQ(Walk(dir.path(), WalkOptions{c.depth, false, c.exclude, {}}).Counts(),
                  c.expected);
    }
}

TEST(FolderWalkTest, GlobMatchesStarsAndSingleCharacters) {
    struct Case {
        const char16_t* pattern;
        const char16_t* name;
        bool matches;
    };
    const Case cases[] = {
        {u"*", u"", true},
        {u"a*c", u"abbbc", true},
        {u"a*c", u"abcd", false},
        {u"?", u"", false},
        {u"a?c", u"abc", true},
        {u"*.tmp", u"x.tmp.tmp", true},
        {u"?", u"\U0001F600", true},
        {u"a**", u"a", true},
        {u"*a*a*a*b", u"aaaaaaaaaaaaaaa", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesGlob(c.pattern, c.name), c.matches)
            << Utf16ToUtf8(c.pattern) << " " << Utf16ToUtf8(c.name);
    }
}

#ifndef _WIN32
// Runs `work` on a thread that has given up root's right to read any folder, so that permission
// bits hold for it as for any user.
template <typename Work>
void WithoutReadOverride(Work work) {
    std::thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        ASSERT_EQ(syscall(SYS_capget, &header, data), 0);
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
            data[cap / 32].effective &= ~(1u << (cap % 32));
        }
        ASSERT_EQ(syscall(SYS_capset, &header, data), 0);
        work();
    }).join();
}
#endif

TEST(FolderWalkTest, UnreadableFoldersAreRowsAndTheWalkGoesOn) {
    ScratchDir dir;
    MakeList(dir.path());
    MakeList(dir / "gone");
    MakeList(dir / "zeta");
    WriteFileBytes(dir / "file", "");
    // "gone" disappears after the root was listed and before it is.
    Walked walked;
    std::atomic<bool> cancel{false};
    walked.result = WalkTree(
        Utf16Path(dir.path()), {},
        [&](const WalkedFolder& row) {
            if (row.relative.empty()) fs::remove_all(dir / "gone");
            walked.rows.push_back(row);
        },
        cancel);
    EXPECT_EQ(walked.result.outcome, WalkOutcome::Finished);
    EXPECT_EQ(walked.Counts(), Once({"", "gone", "zeta"}));
    ASSERT_NE(walked.Row("gone"), nullptr);
    EXPECT_EQ(walked.Row("gone")->failure, FolderFailure::Vanished);
    EXPECT_FALSE(walked.Row("gone")->hasDatabase);
    EXPECT_EQ(walked.result.unreadable, 1u);

#ifndef _WIN32
    MakeList(dir / "locked" / "inner");
    ASSERT_EQ(chmod((dir / "locked").c_str(), 0), 0);
    WithoutReadOverride([&] { walked = Walk(dir.path()); });
    EXPECT_EQ(walked.Counts(), Once({"", "locked", "zeta"}));
    ASSERT_NE(walked.Row("locked"), nullptr);
    EXPECT_EQ(walked.Row("locked")->failure, FolderFailure::AccessDenied);
    WithoutReadOverride([&] { walked = Walk(dir / "locked"); });
    EXPECT_EQ(walked.result.outcome, WalkOutcome::RootUnreadable);
#endif
    EXPECT_EQ(Walk(dir / "missing").result.outcome, WalkOutcome::RootNotFound);
    EXPECT_EQ(Walk(dir / "file").result.outcome, WalkOutcome::RootNotFolder);
}

TEST(FolderWalkTest, OnlineOnlyDatabaseIsReportedNotOpened) {
    EXPECT_FALSE(IsOnlineOnly(0x20));  // archive
    for (const uint32_t bit :
         {kAttributeOffline, kAttributeRecallOnOpen, kAttributeRecallOnDataAccess}) {
        EXPECT_TRUE(IsOnlineOnly(0x20 | bit)) << bit;
    }
    ScratchDir dir;
    MakeList(dir / "cloud");
    MakeList(dir / "local");
    // Wine keeps no attribute of this kind: the test sets it where the walk reads it.
    WalkOptions options;
    options.databaseAttributes = [](std::u16string_view folder, uint32_t attributes) {
        return fs::path(folder).filename() == "cloud" ? attributes | kAttributeRecallOnDataAccess
                                                      : attributes;
    };
    const Walked walked = Walk(dir.path(), options);
    ASSERT_EQ(walked.Counts(), Once({"cloud", "local"}));
    EXPECT_TRUE(walked.Row("cloud")->database.onlineOnly);
    EXPECT_FALSE(walked.Row("local")->database.onlineOnly);
}

// A branch deeper than the walk keeps descriptors open for.
std::string Side() {
    std::string side = "side";
    for (int i = 0; i < 20; ++i) side += "/s";
    return side;
}

// A chain of `levels` folders "dd" below `base`, made and removed by renames near the top, so
// that no call ever names a path longer than a few names, whatever the system's limit.
class FolderChain {
public:
    FolderChain(const fs::path& base, int levels, int branchAt) : base_(base) {
        for (int level = levels; level >= 1; --level) {
            fs::create_directory(base / "next");
            if (level == levels) MakeList(base / "next");
            if (fs::exists(base / "dd")) fs::rename(base / "dd", base / "next" / "dd");
            if (level == branchAt) MakeList(base / "next" / fs::u8path(Side()));
            fs::rename(base / "next", base / "dd");
        }
    }
    ~FolderChain() {
        while (fs::exists(base_ / "dd")) {
            if (fs::exists(base_ / "dd" / "dd")) fs::rename(base_ / "dd" / "dd", base_ / "next");
            fs::remove_all(base_ / "dd");
            if (fs::exists(base_ / "next")) fs::rename(base_ / "next", base_ / "dd");
        }
    }

private:
    fs::path base_;
};

std::string Chain(int levels) {
    std::string path;
    for (int i = 0; i < levels; ++i) path += i == 0 ? "dd" : "/dd";
    return path;
}

// Deep trees are made in memory where the host has a memory file system (Wine reaches the host's
// root as Z:): on disk, making and removing 10,000 nested folders takes a minute.
fs::path FastScratchParent() {
#ifdef _WIN32
    const fs::path memory = "Z:\\dev\\shm";
#else
    const fs::path memory = "/dev/shm";
#endif
    std::error_code error;
    return fs::is_directory(memory, error) ? memory : fs::temp_directory_path();
}

TEST(FolderWalkTest, DeepChainPastEveryPathLimit) {
    ScratchDir dir(FastScratchParent());
#ifdef _WIN32
    // Wine passes each path whole to the host, whose limit is 4,096 bytes, and looks it up name by
    // name: 300 levels are well past Windows' 260 characters and quick to walk.
    constexpr int kLevels = 300;
#else
    constexpr int kLevels = 10000;
#endif
    const FolderChain chain(dir.path(), kLevels, kLevels / 2);
    Walked walked;
#ifdef _WIN32
    walked = Walk(dir.path());
#else
    // On a small stack: a walk that recursed per level would overflow it.
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    auto run = [](void* into) -> void* {
        auto* out = static_cast<std::pair<Walked*, fs::path*>*>(into);
        *out->first = Walk(*out->second);
        return nullptr;
    };
    fs::path root = dir.path();
    std::pair<Walked*, fs::path*> io{&walked, &root};
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &io), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
#endif
    EXPECT_EQ(walked.result.outcome, WalkOutcome::Finished);
    EXPECT_EQ(walked.result.folders, kLevels + 22u);
    EXPECT_EQ(walked.Counts(), (std::map<std::string, int>{
                                   {Chain(kLevels), 1}, {Chain(kLevels / 2) + "/" + Side(), 1}}));
}

TEST(FolderWalkTest, CancelStopsWithinOneListing) {
    ScratchDir dir;
    MakeList(dir.path());
    for (int i = 0; i < 30; ++i) MakeList(dir / ("f" + std::to_string(i)));
    std::atomic<bool> cancel{false};
    int reported = 0;
    WalkResult result = WalkTree(
        Utf16Path(dir.path()), {},
        [&](const WalkedFolder&) {
            if (++reported == 3) cancel = true;
        },
        cancel);
    EXPECT_EQ(result.outcome, WalkOutcome::Cancelled);
    EXPECT_EQ(reported, 3);
    // Cancelled before it starts: not even the root's listing is read to its end, so the root's
    // list is not reported.
    reported = 0;
    result = WalkTree(
        Utf16Path(dir.path()), {}, [&](const WalkedFolder&) { ++reported; }, cancel);
    EXPECT_EQ(result.outcome, WalkOutcome::Cancelled);
    EXPECT_EQ(reported, 0);
}

}  // namespace
