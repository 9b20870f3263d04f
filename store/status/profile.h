// The few operating-system services the portable core needs: Windows profile files (section
// headers, key=value lines, keys matched without regard to case), file existence and deletion,
// whether a folder takes new files, and the shell's change notification. profile_win.cpp calls the
// Windows functions; profile_posix.cpp applies our own implementation of the same file format
// (profile_format.h). The build compiles the one for its platform.
#pragma once

#include <string>
#include <string_view>

#include "store/status/profile_limit.h"

// The integer after `key` in `section`, or `defaultValue` when the file, the section, the key or
// a value is missing, or the file is larger than kMaxProfileFileBytes. A value that is not a
// number reads as 0, as GetPrivateProfileIntW does.
[[nodiscard]] int ProfileReadInt(const std::u16string& path,
                                 std::u16string_view section,
                                 std::u16string_view key,
                                 int defaultValue);

// Replaces the entry in place, or appends it; creates a missing section or file. False, leaving
// the file as it is, for a file larger than kMaxProfileFileBytes.
[[nodiscard]] bool ProfileWriteString(const std::u16string& path,
                                      std::u16string_view section,
                                      std::u16string_view key,
                                      std::u16string_view value);

[[nodiscard]] bool PathExists(const std::u16string& path);

enum class FileRead { kRead, kMissing, kFailed };

// Why a file could not be read or replaced, for the message that tells the user.
enum class FileFailure {
    kNone,
    kInUse,     // another program holds it
    kReadOnly,  // the file, its folder or the medium allows reading only
    kDenied,    // access denied: no permission, or (on Windows) another program holds it
    kDiskFull,
    kNotAFile,  // a folder, or another kind of entry, has its name
    kTooLarge,  // larger than kMaxProfileFileBytes (the file, or what would be written)
    kOther,
};

// The whole file into `bytes`. kMissing when there is no such file (`bytes` is then empty);
// kFailed when one is there but cannot be read (held by another program, a folder, larger than
// kMaxProfileFileBytes, ...), which a writer must not take for an empty file; `why` then says why.
[[nodiscard]] FileRead ReadWholeFile(const std::u16string& path,
                                     std::string& bytes,
                                     FileFailure* why = nullptr);

// Puts `bytes` in the file's place in one step: they go to a new temporary file beside it, named
// "<file name>.<process id>-<count>.tmp", which then replaces the file, so a reader sees the old
// file or the new one and never part of either, and two writers never share a temporary file.
// Replacing is tried again for a moment while another program holds the old file open. On
// failure the file is as it was, the temporary file is gone, and `why` says why. Temporary files
// of the same file left by a writer that was killed before it could remove its own (its process
// is gone, or the file is older than a minute) are removed first.
[[nodiscard]] bool ReplaceFileContents(const std::u16string& path,
                                       std::string_view bytes,
                                       FileFailure* why = nullptr);

// Whether a new file can be made beside `path`, found by making one (removed at once).
// kRefused: the system forbids it (permissions, a write-protected folder or medium); kFailed:
// it could not be made for another reason (no space left, too many open files, ...).
enum class NewFileBeside { kAllowed, kRefused, kFailed };
[[nodiscard]] NewFileBeside ProbeNewFileBeside(const std::u16string& path);

// True when the file is gone afterwards, including when it was never there.
[[nodiscard]] bool RemoveFile(const std::u16string& path);

// SHChangeNotify(SHCNE_ASSOCCHANGED): Explorer redraws its overlays. Nothing on POSIX.
void NotifyShellAssocChanged();
