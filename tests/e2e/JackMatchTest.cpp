#include "JackReceiver.h"
#include "JackServer.h"

#include "midi/MidiManager.h"
#include "platform/jack/JackMidiService.h"

#include <gtest/gtest.h>

#include <memory>

namespace vantor::e2e {
namespace {

using midi::MidiManager;

struct Client {
    std::string name;
    std::string port;
};

struct MatchCase {
    std::string name;
    std::vector<Client> clients; // registered in this order
    std::optional<std::string> expected; // full name of the port the manager must pick
    friend std::ostream& operator<<(std::ostream& out, const MatchCase& c) { return out << c.name; }
};

class JackMatch : public ::testing::TestWithParam<MatchCase> {
protected:
    void SetUp() override { ASSERT_TRUE(server.waitUntilReady()) << "jackd did not start"; }

    JackServer server;
};

std::string fullNameOf(platform::JackMidiService& service, midi::EndpointRef destination) {
    const auto names = service.destinationNames(destination);
    return names.client.value_or("?") + ":" + names.port.value_or("?");
}

TEST_P(JackMatch, FindsTheDestinationByWholeExactName) {
    const auto& c = GetParam();
    std::vector<std::unique_ptr<JackReceiver>> clients;
    for (const auto& client : c.clients) {
        clients.push_back(std::make_unique<JackReceiver>(client.name, std::vector<std::string>{client.port}));
        ASSERT_TRUE(clients.back()->ok()) << client.name;
    }
    platform::JackMidiService service;
    MidiManager manager(service);
    if (!c.expected) {
        EXPECT_FALSE(manager.isConnected()) << fullNameOf(service, *manager.connectedEndpoint());
        return;
    }
    ASSERT_TRUE(manager.isConnected());
    EXPECT_EQ(manager.connectedDeviceName(), "vantor*2");
    EXPECT_EQ(fullNameOf(service, *manager.connectedEndpoint()), *c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    RealClients, JackMatch,
    ::testing::Values(
        MatchCase{"clientNamedVantorWhateverItsPort", {{"vantor*2", "MIDI in 7"}}, "vantor*2:MIDI in 7"},
        MatchCase{"portNamedVantorInAnotherClient", {{"synth host", "vantor*2"}}, "synth host:vantor*2"},
        MatchCase{"portWithSuffixOnly", {{"usb host", "vantor*2 MIDI 1"}}, std::nullopt},
        MatchCase{"capitalisedClient", {{"Vantor*2", "in"}}, std::nullopt},
        MatchCase{"trailingBlankInClientName", {{"vantor*2 ", "in"}}, std::nullopt},
        MatchCase{"trailingBlankInPortName", {{"host", "vantor*2 "}}, std::nullopt},
        MatchCase{"firstOfTwoMatchesInJackOrder",
                  {{"first host", "vantor*2"}, {"vantor*2", "in"}},
                  "first host:vantor*2"}),
    [](const auto& row) { return row.param.name; });

class JackLookup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.waitUntilReady()) << "jackd did not start"; }

    JackServer server;
};

TEST_F(JackLookup, ADestinationThatAppearsAfterConstructionIsNotFound) {
    platform::JackMidiService service;
    MidiManager early(service);
    JackReceiver synth("vantor*2", {"in"});
    ASSERT_TRUE(synth.ok());
    EXPECT_FALSE(early.isConnected());

    platform::JackMidiService laterService;
    MidiManager later(laterService);
    EXPECT_TRUE(later.isConnected());
}

TEST_F(JackLookup, OurOwnClientIsNoDestinationAndKeepsItsGrantedName) {
    platform::JackMidiService first;
    MidiManager firstManager(first);
    platform::JackMidiService second;
    MidiManager secondManager(second);
    // JACK renames a second "MidiClient"; each service must know its own name.
    EXPECT_EQ(first.clientName(), "MidiClient");
    EXPECT_NE(second.clientName(), "MidiClient");
    EXPECT_FALSE(second.clientName().empty());
    JackReceiver synth("vantor*2", {"in"});
    ASSERT_TRUE(synth.ok());
    // Only the receiver's input port: our output ports are never destinations.
    EXPECT_EQ(second.destinationCount(), 1u);
}

} // namespace
} // namespace vantor::e2e
