// What the editor makes of its fields, apart from the window: the checks on the title and the
// stored forms of title and description.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class TitleProblem {
    kNone,
    kEmpty,       // the field holds nothing at all
    kOnlySpaces,  // nothing is left once spaces are cut from both ends
};

struct EditedTitle {
    TitleProblem problem = TitleProblem::kNone;
    std::string key;              // Base64 of the trimmed UTF-8 title: the stored title
    std::u16string displayTitle;  // the trimmed title as shown
};

// Cuts ASCII spaces (only those) from both ends of the field's text and encodes the rest.
EditedTitle ReadTitleField(std::u16string_view field);

// The stored description: Base64 of the whole text, line breaks and spaces kept; absent for an
// empty field.
std::optional<std::string> EncodeDescription(std::u16string_view field);

// The text the description field shows for a stored description.
std::u16string DecodeDescription(const std::optional<std::string>& stored);
