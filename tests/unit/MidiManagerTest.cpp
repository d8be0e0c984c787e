#include "midi/MidiManager.h"
#include "support/RecordingMidiService.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace vantor::midi {
namespace {

using testing::RecordingMidiService;

TEST(MidiManager, CreatesItsClientAndOutputPortOnce) {
    RecordingMidiService service;
    MidiManager manager(service);
    EXPECT_EQ(service.clientNames(), std::vector<std::string>{"MidiClient"});
    EXPECT_EQ(service.portNames(), std::vector<std::string>{"OutPort"});
    EXPECT_NE(manager.midiClient(), 0u);
    EXPECT_NE(manager.outPort(), 0u);
    EXPECT_EQ(manager.inPort(), 0u);
    EXPECT_EQ(service.enumerationCount(), 1u);
}

TEST(MidiManager, NoDestinationsLeavesItNotConnected) {
    RecordingMidiService service;
    MidiManager manager(service);
    EXPECT_FALSE(manager.connectedEndpoint());
    EXPECT_FALSE(manager.connectedDeviceName());
}

struct MatchCase {
    std::string name;
    std::optional<std::string> port;
    std::optional<std::string> client;
    bool matches;
    friend void PrintTo(const MatchCase& row, std::ostream* out) { *out << row.name; }
};

class DestinationMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(DestinationMatch, MatchesTheWholeNameExactly) {
    const auto& c = GetParam();
    RecordingMidiService service;
    const auto ref = service.addDestination(c.port, c.client);
    MidiManager manager(service);
    if (c.matches) {
        EXPECT_EQ(manager.connectedEndpoint(), ref);
        EXPECT_EQ(manager.connectedDeviceName(), "vantor*2");
    } else {
        EXPECT_FALSE(manager.connectedEndpoint());
        EXPECT_FALSE(manager.connectedDeviceName());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, DestinationMatch,
    ::testing::Values(MatchCase{"portNamedExactly", "vantor*2", "Some Program", true},
                      MatchCase{"clientNamedExactlyWithUsbPortName", "vantor*2 MIDI 1", "vantor*2", true},
                      MatchCase{"portSuffixOnly", "vantor*2 MIDI 1", "Some Program", false},
                      MatchCase{"upperCase", "Vantor*2", "VANTOR*2", false},
                      MatchCase{"trailingBlank", "vantor*2 ", "vantor*2 ", false},
                      MatchCase{"prefixOnly", "vantor", "vantor*", false},
                      MatchCase{"namesUnreadable", std::nullopt, std::nullopt, false},
                      MatchCase{"onlyClientReadable", std::nullopt, "vantor*2", true}),
    [](const auto& row) { return row.param.name; });

TEST(MidiManager, FirstMatchInEnumerationOrderWins) {
    RecordingMidiService service;
    service.addDestination("Other", "Other");
    const auto first = service.addDestination("port 0", "vantor*2");
    service.addDestination("vantor*2", "second");
    MidiManager manager(service);
    EXPECT_EQ(manager.connectedEndpoint(), first);
}

TEST(MidiManager, ADestinationAddedAfterConstructionIsNotFound) {
    RecordingMidiService service;
    MidiManager manager(service);
    service.addDestination("vantor*2");
    EXPECT_FALSE(manager.isConnected());
    EXPECT_EQ(service.enumerationCount(), 1u);
}

TEST(MidiManager, SendsTwelveBytesThroughItsPortToTheDestination) {
    RecordingMidiService service;
    const auto ref = service.addDestination("vantor*2");
    MidiManager manager(service);
    manager.sendNRPN(134, 134, 0, ref);
    manager.sendNRPN(134, 134, 0, ref); // the same parameter again still sends all four messages
    ASSERT_EQ(service.sends().size(), 2u);
    for (const auto& sent : service.sends()) {
        EXPECT_EQ(sent.port, manager.outPort());
        EXPECT_EQ(sent.destination, ref);
        EXPECT_EQ(sent.bytes, (std::vector<std::uint8_t>{0xB0, 0x63, 0x01, 0xB0, 0x62, 0x06, 0xB0, 0x06, 0x01,
                                                         0xB0, 0x26, 0x06}));
    }
}

struct LossCase {
    std::string name;
    std::function<void(RecordingMidiService&, EndpointRef)> lose; // before two sends
    bool forgotten;
    int lostNrpns;
    std::size_t delivered;
    friend void PrintTo(const LossCase& row, std::ostream* out) { *out << row.name; }
};

class DestinationLoss : public ::testing::TestWithParam<LossCase> {};

TEST_P(DestinationLoss, OnlyAGoneDestinationIsForgottenAndThatOnlyOnce) {
    const auto& c = GetParam();
    RecordingMidiService service;
    const auto ref = service.addDestination("vantor*2");
    MidiManager manager(service);
    int toldLost = 0;
    int lostNrpns = 0;
    auto lost = manager.connectionLost.connect([&] { ++toldLost; });
    auto refused = manager.nrpnLost.connect([&] { ++lostNrpns; });

    c.lose(service, ref);
    manager.sendNRPN(1, 1, 0, ref);
    manager.sendNRPN(2, 2, 0, ref);

    EXPECT_EQ(manager.isConnected(), !c.forgotten);
    EXPECT_EQ(manager.connectedDeviceName().has_value(), !c.forgotten);
    EXPECT_EQ(toldLost, c.forgotten ? 1 : 0);
    EXPECT_EQ(lostNrpns, c.lostNrpns);
    EXPECT_EQ(service.sends().size(), c.delivered);
}

INSTANTIATE_TEST_SUITE_P(
    Results, DestinationLoss,
    ::testing::Values(
        LossCase{"destinationGoneOnSend", [](auto& service, auto ref) { service.vanish(ref); }, true, 0, 0},
        LossCase{"serviceGoneOnSend", [](auto& service, auto) { service.failWith(SendResult::ServiceGone); }, true, 0,
                 0},
        LossCase{"serviceToldOfItBeforeAnySend", [](auto& service, auto ref) { service.loseDestination(ref); }, true,
                 0, 0},
        LossCase{"anotherDestinationLost",
                 [](auto& service, auto) { service.loseDestination(service.addDestination("other")); }, false, 0, 2},
        LossCase{"queueFullCountsEachNrpn", [](auto& service, auto) { service.failWith(SendResult::QueueFull); },
                 false, 2, 0},
        LossCase{"driverError", [](auto& service, auto) { service.failWith(SendResult::DriverError); }, false, 0, 0}),
    [](const auto& row) { return row.param.name; });

} // namespace
} // namespace vantor::midi
