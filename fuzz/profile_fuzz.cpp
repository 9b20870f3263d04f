// The profile reader and writer on an arbitrary existing file: no crash, and an entry the
// writer accepts reads back as written.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "store/profile.h"
#include "text/text_encoding.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

const std::u16string& ScratchFile() {
    static const std::u16string path = [] {
        const auto dir = std::filesystem::temp_directory_path() /
                         ("pelmora-profile-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        return (dir / "pelmora.ini").u16string();
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string& path = ScratchFile();
    {
        std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::u16string key = u"900150983cd24fb0d6963f7d28e17f72";
    portable_profile::ReadInt(path, u"pelmora", key, -1);
    portable_profile::ReadInt(path, u"pelmora", u"", -1);
    portable_profile::ReadInt(path, u"", key, -1);

    // The last byte picks the value; the key is the program's kind of key.
    const char16_t value[2] = {static_cast<char16_t>(u'0' + (size ? data[size - 1] % 4 : 0)), 0};
    if (portable_profile::WriteString(path, u"pelmora", key, value)) {
        Require(portable_profile::ReadInt(path, u"pelmora", key, -1) == value[0] - u'0');
    }
    // A key and value taken from the input itself, as a foreign table name might give.
    const std::u16string text =
        Utf8ToUtf16(std::string(reinterpret_cast<const char*>(data), size > 64 ? 64 : size));
    const size_t half = text.size() / 2;
    const std::u16string otherKey = text.substr(0, half);
    if (portable_profile::WriteString(path, u"pelmora", otherKey, u"2")) {
        Require(portable_profile::ReadInt(path, u"pelmora", otherKey, -1) == 2);
    }
    portable_profile::WriteString(path, text.substr(half), otherKey, text);
    return 0;
}
