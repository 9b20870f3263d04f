// Conversions between the three forms of text Pelmora handles: UTF-16 (what Windows shows and
// returns), UTF-8 (what SQLite and MD5 see) and the stored form of task text, standard Base64 of
// the UTF-8 bytes.
#pragma once

#include <string>
#include <string_view>

#include "text/code_points.h"

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD, as the platform converter does without
// flags, so both deliverables hash the same bytes for the same name.
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16. Malformed sequences (overlong forms, surrogate code points, truncated or
// stray continuation bytes, values past U+10FFFF) become U+FFFD, one per maximal bad subpart.
std::u16string Utf8ToUtf16(std::string_view text);

// RFC 4648 standard alphabet with "=" padding and no line breaks.
std::string Base64Encode(std::string_view bytes);

// Decodes up to the end, the first "=" or the first character outside the alphabet; whatever
// follows is ignored, so decoding never fails. A decoded zero byte ends the result.
std::string Base64Decode(std::string_view text);

// Strips leading and trailing 0x20 bytes only. The result views into `text`.
std::string_view TrimSpaces(std::string_view text);
