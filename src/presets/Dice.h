#pragma once

#include "core/RandomSource.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantor::presets {

inline constexpr double kFullScale = 16383.0;

// Slider numbers (index + 1) that a roll sets to full scale: the six
// modulation depths, "mod A depth" to "mod F depth".
inline constexpr std::array<int, 6> kPinnedSliderNumbers{28, 31, 34, 37, 40, 43};

// Uniform over 0..16383, both ends included: an integer m uniform over
// 0..2^53 (inclusive) scaled by 16383 / 2^53. Words that would bias m are
// rejected and another is drawn.
double drawSliderValue(RandomSource& random);
// Fair: the top bit of one word.
bool drawBoolean(RandomSource& random);

// Everything one press of "dice" decides, drawn in the order the roll uses
// it: the slider values, then one flag per mod button, then the two regen
// switches.
struct DiceRoll {
    std::vector<double> sliderValues;
    std::vector<bool> modButtonPressed;
    bool regenModeToggle = false;
    bool regen2ModeToggle = false;
};
DiceRoll drawDiceRoll(RandomSource& random, std::size_t sliderCount, std::size_t modButtonCount);

} // namespace vantor::presets
