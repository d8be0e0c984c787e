#pragma once

#include "core/Console.h"
#include "midi/MidiManager.h"

#include <cstdint>
#include <string_view>

namespace vantor::midi {

// What a send prints without a destination, for the surface's sliders and
// the mod buttons.
inline constexpr std::string_view kNoMidiDevice = "No MIDI device connected.";

// Every send of the program follows this rule: with a destination, the NRPN
// goes to it on channel 1; without one, `lineWithoutDestination` is printed
// instead (each control has its own line).
inline void sendOrPrint(MidiManager& midi, Console& console, std::int64_t parameter, std::int64_t value,
                        std::string_view lineWithoutDestination) {
    const auto endpoint = midi.connectedEndpoint();
    if (!endpoint) {
        console.printLine(lineWithoutDestination);
        return;
    }
    midi.sendNRPN(value, parameter, 0, *endpoint);
}

} // namespace vantor::midi
