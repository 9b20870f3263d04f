#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "store/profile.h"
#include "text/text_encoding.h"

namespace portable_profile {
namespace {

std::filesystem::path ToPath(const std::u16string& path) {
    return std::filesystem::path(path);
}

char16_t FoldCase(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

std::u16string_view Trim(std::u16string_view text) {
    const auto isBlank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The file as lines without their line ends. A UTF-16LE byte-order mark is honoured, as Windows
// does; anything else is read as UTF-8 (the files hold ASCII).
std::optional<std::vector<std::u16string>> ReadLines(const std::u16string& path) {
    std::ifstream in(ToPath(path), std::ios::binary);
    if (!in) return std::nullopt;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::u16string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
    } else {
        std::string_view view(bytes);
        if (view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
        text = Utf8ToUtf16(view);
    }
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) end = text.size();
        std::u16string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The section name when `line` is a section header.
std::optional<std::u16string_view> SectionOf(std::u16string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != u'[') return std::nullopt;
    const size_t close = line.find(u']');
    return Trim(
        line.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos : close - 1));
}

// The key of an entry line; comment lines and lines without "=" have none.
std::optional<std::u16string_view> KeyOf(std::u16string_view line) {
    const std::u16string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == u';') return std::nullopt;
    const size_t eq = line.find(u'=');
    if (eq == std::u16string_view::npos) return std::nullopt;
    return Trim(line.substr(0, eq));
}

// Index of the first line of `section`'s body and the end of that body.
struct SectionRange {
    size_t begin;
    size_t end;
};

std::optional<SectionRange> FindSection(const std::vector<std::u16string>& lines,
                                        std::u16string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionOf(lines[i]);
        if (!name || !EqualsNoCase(*name, section)) continue;
        size_t end = i + 1;
        while (end < lines.size() && !SectionOf(lines[end])) ++end;
        return SectionRange{i + 1, end};
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<std::u16string>& lines,
                              SectionRange range,
                              std::u16string_view key) {
    for (size_t i = range.begin; i < range.end; ++i) {
        const auto name = KeyOf(lines[i]);
        if (name && EqualsNoCase(*name, Trim(key))) return i;
    }
    return std::nullopt;
}

bool HasLineBreak(std::u16string_view text) {
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

}  // namespace

int ReadInt(const std::u16string& path,
            std::u16string_view section,
            std::u16string_view key,
            int defaultValue) {
    const auto lines = ReadLines(path);
    if (!lines) return defaultValue;
    const auto range = FindSection(*lines, section);
    if (!range) return defaultValue;
    const auto line = FindKey(*lines, *range, key);
    if (!line) return defaultValue;
    const std::u16string_view& text = (*lines)[*line];
    std::u16string_view value = Trim(text.substr(text.find(u'=') + 1));
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"') {
        value = value.substr(1, value.size() - 2);
    }
    if (value.empty()) return defaultValue;
    bool negative = false;
    if (value.front() == u'-' || value.front() == u'+') {
        negative = value.front() == u'-';
        value.remove_prefix(1);
    }
    uint32_t number = 0;  // wraps on overflow, like the system's conversion
    for (char16_t c : value) {
        if (c < u'0' || c > u'9') break;
        number = number * 10 + static_cast<uint32_t>(c - u'0');
    }
    return static_cast<int>(negative ? 0u - number : number);
}

bool WriteString(const std::u16string& path,
                 std::u16string_view section,
                 std::u16string_view key,
                 std::u16string_view value) {
    // A line break, or "=" in a key, would make the file say something other than was written.
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
        section.find(u']') != std::u16string_view::npos ||
        key.find(u'=') != std::u16string_view::npos || Trim(key).empty()) {
        return false;
    }
    std::u16string entry(Trim(key));
    entry += u'=';
    entry += value;
    std::u16string header = u"[";
    header += section;
    header += u']';
    // The lines must read back as what they say: a key starting with "[" would make its entry a
    // section header, one starting with ";" a comment, a section with blanks at its ends would
    // be found under another name, and an unpaired surrogate would come back as U+FFFD from the
    // file's UTF-8.
    const auto entryKey = KeyOf(entry);
    const auto headerName = SectionOf(header);
    if (SectionOf(entry) || !entryKey || !EqualsNoCase(*entryKey, Trim(key)) || !headerName ||
        !EqualsNoCase(*headerName, section) || Utf8ToUtf16(Utf16ToUtf8(header)) != header ||
        Utf8ToUtf16(Utf16ToUtf8(entry)) != entry) {
        return false;
    }
    std::vector<std::u16string> lines;
    if (auto existing = ReadLines(path)) lines = std::move(*existing);
    if (const auto range = FindSection(lines, section)) {
        if (const auto line = FindKey(lines, *range, key)) {
            // The existing entry keeps its own spelling of the key, as the system's writer does.
            std::u16string replaced(*KeyOf(lines[*line]));
            replaced += u'=';
            replaced += value;
            lines[*line] = std::move(replaced);
        } else {
            size_t at = range->end;
            while (at > range->begin && Trim(lines[at - 1]).empty()) --at;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
        }
    } else {
        lines.push_back(header);
        lines.push_back(entry);
    }
    std::string bytes;
    // The reader drops one UTF-8 mark at the start. A file that had one keeps it, and a first line
    // that itself begins with U+FEFF gets one, so that it still reads as the same line.
    bool marked = !lines.empty() && !lines.front().empty() && lines.front().front() == 0xFEFF;
    {
        std::ifstream in(ToPath(path), std::ios::binary);
        char head[3] = {};
        marked = marked || (in.read(head, 3) && std::string_view(head, 3) == "\xEF\xBB\xBF");
    }
    if (marked) bytes = "\xEF\xBB\xBF";
    for (const auto& line : lines) {
        bytes += Utf16ToUtf8(line);
        bytes += "\r\n";
    }
    // Write beside the file and rename over it, so that a reader never sees half a file.
    const std::filesystem::path target = ToPath(path);
    std::filesystem::path temp = target;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temp, target, error);
    if (error) {
        std::filesystem::remove(temp, error);
        return false;
    }
    return true;
}

}  // namespace portable_profile

#ifndef _WIN32

int ProfileReadInt(const std::u16string& path,
                   std::u16string_view section,
                   std::u16string_view key,
                   int defaultValue) {
    return portable_profile::ReadInt(path, section, key, defaultValue);
}

bool ProfileWriteString(const std::u16string& path,
                        std::u16string_view section,
                        std::u16string_view key,
                        std::u16string_view value) {
    return portable_profile::WriteString(path, section, key, value);
}

bool PathExists(const std::u16string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(path), error);
}

bool RemoveFile(const std::u16string& path) {
    std::error_code error;
    std::filesystem::remove(std::filesystem::path(path), error);
    return !error;
}

void NotifyShellAssocChanged() {}

#endif
