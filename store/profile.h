// The few operating-system services the portable core needs: Windows profile files (section
// headers, key=value lines, keys matched without regard to case), file existence and deletion,
// and the shell's change notification. profile_win.cpp calls the Windows functions;
// profile_posix.cpp applies our own implementation of the same file format (profile_format.h).
// The build compiles the one for its platform.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

// The integer after `key` in `section`, or `defaultValue` when the file, the section, the key or
// a value is missing. A value that is not a number reads as 0, as GetPrivateProfileIntW does.
[[nodiscard]] int ProfileReadInt(const std::u16string& path,
                                 std::u16string_view section,
                                 std::u16string_view key,
                                 int defaultValue);

// Every integer of `section` by its key with A-Z folded to a-z, read in one pass: for a caller
// that looks up many keys. Empty when the file or the section is missing.
[[nodiscard]] std::unordered_map<std::u16string, int> ProfileReadInts(const std::u16string& path,
                                                                      std::u16string_view section);

// Replaces the entry in place, or appends it; creates a missing section or file.
[[nodiscard]] bool ProfileWriteString(const std::u16string& path,
                                      std::u16string_view section,
                                      std::u16string_view key,
                                      std::u16string_view value);

[[nodiscard]] bool PathExists(const std::u16string& path);

// True when the file is gone afterwards, including when it was never there.
[[nodiscard]] bool RemoveFile(const std::u16string& path);

// SHChangeNotify(SHCNE_ASSOCCHANGED): Explorer redraws its overlays. Nothing on POSIX.
void NotifyShellAssocChanged();
