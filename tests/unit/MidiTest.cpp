#include "midi/MidiManager.h"
#include "midi/Nrpn.h"
#include "support/MidiFakes.h"

#include <gtest/gtest.h>

#include <functional>

namespace vantor::midi {
namespace {

using testing::RecordingMidiService;

struct WireRow {
    std::string name;
    std::int64_t value, parameter;
    int channel;
    NrpnBytes bytes;
    friend void PrintTo(const WireRow& row, std::ostream* out) { *out << row.name; }
};

class NrpnWire : public ::testing::TestWithParam<WireRow> {};

TEST_P(NrpnWire, SendsCc99Cc98Cc6Cc38WithSevenBitHalvesAndDecodesBack) {
    const auto& row = GetParam();
    EXPECT_EQ(encodeNrpn(row.value, row.parameter, row.channel), row.bytes);
    const NrpnMessage back{row.channel & 0xF, static_cast<int>(row.parameter & 0x3FFF),
                           static_cast<int>(row.value & 0x3FFF)};
    EXPECT_EQ(decodeNrpns(row.bytes), std::vector{back});
}

INSTANTIATE_TEST_SUITE_P(
    Examples, NrpnWire,
    ::testing::Values(
        WireRow{"switchNumberAsValue", 134, 134, 0, {0xB0, 0x63, 0x01, 0xB0, 0x62, 0x06, 0xB0, 0x06, 0x01, 0xB0, 0x26, 0x06}},
        WireRow{"fullScale", 16383, 43, 0, {0xB0, 0x63, 0x00, 0xB0, 0x62, 0x2B, 0xB0, 0x06, 0x7F, 0xB0, 0x26, 0x7F}},
        WireRow{"lowSevenBitsOnly", 127, 1, 0, {0xB0, 0x63, 0x00, 0xB0, 0x62, 0x01, 0xB0, 0x06, 0x00, 0xB0, 0x26, 0x7F}},
        WireRow{"bitFourteenDropped", 16384, 1, 0, {0xB0, 0x63, 0x00, 0xB0, 0x62, 0x01, 0xB0, 0x06, 0x00, 0xB0, 0x26, 0x00}},
        WireRow{"minusOneIsAllOnes", -1, 1, 0, {0xB0, 0x63, 0x00, 0xB0, 0x62, 0x01, 0xB0, 0x06, 0x7F, 0xB0, 0x26, 0x7F}},
        WireRow{"parameterWrapsAt14Bits", 0, 16384 + 107, 0, {0xB0, 0x63, 0x00, 0xB0, 0x62, 0x6B, 0xB0, 0x06, 0x00, 0xB0, 0x26, 0x00}},
        WireRow{"channelKeepsLowFourBits", 0, 1, 17, {0xB1, 0x63, 0x00, 0xB1, 0x62, 0x01, 0xB1, 0x06, 0x00, 0xB1, 0x26, 0x00}}),
    [](const auto& row) { return row.param.name; });

TEST(NrpnDecoder, WarnsOnceAboutABrokenSequenceAndDecodesTheNextNrpn) {
    const auto good = encodeNrpn(200, 6, 0);
    const std::vector<std::vector<std::uint8_t>> brokenStarts{
        {0xB0, 0x63, 0x00, 0xB0, 0x62, 0x05},                                     // parameter only
        {0xB0, 0x06, 0x01},                                                       // data before parameter
        {0xB0, 0x63, 0x00, 0xB0, 0x06, 0x01},                                     // parameter LSB skipped
        {0x90, 0x40, 0x7F},                                                       // no Control Change
        {0xB0, 0x63, 0x00, 0xB0, 0x62, 0x05, 0xB0, 0x06, 0x01, 0xB1, 0x26, 0x00}, // channel changed
    };
    for (auto stream : brokenStarts) {
        stream.insert(stream.end(), good.begin(), good.end());
        const auto events = NrpnDecoder().feedBytes(stream);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_TRUE(std::holds_alternative<DecodeWarning>(events[0]));
        EXPECT_EQ(std::get<NrpnMessage>(events[1]), (NrpnMessage{0, 6, 200}));
    }
}

struct MatchRow {
    std::string name;
    std::optional<std::string> port, client;
    bool matches;
    friend void PrintTo(const MatchRow& row, std::ostream* out) { *out << row.name; }
};

class DestinationMatch : public ::testing::TestWithParam<MatchRow> {};

TEST_P(DestinationMatch, ConnectsOnlyToAPortOrClientNamedExactlyVantor2) {
    const auto& row = GetParam();
    RecordingMidiService service;
    const auto ref = service.addDestination(row.port, row.client);
    MidiManager manager(service);
    EXPECT_EQ(manager.connectedEndpoint(), row.matches ? std::optional(ref) : std::nullopt);
    EXPECT_EQ(manager.connectedDeviceName(), row.matches ? std::optional<std::string>("vantor*2") : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DestinationMatch,
    ::testing::Values(MatchRow{"portNamedExactly", "vantor*2", "Some Program", true},
                      MatchRow{"clientNamedExactly", "vantor*2 MIDI 1", "vantor*2", true},
                      MatchRow{"onlyClientReadable", std::nullopt, "vantor*2", true},
                      MatchRow{"nameOnlyStartsWithIt", "vantor*2 MIDI 1", "Some Program", false},
                      MatchRow{"trailingBlank", "vantor*2 ", "vantor*2 ", false},
                      MatchRow{"otherCase", "Vantor*2", "VANTOR*2", false},
                      MatchRow{"namesUnreadable", std::nullopt, std::nullopt, false}),
    [](const auto& row) { return row.param.name; });

TEST(MidiManager, TakesTheFirstMatchInEnumerationOrderAtItsStartOnly) {
    RecordingMidiService service;
    MidiManager none(service);
    service.addDestination("Other", "Other");
    const auto first = service.addDestination("port 0", "vantor*2");
    service.addDestination("vantor*2", "second");
    none.sendNRPN(1, 1, 0, first);
    EXPECT_FALSE(none.isConnected()) << "a destination added after the start is not picked up";
    const MidiManager found(service);
    EXPECT_EQ(found.connectedEndpoint(), first);
    EXPECT_EQ(service.preparedRoutes(), (std::vector{std::pair{found.outPort(), first}})) << "made ready at once";
}

TEST(MidiManager, ADestinationTheServiceCannotRouteToIsNotConnected) {
    RecordingMidiService service;
    service.addDestination("vantor*2");
    service.refuseRoutes();
    const MidiManager manager(service);
    EXPECT_FALSE(manager.isConnected());
    EXPECT_EQ(manager.connectedDeviceName(), std::nullopt);
}

struct LossRow {
    std::string name;
    std::function<void(RecordingMidiService&, EndpointRef)> lose; // before two sends
    bool forgotten;
    std::size_t delivered;
    friend void PrintTo(const LossRow& row, std::ostream* out) { *out << row.name; }
};

class DestinationLoss : public ::testing::TestWithParam<LossRow> {};

TEST_P(DestinationLoss, ForgetsOnlyItsOwnGoneDestinationAndTellsItOnce) {
    const auto& row = GetParam();
    RecordingMidiService service;
    const auto ref = service.addDestination("vantor*2");
    MidiManager manager(service);
    int toldLost = 0;
    auto lost = manager.connectionLost.connect([&] { ++toldLost; });

    row.lose(service, ref);
    manager.sendNRPN(1, 1, 0, ref);
    manager.sendNRPN(2, 2, 0, ref);

    EXPECT_EQ(manager.isConnected(), !row.forgotten);
    EXPECT_EQ(toldLost, row.forgotten ? 1 : 0);
    ASSERT_EQ(service.sends().size(), row.delivered);
    for (const auto& sent : service.sends()) EXPECT_EQ(sent.port, manager.outPort());
}

INSTANTIATE_TEST_SUITE_P(
    Results, DestinationLoss,
    ::testing::Values(
        LossRow{"destinationGoneOnSend", [](auto& service, auto ref) { service.vanish(ref); }, true, 0},
        LossRow{"serviceGoneOnSend", [](auto& service, auto) { service.failWith(SendResult::ServiceGone); }, true, 0},
        LossRow{"serviceToldOfItFirst", [](auto& service, auto ref) { service.loseDestination(ref); }, true, 0},
        LossRow{"anotherDestinationLost",
                [](auto& service, auto) { service.loseDestination(service.addDestination("other")); }, false, 2},
        LossRow{"queueFull", [](auto& service, auto) { service.failWith(SendResult::QueueFull); }, false, 0},
        LossRow{"driverError", [](auto& service, auto) { service.failWith(SendResult::DriverError); }, false, 0}),
    [](const auto& row) { return row.param.name; });

} // namespace
} // namespace vantor::midi
