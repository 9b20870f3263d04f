// The profile-file rules, once, for both of their readers: the program's reader and writer
// (profile_format.cpp), which works on decoded UTF-16 lines, and the overlays' status table
// (status_table.cpp), which works on the file's bytes inside Explorer. A text is anything with
// `At(i)` (the unit at i, as a number) and `length`; every character the rules look at is ASCII,
// so a byte of UTF-8 and a unit of UTF-16 serve alike. Header-only, free of the C++ runtime and
// of the heap: the shell extension compiles it.
//
// The rules: a line ends at "\n" (one "\r" before it dropped); a line whose first non-blank
// character is "[" is a section header, named by what follows up to "]" (or the line's end),
// blanks trimmed; blank lines and lines starting with ";" are nothing; any other line is an entry,
// its key before the first "=" and its value after it, both trimmed, and a line without "=" is a
// key without a value. Names and keys match without regard to ASCII letter case.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ini {

// A part of a text, from `begin` up to `end`.
struct Span {
    size_t begin;
    size_t end;
    bool Empty() const noexcept { return begin == end; }
    size_t Size() const noexcept { return end - begin; }
};

// A text of bytes or of UTF-16 units, for the rules to read unit by unit. Reading a unit is one
// load either way.
template <typename Unit>
struct UnitText {
    const Unit* units;
    size_t length;
    uint32_t At(size_t i) const noexcept { return static_cast<uint32_t>(units[i]); }
};

constexpr bool IsBlank(uint32_t c) noexcept {
    return c == ' ' || c == '\t';
}

constexpr uint32_t FoldCase(uint32_t c) noexcept {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
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

// True when both parts hold the same text, ASCII letter case aside.
template <class A, class B>
bool SameName(const A& a, Span aSpan, const B& b, Span bSpan) noexcept {
    if (aSpan.Size() != bSpan.Size()) return false;
    for (size_t i = 0; i < aSpan.Size(); ++i) {
        if (FoldCase(a.At(aSpan.begin + i)) != FoldCase(b.At(bSpan.begin + i))) return false;
    }
    return true;
}

// Calls `onLine(span)` for each line of the text, without its line end, until it answers false.
template <class T, class OnLine>
void ForEachLine(const T& text, OnLine onLine) noexcept(noexcept(onLine(Span{}))) {
    for (size_t start = 0; start < text.length;) {
        Span line{start, Find(text, {start, text.length}, '\n')};
        start = line.end + 1;
        if (!line.Empty() && text.At(line.end - 1) == '\r') --line.end;
        if (!onLine(line)) return;
    }
}

enum class LineKind { kNothing, kSection, kEntry };

struct Line {
    LineKind kind = LineKind::kNothing;
    Span name{};            // the section's name or the entry's key
    Span value{};           // the entry's value
    bool hasValue = false;  // false for a key without "="
};

template <class T>
Line ScanLine(const T& text, Span line) noexcept {
    Line scanned;
    const Span trimmed = Trim(text, line);
    if (trimmed.Empty() || text.At(trimmed.begin) == ';') return scanned;
    if (text.At(trimmed.begin) == '[') {
        scanned.kind = LineKind::kSection;
        const Span inside{trimmed.begin + 1, trimmed.end};
        scanned.name = Trim(text, {inside.begin, Find(text, inside, ']')});
        return scanned;
    }
    scanned.kind = LineKind::kEntry;
    const size_t eq = Find(text, line, '=');
    scanned.hasValue = eq != line.end;
    scanned.name = scanned.hasValue ? Trim(text, {line.begin, eq}) : trimmed;
    if (scanned.hasValue) scanned.value = Trim(text, {eq + 1, line.end});
    return scanned;
}

// The number at the start of a value, as the system converts it. The system reads a number's text
// into a buffer of 30 units: a value in quotes (double or single) loses its opening quote, the
// rest is cut to 29 units, and when that rest fitted in the buffer with its terminator the last
// unit is dropped as the closing quote, even where the cut had already taken the quote away. Then
// come control characters and blanks, an optional sign, a "0x", "0o" or "0b" prefix for another
// base, and digits of that base up to the first other character, wrapping on overflow. False for
// a value that is empty once read so, which reads as the caller's default.
template <class T>
bool ReadNumber(const T& text, Span value, int32_t& number) noexcept {
    constexpr size_t kValueBufferUnits = 30;
    const uint32_t first = value.Empty() ? 0 : text.At(value.begin);
    const bool quoted =
        value.Size() >= 2 && (first == '"' || first == '\'') && text.At(value.end - 1) == first;
    if (quoted) ++value.begin;
    const size_t rest = value.Size();
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
    if (value.Size() >= 2 && text.At(value.begin) == '0') {
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

}  // namespace ini
