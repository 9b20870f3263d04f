#include "text/language_choice.h"

#include "text/texts.h"

namespace {

// Windows' limit for a locale name, terminator included (LOCALE_NAME_MAX_LENGTH).
constexpr size_t kMaxTagChars = 85;

char16_t Lower(char16_t c) noexcept {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

bool IsAlpha(char16_t c) noexcept {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsAlnum(char16_t c) noexcept {
    return IsAlpha(c) || (c >= u'0' && c <= u'9');
}

// A tag in lower case with its length, or none when it is not a well-formed language tag:
// a language of 2 or 3 letters, then subtags of 1 to 8 letters or digits, joined by "-".
struct Tag {
    char16_t text[kMaxTagChars] = {};
    size_t length = 0;
    size_t baseLength = 0;
};

bool ParseTag(const char16_t* in, Tag& tag) noexcept {
    if (in == nullptr) return false;
    size_t subtag = 0;
    bool first = true;
    for (size_t i = 0;; ++i) {
        const char16_t c = in[i];
        if (c == u'\0' || c == u'-') {
            if (subtag == 0 || subtag > 8 || (first && subtag < 2) || (first && subtag > 3)) {
                return false;
            }
            if (first) tag.baseLength = i;
            first = false;
            subtag = 0;
            if (c == u'\0') {
                tag.length = i;
                return true;
            }
        } else if (IsAlnum(c) && (!first || IsAlpha(c))) {
            ++subtag;
        } else {
            return false;
        }
        if (i + 1 >= kMaxTagChars) return false;
        tag.text[i] = Lower(c);
    }
}

// `tag`'s first `length` characters equal `name` (ASCII, any case), the whole of it.
bool SameAs(const char16_t* tag, size_t length, const char* name) noexcept {
    size_t i = 0;
    for (; i < length; ++i) {
        if (name[i] == '\0' || Lower(tag[i]) != Lower(static_cast<char16_t>(name[i]))) return false;
    }
    return name[i] == '\0';
}

bool StartsWith(const Tag& tag, const char* prefix) noexcept {
    size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (i >= tag.length || tag.text[i] != static_cast<char16_t>(prefix[i])) return false;
    }
    return true;
}

int Find(const char16_t* tag, size_t length, const char* const* available, size_t count) noexcept {
    for (size_t i = 0; i < count; ++i) {
        if (available[i] != nullptr && SameAs(tag, length, available[i])) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int FindName(const char* name, const char* const* available, size_t count) noexcept {
    char16_t wide[kMaxTagChars] = {};
    size_t length = 0;
    while (name[length] != '\0' && length + 1 < kMaxTagChars) {
        wide[length] = static_cast<char16_t>(name[length]);
        ++length;
    }
    return Find(wide, length, available, count);
}

}  // namespace

int MatchLanguage(const char16_t* in, const char* const* available, size_t count) noexcept {
    Tag tag;
    if (!ParseTag(in, tag)) return -1;
    const int exact = Find(tag.text, tag.length, available, count);
    if (exact >= 0) return exact;
    if (SameAs(tag.text, tag.baseLength, "pt")) return FindName("pt-BR", available, count);
    if (SameAs(tag.text, tag.baseLength, "zh")) {
        // Only the simplified script: a reader of traditional characters gets no mainland
        // Chinese, whatever else the tag says.
        if (StartsWith(tag, "zh-hans") || SameAs(tag.text, tag.length, "zh-cn") ||
            SameAs(tag.text, tag.length, "zh-sg")) {
            return FindName("zh-CN", available, count);
        }
        return -1;
    }
    return Find(tag.text, tag.baseLength, available, count);
}

int ChooseLanguage(const char16_t* override,
                   const char16_t* preferred,
                   const char* const* available,
                   size_t count) noexcept {
    if (override != nullptr && override[0] != u'\0') {
        const int chosen = MatchLanguage(override, available, count);
        if (chosen >= 0) return chosen;
    }
    if (preferred == nullptr) return -1;
    for (const char16_t* tag = preferred; *tag != u'\0';) {
        const int chosen = MatchLanguage(tag, available, count);
        if (chosen >= 0) return chosen;
        while (*tag != u'\0') ++tag;
        ++tag;
    }
    return -1;
}

size_t ChooseTextLanguage(const char16_t* override, const char16_t* preferred) noexcept {
    // The tags in language-number order, English first: a user who prefers English before
    // another language gets English.
    const char* tags[32] = {};
    size_t count = 0;
    for (size_t language = 0; language < LanguageCount() && count < 32; ++language) {
        tags[count++] = LanguageTag(language);
    }
    const int chosen = ChooseLanguage(override, preferred, tags, count);
    return chosen < 0 ? kEnglish : static_cast<size_t>(chosen);
}

bool IsRightToLeft(const char* tag) noexcept {
    if (tag == nullptr) return false;
    char16_t wide[kMaxTagChars] = {};
    for (size_t i = 0; tag[i] != '\0'; ++i) {
        if (i + 1 >= kMaxTagChars) return false;
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(tag[i]));
    }
    Tag parsed;
    if (!ParseTag(wide, parsed)) return false;
    if (SameAs(parsed.text, parsed.length, "qps-plocm")) return true;
    const char* const languages[] = {"ar", "he", "fa", "ur"};
    for (const char* language : languages) {
        if (SameAs(parsed.text, parsed.baseLength, language)) return true;
    }
    return false;
}
