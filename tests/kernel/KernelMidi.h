#pragma once

// What the kernel-stage MIDI tests share: the program's side of a send (the
// real ALSA service and a manager that counts what it reports), a USB
// synthesizer named "vantor*2" (usb_synth.sh), and how long a test waits
// for the guest.

#include "midi/MidiManager.h"
#include "platform/alsa/AlsaMidiService.h"
#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vantor::testing {

inline constexpr std::chrono::milliseconds kKernelWait = std::chrono::seconds(20); // generous: the guest may run without KVM

struct KernelMidiProgram {
    platform::AlsaMidiService service;
    midi::MidiManager manager{service};
    std::size_t lost = 0;
    std::size_t disconnects = 0;
    Signal<>::Connection onLost = manager.nrpnLost.connect([this] { ++lost; });
    Signal<>::Connection onGone = manager.connectionLost.connect([this] { ++disconnects; });

    void send(int parameter, int value) {
        manager.sendNRPN(value, parameter, 0, manager.connectedEndpoint().value_or(0));
    }
    // Our port and the synth's, as aconnect and /proc name them.
    std::string ourPort() const { return std::to_string(manager.midiClient()) + ":0"; }
    platform::alsa::SequencerAddress synth() const {
        return platform::AlsaMidiService::addressOf(manager.connectedEndpoint().value_or(0)).value_or(
            platform::alsa::SequencerAddress{-1, -1});
    }
};

// The gadget, plugged in and pulled out through usb_synth.sh, and the bytes
// its synth side receives. Taken apart when the test ends.
class UsbSynth {
public:
    UsbSynth() = default;
    ~UsbSynth() {
        closeSynthSide();
        run("remove");
    }
    UsbSynth(const UsbSynth&) = delete;
    UsbSynth& operator=(const UsbSynth&) = delete;

    // Returns once the host sees the synth, with its side open for reading.
    bool plug() {
        ChildProcess script({VANTOR_USB_SYNTH, "plug"}, ChildProcess::Output::Pipe);
        const auto device = script.readLine(3 * kKernelWait);
        if (!device || script.wait(3 * kKernelWait) != 0) return false;
        synthSide_ = open(device->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        // The gadget drops what comes before its input is started, which the first read does.
        receive(0);
        return synthSide_ >= 0;
    }
    // Returns once the host's client is gone. The synth side is closed first:
    // the gadget's sound card is freed only when nothing holds it open.
    bool unplug() {
        closeSynthSide();
        return run("unplug");
    }

    // The synth side's raw MIDI device, open for reading without blocking.
    int synthSide() const { return synthSide_; }

    // Waits until `count` bytes arrived in all (0: takes what is waiting); everything received so far.
    std::vector<std::uint8_t> receive(std::size_t count) {
        pollfd descriptor{synthSide_, POLLIN, 0};
        while (synthSide_ >= 0) {
            std::uint8_t chunk[512];
            const ssize_t got = read(synthSide_, chunk, sizeof chunk);
            if (got > 0) {
                received_.insert(received_.end(), chunk, chunk + got);
                continue;
            }
            if (got < 0 && errno != EAGAIN) break;
            if (received_.size() >= count || poll(&descriptor, 1, static_cast<int>(kKernelWait.count())) <= 0) break;
        }
        return received_;
    }

private:
    static bool run(const char* verb) {
        ChildProcess script({VANTOR_USB_SYNTH, verb}, ChildProcess::Output::Discard);
        return script.wait(3 * kKernelWait) == 0;
    }
    void closeSynthSide() {
        if (synthSide_ >= 0) close(synthSide_);
        synthSide_ = -1;
    }

    int synthSide_ = -1;
    std::vector<std::uint8_t> received_;
};

} // namespace vantor::testing
