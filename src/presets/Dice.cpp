#include "presets/Dice.h"

#include <algorithm>
#include <limits>

namespace vantor::presets {

namespace {

constexpr std::uint64_t kTwoTo53 = std::uint64_t{1} << 53;
// m takes 2^53 + 1 values. The largest multiple of that below 2^64 is where
// words stop mapping evenly: 2047 * (2^53 + 1); about 1 word in 2048 lies
// above it and is drawn again.
constexpr std::uint64_t kOutcomes = kTwoTo53 + 1;
constexpr std::uint64_t kUnbiasedLimit = (std::numeric_limits<std::uint64_t>::max() / kOutcomes) * kOutcomes;

} // namespace

double drawSliderValue(RandomSource& random) {
    std::uint64_t word = random.nextWord();
    while (word >= kUnbiasedLimit) word = random.nextWord();
    const std::uint64_t m = word % kOutcomes;
    if (m == kTwoTo53) return kFullScale;
    return static_cast<double>(m) * 0x1p-53 * kFullScale;
}

bool drawBoolean(RandomSource& random) { return (random.nextWord() >> 63) != 0; }

DiceRoll drawDiceRoll(RandomSource& random, std::size_t sliderCount, std::size_t modButtonCount) {
    DiceRoll roll;
    roll.sliderValues.reserve(sliderCount);
    for (std::size_t index = 0; index < sliderCount; ++index) {
        const int number = static_cast<int>(index) + 1;
        const bool pinned = std::find(kPinnedSliderNumbers.begin(), kPinnedSliderNumbers.end(), number) !=
                            kPinnedSliderNumbers.end();
        roll.sliderValues.push_back(pinned ? kFullScale : drawSliderValue(random));
    }
    for (std::size_t i = 0; i < modButtonCount; ++i) roll.modButtonPressed.push_back(drawBoolean(random));
    roll.regenModeToggle = drawBoolean(random);
    roll.regen2ModeToggle = drawBoolean(random);
    return roll;
}

} // namespace vantor::presets
