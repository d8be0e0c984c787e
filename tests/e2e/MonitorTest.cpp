#include "JackServer.h"

#include "midi/MidiManager.h"
#include "platform/jack/JackMidiService.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>

namespace vantor::e2e {
namespace {

using midi::MidiManager;
using namespace std::chrono_literals;

class Monitor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.waitUntilReady()) << "jackd did not start";
        monitor = std::make_unique<ChildProcess>(std::vector<std::string>{VANTOR_MONITOR},
                                                 ChildProcess::Output::Pipe);
        // Its first line says it listens: the readiness the tests wait for.
        ASSERT_EQ(nextLine(), "listening: JACK vantor*2:in");
    }

    // The next line, passing over the note a machine with ALSA adds at start.
    std::string nextLine() {
        std::string line;
        do {
            line = monitor->readLine(20s).value_or("<no line within 20 s>");
        } while (line.starts_with("listening: ALSA "));
        return line;
    }

    // Lines up to and including the next NRPN line.
    std::vector<std::string> linesThroughNextNrpn() {
        std::vector<std::string> lines;
        do {
            lines.push_back(nextLine());
        } while (!lines.back().starts_with("NRPN") && !lines.back().starts_with("<no line"));
        return lines;
    }

    JackServer server;
    std::unique_ptr<ChildProcess> monitor;
};

TEST_F(Monitor, PrintsEveryNrpnTheManagerSendsWithItsLabel) {
    platform::JackMidiService service;
    MidiManager manager(service);
    ASSERT_TRUE(manager.isConnected());
    const auto destination = *manager.connectedEndpoint();

    manager.sendNRPN(16383, 28, 0, destination);
    manager.sendNRPN(0, 1, 0, destination);
    manager.sendNRPN(138, 138, 0, destination);
    manager.sendNRPN(0, 113, 0, destination);
    manager.sendNRPN(120, 108, 0, destination);
    manager.sendNRPN(5, 500, 0, destination);
    manager.sendNRPN(8192, 4, 2, destination);

    EXPECT_EQ(nextLine(), "NRPN 28 \"mod A depth\" = 16383");
    EXPECT_EQ(nextLine(), "NRPN 1 \"pm modulation depth A\" = 0");
    EXPECT_EQ(nextLine(), "NRPN 138 \"algorithm mode B\" = 138");
    EXPECT_EQ(nextLine(), "NRPN 113 \"dice modulators\" = 0");
    EXPECT_EQ(nextLine(), "NRPN 108 \"algorithm\" = 120");
    EXPECT_EQ(nextLine(), "NRPN 500 = 5");
    EXPECT_EQ(nextLine(), "NRPN 4 \"decay A\" = 8192 (channel 3)");
}

TEST_F(Monitor, WarnsOnAMalformedSequenceAndKeepsDecoding) {
    platform::JackMidiService service;
    MidiManager manager(service);
    ASSERT_TRUE(manager.isConnected());
    const auto destination = *manager.connectedEndpoint();

    // Parameter number without its value, then a complete NRPN.
    const std::vector<std::uint8_t> truncated{0xB0, 99, 0, 0xB0, 98, 12};
    ASSERT_EQ(service.send(manager.outPort(), destination, truncated), midi::SendResult::Sent);
    manager.sendNRPN(300, 12, 0, destination);
    auto lines = linesThroughNextNrpn();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with("warning: ")) << lines[0];
    EXPECT_EQ(lines[1], "NRPN 12 \"decay C\" = 300");

    // Data entry out of order.
    const std::vector<std::uint8_t> swapped{0xB0, 99, 0, 0xB0, 98, 12, 0xB0, 38, 1, 0xB0, 6, 2};
    ASSERT_EQ(service.send(manager.outPort(), destination, swapped), midi::SendResult::Sent);
    manager.sendNRPN(16383, 43, 0, destination);
    lines = linesThroughNextNrpn();
    ASSERT_GE(lines.size(), 2u);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_TRUE(lines[i].starts_with("warning: ")) << lines[i];
    EXPECT_EQ(lines.back(), "NRPN 43 \"mod F depth\" = 16383");
}

TEST_F(Monitor, ExitsCleanlyOnCtrlC) {
    monitor->signal(SIGINT);
    const auto status = monitor->wait(10s);
    ASSERT_TRUE(status.has_value()) << "the monitor did not stop";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

} // namespace
} // namespace vantor::e2e
