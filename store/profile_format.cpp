#include "store/profile_format.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "text/text_encoding.h"

namespace profile_format {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

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

// The file's text. A UTF-16LE byte-order mark is honoured, as Windows does; anything else is read
// as UTF-8 (the files hold ASCII), without one UTF-8 mark at the start.
std::u16string DecodeText(std::string_view bytes) {
    std::u16string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
        return text;
    }
    if (bytes.substr(0, 3) == kUtf8Mark) bytes.remove_prefix(3);
    return Utf8ToUtf16(bytes);
}

// The file as lines without their line ends.
std::vector<std::u16string> SplitLines(std::string_view bytes) {
    const std::u16string text = DecodeText(bytes);
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

// The number at the start of a value, as the system converts it: an optional sign, then digits
// up to the first other character, wrapping on overflow.
int ParseInt(std::u16string_view value, int defaultValue) {
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"') {
        value = value.substr(1, value.size() - 2);
    }
    if (value.empty()) return defaultValue;
    bool negative = false;
    if (value.front() == u'-' || value.front() == u'+') {
        negative = value.front() == u'-';
        value.remove_prefix(1);
    }
    uint32_t number = 0;
    for (char16_t c : value) {
        if (c < u'0' || c > u'9') break;
        number = number * 10 + static_cast<uint32_t>(c - u'0');
    }
    return static_cast<int>(negative ? 0u - number : number);
}

bool HasLineBreak(std::u16string_view text) {
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

bool SurvivesUtf8(const std::u16string& text) {
    return Utf8ToUtf16(Utf16ToUtf8(text)) == text;
}

// The header and entry lines to write, when they read back as what they say: a line break, or
// "=" in a key, would split the entry; a key starting with "[" would make its entry a section
// header, one starting with ";" a comment; a section with blanks at its ends would be found under
// another name; and an unpaired surrogate would come back as U+FFFD from the file's UTF-8.
struct NewLines {
    std::u16string header;
    std::u16string entry;
};

std::optional<NewLines> LinesFor(std::u16string_view section,
                                 std::u16string_view key,
                                 std::u16string_view value) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
        section.find(u']') != std::u16string_view::npos ||
        key.find(u'=') != std::u16string_view::npos || Trim(key).empty()) {
        return std::nullopt;
    }
    NewLines lines{u"[", std::u16string(Trim(key))};
    lines.header += section;
    lines.header += u']';
    lines.entry += u'=';
    lines.entry += value;
    const auto entryKey = KeyOf(lines.entry);
    const auto headerName = SectionOf(lines.header);
    if (SectionOf(lines.entry) || !entryKey || !EqualsNoCase(*entryKey, Trim(key)) || !headerName ||
        !EqualsNoCase(*headerName, section) || !SurvivesUtf8(lines.header) ||
        !SurvivesUtf8(lines.entry)) {
        return std::nullopt;
    }
    return lines;
}

// Replaces the key's entry in its section, or adds it after the section's last non-blank line,
// or adds the section at the end.
void PutEntry(std::vector<std::u16string>& lines,
              const NewLines& added,
              std::u16string_view section,
              std::u16string_view key,
              std::u16string_view value) {
    const auto range = FindSection(lines, section);
    if (!range) {
        lines.push_back(added.header);
        lines.push_back(added.entry);
        return;
    }
    if (const auto line = FindKey(lines, *range, key)) {
        // The existing entry keeps its own spelling of the key, as the system's writer does.
        std::u16string replaced(*KeyOf(lines[*line]));
        replaced += u'=';
        replaced += value;
        lines[*line] = std::move(replaced);
        return;
    }
    size_t at = range->end;
    while (at > range->begin && Trim(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), added.entry);
}

// The lines as UTF-8 with CRLF ends. The reader drops one UTF-8 mark at the start: a file that
// had one keeps it, and a first line that itself begins with U+FEFF gets one, so that it still
// reads as the same line.
std::string EncodeLines(const std::vector<std::u16string>& lines, bool hadMark) {
    const bool marked =
        hadMark || (!lines.empty() && !lines.front().empty() && lines.front().front() == 0xFEFF);
    std::string bytes(marked ? kUtf8Mark : std::string_view());
    for (const auto& line : lines) {
        bytes += Utf16ToUtf8(line);
        bytes += "\r\n";
    }
    return bytes;
}

}  // namespace

int ReadInt(std::string_view bytes,
            std::u16string_view section,
            std::u16string_view key,
            int defaultValue) {
    const std::vector<std::u16string> lines = SplitLines(bytes);
    const auto range = FindSection(lines, section);
    if (!range) return defaultValue;
    const auto line = FindKey(lines, *range, key);
    if (!line) return defaultValue;
    const std::u16string_view text = lines[*line];
    return ParseInt(Trim(text.substr(text.find(u'=') + 1)), defaultValue);
}

std::unordered_map<std::u16string, int> ReadInts(std::string_view bytes,
                                                 std::u16string_view section) {
    std::unordered_map<std::u16string, int> values;
    const std::vector<std::u16string> lines = SplitLines(bytes);
    const auto range = FindSection(lines, section);
    if (!range) return values;
    for (size_t i = range->begin; i < range->end; ++i) {
        const auto key = KeyOf(lines[i]);
        if (!key) continue;
        std::u16string folded(*key);
        for (char16_t& c : folded) c = FoldCase(c);
        const std::u16string_view text = lines[i];
        // The first entry of a key is the one ReadInt finds.
        values.emplace(std::move(folded), ParseInt(Trim(text.substr(text.find(u'=') + 1)), 0));
    }
    return values;
}

std::optional<std::string> WithEntry(std::string_view bytes,
                                     std::u16string_view section,
                                     std::u16string_view key,
                                     std::u16string_view value) {
    const auto added = LinesFor(section, key, value);
    if (!added) return std::nullopt;
    std::vector<std::u16string> lines = SplitLines(bytes);
    PutEntry(lines, *added, section, key, value);
    return EncodeLines(lines, bytes.substr(0, 3) == kUtf8Mark);
}

}  // namespace profile_format
