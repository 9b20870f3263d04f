// How the messages name the size of a value too long to be read.
#pragma once

#include <cstdint>
#include <string>

// "N bytes" for a measured length; "more than 64 MB" for one over kMeasurableBytes, which
// LongestValueBytes does not measure.
std::u16string ValueSizeText(int64_t bytes);
