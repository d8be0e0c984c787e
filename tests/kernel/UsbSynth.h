#pragma once

// A USB synthesizer named "vantor*2" in the guest (usb_synth.sh), and the
// bytes its synth side receives.

#include "KernelMidiProgram.h"
#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantor::testing {

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

    // The host's raw MIDI device of the synth, as a program that opens it directly names it.
    static std::string hostRawMidi() {
        const auto card = std::filesystem::read_symlink("/proc/asound/vantor2").string(); // "cardN"
        return "/dev/snd/midiC" + card.substr(4) + "D0";
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
