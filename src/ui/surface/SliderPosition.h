#pragma once

#include <cmath>

namespace vantor::surface {

// The sliders on screen run over the integer positions 0..16383, which are
// exactly the 14-bit values an NRPN carries. A stored value that is not a
// whole number (the dice draws real numbers) is shown at the position it is
// sent as: truncated toward zero.
inline constexpr int kSliderMaximum = 16383;

inline int sliderPosition(double value) {
    if (!(value > 0.0)) return 0; // also NaN
    if (value >= kSliderMaximum) return kSliderMaximum;
    return static_cast<int>(std::trunc(value));
}

} // namespace vantor::surface
