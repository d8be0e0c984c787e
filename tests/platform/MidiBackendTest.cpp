// The MIDI backends: ALSA over a fake sequencer, the composite over recording services, and with nothing there.
#include "midi/MidiManager.h"
#include "midi/Nrpn.h"
#include "platform/alsa/AlsaMidiService.h"
#include "platform/midi/SystemMidiService.h"
#include "support/CoreFakes.h"
#include "support/MidiFakes.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

namespace vantor::platform {
namespace {

using midi::SendResult;

constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
constexpr int kOurClient = 130;

// A sequencer whose clients and ports the test lays out, and whose errors it
// sets. Its hardware ports, like the kernel's, refuse events with ENODEV
// while nothing is connected to them.
struct FakeSequencer final : alsa::Sequencer {
    struct State {
        std::vector<alsa::SequencerClientInfo> clients;
        std::map<int, std::vector<alsa::SequencerPortInfo>> ports;
        std::vector<alsa::SequencerAddress> hardware, connected;
        std::vector<std::array<int, 5>> buffered, delivered; // to client, to port, channel, controller, value
        int outputError = 0;                                 // for the third event on, when not 0
        int drainError = 0;
        int connectError = 0;
    };
    explicit FakeSequencer(State& laidOut) : state(laidOut) {}
    int clientId() const override { return kOurClient; }
    std::vector<alsa::SequencerClientInfo> clients() override { return state.clients; }
    std::vector<alsa::SequencerPortInfo> ports(int client) override { return state.ports[client]; }
    int createOutputPort(std::string_view) override { return 0; }
    int connectTo(int, alsa::SequencerAddress to) override {
        if (state.connectError == 0) state.connected.push_back(to);
        return state.connectError;
    }
    int outputControllerEvent(int, alsa::SequencerAddress to, alsa::ControllerEvent event) override {
        if (state.outputError != 0 && state.buffered.size() >= 2) return state.outputError;
        state.buffered.push_back({to.client, to.port, event.channel, event.controller, event.value});
        return 0;
    }
    int drainOutput() override {
        for (const auto& event : state.buffered) {
            const alsa::SequencerAddress to{event[0], event[1]};
            if (std::ranges::count(state.hardware, to) != 0 && std::ranges::count(state.connected, to) == 0) {
                return -ENODEV;
            }
        }
        if (state.drainError != 0) return state.drainError;
        state.delivered.insert(state.delivered.end(), state.buffered.begin(), state.buffered.end());
        state.buffered.clear();
        return 0;
    }
    void dropOutput() override { state.buffered.clear(); }
    State& state;
};

class AlsaService : public ::testing::Test {
protected:
    void addPort(int client, std::optional<std::string> clientName, int port, unsigned capability,
                 std::optional<std::string> portName) {
        if (state.ports[client].empty()) state.clients.push_back({client, std::move(clientName)});
        state.ports[client].push_back({port, capability, std::move(portName)});
    }

    FakeSequencer::State state;
    AlsaMidiService service{[this](std::string_view) { return std::make_unique<FakeSequencer>(state); }};
};

TEST_F(AlsaService, ListsWritablePortsInOrderAndSendsTheSynthFoundByClientNameFourControllerEvents) {
    addPort(24, "vantor*2", 3, kWritable, "vantor*2 MIDI 1");
    addPort(20, "USB keys", 1, kWritable, "vantor*2 MIDI 1"); // a port name with a suffix is no match
    addPort(20, "USB keys", 0, kWritable, "first");
    addPort(20, "USB keys", 2, SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ, "output only");
    addPort(20, "USB keys", 3, SND_SEQ_PORT_CAP_WRITE, "no subscriptions");
    addPort(20, "USB keys", 4, kWritable | SND_SEQ_PORT_CAP_NO_EXPORT, "private");
    addPort(0, "System", 0, kWritable, "Timer");
    addPort(kOurClient, "MidiClient", 0, kWritable, "our own");
    addPort(21, std::nullopt, 0, kWritable, std::nullopt); // names it could not read
    midi::MidiManager manager(service);
    std::vector<std::string> listing;
    for (std::size_t index = 0, count = service.destinationCount(); index < count; ++index) {
        const auto names = service.destinationNames(*service.destinationAt(index));
        listing.push_back(names.port.value_or("-") + " / " + names.client.value_or("-"));
    }
    EXPECT_EQ(listing, (std::vector<std::string>{"first / USB keys", "vantor*2 MIDI 1 / USB keys", "- / -",
                                                 "vantor*2 MIDI 1 / vantor*2"}));
    ASSERT_EQ(manager.connectedDeviceName(), "vantor*2");
    EXPECT_EQ(state.connected, (std::vector<alsa::SequencerAddress>{{24, 3}})) << "our port is connected to it";

    manager.sendNRPN(8197, 134, 2, *manager.connectedEndpoint());
    EXPECT_EQ(state.delivered, (std::vector<std::array<int, 5>>{
                                   {24, 3, 2, 99, 1}, {24, 3, 2, 98, 6}, {24, 3, 2, 6, 64}, {24, 3, 2, 38, 5}}));
}

struct FailureCase {
    std::string name;
    bool whileQueuing; // the error comes from queuing an event, not from draining
    int error;
    SendResult result;
};
class AlsaSendFailure : public AlsaService, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AlsaSendFailure, SaysWhyAndLeavesNothingBufferedForLater) {
    addPort(24, "vantor*2", 0, kWritable, "in");
    const auto port = service.createOutputPort(service.createClient("MidiClient"), "OutPort");
    ASSERT_EQ(service.destinationCount(), 1u);
    (GetParam().whileQueuing ? state.outputError : state.drainError) = GetParam().error;
    EXPECT_EQ(service.send(port, *service.destinationAt(0), midi::encodeNrpn(1, 2, 0)), GetParam().result);
    EXPECT_TRUE(state.buffered.empty()) << "half an NRPN would go out with the next send";
}

INSTANTIATE_TEST_SUITE_P(Errors, AlsaSendFailure, ::testing::Values(
    FailureCase{"noSuchPortWhileQueuing", true, -ENOENT, SendResult::DestinationGone},
    FailureCase{"unpluggedWhileDraining", false, -ENOENT, SendResult::DestinationGone},
    FailureCase{"deviceClosingThoughConnectedAgain", false, -ENODEV, SendResult::DestinationGone},
    FailureCase{"ourClientCannotWrite", false, -ENXIO, SendResult::ServiceGone},
    FailureCase{"kernelPoolFull", false, -EAGAIN, SendResult::QueueFull},
    FailureCase{"otherError", true, -EINVAL, SendResult::DriverError}),
    [](const auto& row) { return row.param.name; });

struct RefusalCase {
    std::string name;
    int error;
    std::string printed;
};
class AlsaConnectRefusal : public AlsaService, public ::testing::WithParamInterface<RefusalCase> {};

// Whether the connection is refused when the synth is found or when a send
// must make it again, the synth counts as not connected from then on.
TEST_P(AlsaConnectRefusal, LeavesTheSynthNotConnectedWithOneLineOnStandardErrorUnlessItIsGone) {
    addPort(24, "vantor*2", 0, kWritable, "vantor*2 MIDI 1");
    state.hardware.push_back({24, 0});
    state.connectError = GetParam().error;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(midi::MidiManager(service).isConnected());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), GetParam().printed);

    state.connectError = 0;
    midi::MidiManager manager(service);
    ASSERT_TRUE(manager.isConnected());
    state.connected.clear();
    state.connectError = GetParam().error;
    ::testing::internal::CaptureStderr();
    manager.sendNRPN(1, 1, 0, *manager.connectedEndpoint());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), GetParam().printed);
    EXPECT_EQ(manager.lastSendResult(), SendResult::DestinationGone);
    EXPECT_FALSE(manager.isConnected());
    EXPECT_TRUE(state.delivered.empty());
}

