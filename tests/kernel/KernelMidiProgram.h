#pragma once

// What the kernel-stage MIDI tests share: the program's side of a send (the
// real ALSA service and a manager that counts what it reports), and how long
// a test waits for the guest.

#include "midi/MidiManager.h"
#include "platform/alsa/AlsaMidiService.h"

#include <chrono>
#include <cstddef>

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
    int connectedClient() const {
        const auto endpoint = manager.connectedEndpoint();
        return endpoint ? platform::AlsaMidiService::addressOf(*endpoint)->client : -1;
    }
};

} // namespace vantor::testing
