#include "store/status_table.h"

namespace {

// The file's text, unit by unit: UTF-16LE behind its mark, else bytes. Every character the rules
// look at is ASCII, which UTF-8 and the ANSI code pages keep as single bytes, so a byte stands
// for a unit of the decoded text wherever it matters.
// The parser is compiled for each kind, so reading a unit is one load.
template <bool kWide>
struct Text {
    const unsigned char* bytes;
    size_t length;  // in units

    uint32_t At(size_t i) const noexcept {
        if constexpr (kWide) {
            return static_cast<uint32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        } else {
            return bytes[i];
        }
    }
};
using ByteText = Text<false>;
using WideText = Text<true>;

struct Span {
    size_t begin;
    size_t end;
    bool Empty() const noexcept { return begin == end; }
};

bool IsBlank(uint32_t c) noexcept {
    return c == ' ' || c == '\t';
}

template <class T>
Span Trim(const T& text, Span span) noexcept {
    while (!span.Empty() && IsBlank(text.At(span.begin))) ++span.begin;
    while (!span.Empty() && IsBlank(text.At(span.end - 1))) --span.end;
    return span;
}

// The position of `c` in the span, or its end.
template <class T>
size_t Find(const T& text, Span span, uint32_t c) noexcept {
    for (size_t i = span.begin; i < span.end; ++i) {
        if (text.At(i) == c) return i;
    }
    return span.end;
}

uint32_t FoldCase(uint32_t c) noexcept {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

// True when the line is a section header; `name` is then its name.
template <class T>
bool IsSectionHeader(const T& text, Span line, Span& name) noexcept {
    line = Trim(text, line);
    if (line.Empty() || text.At(line.begin) != '[') return false;
    name = Trim(text, {line.begin + 1, Find(text, {line.begin + 1, line.end}, ']')});
    return true;
}

template <class T>
bool IsStatusSection(const T& text, Span name) noexcept {
    static const char kSection[] = "pelmora";
    if (name.end - name.begin != sizeof kSection - 1) return false;
    for (size_t i = 0; i < sizeof kSection - 1; ++i) {
        if (FoldCase(text.At(name.begin + i)) != static_cast<uint32_t>(kSection[i])) return false;
    }
    return true;
}

int HexDigit(uint32_t c) noexcept {
    c = FoldCase(c);
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    return -1;
}

// The 16 bytes of a 32-digit key; false for anything else.
template <class T>
bool KeyBytes(const T& text, Span key, StatusTableKey& out) noexcept {
    if (key.end - key.begin != 32) return false;
    uint64_t halves[2] = {0, 0};
    for (size_t i = 0; i < 32; ++i) {
        const int digit = HexDigit(text.At(key.begin + i));
        if (digit < 0) return false;
        halves[i / 16] = (halves[i / 16] << 4) | static_cast<uint64_t>(digit);
    }
    out = {halves[0], halves[1]};
    return true;
}

// The number at the start of a value, as the system converts it (profile_format.cpp): the text
// the system reads of it (quotes dropped, cut to 29 units, the last dropped as a closing quote
// when the quoted rest fitted its buffer of 30), then control characters and blanks, an optional
// sign, a "0x", "0o" or "0b" prefix for another base, and digits of that base, wrapping on
// overflow. False for an empty value, which reads as the caller's default.
template <class T>
bool ValueOf(const T& text, Span value, int32_t& number) noexcept {
    constexpr size_t kValueBufferUnits = 30;
    const uint32_t first = value.Empty() ? 0 : text.At(value.begin);
    const bool quoted = value.end - value.begin >= 2 && (first == '"' || first == '\'') &&
                        text.At(value.end - 1) == first;
    if (quoted) ++value.begin;
    const size_t rest = value.end - value.begin;
    if (rest > kValueBufferUnits - 1) value.end = value.begin + (kValueBufferUnits - 1);
    if (quoted && rest <= kValueBufferUnits) --value.end;
    if (value.Empty()) return false;
    while (!value.Empty() && text.At(value.begin) <= ' ') ++value.begin;
    bool negative = false;
    if (!value.Empty() && (text.At(value.begin) == '-' || text.At(value.begin) == '+')) {
        negative = text.At(value.begin) == '-';
        ++value.begin;
    }
    uint32_t base = 10;
    if (value.end - value.begin >= 2 && text.At(value.begin) == '0') {
        const uint32_t prefix = text.At(value.begin + 1);
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10) value.begin += 2;
    }
    uint32_t magnitude = 0;
    for (size_t i = value.begin; i < value.end; ++i) {
        const uint32_t c = text.At(i);
        uint32_t digit = 36;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'a' && c <= 'z') digit = c - 'a' + 10;
        if (c >= 'A' && c <= 'Z') digit = c - 'A' + 10;
        if (digit >= base) break;
        magnitude = magnitude * base + digit;
    }
    number = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
    return true;
}

