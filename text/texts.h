// The texts the window and the Explorer entries show, by name, in the chosen language. English
// is built from text/texts_en.def; the translations are compiled from po/*.po into the same
// binary. Nothing here allocates or throws, so the Explorer extension can use it as it is.
#pragma once

#include <cstddef>

enum class TextId : unsigned short {
#define PELMORA_TEXT(id, text) id,
#include "text/texts_en.def"
#undef PELMORA_TEXT
    kCount
};

inline constexpr size_t kTextCount = static_cast<size_t>(TextId::kCount);

// One translation: its language tag and a text per TextId, null where it has none.
struct TextLanguage {
    const char* tag;
    const char16_t* const* texts;
};

// The compiled translations (English is not among them).
extern const TextLanguage kTranslations[];
extern const size_t kTranslationCount;

// Languages by number: 0 is English, n is kTranslations[n - 1].
inline constexpr size_t kEnglish = 0;
size_t LanguageCount() noexcept;
const char* LanguageTag(size_t language) noexcept;

const char16_t* EnglishText(TextId id) noexcept;
// The text in `language`, English where that language has none or the number is unknown.
const char16_t* TextIn(size_t language, TextId id) noexcept;

// The program's language, chosen once at start; English until then.
void SelectLanguage(size_t language) noexcept;
size_t SelectedLanguage() noexcept;
const char16_t* Text(TextId id) noexcept;
