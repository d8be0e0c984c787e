// The real AlsaMidiService sending to a USB synthesizer named "vantor*2": the
// kernel's USB gadget MIDI function on the dummy host controller, which
// snd-usb-audio drives exactly as it drives a synth plugged into a USB port
// (usb_synth.sh). The synth's side reads the bytes it receives from the
// gadget's own raw MIDI device. Run in a guest by guest_run.sh.

#include "KernelMidiProgram.h"
#include "UsbSynth.h"
#include "midi/Nrpn.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using vantor::midi::encodeNrpn;
using vantor::midi::SendResult;
using vantor::platform::AlsaMidiService;
using vantor::testing::ChildProcess;
using vantor::testing::UsbSynth;
using Program = vantor::testing::KernelMidiProgram;
using Bytes = std::vector<std::uint8_t>;

constexpr auto kWait = vantor::testing::kKernelWait;

// What `aconnect` prints, run as a user runs it.
std::string aconnect(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "/usr/bin/aconnect");
    ChildProcess tool(arguments, ChildProcess::Output::Pipe);
    std::string printed;
    for (auto line = tool.readLine(kWait); line; line = tool.readLine(kWait)) printed += *line + "\n";
    return printed;
}

Bytes nrpnBytes(const std::vector<std::pair<int, int>>& parametersAndValues) {
    Bytes bytes;
    for (const auto& [parameter, value] : parametersAndValues) {
        const auto nrpn = encodeNrpn(value, parameter, 0);
        bytes.insert(bytes.end(), nrpn.begin(), nrpn.end());
    }
    return bytes;
}

// The synth's port and ours (our client's first), as aconnect names them: "client:port".
std::string synthPort(const Program& program) {
    const auto synth = AlsaMidiService::addressOf(*program.manager.connectedEndpoint()).value();
    return std::to_string(synth.client) + ":" + std::to_string(synth.port);
}
std::string ourPort(const Program& program) { return std::to_string(program.manager.midiClient()) + ":0"; }

class UsbSynthTest : public testing::Test {
protected:
    UsbSynth synth;
};

// A USB device's port name always carries its card's name and a number, so
// the client name is what finds it.
TEST_F(UsbSynthTest, FoundByItsClientNameItTakesEveryNrpnByteExactAndInOrder) {
    ASSERT_TRUE(synth.plug());
    Program program;
    ASSERT_EQ(program.manager.connectedDeviceName(), "vantor*2");
    const auto names = program.service.destinationNames(*program.manager.connectedEndpoint());
    EXPECT_EQ(names.client, "vantor*2");
    EXPECT_EQ(names.port, "vantor*2 MIDI 1");
    EXPECT_NE(aconnect({"-l"}).find("Connected From: " + ourPort(program) + "\n"), std::string::npos);

    program.send(28, 16383);
    EXPECT_EQ(synth.receive(12), nrpnBytes({{28, 16383}}));
    // A dice roll's worth, one after the other.
    std::vector<std::pair<int, int>> burst{{28, 16383}};
    for (int parameter = 1; parameter <= 45; ++parameter) {
        const int value = (parameter * 373) % 16384;
        program.send(parameter, value);
        burst.emplace_back(parameter, value);
    }
    EXPECT_EQ(synth.receive(burst.size() * 12), nrpnBytes(burst));
    EXPECT_EQ(program.manager.lastSendResult(), SendResult::Sent);
    EXPECT_EQ(program.lost, 0u);
    EXPECT_TRUE(program.manager.isConnected());
}

// A hardware port refuses events while nobody is connected to it; that is
// no sign that the synth went away.
TEST_F(UsbSynthTest, AConnectionRemovedByAnotherProgramIsMadeAgainAndTheNrpnStillArrives) {
    ASSERT_TRUE(synth.plug());
    Program program;
    ASSERT_TRUE(program.manager.isConnected());
    aconnect({"-d", ourPort(program), synthPort(program)});
    ASSERT_EQ(aconnect({"-l"}).find("Connected From: "), std::string::npos);

    program.send(7, 4242);
    EXPECT_EQ(synth.receive(12), nrpnBytes({{7, 4242}}));
    EXPECT_EQ(program.manager.lastSendResult(), SendResult::Sent);
    EXPECT_TRUE(program.manager.isConnected());
    EXPECT_NE(aconnect({"-l"}).find("Connected From: " + ourPort(program) + "\n"), std::string::npos);
}

TEST_F(UsbSynthTest, UnpluggedWhileRunningItIsGoneAtTheNextSend) {
    ASSERT_TRUE(synth.plug());
    Program program;
    program.send(3, 333);
    ASSERT_EQ(synth.receive(12), nrpnBytes({{3, 333}}));

    ASSERT_TRUE(synth.unplug());
    program.send(3, 334);
    EXPECT_EQ(program.manager.lastSendResult(), SendResult::DestinationGone);
    EXPECT_FALSE(program.manager.isConnected());
    EXPECT_EQ(program.disconnects, 1u);
}

TEST_F(UsbSynthTest, PluggedInAfterTheLookupItIsNotTaken) {
    Program program;
    ASSERT_TRUE(synth.plug());
    EXPECT_FALSE(program.manager.isConnected());
    EXPECT_EQ(program.manager.connectedDeviceName(), std::nullopt);
    // It is there to be found: a program started now takes it.
    EXPECT_TRUE(Program().manager.isConnected());
}

// A program that opened the synth's raw MIDI device itself (amidi, say)
// holds its only output; no connection can open it.
TEST_F(UsbSynthTest, ASynthThatCannotBeConnectedIsOneLineOnStandardErrorAndNotConnected) {
    ASSERT_TRUE(synth.plug());
    const int holder = open(UsbSynth::hostRawMidi().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    {
        Program program;
        EXPECT_FALSE(program.manager.isConnected());
        EXPECT_EQ(program.manager.connectedDeviceName(), std::nullopt);
    }
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    close(holder);
    EXPECT_TRUE(printed.starts_with("Cannot connect to the MIDI destination \"vantor*2\"")) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
}

} // namespace
