// The few places where the command-line program meets the operating system differently on
// Windows and elsewhere: its arguments, its standard streams and the names of directory entries.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The arguments as UTF-8, the program's name first. Windows: taken from the wide command line,
// so characters outside the console's code page arrive intact.
std::vector<std::string> CommandLineUtf8(int argc, char** argv);

// Writes UTF-8 text: to a Windows console as UTF-16 (so every character shows), to a pipe, a
// file or a POSIX terminal as the UTF-8 bytes themselves.
void WriteStandardOutput(std::string_view text);
void WriteStandardError(std::string_view text);

// The entry's name as the file system stores it: on Windows its own letter case and long form
// whatever the user typed. Absent when there is no such entry.
std::optional<std::u16string> EntryNameOnDisk(const std::filesystem::path& path);
