// The surface's edits, links, switches, mod buttons and utility tab, and
// what each sends or prints.

#include "unit/SurfaceFixture.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace vantor::testing {
namespace {

using namespace std::chrono_literals;
using modes::ModeSwitchId;

TEST_F(Surface, AnEditIsStoredAndSentTruncatedTowardZeroButANonFiniteOneIsDropped) {
    build();
    edit(0, 3, 100.9);
    edit(0, 0, 16383.0);
    edit(0, 1, 0.99);
    link(0);
    link(1);
    for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -1e300}) edit(0, 0, bad);
    EXPECT_EQ(queue.runAll(), 0u);
    EXPECT_EQ(view->sliderValues()[3], 100.9);
    EXPECT_EQ(view->sliderValues()[0], 16383.0);
    EXPECT_EQ(sent(), (Messages{nrpn(4, 100), nrpn(1, 16383), nrpn(2, 0)}));
    for (const auto& each : midi.sends()) EXPECT_EQ(each.destination, destination);
}

TEST_F(Surface, OnceASendFindsTheDestinationGoneEverySendPrintsItsNotConnectedLineAndTheStateStillChanges) {
    build(/*connected=*/true, modes::ModButtonTable{{{60, 61}}});
    midi.vanish(destination);
    edit(0, 0, 1.0); // lost without a word: this is how the surface finds out
    EXPECT_FALSE(view->midiManager().isConnected());
    EXPECT_TRUE(console.lines().empty());

    link(0);
    link(1);
    edit(0, 0, 5000.0);
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
    edit(0, 0, 1.0);
    midi.failWith(midi::SendResult::QueueFull);
    for (int value = 0; value < 12; ++value) edit(0, 0, value);
    edit(0, 1, 7.0);
    sent();
    midi.stopFailing();
    EXPECT_EQ(sent(), (Messages{nrpn(1, 1), nrpn(1, 11), nrpn(2, 7)}));
    EXPECT_TRUE(console.lines().empty());
    EXPECT_TRUE(view->midiManager().isConnected());
}

TEST_F(Surface, ALinkedCopyLandsOnTheSamePositionOfEveryOtherLinkedGroupWhenTheMainQueueRuns) {
    build();
    for (int tab : {0, 1, 3, 4}) link(tab);
    edit(1, 8, 1234.0); // parameter 9: position 2 of group 1
    EXPECT_EQ(midi.nrpns(), Messages{nrpn(9, 1234)});
    EXPECT_EQ(view->sliderValues()[2], 0.0);
    EXPECT_EQ(queue.runAll(), 3u) << "copies are not copied on";
    EXPECT_EQ(sent(), (Messages{nrpn(9, 1234), nrpn(3, 1234), nrpn(21, 1234), nrpn(27, 1234)}));
    for (const int index : {2, 8, 20, 26}) EXPECT_EQ(view->sliderValues()[index], 1234.0) << index;

    midi.clearSends();
    edit(2, 12, 42.0); // group 2 is not linked
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
    view->setSelectedTab(surface::TabTag(2));
    queue.runAll();
    view->setModeFlag(ModeSwitchId::Regen2, false);
    queue.runAll();
    EXPECT_EQ(sent(), (Messages{nrpn(130, 130), nrpn(139, 139)}));

    view->setSelectedTab(surface::kGestureTabTag); // no header here
    view->setModeFlag(ModeSwitchId::Drum, true);
    view->setSelectedTab(surface::TabTag(0));
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

} // namespace
} // namespace vantor::testing