INSTANTIATE_TEST_SUITE_P(Errors, AlsaConnectRefusal, ::testing::Values(
    RefusalCase{"deviceHeldByAnotherProgram", -EAGAIN, "Cannot connect to the MIDI destination \"vantor*2\" "
                "(ALSA port 24:0, \"vantor*2 MIDI 1\"): it is in use by another program\n"},
    RefusalCase{"notPermitted", -EPERM, "Cannot connect to the MIDI destination \"vantor*2\" "
                "(ALSA port 24:0, \"vantor*2 MIDI 1\"): Operation not permitted\n"},
    RefusalCase{"goneMeanwhile", -ENOENT, ""}),
    [](const auto& row) { return row.param.name; });

TEST(SystemMidiService, ListsAlsaThenJackSendsThroughTheDestinationsBackendAndLosesOnlyIt) {
    std::vector<std::unique_ptr<midi::MidiService>> backends;
    backends.push_back(std::make_unique<testing::RecordingMidiService>());
    backends.push_back(std::make_unique<testing::RecordingMidiService>());
    auto& alsa = static_cast<testing::RecordingMidiService&>(*backends[0]);
    auto& jack = static_cast<testing::RecordingMidiService&>(*backends[1]);
    SystemMidiService service(std::move(backends));
    const auto synth = jack.addDestination("in", "vantor*2");
    const auto keyboard = alsa.addDestination("keyboard", "keyboard"); // the same handle, in the other backend
    midi::MidiManager manager(service);
    EXPECT_EQ(service.destinationNames(*service.destinationAt(0)).port, "keyboard");
    manager.sendNRPN(300, 12, 0, *manager.connectedEndpoint());
    EXPECT_EQ(jack.nrpns(), (std::vector<midi::NrpnMessage>{{0, 12, 300}}));
    alsa.loseDestination(keyboard);
    EXPECT_TRUE(manager.isConnected());
    jack.loseDestination(synth);
    EXPECT_FALSE(manager.isConnected());
}

// The real services with no JACK server under the name used and, where /dev/snd is absent, no ALSA sequencer.
// Neither service there: alsa-lib given a configuration without a sequencer (so that this runs on a desktop with
// ALSA as well), and a JACK server name nobody runs.
TEST(SystemMidiService, WithNoServerThereAreNoDestinationsAndNothingIsPrinted) {
    const std::string noSequencer = ::testing::TempDir() + "/vantor-alsa-" + std::to_string(getpid()) + ".conf";
    std::ofstream(noSequencer) << "# no sequencer here\n";
    setenv("ALSA_CONFIG_PATH", noSequencer.c_str(), 1);
    setenv("JACK_DEFAULT_SERVER", ("vantor-nobody-" + std::to_string(getpid())).c_str(), 1);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    {
        testing::ManualMainQueue queue;
        const auto service = makeSystemMidiService(queue);
        midi::MidiManager manager(*service);
        EXPECT_EQ(service->destinationCount(), 0u);
        manager.sendNRPN(1, 1, 0, 1);
        EXPECT_NE(manager.lastSendResult(), SendResult::Sent);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr(), "");
    std::remove(noSequencer.c_str());
}

} // namespace
} // namespace vantor::platform
