#include <unistd.h>

#include <system_error>

#include "cli/cli_platform.h"

namespace {

void WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written <= 0) return;  // a closed pipe: nobody is reading
        text.remove_prefix(static_cast<size_t>(written));
    }
}

}  // namespace

std::vector<std::string> CommandLineUtf8(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void WriteStandardOutput(std::string_view text) {
    WriteAll(STDOUT_FILENO, text);
}

void WriteStandardError(std::string_view text) {
    WriteAll(STDERR_FILENO, text);
}

std::optional<std::u16string> EntryNameOnDisk(const std::filesystem::path& path) {
    std::error_code error;
    // A dangling link is still an entry of the folder, and it has a name and a key.
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) return std::nullopt;
    return path.filename().u16string();
}
