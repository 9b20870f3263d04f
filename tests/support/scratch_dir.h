// The scratch folder every suite's tests work in, native and under Wine: a fresh folder under the
// system's temporary folder, removed with everything in it at the end of the test; and the file
// readers and writers the tests check the disk with, as bytes.
#pragma once

#include <filesystem>
#include <string>

class ScratchDir {
public:
    ScratchDir();
    // Under `parent` instead, for trees that want another file system (a RAM disk for depth).
    explicit ScratchDir(const std::filesystem::path& parent);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // A subfolder (with its parents) and an empty file, by a name below the scratch folder.
    std::filesystem::path Make(const std::filesystem::path& name) const;
    std::filesystem::path Touch(const std::filesystem::path& name) const;

private:
    std::filesystem::path path_;
};

std::string Utf8Path(const std::filesystem::path& path);
std::u16string Utf16Path(const std::filesystem::path& path);
std::string ReadFileBytes(const std::filesystem::path& path);
// False when the file could not be written whole.
bool WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
