// The profile-file format on arbitrary file contents: no crash, an entry the writer accepts
// reads back as written, and the overlays' parser reads every file as the profile reader does.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/status/profile_format.h"
#include "store/status/status_table.h"
#include "text/text_encoding.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const std::u16string key = u"900150983cd24fb0d6963f7d28e17f72";
    // Reading only has to survive the input.
    (void)profile_format::ReadInt(file, u"pelmora", key, -1);
    (void)profile_format::ReadInt(file, u"pelmora", u"", -1);
    (void)profile_format::ReadInt(file, u"", key, -1);
    std::vector<StatusTableEntry> entries(MaxStatusEntries(size));
    const size_t count = ParseStatusTable(data, size, entries.data(), entries.size());
    Require(LookUpStatus(entries.data(), count, "900150983cd24fb0d6963f7d28e17f72", -1) ==
            profile_format::ReadInt(file, u"pelmora", key, -1));

    // The last byte picks the value; the key is the program's kind of key.
    const char16_t value[2] = {static_cast<char16_t>(u'0' + (size ? data[size - 1] % 4 : 0)), 0};
    std::string written = std::string(file);
    if (const auto updated = profile_format::WithEntry(file, u"pelmora", key, value)) {
        Require(profile_format::ReadInt(*updated, u"pelmora", key, -1) == value[0] - u'0');
        written = *updated;
    }
    // A key and value taken from the input itself, as a foreign table name might give.
    const std::u16string text = Utf8ToUtf16(file.substr(0, 64));
    const size_t half = text.size() / 2;
    const std::u16string otherKey = text.substr(0, half);
    if (const auto updated = profile_format::WithEntry(written, u"pelmora", otherKey, u"2")) {
        Require(profile_format::ReadInt(*updated, u"pelmora", otherKey, -1) == 2);
        written = *updated;
    }
    // Whether a section and entry made of the input are accepted is up to the writer.
    (void)profile_format::WithEntry(written, text.substr(half), otherKey, text);
    return 0;
}
