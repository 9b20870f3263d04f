#include "text/texts.h"

namespace {

constexpr const char16_t* kEnglishTexts[] = {
#define PELMORA_TEXT(id, text) text,
#include "text/texts_en.def"
#undef PELMORA_TEXT
};
static_assert(sizeof kEnglishTexts / sizeof kEnglishTexts[0] == kTextCount);

// Written once at start, before any window exists; read by the one UI thread after that.
size_t gSelected = kEnglish;

}  // namespace

size_t LanguageCount() noexcept {
    return kTranslationCount + 1;
}

const char* LanguageTag(size_t language) noexcept {
    if (language == kEnglish || language > kTranslationCount) return "en";
    return kTranslations[language - 1].tag;
}

const char16_t* EnglishText(TextId id) noexcept {
    const auto index = static_cast<size_t>(id);
    return index < kTextCount ? kEnglishTexts[index] : u"";
}

const char16_t* TextIn(size_t language, TextId id) noexcept {
    const auto index = static_cast<size_t>(id);
    if (index >= kTextCount) return u"";
    if (language != kEnglish && language <= kTranslationCount) {
        const char16_t* translated = kTranslations[language - 1].texts[index];
        if (translated != nullptr) return translated;
    }
    return kEnglishTexts[index];
}

void SelectLanguage(size_t language) noexcept {
    gSelected = language < LanguageCount() ? language : kEnglish;
}

size_t SelectedLanguage() noexcept {
    return gSelected;
}

const char16_t* Text(TextId id) noexcept {
    return TextIn(gSelected, id);
}
