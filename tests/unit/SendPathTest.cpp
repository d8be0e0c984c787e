#include "SurfaceTestFixture.h"

#include <cmath>
#include <limits>

namespace vantor::testing {
namespace {

using Messages = std::vector<midi::NrpnMessage>;

class SendPath : public SurfaceTest {};

TEST_F(SendPath, AnEditStoresTheValueAndSendsItTruncated) {
    build();
    int told = -1;
    auto connection = view->sliderValueChanged.connect([&](int index) { told = index; });
    view->editSlider(0, 3, 100.9);
    EXPECT_EQ(view->sliderValues()[3], 100.9);
    EXPECT_EQ(told, 3);
    view->editSlider(0, 0, 16383.0);
    view->editSlider(0, 1, 0.99);
    EXPECT_EQ(sent(), (Messages{nrpn(4, 100), nrpn(1, 16383), nrpn(2, 0)}));
    EXPECT_EQ(midi.sends()[0].destination, *destination);
}

TEST_F(SendPath, WithoutADestinationEverySendPrintsItsLineAndValuesAreStillStored) {
    build(/*connected=*/false);
    view->toggleLink(0);
    view->toggleLink(1);
    view->editSlider(0, 0, 5000.0);
    queue.runAll();
    EXPECT_TRUE(midi.sends().empty());
    EXPECT_EQ(lines(), (std::vector<std::string>{"No MIDI device connected.", "No MIDI device connected."}));
    EXPECT_EQ(view->sliderValues()[6], 5000.0);
}

TEST_F(SendPath, OnceTheDestinationIsFoundGoneEverySenderPrintsItsNotConnectedLine) {
    build();
    midi.vanish(*destination);
    view->editSlider(0, 0, 1.0); // lost: this is how the manager finds out
    EXPECT_FALSE(view->midiManager().isConnected());
    EXPECT_TRUE(lines().empty());

    view->editSlider(0, 0, 2.0);
    view->setModeFlag(modes::ModeSwitchId::Voice, true);
    queue.runAll();
    view->pressUtilityCommand(0);
    EXPECT_EQ(lines(), (std::vector<std::string>{"No MIDI device connected.", "MIDI endpoint not connected.",
                                                 "No MIDI device connected."}));
    EXPECT_TRUE(midi.sends().empty());
}

TEST_F(SendPath, NrpnsRefusedByAFullQueueAreToldAsOneLinePerBurst) {
    using namespace std::chrono_literals;
    build();
    midi.failWith(midi::SendResult::QueueFull, 1);
    for (int value = 0; value < 13; ++value) view->editSlider(0, 0, value);
    queue.advance(midi::LostNrpnReport::kBurstLength - 1ms);
    queue.runAll();
    EXPECT_TRUE(lines().empty()) << "the burst is still open";
    queue.advance(1ms);
    queue.runAll();
    EXPECT_EQ(lines(), std::vector<std::string>{"MIDI output queue full: 12 NRPN messages lost."});

    view->editSlider(0, 0, 99.0);
    queue.advance(midi::LostNrpnReport::kBurstLength);
    queue.runAll();
    EXPECT_EQ(lines().back(), "MIDI output queue full: 1 NRPN message lost.");
    EXPECT_TRUE(view->midiManager().isConnected()) << "a full queue is not a lost destination";
}

TEST_F(SendPath, NonFiniteValuesAreNeverSentStoredOrCopied) {
    build();
    view->toggleLink(0);
    view->toggleLink(1);
    for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -1e300}) {
        view->editSlider(0, 0, bad);
        view->sendSliderNRPN(1, 0, bad);
        view->applyLinkedValue(6, 1, 1, bad);
    }
    queue.runAll();
    EXPECT_TRUE(midi.sends().empty());
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(view->sliderValues()[0], 0.0);
    EXPECT_EQ(view->sliderValues()[6], 0.0);
}

