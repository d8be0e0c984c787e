#pragma once

#include "core/Console.h"
#include "midi/MidiManager.h"
#include "midi/SendOrPrint.h"
#include "midi/SendableValue.h"
#include "surface/SurfaceIds.h"

namespace vantor::surface {

// Sends a control value to `parameter`, truncated toward zero, or prints
// "No MIDI device connected." when there is no destination. A value without
// a wire form (not finite) is dropped without a word.
inline void sendControlValue(midi::MidiManager& midi, Console& console, Parameter parameter, double value) {
    const auto wire = midi::sendableValue(value);
    if (!wire) return;
    midi::sendOrPrint(midi, console, parameter.value(), *wire, midi::kNoMidiDevice);
}

} // namespace vantor::surface
