#include "store/status/status_table.h"

#include "store/status/ini_scan.h"

namespace {

using ini::Span;

// A UTF-16LE file's text behind its mark, unit by unit, read from the bytes as they lie (the
// memory handed in need not be aligned for 16-bit loads).
struct WideText {
    const unsigned char* bytes;
    size_t length;  // in units
    uint32_t At(size_t i) const noexcept {
        return static_cast<uint32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
};
// Any other file is read byte by byte: UTF-8 and the ANSI code pages keep ASCII as single bytes.
using ByteText = ini::UnitText<unsigned char>;

struct StatusSectionName {
    static constexpr char kName[] = "pelmora";
    static constexpr size_t length = sizeof kName - 1;
    uint32_t At(size_t i) const noexcept { return static_cast<unsigned char>(kName[i]); }
};

int HexDigit(uint32_t c) noexcept {
    c = ini::FoldCase(c);
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    return -1;
}

// The 16 bytes of a 32-digit key; false for anything else.
template <class T>
bool KeyBytes(const T& text, Span key, StatusTableKey& out) noexcept {
    if (key.Size() != 32) return false;
    uint64_t halves[2] = {0, 0};
    for (size_t i = 0; i < 32; ++i) {
        const int digit = HexDigit(text.At(key.begin + i));
        if (digit < 0) return false;
        halves[i / 16] = (halves[i / 16] << 4) | static_cast<uint64_t>(digit);
    }
    out = {halves[0], halves[1]};
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
    ini::ForEachLine(text, [&](Span span) noexcept {
        const ini::Line line = ini::ScanLine(text, span);
        if (line.kind == ini::LineKind::kSection) {
            if (inSection) return false;  // only the first section of that name counts
            const StatusSectionName section;
            inSection = ini::SameName(text, line.name, section, {0, section.length});
            return true;
        }
        if (!inSection || line.kind != ini::LineKind::kEntry || count == capacity) return true;
        // A line without "=" is a key without a value: it reads as the default, and it comes
        // first should the key follow with a value.
        StatusTableEntry& entry = entries[count];
        if (!KeyBytes(text, line.name, entry.key)) return true;
        entry.hasValue = line.hasValue && ini::ReadNumber(text, line.value, entry.value);
        if (!entry.hasValue) entry.value = 0;
        entry.line = static_cast<uint32_t>(count);
        ++count;
        return true;
    });
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
