#include "SurfaceTestFixture.h"
#include "presets/Dice.h"

#include <algorithm>

namespace vantor::testing {
namespace {

using Messages = std::vector<midi::NrpnMessage>;
constexpr std::uint64_t kTwoTo53 = std::uint64_t{1} << 53;
constexpr std::uint64_t kTopBit = std::uint64_t{1} << 63;
// Words at or above this would bias the draw and are drawn again.
constexpr std::uint64_t kFirstRejected = 2047 * (kTwoTo53 + 1);

TEST(DiceDraw, ReachesBothEndsAndRejectsBiasedWords) {
    ScriptedRandom random{0, kTwoTo53, kFirstRejected - 1, kFirstRejected, ~std::uint64_t{0}, kTwoTo53 / 2};
    EXPECT_EQ(presets::drawSliderValue(random), 0.0);
    EXPECT_EQ(presets::drawSliderValue(random), 16383.0);
    EXPECT_EQ(presets::drawSliderValue(random), 16383.0); // the last accepted word maps to m = 2^53
    EXPECT_EQ(presets::drawSliderValue(random), 8191.5);  // two rejected words skipped
    EXPECT_EQ(random.drawn(), 6u);
}

TEST(DiceDraw, AWordWrapsOntoTheRangeNotOntoItsTopBits) {
    ScriptedRandom random{kTwoTo53 + 1, 3 * (kTwoTo53 + 1) + 2};
    EXPECT_EQ(presets::drawSliderValue(random), 0.0);
    EXPECT_DOUBLE_EQ(presets::drawSliderValue(random), 2.0 * 0x1p-53 * 16383.0);
}

TEST(DiceDraw, BooleansUseTheTopBit) {
    ScriptedRandom random{kTopBit, kTopBit - 1};
    EXPECT_TRUE(presets::drawBoolean(random));
    EXPECT_FALSE(presets::drawBoolean(random));
}

TEST(DiceDraw, PinsTheSixModulationDepthsAtFullScale) {
    ScriptedRandom random({}, 0);
    const auto roll = presets::drawDiceRoll(random, 43, 7);
    ASSERT_EQ(roll.sliderValues.size(), 43u);
    for (std::size_t i = 0; i < 43; ++i) {
        const bool pinned = i == 27 || i == 30 || i == 33 || i == 36 || i == 39 || i == 42;
        EXPECT_EQ(roll.sliderValues[i], pinned ? 16383.0 : 0.0) << "slider index " << i;
    }
    EXPECT_EQ(random.drawn(), 37u + 7u + 2u); // pinned sliders draw nothing
}

class RollDice : public SurfaceTest {
protected:
    // Scripts a roll: every free slider gets `sliderWord`, then mod flags,
    // regen and regen 2.
    void script(std::uint64_t sliderWord, bool regen, bool regen2) {
        for (int i = 0; i < 37; ++i) random.push(sliderWord);
        for (int i = 0; i < 7; ++i) random.push(i % 2 ? kTopBit : 0);
        random.push(regen ? kTopBit : 0);
        random.push(regen2 ? kTopBit : 0);
    }
};

TEST_F(RollDice, ConnectedSendsTheTwoRegenSwitchesThenAll43Sliders) {
    build();
    script(kTwoTo53 / 4, /*regen=*/true, /*regen2=*/false); // 4095.75 on every free slider
    view->rollDice();

    Messages expected{nrpn(136, 136), nrpn(139, 139)};
    for (int number = 1; number <= 43; ++number) {
        const bool pinned = number % 3 == 1 && number >= 28;
        expected.push_back(nrpn(number, pinned ? 16383 : 4095));
    }
    EXPECT_EQ(sent(), expected);
    EXPECT_EQ(view->sliderValues()[0], 4095.75);
    EXPECT_EQ(view->sliderValues()[42], 16383.0);
    EXPECT_EQ(view->modButtonPressed(), (std::vector<bool>{false, true, false, true, false, true, false}));
    EXPECT_TRUE(view->modeFlag(modes::ModeSwitchId::Regen));

    std::vector<std::string> expectedLines;
    for (int tab = 1; tab <= 7; ++tab) expectedLines.push_back("NRPN numbers not defined for tab " + std::to_string(tab));
    EXPECT_EQ(lines(), expectedLines);
    EXPECT_EQ(queue.runAll(), 0u); // regen 2 did not change: its watcher stays quiet
    EXPECT_EQ(sent().size(), 45u);
}

TEST_F(RollDice, DisconnectedPrintsSevenThenTwoThen43LinesInOrder) {
    build(/*connected=*/false);
    script(0, true, true);
    view->rollDice();
    const auto printed = lines();
    ASSERT_EQ(printed.size(), 7u + 2u + 43u);
    for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(printed[i], "NRPN numbers not defined for tab " + std::to_string(i + 1));
    EXPECT_EQ(printed[7], "MIDI endpoint not connected.");
    EXPECT_EQ(printed[8], "MIDI endpoint not connected.");
    EXPECT_TRUE(std::all_of(printed.begin() + 9, printed.end(),
                            [](const std::string& line) { return line == "No MIDI device connected."; }));
    EXPECT_TRUE(view->modeFlag(modes::ModeSwitchId::Regen2));
}

TEST_F(RollDice, AFlippedRegen2IsAnnouncedAgainAfterTheRollOnlyOnASliderPage) {
    build();
    script(0, false, true);
    view->rollDice();
    EXPECT_EQ(sent().size(), 45u);
    queue.runAll();
    ASSERT_EQ(sent().size(), 46u);
    EXPECT_EQ(sent().back(), nrpn(138, 138));

    midi.clearSends();
    view->setSelectedTab(surface::kUtilityTabTag);
    script(0, false, false);
    view->rollDice();
    queue.runAll();
    EXPECT_EQ(sent().size(), 45u);
}

TEST_F(RollDice, LinkedGroupsReceiveCopiesAfterTheRoll) {
    build();
    view->toggleLink(0);
    view->toggleLink(4);
    script(kTwoTo53 / 2, false, false); // 8191.5 everywhere but the pinned sliders
    view->rollDice();
    EXPECT_EQ(sent().size(), 45u);
    queue.runAll();
    // Group 0 copies to 24..29 and group 4 to 0..5: 12 copies; index 27's
    // pinned 16383 is overwritten by its group-0 source, 8191.5.
    EXPECT_EQ(sent().size(), 45u + 12u);
    EXPECT_EQ(view->sliderValues()[27], 8191.5);
}

TEST_F(RollDice, AFilledModTableAnnouncesEachPressedState) {
    build(/*connected=*/true, modes::ModButtonTable{{{60, 61}}, {{62, 63}}});
    script(0, false, false);
    view->rollDice();
    const auto messages = sent();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0], nrpn(61, 127)); // button 0 released
    EXPECT_EQ(messages[1], nrpn(62, 127)); // button 1 pressed
}

TEST_F(RollDice, TheUtilityValuesAreLeftAlone) {
    build();
    view->editUtilitySlider(0, 99.0);
    script(kTwoTo53, true, true);
    view->rollDice();
    EXPECT_EQ(view->utilityValues()[0], 99.0);
}

} // namespace
} // namespace vantor::testing
