#include "FakeSequencer.h"

#include "midi/MidiManager.h"
#include "midi/Nrpn.h"
#include "platform/alsa/AlsaMidiService.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <cerrno>

namespace vantor::platform {
namespace {

using alsa::FakeSequencer;
using alsa::SequencerAddress;
using midi::SendResult;

constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;

class AlsaService : public ::testing::Test {
protected:
    AlsaService()
        : service([this](std::string_view name) {
              openedAs.emplace_back(name);
              return std::make_unique<FakeSequencer>(state);
          }) {}

    void addClient(int client, std::optional<std::string> name) { state.clients.push_back({client, std::move(name)}); }
    void addPort(int client, int port, unsigned capability, std::optional<std::string> name) {
        state.ports[client].push_back({port, capability, std::move(name)});
    }

    // Every destination as "client:port port-name / client-name".
    std::vector<std::string> listing() {
        std::vector<std::string> lines;
        const auto count = service.destinationCount();
        for (std::size_t index = 0; index < count; ++index) {
            const auto ref = service.destinationAt(index);
            const auto address = AlsaMidiService::addressOf(*ref);
            const auto names = service.destinationNames(*ref);
            lines.push_back(std::to_string(address->client) + ":" + std::to_string(address->port) + " " +
                            names.port.value_or("-") + " / " + names.client.value_or("-"));
        }
        return lines;
    }

    FakeSequencer::State state;
    std::vector<std::string> openedAs;
    AlsaMidiService service;
};

TEST_F(AlsaService, OpensOneClientAndOneOutputPortUnderTheGivenNames) {
    const auto client = service.createClient("MidiClient");
    EXPECT_EQ(client, 130u);
    EXPECT_EQ(service.createClient("MidiClient"), client);
    const auto port = service.createOutputPort(client, "OutPort");
    EXPECT_NE(port, 0u);
    EXPECT_EQ(service.createOutputPort(client, "OutPort"), port);
    EXPECT_EQ(openedAs, std::vector<std::string>{"MidiClient"});
    EXPECT_EQ(state.createdPorts, std::vector<std::string>{"OutPort"});
    EXPECT_EQ(service.createOutputPort(client + 1, "OutPort"), 0u);
}

TEST_F(AlsaService, NoSequencerMeansNoClientNoPortAndNoDestinations) {
    AlsaMidiService missing([](std::string_view) { return nullptr; });
    const auto client = missing.createClient("MidiClient");
    EXPECT_EQ(client, 0u);
    EXPECT_EQ(missing.createOutputPort(client, "OutPort"), 0u);
    EXPECT_EQ(missing.destinationCount(), 0u);
    EXPECT_FALSE(missing.destinationAt(0));
    const std::array<std::uint8_t, 3> bytes{0xB0, 99, 0};
    EXPECT_EQ(missing.send(0, 0x10000 | (20 << 8), bytes), SendResult::ServiceGone);
}

TEST_F(AlsaService, ListsWritableSubscribablePortsByClientThenPortLeavingOutItselfAndSystem) {
    addClient(20, "USB synth");
    addClient(0, "System");
    addClient(14, "Midi Through");
    addClient(130, "MidiClient"); // ourselves
    addPort(0, 0, kWritable | kReadable, "Timer");
    addPort(14, 0, kWritable | kReadable, "Midi Through Port-0");
    addPort(20, 1, kWritable, "second");
    addPort(20, 0, kWritable, "first");
    addPort(20, 2, kReadable, "output only");
    addPort(20, 3, SND_SEQ_PORT_CAP_WRITE, "no subscriptions");
    addPort(20, 4, kWritable | SND_SEQ_PORT_CAP_NO_EXPORT, "private");
    addPort(130, 0, kWritable, "our own");
    service.createClient("MidiClient");

    EXPECT_EQ(listing(), (std::vector<std::string>{"14:0 Midi Through Port-0 / Midi Through", "20:0 first / USB synth",
                                                   "20:1 second / USB synth"}));
}

TEST_F(AlsaService, UnreadableNamesStayAbsent) {
    addClient(20, std::nullopt);
    addPort(20, 0, kWritable, std::nullopt);
    service.createClient("MidiClient");
    EXPECT_EQ(listing(), std::vector<std::string>{"20:0 - / -"});
}

TEST_F(AlsaService, AHandleKeepsNamingItsPortWhenOthersComeAndGo) {
    addClient(20, "keyboard");
    addClient(24, "vantor*2");
    addPort(20, 0, kWritable, "keyboard MIDI 1");
    addPort(24, 0, kWritable, "vantor*2 MIDI 1");
    service.createClient("MidiClient");
    ASSERT_EQ(service.destinationCount(), 2u);
    const auto synth = *service.destinationAt(1);

    state.clients.erase(state.clients.begin()); // the keyboard is unplugged
    ASSERT_EQ(service.destinationCount(), 1u);
    EXPECT_EQ(service.destinationAt(0), synth);
    EXPECT_EQ(service.destinationNames(synth).client, "vantor*2");
}

TEST_F(AlsaService, TheManagerFindsAUsbSynthByItsClientNameAndForgetsItOnceUnplugged) {
    addClient(20, "keyboard");
    addClient(24, "vantor*2");
    addPort(20, 0, kWritable, "vantor*2 MIDI 1"); // a port suffix is no match
    addPort(24, 0, kWritable, "vantor*2 MIDI 1");
    midi::MidiManager manager(service);
    ASSERT_TRUE(manager.isConnected());
    EXPECT_EQ(manager.connectedDeviceName(), "vantor*2");
    const auto synth = *manager.connectedEndpoint();
    EXPECT_EQ(AlsaMidiService::addressOf(synth), (SequencerAddress{24, 0}));

    state.clients.pop_back(); // unplugged: the kernel removes its client and ports
    state.ports.erase(24);
    manager.sendNRPN(1, 1, 0, synth);
    EXPECT_EQ(manager.lastSendResult(), SendResult::DestinationGone);
    EXPECT_FALSE(manager.isConnected());
    EXPECT_TRUE(state.buffered.empty());
}

class AlsaSend : public AlsaService {
protected:
    void SetUp() override {
        addClient(24, "vantor*2");
        addPort(24, 3, kWritable, "vantor*2 MIDI 1");
        client = service.createClient("MidiClient");
        port = service.createOutputPort(client, "OutPort");
        ASSERT_EQ(service.destinationCount(), 1u);
        destination = *service.destinationAt(0);
    }

