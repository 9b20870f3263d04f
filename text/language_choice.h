// Which language the texts are shown in: the user's override, else the first of Windows'
// preferred UI languages that Pelmora has, else English. Allocation-free, for the extension.
#pragma once

#include <cstddef>

// The position in `available` (language tags such as "de", "pt-BR", "zh-CN") that `tag` asks
// for, or -1. Tried in turn: the tag itself (in any case); "pt" and "pt-*" as "pt-BR";
// "zh-CN", "zh-SG" and "zh-Hans*" as "zh-CN" (never a traditional Chinese tag); the base
// language ("de-AT" as "de"). An empty or malformed tag asks for nothing.
int MatchLanguage(const char16_t* tag, const char* const* available, size_t count) noexcept;

// The override first (null or empty: none), then `preferred` in order (Windows' list: tags
// each ended by a null, the list by an empty one; null: none). -1 when nothing matches.
int ChooseLanguage(const char16_t* override,
                   const char16_t* preferred,
                   const char* const* available,
                   size_t count) noexcept;

// ChooseLanguage over the compiled translations, as a language number of text/texts.h
// (English when nothing matches).
size_t ChooseTextLanguage(const char16_t* override, const char16_t* preferred) noexcept;

// Whether `tag` (a tag of text/texts.h, such as "de" or "qps-plocm") names a language read from
// right to left, whose windows are mirrored: Arabic, Hebrew, Persian and Urdu in any region, and
// Windows' mirrored pseudo-locale. Null or empty: no.
bool IsRightToLeft(const char* tag) noexcept;
