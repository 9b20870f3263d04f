#include "text/text_format.h"

std::u16string FormatText(std::u16string_view pattern,
                          std::initializer_list<std::u16string_view> args) {
    std::u16string out;
    out.reserve(pattern.size() + 64);
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'{' && i + 2 < pattern.size() && pattern[i + 1] >= u'0' &&
            pattern[i + 1] <= u'9' && pattern[i + 2] == u'}') {
            const auto place = static_cast<size_t>(pattern[i + 1] - u'0');
            if (place < args.size()) {
                out += *(args.begin() + place);
                i += 2;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

std::u16string FormatText(TextId id, std::initializer_list<std::u16string_view> args) {
    return FormatText(Text(id), args);
}

std::u16string Decimal(uint64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}
