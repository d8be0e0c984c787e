#pragma once

#include <cstddef>
#include <cstdint>

namespace vantor::platform {

// Length of the MIDI message that begins with `status`, or 0 when `status`
// cannot begin a message we pass on one at a time (a data byte, or System
// Exclusive, whose length the status byte does not tell).
constexpr std::size_t midiMessageLength(std::uint8_t status) {
    if (status < 0x80) return 0;
    if (status < 0xF0) {
        const unsigned kind = status & 0xF0u;
        return (kind == 0xC0 || kind == 0xD0) ? 2 : 3;
    }
    switch (status) {
    case 0xF1:
    case 0xF3: return 2;
    case 0xF2: return 3;
    case 0xF6:
    case 0xF8:
    case 0xFA:
    case 0xFB:
    case 0xFC:
    case 0xFE:
    case 0xFF: return 1;
    default: return 0; // 0xF0, 0xF7 and the undefined 0xF4, 0xF5, 0xF9, 0xFD
    }
}

} // namespace vantor::platform
