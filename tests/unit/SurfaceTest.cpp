#include "presets/Dice.h"
#include "presets/MidiSliderPreset.h"
#include "support/CoreFakes.h"
#include "support/MidiFakes.h"
#include "surface/ContentView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vantor::testing {
namespace {

using namespace std::chrono_literals;
using modes::ModeSwitchId;
using Messages = std::vector<midi::NrpnMessage>;
using Lines = std::vector<std::string>;

midi::NrpnMessage nrpn(int parameter, int value) { return {0, parameter, value}; }

// A ContentView over fakes, connected to a "vantor*2" destination unless a
// test asks for none.
class Surface : public ::testing::Test {
protected:
    void build(bool connected = true, modes::ModButtonTable table = {}) {
        if (connected) destination = midi.addDestination("vantor*2");
        view = std::make_unique<surface::ContentView>(midi, queue, console, random, std::move(table));
    }
    // What reached the destination once the paced sends still waiting for
    // the wire have left (the main queue's clock turned a second).
    Messages sent() {
        for (int ms = 0; ms < 1000; ++ms) {
            queue.runAll();
            queue.advance(1ms);
        }
        return midi.nrpns();
    }

    RecordingMidiService midi;
    ManualMainQueue queue;
    ConsoleRecorder console;
    ScriptedRandom random;
    midi::EndpointRef destination = 0;
    std::unique_ptr<surface::ContentView> view;
};

TEST_F(Surface, AnEditIsStoredAndSentTruncatedTowardZeroButANonFiniteOneIsDropped) {
    build();
    view->editSlider(0, 3, 100.9);
    view->editSlider(0, 0, 16383.0);
    view->editSlider(0, 1, 0.99);
    view->toggleLink(0);
    view->toggleLink(1);
    for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -1e300}) view->editSlider(0, 0, bad);
    EXPECT_EQ(queue.runAll(), 0u);
    EXPECT_EQ(view->sliderValues()[3], 100.9);
    EXPECT_EQ(view->sliderValues()[0], 16383.0);
    EXPECT_EQ(sent(), (Messages{nrpn(4, 100), nrpn(1, 16383), nrpn(2, 0)}));
    for (const auto& each : midi.sends()) EXPECT_EQ(each.destination, destination);
}

TEST_F(Surface, OnceASendFindsTheDestinationGoneEverySendPrintsItsNotConnectedLineAndTheStateStillChanges) {
    build(/*connected=*/true, modes::ModButtonTable{{{60, 61}}});
    midi.vanish(destination);
    view->editSlider(0, 0, 1.0); // lost without a word: this is how the surface finds out
    EXPECT_FALSE(view->midiManager().isConnected());
    EXPECT_TRUE(console.lines().empty());

    view->toggleLink(0);
    view->toggleLink(1);
    view->editSlider(0, 0, 5000.0);
    queue.runAll();
    view->setModeFlag(ModeSwitchId::Complexity, true);
    queue.runAll();
    view->pressRegenButton();
    view->sendModButtonNRPN(0);
    EXPECT_EQ(console.lines(), (Lines{"No MIDI device connected.", "No MIDI device connected.",
                                      "MIDI endpoint not connected.", "MIDI endpoint not connected.",
                                      "No MIDI device connected."}));
    EXPECT_EQ(view->sliderValues()[6], 5000.0);
    EXPECT_TRUE(view->modeFlag(ModeSwitchId::Complexity));
    EXPECT_TRUE(view->modeFlag(ModeSwitchId::Regen));
    EXPECT_TRUE(midi.sends().empty());
}

// Paced, a refused NRPN waits for room like any other: the newest value
// arrives once the queue takes it, and nothing is reported lost.
TEST_F(Surface, NrpnsRefusedByAFullQueueWaitAndTheLastValueArrivesWithoutALossLine) {
    build();
    view->editSlider(0, 0, 1.0);
    midi.failWith(midi::SendResult::QueueFull);
    for (int value = 0; value < 12; ++value) view->editSlider(0, 0, value);
    view->editSlider(0, 1, 7.0);
    sent();
    midi.stopFailing();
    EXPECT_EQ(sent(), (Messages{nrpn(1, 1), nrpn(1, 11), nrpn(2, 7)}));
    EXPECT_TRUE(console.lines().empty());
    EXPECT_TRUE(view->midiManager().isConnected());
}

TEST_F(Surface, ALinkedCopyLandsOnTheSamePositionOfEveryOtherLinkedGroupWhenTheMainQueueRuns) {
    build();
    for (int tab : {0, 1, 3, 4}) view->toggleLink(tab);
    view->editSlider(1, 8, 1234.0); // parameter 9: position 2 of group 1
    EXPECT_EQ(midi.nrpns(), Messages{nrpn(9, 1234)});
    EXPECT_EQ(view->sliderValues()[2], 0.0);
    EXPECT_EQ(queue.runAll(), 3u) << "copies are not copied on";
    EXPECT_EQ(sent(), (Messages{nrpn(9, 1234), nrpn(3, 1234), nrpn(21, 1234), nrpn(27, 1234)}));
    for (const int index : {2, 8, 20, 26}) EXPECT_EQ(view->sliderValues()[index], 1234.0) << index;

    midi.clearSends();
    view->editSlider(2, 12, 42.0); // group 2 is not linked
    view->editUtilitySlider(3, 3.0);
    view->editUtilitySlider(3, 3.0); // unchanged: not sent
    EXPECT_EQ(queue.runAll(), 0u) << "unlinked sliders and the utility tab never copy";
    EXPECT_EQ(midi.nrpns(), (Messages{nrpn(13, 42), nrpn(110, 3)})) << "a single move leaves at once";
    EXPECT_EQ(sent(), (Messages{nrpn(13, 42), nrpn(110, 3)}));
}

