#include "midi/MidiManager.h"
#include "midi/Nrpn.h"
#include "platform/midi/SystemMidiService.h"
#include "support/RecordingMidiService.h"

#include <gtest/gtest.h>

namespace vantor::platform {
namespace {

using midi::SendResult;
using testing::RecordingMidiService;

// Two recording services standing in for ALSA and JACK; the test keeps
// pointers to them while the composite owns them.
class Composite : public ::testing::Test {
protected:
    Composite() {
        auto first = std::make_unique<RecordingMidiService>();
        auto second = std::make_unique<RecordingMidiService>();
        alsa = first.get();
        jack = second.get();
        std::vector<std::unique_ptr<midi::MidiService>> backends;
        backends.push_back(std::move(first));
        backends.push_back(std::move(second));
        service = std::make_unique<SystemMidiService>(std::move(backends));
    }

    std::vector<std::string> portNames() {
        std::vector<std::string> names;
        const auto count = service->destinationCount();
        for (std::size_t index = 0; index < count; ++index) {
            names.push_back(service->destinationNames(*service->destinationAt(index)).port.value_or("-"));
        }
        return names;
    }

    RecordingMidiService* alsa = nullptr;
    RecordingMidiService* jack = nullptr;
    std::unique_ptr<SystemMidiService> service;
};

TEST_F(Composite, CreatesTheClientAndPortOnEveryBackend) {
    midi::MidiManager manager(*service);
    EXPECT_NE(manager.midiClient(), 0u);
    EXPECT_NE(manager.outPort(), 0u);
    for (auto* backend : {alsa, jack}) {
        EXPECT_EQ(backend->clientNames(), std::vector<std::string>{"MidiClient"});
        EXPECT_EQ(backend->portNames(), std::vector<std::string>{"OutPort"});
    }
}

TEST_F(Composite, ListsAlsaDestinationsFirstThenJack) {
    jack->addDestination("jack one", "host");
    alsa->addDestination("alsa one", "card");
    jack->addDestination("jack two", "host");
    alsa->addDestination("alsa two", "card");
    EXPECT_EQ(portNames(), (std::vector<std::string>{"alsa one", "alsa two", "jack one", "jack two"}));
}

TEST_F(Composite, SendsReachOnlyTheBackendOfTheDestinationThroughItsOwnPort) {
    alsa->addDestination("keyboard", "keyboard");
    jack->addDestination("in", "vantor*2");
    midi::MidiManager manager(*service);
    ASSERT_TRUE(manager.isConnected());
    manager.sendNRPN(300, 12, 0, *manager.connectedEndpoint());
    EXPECT_EQ(manager.lastSendResult(), SendResult::Sent);
    EXPECT_TRUE(alsa->sends().empty());
    ASSERT_EQ(jack->sends().size(), 1u);
    EXPECT_EQ(jack->sends()[0].port, 1u);
    EXPECT_EQ(jack->nrpns(), (std::vector<midi::NrpnMessage>{{0, 12, 300}}));
}

TEST_F(Composite, AHandleOutlivesChangesInTheOtherBackendUntilItsOwnIsLost) {
    const auto keyboard = alsa->addDestination("keyboard", "keyboard");
    const auto jackSynth = jack->addDestination("in", "vantor*2");
    midi::MidiManager manager(*service);
    const auto synth = *manager.connectedEndpoint();

    alsa->vanish(keyboard);
    alsa->addDestination("new", "new");
    alsa->addDestination("newer", "newer");
    ASSERT_EQ(service->destinationCount(), 3u);
    EXPECT_EQ(service->destinationAt(2), synth);
    EXPECT_EQ(service->destinationNames(synth).client, "vantor*2");
    EXPECT_EQ(service->send(manager.outPort(), synth, midi::encodeNrpn(1, 1, 0)), SendResult::Sent);

    alsa->loseDestination(keyboard); // the same handle number on the other backend
    EXPECT_TRUE(manager.isConnected());
    jack->loseDestination(jackSynth);
    EXPECT_FALSE(manager.isConnected());
}

TEST_F(Composite, ABackendWithoutAClientGetsNoPortAndTheOtherStillWorks) {
    std::vector<std::unique_ptr<midi::MidiService>> none;
    SystemMidiService empty(std::move(none));
    const auto client = empty.createClient("MidiClient");
    EXPECT_EQ(client, 0u);
    EXPECT_EQ(empty.createOutputPort(client, "OutPort"), 0u);
    EXPECT_EQ(empty.destinationCount(), 0u);
    EXPECT_EQ(empty.send(0, 1, midi::encodeNrpn(1, 1, 0)), SendResult::NoDestination);
}

TEST_F(Composite, RefusesHandlesItDidNotHandOut) {
    jack->addDestination("in", "vantor*2");
    midi::MidiManager manager(*service);
    const auto bytes = midi::encodeNrpn(1, 1, 0);
    EXPECT_EQ(service->send(manager.outPort(), 0, bytes), SendResult::NoDestination);
    EXPECT_EQ(service->send(manager.outPort(), 99, bytes), SendResult::NoDestination);
    EXPECT_EQ(service->send(99, *manager.connectedEndpoint(), bytes), SendResult::DriverError);
    EXPECT_FALSE(service->destinationAt(5));
    EXPECT_EQ(service->destinationNames(99).port, std::nullopt);
}

} // namespace
} // namespace vantor::platform
