// The platform layer on POSIX: our own profile-file format (profile_format.h) on files.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

#include "store/profile.h"
#include "store/profile_format.h"

namespace {

// The whole file, or nothing when it cannot be opened (a missing file reads as an empty one).
std::optional<std::string> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

// Writes `bytes` to a temporary file of its own beside `target` and renames it over `target`,
// so that a reader never sees half a file and two writers never write into the same temporary
// file: whichever renames last leaves its complete file.
bool ReplaceFile(const std::filesystem::path& target, std::string_view bytes) {
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

}  // namespace

int ProfileReadInt(const std::u16string& path,
                   std::u16string_view section,
                   std::u16string_view key,
                   int defaultValue) {
    const auto bytes = ReadBytes(std::filesystem::path(path));
    return bytes ? profile_format::ReadInt(*bytes, section, key, defaultValue) : defaultValue;
}

std::unordered_map<std::u16string, int> ProfileReadInts(const std::u16string& path,
                                                        std::u16string_view section) {
    const auto bytes = ReadBytes(std::filesystem::path(path));
    return bytes ? profile_format::ReadInts(*bytes, section)
                 : std::unordered_map<std::u16string, int>();
}

bool ProfileWriteString(const std::u16string& path,
                        std::u16string_view section,
                        std::u16string_view key,
                        std::u16string_view value) {
    const std::filesystem::path target(path);
    const auto updated =
        profile_format::WithEntry(ReadBytes(target).value_or(std::string()), section, key, value);
    return updated && ReplaceFile(target, *updated);
}

bool PathExists(const std::u16string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(path), error);
}

bool RemoveFile(const std::u16string& path) {
    std::error_code error;
    std::filesystem::remove(std::filesystem::path(path), error);
    return !error;
}

void NotifyShellAssocChanged() {}
