// The platform layer on POSIX: our own profile-file format (profile_format.h) on files.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "store/status/profile.h"
#include "store/status/profile_format.h"
#include "text/text_encoding.h"

namespace {

void Tell(FileFailure* why, FileFailure failure) {
    if (why != nullptr) *why = failure;
}

FileFailure FailureOf(int error) {
    switch (error) {
        case EBUSY:
        case ETXTBSY:
            return FileFailure::kInUse;
        case EROFS:
        case EPERM:  // an immutable file, or one in a sticky folder owned by another user
            return FileFailure::kReadOnly;
        case EACCES:
            return FileFailure::kDenied;
        case ENOSPC:
        case EDQUOT:
            return FileFailure::kDiskFull;
        case EISDIR:
        case ENOTDIR:
        case ENOTEMPTY:
        case EEXIST:
            return FileFailure::kNotAFile;
        case EFBIG:
            return FileFailure::kTooLarge;
        default:
            return FileFailure::kOther;
    }
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
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

// How old a temporary file must be before any writer takes it for one left behind, whatever
// its process: a publish takes milliseconds, and the process id may have been given to another
// program since.
constexpr time_t kStaleTempSeconds = 60;

// Removes the temporary files of `target` whose writer was killed before it could remove its
// own: its process is gone, or the file is older than a minute. Each is as large as the file it
// was to replace and would otherwise stay beside the user's items for good.
void RemoveStaleTempFiles(const std::filesystem::path& target) {
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const std::string prefix = target.filename().string() + ".";
    const std::u16string fileName = Utf8ToUtf16(target.filename().string());
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return;
    const time_t now = time(nullptr);
    while (const dirent* entry = readdir(listing)) {
        if (std::string_view(entry->d_name).substr(0, prefix.size()) != prefix) continue;
        const auto owner = profile_format::TempFileOwner(Utf8ToUtf16(entry->d_name), fileName);
        if (!owner) continue;
        const std::string path = (folder / entry->d_name).string();
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        const bool gone = *owner > 0 && *owner <= 0x7FFFFFFF &&
                          kill(static_cast<pid_t>(*owner), 0) != 0 && errno == ESRCH;
        if (gone || now - info.st_mtime > kStaleTempSeconds) unlink(path.c_str());
    }
    closedir(listing);
}

}  // namespace

FileRead ReadWholeFile(const std::u16string& path, std::string& bytes, FileFailure* why) {
    bytes.clear();
    const std::string name = std::filesystem::path(path).string();
    // Not blocking, and only a regular file is read: a pipe put in the file's place would
    // otherwise hold the writer forever.
    int fd = -1;
    do {
        fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return FileRead::kMissing;
        Tell(why, FailureOf(errno));
        return FileRead::kFailed;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        Tell(why, FileFailure::kNotAFile);
        return FileRead::kFailed;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            Tell(why, FailureOf(errno));
            close(fd);
            bytes.clear();
            return FileRead::kFailed;
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<size_t>(got));
        // A larger file is not read to its end.
        if (bytes.size() > kMaxProfileFileBytes) {
            close(fd);
            bytes.clear();
            Tell(why, FileFailure::kTooLarge);
            return FileRead::kFailed;
        }
    }
    close(fd);
    return FileRead::kRead;
}

// Writes `bytes` to a temporary file of its own beside the target and renames it over the
// target: whichever of two writers renames last leaves its complete file.
bool ReplaceFileContents(const std::u16string& path, std::string_view bytes, FileFailure* why) {
    if (bytes.size() > kMaxProfileFileBytes) {
        Tell(why, FileFailure::kTooLarge);
        return false;
    }
    const std::filesystem::path target(path);
    RemoveStaleTempFiles(target);
    std::string temp;
    const int fd = CreateTempBeside(target, temp);
    if (fd < 0) {
        Tell(why, FailureOf(errno));
        return false;
    }
    bool replaced = WriteAll(fd, bytes);
    int error = replaced ? 0 : errno;
    if (close(fd) != 0 && replaced) {
        replaced = false;
        error = errno;
    }
    if (replaced && std::rename(temp.c_str(), target.c_str()) != 0) {
        replaced = false;
        error = errno;
    }
    if (!replaced) {
        Tell(why, FailureOf(error));
        unlink(temp.c_str());
    }
    return replaced;
}

int ProfileReadInt(const std::u16string& path,
                   std::u16string_view section,
                   std::u16string_view key,
                   int defaultValue) {
    std::string bytes;
    if (ReadWholeFile(path, bytes) != FileRead::kRead) return defaultValue;
    return profile_format::ReadInt(bytes, section, key, defaultValue);
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
