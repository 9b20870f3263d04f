#include "walk/walk_rules.h"

#include <type_traits>

#include "store/folder_files.h"
#include "text/text_encoding.h"

namespace {

// Names of the system's own folders and of the two folders that hold thousands of other
// people's files: compared without case, since volumes made by Windows are read everywhere.
char32_t AsciiLower(char32_t c) {
    return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
}

template <typename Char, typename AsciiChar>
bool EqualsAsciiNoCase(std::basic_string_view<Char> name, std::basic_string_view<AsciiChar> ascii) {
    if (name.size() != ascii.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        using UnsignedChar = std::make_unsigned_t<Char>;
        const char32_t c = static_cast<UnsignedChar>(name[i]);
        if (AsciiLower(c) != AsciiLower(static_cast<char32_t>(ascii[i]))) return false;
    }
    return true;
}

template <typename Char>
bool EqualsAsciiNoCase(std::basic_string_view<Char> name, const char* ascii) {
    return EqualsAsciiNoCase(name, std::string_view(ascii));
}

template <typename Char>
bool IsSystemFolder(std::basic_string_view<Char> name) {
    return EqualsAsciiNoCase(name, "$Recycle.Bin") ||
           EqualsAsciiNoCase(name, "System Volume Information");
}

template <typename Char>
bool IsCrowdedFolder(std::basic_string_view<Char> name) {
    return EqualsAsciiNoCase(name, ".git") || EqualsAsciiNoCase(name, "node_modules");
}

bool IsSurrogatePair(std::u16string_view text, size_t at) {
    return at + 1 < text.size() && text[at] >= 0xD800 && text[at] <= 0xDBFF &&
           text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF;
}

}  // namespace

bool IsOnlineOnly(uint32_t attributes) {
    return (attributes &
            (kAttributeOffline | kAttributeRecallOnOpen | kAttributeRecallOnDataAccess)) != 0;
}

// Backtracks only to the last star: linear in practice, and never worse than the product of the
// two lengths, whatever the pattern.
bool MatchesGlob(std::u16string_view pattern, std::u16string_view name) {
    size_t p = 0, n = 0;
    size_t starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == u'?') {
            ++p;
            n += IsSurrogatePair(name, n) ? 2 : 1;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

WalkRules::WalkRules(const WalkOptions& options)
    : depth_(options.depth), includeHidden_(options.includeHidden) {
    for (const std::u16string& glob : options.exclude) exclude_.push_back(FoldNameCase(glob));
}

bool WalkRules::Excluded(std::u16string_view name) const {
    if (exclude_.empty()) return false;
    const std::u16string folded = FoldNameCase(name);
    for (const std::u16string& glob : exclude_) {
        if (MatchesGlob(glob, folded)) return true;
    }
    return false;
}

template <typename Char>
bool WalkRules::EntersByName(std::basic_string_view<Char> name, bool hidden, int depth) const {
    if (depth_ >= 0 && depth > depth_) return false;
    if (IsSystemFolder(name)) return false;
    if (!includeHidden_ && (hidden || IsCrowdedFolder(name))) return false;
    return true;
}

bool WalkRules::Enters(std::u16string_view name, bool hidden, int depth) const {
    return EntersByName(name, hidden, depth) && !Excluded(name);
}

bool WalkRules::Enters(std::string_view utf8Name, int depth) const {
    const bool hidden = !utf8Name.empty() && utf8Name[0] == '.';
    return EntersByName(utf8Name, hidden, depth) &&
           (exclude_.empty() || !Excluded(Utf8ToUtf16(utf8Name)));
}

// Windows compares names without case; the database's name is ASCII, so ASCII folding is the
// file system's folding for it.
bool IsDatabaseName(std::u16string_view name) {
#ifdef _WIN32
    return EqualsAsciiNoCase(name, std::u16string_view(kDatabaseFileName));
#else
    return name == kDatabaseFileName;
#endif
}

bool IsDatabaseName(std::string_view utf8Name) {
    static const std::string utf8 = Utf16ToUtf8(kDatabaseFileName);
    return utf8Name == utf8;
}
