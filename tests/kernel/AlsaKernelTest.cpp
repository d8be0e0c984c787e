// The real AlsaMidiService and libasound against the kernel's sequencer
// (snd-seq): vantor2-monitor as a receiving client, and a USB synthesizer
// named "vantor*2": the kernel's USB gadget MIDI function on the dummy host
// controller, which snd-usb-audio drives exactly as it drives a synth
// plugged into a USB port (usb_synth.sh), its synth side reading the bytes
// it receives from the gadget's own raw MIDI device. Run in a guest by
// guest_run.sh.

#include "KernelMidi.h"
#include "midi/Nrpn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using vantor::midi::SendResult;
using vantor::testing::ChildProcess;
using vantor::testing::UsbSynth;
using Program = vantor::testing::KernelMidiProgram;

constexpr auto kWait = vantor::testing::kKernelWait;

// A figure the kernel keeps of `client`'s input pool: "Cells in use", "Alloc failures" (events that found no cell).
int inputPool(int client, const std::string& figure) {
    std::stringstream text;
    text << std::ifstream("/proc/asound/seq/clients").rdbuf();
    const std::string all = text.str();
    std::smatch match;
    const std::regex pattern("Client +" + std::to_string(client) + " :[^]*?Input pool :[^]*?" + figure + " +: (\\d+)");
    return std::regex_search(all, match, pattern) ? std::stoi(match[1]) : -1;
}

TEST(KernelSequencer, KilledMonitorIsGoneAtTheNextSend) {
    ChildProcess monitor({VANTOR_MONITOR}, ChildProcess::Output::Pipe);
    ASSERT_TRUE(monitor.waitForLine("^listening: ALSA ", kWait));
    Program program;
    ASSERT_TRUE(program.manager.isConnected());
    program.send(3, 333);
    ASSERT_TRUE(monitor.waitForLine("^NRPN 3 .* = 333$", kWait));

    monitor.signal(SIGKILL);
    ASSERT_TRUE(monitor.wait(kWait));
    program.send(3, 334);
    EXPECT_EQ(program.manager.lastSendResult(), SendResult::DestinationGone);
    EXPECT_FALSE(program.manager.isConnected());
    EXPECT_EQ(program.disconnects, 1u);
}

TEST(KernelSequencer, StalledMonitorReportsTheQueueTheKernelDropped) {
    ChildProcess monitor({VANTOR_MONITOR}, ChildProcess::Output::Pipe);
    ASSERT_TRUE(monitor.waitForLine("^listening: ALSA ", kWait));
    Program program;
    ASSERT_TRUE(program.manager.isConnected());

    // Its pool of 2000 cells holds 500 NRPNs once it has read the kernel's notice of our connection; 60 more
    // are refused, each counted as the kernel counts it, and the destination stays.
    ASSERT_TRUE(vantor::testing::waitUntil([&] { return inputPool(program.synth().client, "Cells in use") == 0; }));
    ASSERT_TRUE(monitor.pause());
    for (int i = 0; i < 560; ++i) program.send(1 + i % 43, i);
    EXPECT_EQ(program.lost, 60u);
    EXPECT_EQ(inputPool(program.synth().client, "Alloc failures"), 60);
    EXPECT_TRUE(program.manager.isConnected());
    // The kernel then empties the full queue and says so at the monitor's next read; what comes after arrives.
    monitor.signal(SIGCONT);
    EXPECT_TRUE(monitor.waitForLine("^warning: MIDI input queue overflowed: the kernel dropped the 2000 events "
                                    "queued \\(500 NRPNs\\)$", kWait));
    program.send(28, 16383);
    EXPECT_EQ(monitor.readLine(kWait), "NRPN 28 \"mod A depth\" = 16383");
}

// What `aconnect` prints, run as a user runs it.
std::string aconnect(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "/usr/bin/aconnect");
    ChildProcess tool(arguments, ChildProcess::Output::Pipe);
    std::string printed;
    for (auto line = tool.readLine(kWait); line; line = tool.readLine(kWait)) printed += *line + "\n";
    return printed;
}

std::vector<std::uint8_t> nrpnBytes(const std::vector<std::pair<int, int>>& parametersAndValues) {
    std::vector<std::uint8_t> bytes;
    for (const auto& [parameter, value] : parametersAndValues) {
        const auto nrpn = vantor::midi::encodeNrpn(value, parameter, 0);
        bytes.insert(bytes.end(), nrpn.begin(), nrpn.end());
    }
    return bytes;
}

class UsbSynthTest : public testing::Test {
protected:
    UsbSynth synth;
};

// A USB device's port name always carries its card's name and a number, so the client name is what finds it.
// Its hardware port refuses events while nobody is connected to it, which is no sign that the synth went away:
// a connection another program removed (aconnect -d) is made again. Unplugged, it is gone at the next send.
TEST_F(UsbSynthTest, FoundByItsClientNameItTakesEveryNrpnByteExactAlsoAfterItsRouteWasRemovedUntilUnplugged) {
    ASSERT_TRUE(synth.plug());
    Program program;
    ASSERT_EQ(program.manager.connectedDeviceName(), "vantor*2");
    const auto names = program.service.destinationNames(*program.manager.connectedEndpoint());
    EXPECT_EQ(names.client, "vantor*2");
    EXPECT_EQ(names.port, "vantor*2 MIDI 1");
    const std::string routed = "Connected From: " + program.ourPort() + "\n";
    EXPECT_NE(aconnect({"-l"}).find(routed), std::string::npos);

    // One NRPN, then a dice roll's worth, one after the other.
    std::vector<std::pair<int, int>> sent{{28, 16383}};
    for (int parameter = 1; parameter <= 45; ++parameter) sent.emplace_back(parameter, (parameter * 373) % 16384);
    for (const auto& [parameter, value] : sent) program.send(parameter, value);
    EXPECT_EQ(synth.receive(sent.size() * 12), nrpnBytes(sent));
    const auto [client, port] = program.synth();
    aconnect({"-d", program.ourPort(), std::to_string(client) + ":" + std::to_string(port)});
    ASSERT_EQ(aconnect({"-l"}).find("Connected From: "), std::string::npos);
    program.send(7, 4242);
    sent.emplace_back(7, 4242);
    EXPECT_EQ(synth.receive(sent.size() * 12), nrpnBytes(sent));
    EXPECT_EQ(program.manager.lastSendResult(), SendResult::Sent);
    EXPECT_NE(aconnect({"-l"}).find(routed), std::string::npos);
    EXPECT_EQ(program.lost, 0u);

    ASSERT_TRUE(synth.unplug());
    program.send(3, 334);
    EXPECT_EQ(program.manager.lastSendResult(), SendResult::DestinationGone);
    EXPECT_FALSE(program.manager.isConnected());
    EXPECT_EQ(program.disconnects, 1u);
}

// A program that opened the synth's raw MIDI device itself (amidi, say)
// holds its only output; no connection can open it.
TEST_F(UsbSynthTest, ASynthThatCannotBeConnectedIsOneLineOnStandardErrorAndNotConnected) {
    ASSERT_TRUE(synth.plug());
    const auto card = std::filesystem::read_symlink("/proc/asound/vantor2").string(); // "cardN"
    const int holder = open(("/dev/snd/midiC" + card.substr(4) + "D0").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Program().manager.isConnected());
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    close(holder);
    EXPECT_TRUE(printed.starts_with("Cannot connect to the MIDI destination \"vantor*2\"")) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
}

} // namespace
