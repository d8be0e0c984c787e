#include "JackServer.h"

#include "midi/MidiManager.h"
#include "midi/NrpnDecoder.h"
#include "platform/jack/JackHandles.h"
#include "platform/jack/JackMidiService.h"

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <jack/jack.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace vantor::e2e {
namespace {

using midi::MidiManager;
using midi::NrpnMessage;
using namespace std::chrono_literals;

// "   0: b0 63 01 control change (channel  0): ..." -> b0 63 01
std::vector<std::uint8_t> dumpedBytes(const std::string& line) {
    std::vector<std::uint8_t> bytes;
    const auto colon = line.find(':');
    if (colon == std::string::npos) return bytes;
    std::istringstream words(line.substr(colon + 1));
    std::string word;
    while (words >> word && word.size() == 2 && std::isxdigit(static_cast<unsigned char>(word[0])) &&
           std::isxdigit(static_cast<unsigned char>(word[1]))) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

bool portExists(const std::string& name) {
    platform::silenceJackLibrary();
    jack_status_t status{};
    const platform::JackClientHandle probe(jack_client_open("e2e-port-probe", JackNoStartServer, &status));
    return probe && jack_port_by_name(probe.get(), name.c_str()) != nullptr;
}

TEST(JackMidiDump, ADiceSizedBurstReachesJackMidiDumpComplete) {
    if (std::string(VANTOR_JACK_MIDI_DUMP).empty() || access(VANTOR_JACK_MIDI_DUMP, X_OK) != 0) {
        GTEST_SKIP() << "jack_midi_dump (package jackd2) is not installed";
    }
    if (access(VANTOR_STDBUF, X_OK) != 0) GTEST_SKIP() << "stdbuf (package coreutils) is not installed";
    JackServer server;
    ASSERT_TRUE(server.waitUntilReady()) << "jackd did not start";
    // Line-buffered, so that each event can be read as soon as it is printed.
    ChildProcess dump({VANTOR_STDBUF, "-oL", VANTOR_JACK_MIDI_DUMP, "vantor*2"}, ChildProcess::Output::Pipe);
    ASSERT_TRUE(waitFor([] { return portExists("vantor*2:input"); }, 20s)) << "jack_midi_dump did not come up";

    platform::JackMidiService service;
    MidiManager manager(service);
    ASSERT_TRUE(manager.isConnected());
    // A roll of the dice: 43 sliders, then two switches.
    std::vector<NrpnMessage> sent;
    for (int parameter = 1; parameter <= 43; ++parameter) sent.push_back({0, parameter, (parameter * 381) % 16384});
    sent.push_back({0, 138, 138});
    sent.push_back({0, 134, 134});
    for (const auto& nrpn : sent) manager.sendNRPN(nrpn.value, nrpn.parameter, 0, *manager.connectedEndpoint());

    std::vector<std::uint8_t> received;
    std::size_t events = 0;
    while (events < 4 * sent.size()) {
        const auto line = dump.readLine(20s);
        if (!line) break;
        const auto bytes = dumpedBytes(*line);
        if (bytes.empty()) continue;
        EXPECT_EQ(bytes.size(), 3u) << *line;
        received.insert(received.end(), bytes.begin(), bytes.end());
        ++events;
    }
    EXPECT_EQ(events, 4 * sent.size());
    EXPECT_EQ(midi::decodeNrpns(received), sent);
    EXPECT_TRUE(dump.running()) << "jack_midi_dump ended early";

    dump.signal(SIGINT);
    const auto status = dump.wait(10s);
    ASSERT_TRUE(status.has_value());
    EXPECT_FALSE(WIFSIGNALED(*status)) << "jack_midi_dump died of signal " << WTERMSIG(*status);
}

} // namespace
} // namespace vantor::e2e