TEST_F(SendPath, LinkedCopiesLandOnlyAfterTheQueueIsDrained) {
    build();
    view->toggleLink(0);
    view->toggleLink(1);
    view->editSlider(0, 0, 5000.3);
    EXPECT_EQ(sent(), Messages{nrpn(1, 5000)});
    EXPECT_EQ(view->sliderValues()[6], 0.0);

    EXPECT_TRUE(queue.runOne());
    EXPECT_FALSE(queue.runOne());
    EXPECT_EQ(view->sliderValues()[6], 5000.3);
    EXPECT_EQ(sent(), (Messages{nrpn(1, 5000), nrpn(7, 5000)}));
}

TEST_F(SendPath, ACopyGoesToTheSamePositionOfEachOtherLinkedGroupInAscendingOrder) {
    build();
    for (int tab : {0, 1, 3, 4}) view->toggleLink(tab);
    view->editSlider(1, 8, 1234.0); // parameter 9, position 2 of group 1
    queue.runAll();
    EXPECT_EQ(sent(), (Messages{nrpn(9, 1234), nrpn(3, 1234), nrpn(21, 1234), nrpn(27, 1234)}));
    // copies are not copied on
    EXPECT_EQ(queue.readyCount(), 0u);
}

TEST_F(SendPath, ACopyOntoTheSourceItselfSendsItAgain) {
    build();
    view->toggleLink(2);
    view->toggleLink(3);
    view->editSlider(2, 20, 777.0); // group 3, position 2 -> index 20 again
    queue.runAll();
    EXPECT_EQ(sent(), (Messages{nrpn(21, 777), nrpn(21, 777)}));
}

TEST_F(SendPath, AnUnlinkedSourceNeverCopiesEvenWithEveryOtherGroupLinked) {
    build();
    for (int tab : {1, 2, 3, 4}) view->toggleLink(tab);
    view->editSlider(0, 0, 42.0);
    EXPECT_EQ(queue.runAll(), 0u);
    EXPECT_EQ(sent(), Messages{nrpn(1, 42)});
}

TEST_F(SendPath, TheUtilityTabNeverCopiesAndSendsItsOwnNumbers) {
    build();
    for (int tab : {0, 1, 2, 3, 4}) view->toggleLink(tab);
    view->editUtilitySlider(0, 16383.0);
    view->editUtilitySlider(1, 1.5);
    view->editUtilitySlider(2, 2.0);
    view->editUtilitySlider(3, 3.0);
    view->editUtilitySlider(3, 3.0); // no change, nothing sent
    for (int command = 0; command < 3; ++command) view->pressUtilityCommand(command);
    view->pressUtilityCommand(0); // a command pressed twice is sent twice
    EXPECT_EQ(queue.runAll(), 0u);
    EXPECT_EQ(sent(), (Messages{nrpn(107, 16383), nrpn(108, 1), nrpn(109, 2), nrpn(110, 3), nrpn(111, 0),
                                nrpn(112, 0), nrpn(113, 0), nrpn(111, 0)}));
    EXPECT_EQ(view->sliderValues(), std::vector<double>(43, 0.0));
}

TEST_F(SendPath, PendingCopiesDoNothingOnceTheSurfaceIsGone) {
    build();
    view->toggleLink(0);
    view->toggleLink(1);
    view->editSlider(0, 0, 1.0);
    view.reset();
    EXPECT_EQ(queue.runAll(), 1u);
    EXPECT_EQ(sent().size(), 1u);
}

TEST_F(SendPath, ToggleLinkFlipsOneFlagAndSendsNothing) {
    build();
    std::vector<int> told;
    auto connection = view->linkChanged.connect([&](int group) { told.push_back(group); });
    view->toggleLink(2);
    EXPECT_TRUE(view->linkedTabs()[2]);
    view->toggleLink(2);
    EXPECT_FALSE(view->linkedTabs()[2]);
    EXPECT_EQ(told, (std::vector<int>{2, 2}));
    EXPECT_TRUE(midi.sends().empty());
}

} // namespace
} // namespace vantor::testing
