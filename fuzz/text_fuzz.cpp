// The text conversions on arbitrary input: no crash, and the round trips the program relies on
// hold (a title stored as Base64 reads back as itself, a name converted twice hashes the same).
#include <cstddef>
#include <cstdint>
#include <string>

#include "text/text_encoding.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // UTF-8 in: whatever it holds, the UTF-16 form converts to UTF-8 and back unchanged.
    const std::u16string wide = Utf8ToUtf16(bytes);
    const std::string utf8 = Utf16ToUtf8(wide);
    Require(Utf8ToUtf16(utf8) == wide);
    Require(Utf16ToUtf8(Utf8ToUtf16(utf8)) == utf8);

    // UTF-16 in (the bytes read as little-endian units, unpaired surrogates included).
    std::u16string units;
    for (size_t i = 0; i + 1 < size; i += 2) {
        units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
    const std::string fromUnits = Utf16ToUtf8(units);
    Require(Utf16ToUtf8(Utf8ToUtf16(fromUnits)) == fromUnits);
    size_t pos = 0;
    size_t codePoints = 0;
    while (pos < units.size()) {
        const size_t before = pos;
        const char32_t cp = NextCodePoint(units, pos);
        Require(pos > before && pos <= units.size() && cp <= 0x10FFFF);
        char out[4];
        const size_t length = EncodeUtf8(cp, out);
        Require(length >= 1 && length <= 4);
        ++codePoints;
    }
    Require(codePoints <= units.size());

    // Base64: encoding then decoding gives the bytes back up to the first zero byte; decoding
    // anything never fails and never grows.
    const std::string encoded = Base64Encode(bytes);
    Require(encoded.size() % 4 == 0);
    Require(Base64Decode(encoded) == bytes.substr(0, bytes.find('\0')));
    Require(Base64Decode(bytes).size() <= size);

    const std::string_view trimmed = TrimSpaces(bytes);
    Require(trimmed.empty() || (trimmed.front() != ' ' && trimmed.back() != ' '));
    return 0;
}
