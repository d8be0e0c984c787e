// The real AlsaMidiService and libasound against the kernel's sequencer
// (snd-seq), with real receiving clients: run in a guest by guest_run.sh.

#include "KernelMidiProgram.h"
#include "midi/NrpnDecoder.h"
#include "support/ChildProcess.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using vantor::midi::decodeNrpns;
using vantor::midi::NrpnMessage;
using vantor::midi::SendResult;
using vantor::testing::ChildProcess;
using Program = vantor::testing::KernelMidiProgram;

constexpr auto kWait = vantor::testing::kKernelWait;

// A sequencer client with one writable port that records the controller
// events reaching it as MIDI bytes.
class Receiver {
public:
    Receiver(const char* clientName, const char* portName) {
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) return;
        snd_seq_set_client_name(seq_, clientName);
        port_ = snd_seq_create_simple_port(seq_, portName, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                           SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    }
    ~Receiver() { if (seq_) snd_seq_close(seq_); }
    bool ok() const { return seq_ && port_ >= 0; }
    int client() const { return snd_seq_client_id(seq_); }

    // Waits until `count` bytes arrived (0: takes what is waiting); what arrived by then.
    std::vector<std::uint8_t> receive(std::size_t count) {
        std::vector<pollfd> fds(static_cast<std::size_t>(snd_seq_poll_descriptors_count(seq_, POLLIN)));
        snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(fds.size()), POLLIN);
        while (true) {
            snd_seq_event_t* event = nullptr;
            const int result = snd_seq_event_input(seq_, &event);
            if (result == -EAGAIN) {
                if (bytes_.size() >= count || poll(fds.data(), fds.size(), int(kWait.count())) <= 0) break;
                continue;
            }
            if (result < 0) break;
            if (event->type != SND_SEQ_EVENT_CONTROLLER) continue;
            bytes_.insert(bytes_.end(), {static_cast<std::uint8_t>(0xB0 | event->data.control.channel),
                                         static_cast<std::uint8_t>(event->data.control.param),
                                         static_cast<std::uint8_t>(event->data.control.value)});
        }
        return bytes_;
    }

private:
    snd_seq_t* seq_ = nullptr;
    int port_ = -1;
    std::vector<std::uint8_t> bytes_;
};

// A figure the kernel keeps of `client`'s input pool: "Cells in use", "Alloc failures" (events that found no cell).
int inputPool(int client, const std::string& figure) {
    std::stringstream text;
    text << std::ifstream("/proc/asound/seq/clients").rdbuf();
    const std::string all = text.str();
    std::smatch match;
    const std::regex pattern("Client +" + std::to_string(client) + " :[^]*?Input pool :[^]*?" + figure + " +: (\\d+)");
    return std::regex_search(all, match, pattern) ? std::stoi(match[1]) : -1;
}

struct Naming {
    const char* name;
    const char* client;
    const char* port;
};

class FoundByName : public testing::TestWithParam<Naming> {};

// A second destination of the name, a later client, is not used.
TEST_P(FoundByName, BytesArriveCompleteAndInOrderAtTheFirstOfTheName) {
    Receiver receiver(GetParam().client, GetParam().port);
    Receiver later(GetParam().client, GetParam().port);
    ASSERT_TRUE(receiver.ok() && later.ok());
    Program program;
    ASSERT_EQ(program.connectedClient(), receiver.client());
    EXPECT_EQ(program.manager.connectedDeviceName(), "vantor*2");

    program.send(28, 16383);
    const std::vector<std::uint8_t> first = receiver.receive(12);
    EXPECT_EQ(first, (std::vector<std::uint8_t>{0xB0, 0x63, 0x00, 0xB0, 0x62, 0x1C, 0xB0, 0x06, 0x7F, 0xB0, 0x26, 0x7F}));
    // A dice roll's worth, one after the other.
    std::vector<NrpnMessage> sent;
    for (int parameter = 1; parameter <= 44; ++parameter) {
        const int value = (parameter * 373) % 16384;
        program.send(parameter, value);
        sent.push_back({0, parameter, value});
    }
    const auto messages = decodeNrpns(receiver.receive(12 + 44 * 12));
    ASSERT_EQ(messages.size(), 45u);
    EXPECT_EQ(std::vector<NrpnMessage>(messages.begin() + 1, messages.end()), sent);
    EXPECT_EQ(program.lost, 0u);
    EXPECT_TRUE(later.receive(0).empty());
}

INSTANTIATE_TEST_SUITE_P(Kernel, FoundByName,
                         testing::Values(Naming{"ByClientName", "vantor*2", "in"},
                                         Naming{"ByPortName", "synth", "vantor*2"}),
                         [](const auto& row) { return std::string(row.param.name); });

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
    ASSERT_TRUE(vantor::testing::waitUntil([&] { return inputPool(program.connectedClient(), "Cells in use") == 0; }));
    ASSERT_TRUE(monitor.pause());
    for (int i = 0; i < 560; ++i) program.send(1 + i % 43, i);
    EXPECT_EQ(program.lost, 60u);
    EXPECT_EQ(inputPool(program.connectedClient(), "Alloc failures"), 60);
    EXPECT_TRUE(program.manager.isConnected());
    // The kernel then empties the full queue and says so at the monitor's next read; what comes after arrives.
    monitor.signal(SIGCONT);
    EXPECT_TRUE(monitor.waitForLine("^warning: MIDI input queue overflowed: the kernel dropped the 2000 events "
                                    "queued \\(500 NRPNs\\)$", kWait));
    program.send(28, 16383);
    EXPECT_EQ(monitor.readLine(kWait), "NRPN 28 \"mod A depth\" = 16383");
}

} // namespace
