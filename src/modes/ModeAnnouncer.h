#pragma once

#include "core/Console.h"
#include "midi/MidiManager.h"
#include "midi/SendOrPrint.h"
#include "modes/ModeSwitches.h"

namespace vantor::modes {

inline constexpr std::string_view kEndpointNotConnected = "MIDI endpoint not connected.";

// Tells the instrument a mode flag's state: the switch's number for that
// state goes out as both parameter and value. Without a destination the
// line "MIDI endpoint not connected." is printed instead.
inline void announceMode(midi::MidiManager& midi, Console& console, ModeSwitchId id, bool on) {
    const int number = numberFor(modeSwitch(id), on);
    midi::sendOrPrint(midi, console, number, number, kEndpointNotConnected);
}

} // namespace vantor::modes