int CompareKeys(const StatusTableKey& a, const StatusTableKey& b) noexcept {
    if (a.high != b.high) return a.high < b.high ? -1 : 1;
    if (a.low != b.low) return a.low < b.low ? -1 : 1;
    return 0;
}

bool Before(const StatusTableEntry& a, const StatusTableEntry& b) noexcept {
    const int order = CompareKeys(a.key, b.key);
    return order < 0 || (order == 0 && a.line < b.line);
}

void SiftDown(StatusTableEntry* entries, size_t root, size_t count) noexcept {
    for (;;) {
        size_t child = 2 * root + 1;
        if (child >= count) return;
        if (child + 1 < count && Before(entries[child], entries[child + 1])) ++child;
        if (!Before(entries[root], entries[child])) return;
        const StatusTableEntry swap = entries[root];
        entries[root] = entries[child];
        entries[child] = swap;
        root = child;
    }
}

// Heap sort: no recursion, no extra memory, and the same time whatever the file holds.
void SortEntries(StatusTableEntry* entries, size_t count) noexcept {
    for (size_t i = count / 2; i > 0; --i) SiftDown(entries, i - 1, count);
    for (size_t end = count; end > 1; --end) {
        const StatusTableEntry swap = entries[0];
        entries[0] = entries[end - 1];
        entries[end - 1] = swap;
        SiftDown(entries, 0, end - 1);
    }
}

template <class T>
size_t ParseLines(const T& text, StatusTableEntry* entries, size_t capacity) noexcept {
    size_t count = 0;
    bool inSection = false;
    for (size_t start = 0; start < text.length;) {
        Span line{start, Find(text, {start, text.length}, '\n')};
        start = line.end + 1;
        if (!line.Empty() && text.At(line.end - 1) == '\r') --line.end;
        Span name{};
        if (IsSectionHeader(text, line, name)) {
            if (inSection) break;  // only the first section of that name counts
            inSection = IsStatusSection(text, name);
            continue;
        }
        const Span trimmed = Trim(text, line);
        if (!inSection || trimmed.Empty() || text.At(trimmed.begin) == ';') continue;
        if (count == capacity) continue;
        // A line without "=" is a key without a value: it reads as the default, and it comes
        // first should the key follow with a value.
        const size_t eq = Find(text, line, '=');
        StatusTableEntry& entry = entries[count];
        if (!KeyBytes(text, eq == line.end ? trimmed : Trim(text, {line.begin, eq}), entry.key)) {
            continue;
        }
        entry.hasValue =
            eq != line.end && ValueOf(text, Trim(text, {eq + 1, line.end}), entry.value);
        if (!entry.hasValue) entry.value = 0;
        entry.line = static_cast<uint32_t>(count);
        ++count;
    }
    return count;
}

}  // namespace

size_t ParseStatusTable(const unsigned char* bytes,
                        size_t size,
                        StatusTableEntry* entries,
                        size_t capacity) noexcept {
    size_t count = 0;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        count = ParseLines(WideText{bytes + 2, (size - 2) / 2}, entries, capacity);
    } else if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        count = ParseLines(ByteText{bytes + 3, size - 3}, entries, capacity);
    } else {
        count = ParseLines(ByteText{bytes, size}, entries, capacity);
    }
    SortEntries(entries, count);
    // The first entry of each key stays.
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        if (kept > 0 && CompareKeys(entries[kept - 1].key, entries[i].key) == 0) continue;
        entries[kept++] = entries[i];
    }
    return kept;
}

int32_t LookUpStatus(const StatusTableEntry* entries,
                     size_t count,
                     const char* hex,
                     int32_t missing) noexcept {
    StatusTableKey key;
    const ByteText text{reinterpret_cast<const unsigned char*>(hex), 32};
    if (!KeyBytes(text, {0, 32}, key)) return missing;
    size_t low = 0;
    size_t high = count;
    // Keys are MD5 digests, spread evenly over their range: the first probes go where the key
    // would sit by its value, which finds it in a large table in a few steps instead of a cache
    // miss per halving. A file whose keys are not spread so still ends in a binary search.
    for (int guesses = 0; low < high; ++guesses) {
        size_t middle = low + (high - low) / 2;
        const uint64_t first = entries[low].key.high;
        const uint64_t last = entries[high - 1].key.high;
        if (guesses < 3 && high - low > 8 && first < last && key.high >= first &&
            key.high <= last) {
            const double share =
                static_cast<double>(key.high - first) / static_cast<double>(last - first);
            middle = low + static_cast<size_t>(share * static_cast<double>(high - 1 - low));
        }
        const int order = CompareKeys(entries[middle].key, key);
        if (order == 0) return entries[middle].hasValue ? entries[middle].value : missing;
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return missing;
}
