// Where Windows keeps the languages a user reads: the user's own choice for Pelmora (the REG_SZ
// value "Language" under HKEY_CURRENT_USER\Software\Pelmora) and the user's preferred UI
// languages in order. Fixed buffers, no allocation and no exception: the extension reads both
// on every menu Explorer shows.
#pragma once

#include <windows.h>

// Windows' limit for a locale name, terminator included.
inline constexpr DWORD kLanguageTagChars = 85;
inline constexpr DWORD kPreferredLanguagesChars = 1024;

// The override, or an empty text when there is none (or it is no text that fits).
inline void ReadLanguageOverride(wchar_t (&tag)[kLanguageTagChars]) noexcept {
    DWORD bytes = sizeof tag;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Pelmora", L"Language", RRF_RT_REG_SZ, nullptr,
                     tag, &bytes) != ERROR_SUCCESS) {
        tag[0] = L'\0';
    }
}

// The user's preferred UI languages, each ended by a null and the list by an empty one; an
// empty list when Windows gives none or more than fits.
inline void ReadPreferredLanguages(wchar_t (&tags)[kPreferredLanguagesChars]) noexcept {
    ULONG count = 0;
    ULONG chars = kPreferredLanguagesChars;
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, tags, &chars)) {
        tags[0] = L'\0';
        tags[1] = L'\0';
    }
}