    midi::ClientRef client = 0;
    midi::PortRef port = 0;
    midi::EndpointRef destination = 0;
};

TEST_F(AlsaSend, AnNrpnGoesOutAsFourControllerEventsStraightToTheDestinationThenDrains) {
    const auto bytes = midi::encodeNrpn(8197, 134, 17);
    EXPECT_EQ(service.send(port, destination, bytes), SendResult::Sent);
    ASSERT_EQ(state.delivered.size(), 4u);
    EXPECT_EQ(state.drains, 1);
    const std::array<std::array<int, 3>, 4> expected{{{1, 99, 1}, {1, 98, 6}, {1, 6, 64}, {1, 38, 5}}};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& sent = state.delivered[i];
        EXPECT_EQ(sent.fromPort, 0);
        EXPECT_EQ(sent.to, (SequencerAddress{24, 3}));
        EXPECT_EQ((std::array<int, 3>{sent.event.channel, sent.event.controller, sent.event.value}), expected[i]);
    }
}

struct RefusedBytes {
    std::string name;
    std::vector<std::uint8_t> bytes;
    friend std::ostream& operator<<(std::ostream& out, const RefusedBytes& c) { return out << c.name; }
};

class AlsaRefusedBytes : public AlsaSend, public ::testing::WithParamInterface<RefusedBytes> {};

TEST_P(AlsaRefusedBytes, SendsNothingOfAMessageItCannotCarry) {
    EXPECT_EQ(service.send(port, destination, GetParam().bytes), SendResult::DriverError);
    EXPECT_TRUE(state.delivered.empty());
    EXPECT_TRUE(state.buffered.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, AlsaRefusedBytes,
    ::testing::Values(RefusedBytes{"nothing", {}}, RefusedBytes{"partialMessage", {0xB0, 99}},
                      RefusedBytes{"noteOnAfterAControlChange", {0xB0, 99, 0, 0x90, 60, 100}},
                      RefusedBytes{"dataByteAboveSeven", {0xB0, 99, 0x80}},
                      RefusedBytes{"runningStatus", {0xB0, 99, 0, 98, 1, 0}}),
    [](const auto& row) { return row.param.name; });

struct FailureCase {
    std::string name;
    bool whileOutput; // the error comes from queuing an event, not from draining
    int error;
    SendResult result;
    friend std::ostream& operator<<(std::ostream& out, const FailureCase& c) { return out << c.name; }
};

class AlsaSendFailure : public AlsaSend, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AlsaSendFailure, ReportsWhyAndLeavesNothingBufferedForLater) {
    const auto& c = GetParam();
    (c.whileOutput ? state.outputError : state.drainError) = c.error;
    state.outputsBeforeError = 2;
    EXPECT_EQ(service.send(port, destination, midi::encodeNrpn(1, 2, 0)), c.result);
    EXPECT_TRUE(state.buffered.empty()) << "a half-sent NRPN would go out with the next send";
}

INSTANTIATE_TEST_SUITE_P(
    Errors, AlsaSendFailure,
    ::testing::Values(FailureCase{"destinationUnpluggedWhileQueuing", true, -ENOENT, SendResult::DestinationGone},
                      FailureCase{"deviceOutputClosedWhileDraining", false, -ENODEV, SendResult::DestinationGone},
                      FailureCase{"ourClientCannotWrite", false, -ENXIO, SendResult::ServiceGone},
                      FailureCase{"kernelPoolFull", false, -EAGAIN, SendResult::QueueFull},
                      FailureCase{"otherError", true, -EINVAL, SendResult::DriverError}),
    [](const auto& row) { return row.param.name; });

TEST_F(AlsaSend, RefusesHandlesItDidNotHandOut) {
    const auto bytes = midi::encodeNrpn(1, 2, 0);
    EXPECT_EQ(service.send(port, 0, bytes), SendResult::NoDestination);
    EXPECT_EQ(service.send(port, 77, bytes), SendResult::NoDestination);
    EXPECT_EQ(service.send(port + 1, destination, bytes), SendResult::DriverError);
    EXPECT_TRUE(state.delivered.empty());
}

} // namespace
} // namespace vantor::platform
