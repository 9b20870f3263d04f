// The profile-file format ("[section]" headers, "key=value" lines, keys and sections matched
// without regard to case) as pure functions on the file's bytes. The POSIX binding
// (profile_posix.cpp) reads and writes files with it; on Windows the system implements the same
// format, and the tests check that each reads what the other wrote.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace profile_format {

// The integer after `key` in `section` of the file `bytes`, or `defaultValue` when the section,
// the key or a value is missing. A value that is not a number reads as 0, as the system's reader
// does. A UTF-16LE byte-order mark is honoured; anything else is read as UTF-8.
[[nodiscard]] int ReadInt(std::string_view bytes,
                          std::u16string_view section,
                          std::u16string_view key,
                          int defaultValue);

// Every entry of `section` as ReadInt reads it, by its key with A-Z folded to a-z: the whole
// section in one pass, for a caller that looks up many keys.
[[nodiscard]] std::unordered_map<std::u16string, int> ReadInts(std::string_view bytes,
                                                               std::u16string_view section);

// The file `bytes` with the entry replaced in place, or appended to its section, or in a new
// section at the end; written as UTF-8 with CRLF line ends. Nothing when the entry would not
// read back as written (a line break, "=" in the key, "]" in the section, ...).
[[nodiscard]] std::optional<std::string> WithEntry(std::string_view bytes,
                                                   std::u16string_view section,
                                                   std::u16string_view key,
                                                   std::u16string_view value);

}  // namespace profile_format
