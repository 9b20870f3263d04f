#include "store/status/profile_format.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "store/status/ini_scan.h"
#include "text/text_encoding.h"

namespace profile_format {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The scanner's view of a UTF-16 text.
using Text = ini::UnitText<char16_t>;

Text TextOf(std::u16string_view text) {
    return Text{text.data(), text.size()};
}

ini::Span Whole(std::u16string_view text) {
    return {0, text.size()};
}

std::u16string_view Part(std::u16string_view text, ini::Span span) {
    return text.substr(span.begin, span.Size());
}

std::u16string Folded(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& c : folded) c = static_cast<char16_t>(ini::FoldCase(c));
    return folded;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return ini::SameName(TextOf(a), Whole(a), TextOf(b), Whole(b));
}

std::u16string_view Trim(std::u16string_view text) {
    return Part(text, ini::Trim(TextOf(text), Whole(text)));
}

// The file's text. A UTF-16LE byte-order mark is honoured, as Windows does; anything else is read
// as UTF-8 (the files hold ASCII), without one UTF-8 mark at the start.
bool IsUtf16(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xFE;
}

std::u16string DecodeText(std::string_view bytes) {
    std::u16string text;
    if (IsUtf16(bytes)) {
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
    ini::ForEachLine(TextOf(text), [&](ini::Span line) {
        lines.emplace_back(Part(text, line));
        return true;
    });
    return lines;
}

ini::Line Scan(std::u16string_view line) {
    return ini::ScanLine(TextOf(line), Whole(line));
}

// The section name when `line` is a section header.
std::optional<std::u16string_view> SectionOf(std::u16string_view line) {
    const ini::Line scanned = Scan(line);
    if (scanned.kind != ini::LineKind::kSection) return std::nullopt;
    return Part(line, scanned.name);
}

// The key of an entry line; section headers, comment lines and blank lines have none. A line
// without "=" is a key without a value, as the system's reader takes it: it is found as its key
// (and reads as the default), and a write to that key gives it a value.
std::optional<std::u16string_view> KeyOf(std::u16string_view line) {
    const ini::Line scanned = Scan(line);
    if (scanned.kind != ini::LineKind::kEntry) return std::nullopt;
    return Part(line, scanned.name);
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

// The number an entry line's value reads as (ini::ReadNumber), or `defaultValue` for a line
// without a value.
int ParseInt(std::u16string_view line, int defaultValue) {
    const ini::Line scanned = Scan(line);
    int32_t number = 0;
    if (!scanned.hasValue || !ini::ReadNumber(TextOf(line), scanned.value, number)) {
        return defaultValue;
    }
    return number;
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

// Puts every entry into `section` as one WithEntry call after another would, in one pass: an
// existing key (its first entry in the section) is replaced in place and keeps its own spelling,
// new keys follow the section's last non-blank line in the order given, and a missing section is
// added at the end. A key given twice ends with its last value.
void PutEntries(std::vector<std::u16string>& lines,
                const std::vector<NewLines>& added,
                std::u16string_view section,
                const std::vector<Entry>& entries) {
    if (added.empty()) return;
    const auto range = FindSection(lines, section);
    std::unordered_map<std::u16string, size_t> lineOfKey;  // folded key -> line in `lines`
    size_t at = lines.size();
    if (range) {
        for (size_t i = range->begin; i < range->end; ++i) {
            if (const auto name = KeyOf(lines[i])) lineOfKey.emplace(Folded(*name), i);
        }
        at = range->end;
        while (at > range->begin && Trim(lines[at - 1]).empty()) --at;
    }
    std::vector<std::u16string> inserted;
    std::unordered_map<std::u16string, size_t> insertedOfKey;  // folded key -> index in `inserted`
    if (!range) inserted.push_back(added.front().header);
    for (size_t e = 0; e < entries.size(); ++e) {
        const std::u16string folded = Folded(Trim(entries[e].key));
        if (const auto found = lineOfKey.find(folded); found != lineOfKey.end()) {
            std::u16string replaced(*KeyOf(lines[found->second]));
            replaced += u'=';
            replaced += entries[e].value;
            lines[found->second] = std::move(replaced);
        } else if (const auto again = insertedOfKey.find(folded); again != insertedOfKey.end()) {
            std::u16string replaced(*KeyOf(inserted[again->second]));
            replaced += u'=';
            replaced += entries[e].value;
            inserted[again->second] = std::move(replaced);
        } else {
            insertedOfKey.emplace(folded, inserted.size());
            inserted.push_back(added[e].entry);
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), inserted.begin(), inserted.end());
}

// The lines with CRLF ends, in the file's own encoding: UTF-16LE with its mark when the file had
// that mark (as the system's writer keeps it), else UTF-8. The reader drops one UTF-8 mark at the
// start: a file that had one keeps it, and a first line that itself begins with U+FEFF gets one,
// so that it still reads as the same line.
std::string EncodeLines(const std::vector<std::u16string>& lines, std::string_view original) {
    if (IsUtf16(original)) {
        std::string bytes = "\xFF\xFE";
        const auto put = [&bytes](char16_t c) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        };
        for (const auto& line : lines) {
            for (char16_t c : line) put(c);
            put(u'\r');
            put(u'\n');
        }
        return bytes;
    }
    const bool marked =
        original.substr(0, 3) == kUtf8Mark ||
        (!lines.empty() && !lines.front().empty() && lines.front().front() == 0xFEFF);
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
    return ParseInt(lines[*line], defaultValue);
}

std::unordered_map<std::u16string, int> ReadInts(std::string_view bytes,
                                                 std::u16string_view section) {
    std::unordered_map<std::u16string, int> values;
    const std::vector<std::u16string> lines = SplitLines(bytes);
    const auto range = FindSection(lines, section);
    if (!range) return values;
    std::unordered_map<std::u16string, bool> seen;  // the first entry of a key wins
    for (size_t i = range->begin; i < range->end; ++i) {
        const ini::Line scanned = Scan(lines[i]);
        if (scanned.kind != ini::LineKind::kEntry) continue;
        std::u16string key = Folded(Part(lines[i], scanned.name));
        if (!seen.emplace(key, true).second) continue;
        int32_t number = 0;
        if (scanned.hasValue && ini::ReadNumber(TextOf(lines[i]), scanned.value, number)) {
            values.emplace(std::move(key), number);
        }
    }
    return values;
}

std::optional<std::string> WithEntry(std::string_view bytes,
                                     std::u16string_view section,
                                     std::u16string_view key,
                                     std::u16string_view value) {
    return WithEntries(bytes, section, {Entry{std::u16string(key), std::u16string(value)}});
}

std::optional<std::string> WithEntries(std::string_view bytes,
                                       std::u16string_view section,
                                       const std::vector<Entry>& entries) {
    std::vector<NewLines> added;
    added.reserve(entries.size());
    for (const Entry& entry : entries) {
        auto lines = LinesFor(section, entry.key, entry.value);
        if (!lines) return std::nullopt;
        added.push_back(std::move(*lines));
    }
    std::vector<std::u16string> lines = SplitLines(bytes);
    PutEntries(lines, added, section, entries);
    return EncodeLines(lines, bytes);
}

std::optional<uint32_t> TempFileOwner(std::u16string_view name, std::u16string_view fileName) {
    if (name.size() <= fileName.size() + 1 || name.substr(0, fileName.size()) != fileName ||
        name[fileName.size()] != u'.') {
        return std::nullopt;
    }
    name.remove_prefix(fileName.size() + 1);
    // Up to ten digits: a process id and a count are 32-bit numbers.
    const auto digits = [&name](uint64_t& number) {
        size_t count = 0;
        number = 0;
        while (count < name.size() && count < 11 && name[count] >= u'0' && name[count] <= u'9') {
            number = number * 10 + static_cast<uint64_t>(name[count] - u'0');
            ++count;
        }
        name.remove_prefix(count);
        return count > 0 && count <= 10 && number <= UINT32_MAX;
    };
    uint64_t pid = 0;
    uint64_t count = 0;
    if (!digits(pid) || name.empty() || name.front() != u'-') return std::nullopt;
    name.remove_prefix(1);
    if (!digits(count) || name != u".tmp") return std::nullopt;
    return static_cast<uint32_t>(pid);
}

}  // namespace profile_format
