#pragma once

#include "core/Console.h"
#include "midi/MidiManager.h"
#include "midi/SendableValue.h"

#include <string_view>

namespace vantor::surface {

inline constexpr std::string_view kNoMidiDevice = "No MIDI device connected.";

// Sends a control value to `parameter` on channel 0, truncated toward zero,
// or prints "No MIDI device connected." when there is no destination. A value
// without a wire form (not finite) is dropped without a word.
inline void sendControlValue(midi::MidiManager& midi, Console& console, int parameter, double value) {
    const auto wire = midi::sendableValue(value);
    if (!wire) return;
    const auto endpoint = midi.connectedEndpoint();
    if (!endpoint) {
        console.printLine(kNoMidiDevice);
        return;
    }
    midi.sendNRPN(*wire, parameter, 0, *endpoint);
}

} // namespace vantor::surface
