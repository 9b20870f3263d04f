// The profile-file format ("[section]" headers, "key=value" lines, keys and sections matched
// without regard to case) as pure functions on the file's bytes. The POSIX binding
// (profile_posix.cpp) reads and writes files with it; on Windows the system implements the same
// format, and the tests check that each reads what the other wrote.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace profile_format {

// The integer after `key` in `section` of the file `bytes`, or `defaultValue` when the section,
// the key or a value is missing. A value that is not a number reads as 0, as the system's reader
// does. A UTF-16LE byte-order mark is honoured; anything else is read as UTF-8.
[[nodiscard]] int ReadInt(std::string_view bytes,
                          std::u16string_view section,
                          std::u16string_view key,
                          int defaultValue);

// The file `bytes` with the entry replaced in place, or appended to its section, or in a new
// section at the end; written with CRLF line ends, as UTF-16LE when the file was (with its
// byte-order mark), else as UTF-8. Nothing when the entry would not
// read back as written (a line break, "=" in the key, "]" in the section, ...).
[[nodiscard]] std::optional<std::string> WithEntry(std::string_view bytes,
                                                   std::u16string_view section,
                                                   std::u16string_view key,
                                                   std::u16string_view value);

// Every entry of `section` with the integer ReadInt would read for its key, keyed by the key
// folded to lower case; a key whose value is missing (ReadInt's default) is left out. For a
// reader of many keys, which would otherwise parse the file once per key.
[[nodiscard]] std::unordered_map<std::u16string, int> ReadInts(std::string_view bytes,
                                                               std::u16string_view section);

struct Entry {
    std::u16string key;
    std::u16string value;
};

// The file `bytes` with every entry put in as one WithEntry after another would put them, but
// read and written once: what a writer of many entries uses, since one call per entry would
// parse and write the whole file each time. Nothing when any entry would not read back.
[[nodiscard]] std::optional<std::string> WithEntries(std::string_view bytes,
                                                     std::u16string_view section,
                                                     const std::vector<Entry>& entries);

// The process id in `name` when it is the name of a temporary file that a writer of the file
// `fileName` makes beside it ("<fileName>.<process id>-<count>.tmp", both numbers decimal);
// nothing for any other name.
[[nodiscard]] std::optional<uint32_t> TempFileOwner(std::u16string_view name,
                                                    std::u16string_view fileName);

}  // namespace profile_format
