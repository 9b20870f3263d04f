#include "store/test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

int OnTrace(unsigned type, void* context, void* statement, void*) {
    if (type == SQLITE_TRACE_STMT) {
        const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
        static_cast<StatementLog*>(context)->statements.emplace_back(sql ? sql : "");
    }
    return 0;
}

}  // namespace

ScratchDir::ScratchDir() : ScratchDir(std::filesystem::temp_directory_path()) {}

ScratchDir::ScratchDir(const std::filesystem::path& parent) {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = parent / ("pelmora-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

std::string Utf8Path(const std::filesystem::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::u16string Utf16Path(const std::filesystem::path& path) {
    return path.u16string();
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void StatementLog::Attach(TaskStore& store) {
    sqlite3_trace_v2(store.db.get(), SQLITE_TRACE_STMT, OnTrace, this);
}

void RunSql(TaskStore& store, const std::string& sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(store.db.get(), sql.c_str(), nullptr, nullptr, &error);
    ASSERT_EQ(rc, SQLITE_OK) << sql << ": " << (error ? error : "");
    sqlite3_free(error);
}

void AllowTriggers(TaskStore& store) {
    int now = 0;
    ASSERT_EQ(sqlite3_db_config(store.db.get(), SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, &now),
              SQLITE_OK);
    ASSERT_EQ(now, 1);
}

bool OpenThenReplaceBytes(TaskStore& store,
                          const std::filesystem::path& path,
                          const std::string& bytes) {
    WriteFileBytes(path, "");
    if (!OpenTaskStore(store, Utf8Path(path))) return false;
    WriteFileBytes(path, bytes);
    return true;
}

#ifndef _WIN32
bool SetImmutable(const std::filesystem::path& path, bool immutable) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return done;
}

ScratchVolume::ScratchVolume(const std::filesystem::path& at, const std::string& options)
    : at_(at) {
    std::filesystem::create_directories(at);
    mounted_ = mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!mounted_) why_ = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
}

ScratchVolume::~ScratchVolume() {
    if (mounted_) umount2(at_.c_str(), MNT_DETACH);
}

bool ScratchVolume::MakeReadOnly() {
    return mount(nullptr, at_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

void ScratchVolume::FillSpace() {
    const int fd = open((at_ / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const std::string block(4096, 'f');
    while (fd >= 0 && write(fd, block.data(), block.size()) > 0) {
    }
    if (fd >= 0) close(fd);
}

void ScratchVolume::FillEntries() {
    for (int i = 0;; ++i) {
        const int fd = open((at_ / ("entry" + std::to_string(i))).c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) return;
        close(fd);
    }
}
#endif
