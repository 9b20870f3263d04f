// Fills the numbered places of a catalogue text: "{0}" takes the first argument, "{1}" the
// second. A translation may order the places as its language needs.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "text/texts.h"

// `pattern` with each "{N}" replaced by args[N]; a place without an argument stays as written.
std::u16string FormatText(std::u16string_view pattern,
                          std::initializer_list<std::u16string_view> args);

// The selected language's text `id`, filled.
std::u16string FormatText(TextId id, std::initializer_list<std::u16string_view> args);

// A count in decimal digits, for the places.
std::u16string Decimal(uint64_t value);