TEST_F(Surface, ASwitchIsAnnouncedOnlyIfOnScreenAndStillChangedWhenTheAnnouncementRuns) {
    build();
    view->setModeFlag(ModeSwitchId::Voice, true);
    EXPECT_TRUE(midi.sends().empty()) << "announced after the click, not inside it";
    view->setModeFlag(ModeSwitchId::Voice, false);
    queue.runAll();
    EXPECT_TRUE(midi.sends().empty());

    view->setSelectedTab(surface::kUtilityTabTag);
    view->setModeFlag(ModeSwitchId::Regen2, true); // page switch: off screen here
    view->setModeFlag(ModeSwitchId::Voice, true);  // header switch: shown here
    queue.runAll();
    view->setSelectedTab(2);
    queue.runAll();
    view->setModeFlag(ModeSwitchId::Regen2, false);
    queue.runAll();
    EXPECT_EQ(sent(), (Messages{nrpn(130, 130), nrpn(139, 139)}));

    view->setSelectedTab(surface::kGestureTabTag); // no header here
    view->setModeFlag(ModeSwitchId::Drum, true);
    view->setSelectedTab(0);
    queue.runAll();
    EXPECT_EQ(sent().size(), 2u);
}

TEST_F(Surface, AModButtonSends127ToItsStatesNumberOrNamesItsTabWhenUndefined) {
    modes::ModButtonTable table(9, {{70, 71}});
    table[0] = {{60, 61}};
    table[1] = {};
    build(/*connected=*/true, table);
    for (const int button : {0, 1, 8, -1, 99}) view->sendModButtonNRPN(button);
    EXPECT_EQ(sent(), Messages{nrpn(61, 127)});
    EXPECT_EQ(console.lines(),
              (Lines{"NRPN numbers not defined for tab 2", "NRPN numbers not defined for tab 9",
                     "NRPN numbers not defined for tab 0", "NRPN numbers not defined for tab 100"}));
}

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

TEST(Preset, IsKeyedAToGInOrderAndRoundTripsThroughItsText) {
    presets::MidiSliderPreset preset{{0.5, 16383.0, 1e-300}, {true, false}, false, true, false, false, true};
    const auto encoded = presets::encodePreset(preset);
    ASSERT_TRUE(encoded.json) << encoded.error;
    std::string keys;
    for (const auto& item : encoded.json->items()) keys += item.key();
    EXPECT_EQ(keys, "ABCDEFG");
    EXPECT_EQ(presets::decodePresetText(encoded.json->dump()).preset, preset);
    EXPECT_EQ(presets::decodePresetText(R"({"A":[0.5,16383,1e-300],"B":[true,false],"C":false,"D":true,)"
                                        R"("E":false,"F":false,"G":true})")
                  .preset,
              preset);
    preset.values[1] = std::nan("");
    EXPECT_FALSE(presets::encodePreset(preset).json);
}

TEST(Preset, DecodesOnlyAWellFormedRecordAndOtherwiseTellsWhy) {
    struct Row {
        const char* name;
        std::string text;
        bool wellFormed;
    };
    const Row rows[] = {
        {"every key, and others ignored", R"({"Z":1,"a":[],"A":[],"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})", true},
        {"G missing", R"({"A":[],"B":[],"C":false,"D":false,"E":false,"F":false})", false},
        {"A missing", R"({"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})", false},
        {"a flag that is a number", R"({"A":[],"B":[],"C":1,"D":false,"E":false,"F":false,"G":false})", false},
        {"a value that is a string", R"({"A":["1"],"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})", false},
        {"a number among the Booleans", R"({"A":[],"B":[0],"C":false,"D":false,"E":false,"F":false,"G":false})", false},
        {"values that are no list", R"({"A":0,"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})", false},
        {"a value out of range", R"({"A":[1e400],"B":[],"C":false,"D":false,"E":false,"F":false,"G":false})", false},
        {"lower-case keys", R"({"a":[],"b":[],"c":false,"d":false,"e":false,"f":false,"g":false})", false},
        {"a list, not a record", "[1,2,3]", false},
        {"cut short", R"({"A":)", false}};
    for (const auto& [name, text, wellFormed] : rows) {
        const auto decoded = presets::decodePresetText(std::string_view(text));
        EXPECT_EQ(decoded.preset.has_value(), wellFormed) << name;
        EXPECT_EQ(decoded.error.empty(), wellFormed) << name;
    }
}

} // namespace
} // namespace vantor::testing
