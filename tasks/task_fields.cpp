#include "tasks/task_fields.h"

#include "text/text_encoding.h"

EditedTitle ReadTitleField(std::u16string_view field) {
    EditedTitle result;
    if (field.empty()) {
        result.problem = TitleProblem::kEmpty;
        return result;
    }
    const std::string utf8 = Utf16ToUtf8(field);
    const std::string_view trimmed = TrimSpaces(utf8);
    if (trimmed.empty()) {
        result.problem = TitleProblem::kOnlySpaces;
        return result;
    }
    result.key = Base64Encode(trimmed);
    result.displayTitle = Utf8ToUtf16(trimmed);
    return result;
}

std::optional<std::string> EncodeDescription(std::u16string_view field) {
    if (field.empty()) return std::nullopt;
    return Base64Encode(Utf16ToUtf8(field));
}

std::u16string DecodeDescription(const std::optional<std::string>& stored) {
    if (!stored || stored->empty()) return std::u16string();
    return Utf8ToUtf16(Base64Decode(*stored));
}
