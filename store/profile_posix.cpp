// The platform layer on POSIX: our own profile-file format (profile_format.h) on files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "store/profile.h"
#include "store/profile_format.h"

namespace {

// The whole file, or nothing when it cannot be opened or read (a missing file reads as an empty
// one). Plain reads, so that a folder in the file's place is a failed read, not an exception
// thrown out of a function that reports failure by its result.
std::optional<std::string> ReadBytes(const std::filesystem::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            close(fd);
            if (got < 0) return std::nullopt;
            return bytes;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// A new, empty file beside `target` that no other writer uses (this process's id and a count
// in its name, created exclusively), opened for writing; -1 when none can be made.
int CreateTempBeside(const std::filesystem::path& target, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target.string() + "." + std::to_string(getpid()) + "-" +
                   std::to_string(counter.fetch_add(1)) + ".tmp";
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

FileRead ReadWholeFile(const std::u16string& path, std::string& bytes) {
    bytes.clear();
    const std::string name = std::filesystem::path(path).string();
    // Not blocking, and only a regular file is read: a pipe put in the file's place would
    // otherwise hold the writer forever.
    int fd = -1;
    do {
        fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? FileRead::kMissing : FileRead::kFailed;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return FileRead::kFailed;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            close(fd);
            bytes.clear();
            return FileRead::kFailed;
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return FileRead::kRead;
}

// Writes `bytes` to a temporary file of its own beside the target and renames it over the
// target: whichever of two writers renames last leaves its complete file.
bool ReplaceFileContents(const std::u16string& path, std::string_view bytes) {
    const std::filesystem::path target(path);
    std::string temp;
    const int fd = CreateTempBeside(target, temp);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, bytes);
    const bool closed = close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), target.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

int ProfileReadInt(const std::u16string& path,
                   std::u16string_view section,
                   std::u16string_view key,
                   int defaultValue) {
    const auto bytes = ReadBytes(std::filesystem::path(path));
    return bytes ? profile_format::ReadInt(*bytes, section, key, defaultValue) : defaultValue;
}

bool ProfileWriteString(const std::u16string& path,
                        std::u16string_view section,
                        std::u16string_view key,
                        std::u16string_view value) {
    // A file that is there but cannot be read is not taken for an empty one: its other entries
    // would be lost.
    std::string bytes;
    if (ReadWholeFile(path, bytes) == FileRead::kFailed) return false;
    const auto updated = profile_format::WithEntry(bytes, section, key, value);
    return updated && ReplaceFileContents(path, *updated);
}

bool PathExists(const std::u16string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(path), error);
}

NewFileBeside ProbeNewFileBeside(const std::u16string& path) {
    std::string temp;
    const int fd = CreateTempBeside(std::filesystem::path(path), temp);
    if (fd < 0) {
        // EPERM is what root gets from an immutable folder, EROFS from a read-only mount.
        return errno == EACCES || errno == EPERM || errno == EROFS ? NewFileBeside::kRefused
                                                                   : NewFileBeside::kFailed;
    }
    close(fd);
    unlink(temp.c_str());
    return NewFileBeside::kAllowed;
}

bool RemoveFile(const std::u16string& path) {
    std::error_code error;
    std::filesystem::remove(std::filesystem::path(path), error);
    return !error;
}

void NotifyShellAssocChanged() {}
