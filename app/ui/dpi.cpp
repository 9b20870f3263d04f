#include "app/ui/dpi.h"

#include <cstdint>

namespace {

// Windows offers densities from 96 to 480 (500%); anything far outside that is a fault.
constexpr int kLowestDpi = 48;
constexpr int kHighestDpi = 960;

int MulDivRounded(int value, int numerator, int denominator) {
    const int64_t product = static_cast<int64_t>(value) * numerator;
    const int64_t half = denominator / 2;
    const int64_t result =
        product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
    return static_cast<int>(result);
}

}  // namespace

int SaneDpi(int reported) {
    return reported >= kLowestDpi && reported <= kHighestDpi ? reported : kDefaultDpi;
}

int ScaleForDpi(int value, int dpi) {
    return MulDivRounded(value, SaneDpi(dpi), kDefaultDpi);
}

int ScaleLineForDpi(int value, int dpi) {
    const int scaled = ScaleForDpi(value, dpi);
    return value > 0 && scaled < 1 ? 1 : scaled;
}

int UnscaleForDpi(int value, int dpi) {
    return MulDivRounded(value, kDefaultDpi, SaneDpi(dpi));
}

int PictureScaleForDpi(int dpi) {
    const int sane = SaneDpi(dpi);
    if (sane >= 168) return 200;  // from 175%
    if (sane >= 120) return 150;  // from 125%
    return 100;
}
