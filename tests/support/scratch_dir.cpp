#include "tests/support/scratch_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

ScratchDir::ScratchDir() : ScratchDir(fs::temp_directory_path()) {}

ScratchDir::ScratchDir(const fs::path& parent) {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = parent / ("pelmora-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    // A test may leave files read-only (or, on Windows, with the read-only attribute): they go too.
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
}

fs::path ScratchDir::Make(const fs::path& name) const {
    const fs::path folder = path_ / name;
    fs::create_directories(folder);
    return folder;
}

fs::path ScratchDir::Touch(const fs::path& name) const {
    const fs::path file = path_ / name;
    WriteFileBytes(file, "");
    return file;
}

std::string Utf8Path(const fs::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::u16string Utf16Path(const fs::path& path) {
    return path.u16string();
}

std::string ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}
