#include "SurfaceTestFixture.h"

#include <chrono>

namespace vantor::testing {
namespace {

using modes::ModeSwitchId;
using Messages = std::vector<midi::NrpnMessage>;
using namespace std::chrono_literals;

struct LabelCase {
    std::string name;
    ModeSwitchId id;
    std::string on;
    std::string off;
    int numberOn;
    int numberOff;
    friend void PrintTo(const LabelCase& row, std::ostream* out) { *out << row.name; }
};

class ModeSwitchTable : public ::testing::TestWithParam<LabelCase> {};

TEST_P(ModeSwitchTable, LabelsAndNumbersAreTheInstrumentsOwn) {
    const auto& row = GetParam();
    const auto& info = modes::modeSwitch(row.id);
    EXPECT_EQ(modes::labelFor(info, true), row.on);
    EXPECT_EQ(modes::labelFor(info, false), row.off);
    EXPECT_EQ(modes::numberFor(info, true), row.numberOn);
    EXPECT_EQ(modes::numberFor(info, false), row.numberOff);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ModeSwitchTable,
    ::testing::Values(LabelCase{"voice", ModeSwitchId::Voice, "Voice allocation B", "Voice allocation A", 130, 131},
                      LabelCase{"drum", ModeSwitchId::Drum, "drum assign on", "drum assign off", 132, 133},
                      LabelCase{"filterOnIsTheHigherNumber", ModeSwitchId::Filter, "pulse enabled", "pulse disabled",
                                135, 134},
                      LabelCase{"regenLabelIsFixed", ModeSwitchId::Regen, "equation ??", "equation ??", 136, 137},
                      LabelCase{"regen2", ModeSwitchId::Regen2, "algorithm mode B", "algorithm mode A", 138, 139},
                      LabelCase{"midimodeOnHasALeadingSpace", ModeSwitchId::Midimode, " channel assign on",
                                "channel assign off", 140, 141},
                      LabelCase{"complexityOnHasALeadingSpace", ModeSwitchId::Complexity, " complexity on",
                                "complexity off", 104, 105}),
    [](const auto& row) { return row.param.name; });

class ModeSwitches : public SurfaceTest {};

TEST_F(ModeSwitches, AToggleAnnouncesEachChangeOnceAfterTheEvent) {
    build();
    view->setModeFlag(ModeSwitchId::Drum, true);
    EXPECT_TRUE(midi.sends().empty()); // not inside the click
    queue.runAll();
    view->setModeFlag(ModeSwitchId::Drum, false);
    queue.runAll();
    view->setModeFlag(ModeSwitchId::Filter, true);
    queue.runAll();
    view->setModeFlag(ModeSwitchId::Filter, false);
    queue.runAll();
    EXPECT_EQ(sent(), (Messages{nrpn(132, 132), nrpn(133, 133), nrpn(135, 135), nrpn(134, 134)}));
}

TEST_F(ModeSwitches, AFlagFlippedBackBeforeTheAnnouncementAnnouncesNothing) {
    build();
    view->setModeFlag(ModeSwitchId::Voice, true);
    view->setModeFlag(ModeSwitchId::Voice, false);
    queue.runAll();
    EXPECT_TRUE(midi.sends().empty());
}

TEST_F(ModeSwitches, WithoutADestinationTheLineIsPrintedAndTheFlagKept) {
    build(/*connected=*/false);
    view->setModeFlag(ModeSwitchId::Complexity, true);
    queue.runAll();
    EXPECT_TRUE(view->modeFlag(ModeSwitchId::Complexity));
    EXPECT_EQ(lines(), std::vector<std::string>{"MIDI endpoint not connected."});
}

TEST_F(ModeSwitches, PageSwitchesAreWatchedOnlyWhileASliderPageIsShown) {
    build();
    view->setSelectedTab(surface::kUtilityTabTag);
    view->setModeFlag(ModeSwitchId::Regen2, true); // page switch off screen: not announced
    view->setModeFlag(ModeSwitchId::Voice, true);  // header is shown on the utility tab
    queue.runAll();
    EXPECT_EQ(sent(), Messages{nrpn(130, 130)});

    view->setSelectedTab(2); // the page switch comes back showing "true": no late announcement
    queue.runAll();
    view->setModeFlag(ModeSwitchId::Regen2, false);
    queue.runAll();
    EXPECT_EQ(sent(), (Messages{nrpn(130, 130), nrpn(139, 139)}));
}

TEST_F(ModeSwitches, HeaderSwitchesAreNotWatchedOnTheGestureTab) {
    build();
    view->setSelectedTab(surface::kGestureTabTag);
    EXPECT_FALSE(view->isHeaderShown());
    view->setModeFlag(ModeSwitchId::Drum, true);
    view->setSelectedTab(0); // switch to another tab before the watcher ran
    queue.runAll();
    EXPECT_TRUE(view->isHeaderShown());
    EXPECT_TRUE(midi.sends().empty());
}

TEST_F(ModeSwitches, TheRegenButtonAnnouncesEachPressAndFlashesFromTheFirstPress) {
    build();
    std::vector<bool> highlight;
    auto connection = view->regenHighlightChanged.connect([&](bool on) { highlight.push_back(on); });

    view->pressRegenButton();
    EXPECT_TRUE(view->regenHighlighted());
    queue.advance(200ms);
    view->pressRegenButton();
    EXPECT_EQ(sent(), (Messages{nrpn(136, 136), nrpn(137, 137)})); // sent inside the press
    EXPECT_FALSE(view->modeFlag(ModeSwitchId::Regen));

    queue.advance(99ms);
    queue.runAll();
    EXPECT_TRUE(view->regenHighlighted());
    queue.advance(1ms); // 0.3 s after the first press
    queue.runAll();
    EXPECT_FALSE(view->regenHighlighted());
    queue.advance(200ms); // the second press's reset finds it already off
    queue.runAll();
    EXPECT_EQ(highlight, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(sent().size(), 2u); // the regen flag has no watcher
}

TEST_F(ModeSwitches, TheRegenButtonWithoutADestinationPrintsAndStillFlips) {
    build(/*connected=*/false);
    view->pressRegenButton();
    queue.runAll();
    EXPECT_TRUE(view->modeFlag(ModeSwitchId::Regen));
    EXPECT_EQ(lines(), std::vector<std::string>{"MIDI endpoint not connected."});
}

class ModButtons : public SurfaceTest {};

TEST_F(ModButtons, AnEmptyTableNamesTheButtonInsteadOfSending) {
    build();
    view->sendModButtonNRPN(2);
    view->sendModButtonNRPN(-1);
    view->sendModButtonNRPN(99);
    EXPECT_EQ(lines(), (std::vector<std::string>{"NRPN numbers not defined for tab 3",
                                                 "NRPN numbers not defined for tab 0",
                                                 "NRPN numbers not defined for tab 100"}));
    EXPECT_TRUE(midi.sends().empty());
}

TEST_F(ModButtons, AFilledRowSends127ToItsOnOrOffNumber) {
    modes::ModButtonTable table{{{60, 61}, {70, 71}}, {}};
    build(/*connected=*/true, table);
    view->sendModButtonNRPN(0); // released
    view->sendModButtonNRPN(1); // empty row counts as undefined
    EXPECT_EQ(sent(), Messages{nrpn(61, 127)});
    EXPECT_EQ(lines(), std::vector<std::string>{"NRPN numbers not defined for tab 2"});
}

TEST_F(ModButtons, ARowBeyondThePressedStatesIsNotRead) {
    modes::ModButtonTable table(9, {{60, 61}});
    build(/*connected=*/true, table);
    view->sendModButtonNRPN(8);
    EXPECT_EQ(lines(), std::vector<std::string>{"NRPN numbers not defined for tab 9"});
}

TEST_F(ModButtons, ADefinedButtonWithoutADestinationPrintsNoDevice) {
    build(/*connected=*/false, modes::ModButtonTable{{{60, 61}}});
    view->sendModButtonNRPN(0);
    EXPECT_EQ(lines(), std::vector<std::string>{"No MIDI device connected."});
}

} // namespace
} // namespace vantor::testing
