// The dice: how a word becomes a value, and a roll through the surface.

#include "presets/Dice.h"
#include "unit/SurfaceFixture.h"

#include <gtest/gtest.h>

namespace vantor::testing {
namespace {

constexpr std::uint64_t kTwoTo53 = std::uint64_t{1} << 53;
constexpr std::uint64_t kTopBit = std::uint64_t{1} << 63;

TEST(Dice, DrawsBothEndsOfTheRangeAndDrawsAgainForABiasedWord) {
    constexpr std::uint64_t kFirstRejected = 2047 * (kTwoTo53 + 1);
    ScriptedRandom random{0, kTwoTo53, kFirstRejected - 1, kFirstRejected, ~std::uint64_t{0}, kTwoTo53 / 2,
                          3 * (kTwoTo53 + 1) + 2, kTopBit, kTopBit - 1};
    EXPECT_EQ(presets::drawSliderValue(random), 0.0);
    EXPECT_EQ(presets::drawSliderValue(random), 16383.0);
    EXPECT_EQ(presets::drawSliderValue(random), 16383.0);
    EXPECT_EQ(presets::drawSliderValue(random), 8191.5); // after two rejected words
    EXPECT_EQ(random.drawn(), 6u);
    EXPECT_DOUBLE_EQ(presets::drawSliderValue(random), 2.0 * 0x1p-53 * 16383.0); // wraps, not top bits
    EXPECT_TRUE(presets::drawBoolean(random));
    EXPECT_FALSE(presets::drawBoolean(random));
}

TEST_F(Surface, TheDiceSendRegenThenRegen2ThenAll43SlidersWithTheSixModDepthsAtFullScale) {
    build();
    for (int i = 0; i < 37; ++i) random.push(kTwoTo53 / 4);       // 4095.75 on every free slider
    for (int i = 0; i < 7; ++i) random.push(i % 2 ? kTopBit : 0); // mod buttons
    random.push(kTopBit);                                          // regen
    random.push(kTopBit);                                          // regen 2
    view->rollDice();
    Messages expected{nrpn(136, 136), nrpn(138, 138)};
    for (int number = 1; number <= 43; ++number) {
        const bool pinned = number >= 28 && number % 3 == 1;
        expected.push_back(nrpn(number, pinned ? 16383 : 4095));
    }
    EXPECT_EQ(view->sliderValues()[0], 4095.75);
    EXPECT_EQ(view->modButtonPressed(), (std::vector<bool>{false, true, false, true, false, true, false}));
    EXPECT_EQ(console.lines().size(), 7u) << "the mod table is empty";
    EXPECT_EQ(random.drawn(), 37u + 7u + 2u);
    expected.push_back(nrpn(138, 138)); // regen 2's watcher announces the flip once more
    EXPECT_EQ(sent(), expected) << "whole and in order, however fast the wire";
}

TEST_F(Surface, TheDiceWithoutADestinationPrintTheModLinesThenTwoSwitchLinesThen43SliderLines) {
    build(/*connected=*/false);
    view->rollDice();
    Lines expected;
    for (int tab = 1; tab <= 7; ++tab) expected.push_back("NRPN numbers not defined for tab " + std::to_string(tab));
    expected.insert(expected.end(), 2, "MIDI endpoint not connected.");
    expected.insert(expected.end(), 43, "No MIDI device connected.");
    EXPECT_EQ(console.lines(), expected);
}

} // namespace
} // namespace vantor::testing
