// Bounded text building in fixed buffers: the extension never writes past one, and a text that
// does not fit is reported instead of being cut.
#pragma once

#include <cstddef>

// Appends `text` (`length` units) to `buffer` holding `used` units, keeping it NUL-terminated.
// Returns false, leaving the buffer as it was, when the result would not fit in `capacity`.
inline bool AppendText(wchar_t* buffer,
                       size_t capacity,
                       size_t& used,
                       const wchar_t* text,
                       size_t length) noexcept {
    if (used + length + 1 > capacity) return false;
    for (size_t i = 0; i < length; ++i) buffer[used + i] = text[i];
    used += length;
    buffer[used] = L'\0';
    return true;
}

template <size_t N>
inline bool AppendLiteral(wchar_t* buffer,
                          size_t capacity,
                          size_t& used,
                          const wchar_t (&text)[N]) noexcept {
    return AppendText(buffer, capacity, used, text, N - 1);
}

// Appends `text` (`length` units) between double quotes; false, leaving the buffer as it was,
// when the result would not fit.
inline bool AppendQuoted(wchar_t* buffer,
                         size_t capacity,
                         size_t& used,
                         const wchar_t* text,
                         size_t length) noexcept {
    if (used + length + 3 > capacity) return false;
    return AppendLiteral(buffer, capacity, used, L"\"") &&
           AppendText(buffer, capacity, used, text, length) &&
           AppendLiteral(buffer, capacity, used, L"\"");
}

// The position of the last backslash in `path` (`length` units), or `length` when there is none.
inline size_t LastBackslash(const wchar_t* path, size_t length) noexcept {
    for (size_t i = length; i > 0; --i) {
        if (path[i - 1] == L'\\') return i - 1;
    }
    return length;
}

// A text built from the start of a fixed buffer: made empty when created, it keeps the count of
// units written, so the buffer, its capacity and its length always travel together. Each append
// either adds the whole piece or leaves the text as it was and answers false.
class BoundedText {
public:
    template <size_t N>
    explicit BoundedText(wchar_t (&buffer)[N]) noexcept : buffer_(buffer), capacity_(N) {
        buffer_[0] = L'\0';
    }
    BoundedText(const BoundedText&) = delete;
    BoundedText& operator=(const BoundedText&) = delete;

    bool Append(const wchar_t* text, size_t length) noexcept {
        return AppendText(buffer_, capacity_, length_, text, length);
    }
    template <size_t N>
    bool AppendLiteral(const wchar_t (&text)[N]) noexcept {
        return ::AppendLiteral(buffer_, capacity_, length_, text);
    }
    // The portable core spells its names in UTF-16, which is what wchar_t holds on Windows.
    template <size_t N>
    bool AppendLiteral(const char16_t (&text)[N]) noexcept {
        return Append(reinterpret_cast<const wchar_t*>(text), N - 1);
    }
    bool AppendQuoted(const wchar_t* text, size_t length) noexcept {
        return ::AppendQuoted(buffer_, capacity_, length_, text, length);
    }

    const wchar_t* text() const noexcept { return buffer_; }
    size_t length() const noexcept { return length_; }

private:
    wchar_t* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};
