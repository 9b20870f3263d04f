// UTF-16 code points in and UTF-8 bytes out, one at a time and without the heap: the pieces the
// shell extension compiles on their own (it runs inside Explorer, built without exceptions and
// without the C++ runtime), and that the allocating conversions build on.
#pragma once

#include <cstddef>
#include <string_view>

// What an unpaired surrogate or a malformed sequence reads as.
constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code point at `pos` of UTF-16 text, advancing past it; an unpaired surrogate reads as
// U+FFFD. Building block for conversions that must not allocate (the shell extension's key).
char32_t NextCodePoint(std::u16string_view text, size_t& pos) noexcept;

// Writes the UTF-8 form of `cp` (at most U+10FFFF) and returns its length, 1 to 4.
size_t EncodeUtf8(char32_t cp, char out[4]) noexcept;
