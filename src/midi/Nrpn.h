#pragma once

#include <array>
#include <cstdint>

namespace vantor::midi {

// Controller numbers of the four Control Change messages of an NRPN.
inline constexpr std::uint8_t kNrpnParameterMsb = 99;
inline constexpr std::uint8_t kNrpnParameterLsb = 98;
inline constexpr std::uint8_t kDataEntryMsb = 6;
inline constexpr std::uint8_t kDataEntryLsb = 38;
inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr int kMaxFourteenBit = 16383;

using NrpnBytes = std::array<std::uint8_t, 12>;

// The four Control Change messages of an NRPN, each with its own status byte.
// Only the low 14 bits of value and parameter and the low 4 bits of the
// channel count; a negative number contributes its two's-complement bits.
constexpr NrpnBytes encodeNrpn(std::int64_t value, std::int64_t parameter, int channel) {
    const auto bits = [](std::int64_t number, int shift) {
        return static_cast<std::uint8_t>((static_cast<std::uint64_t>(number) >> shift) & 0x7Fu);
    };
    const auto status = static_cast<std::uint8_t>(kControlChange | (static_cast<unsigned>(channel) & 0x0Fu));
    return {status, kNrpnParameterMsb, bits(parameter, 7),
            status, kNrpnParameterLsb, bits(parameter, 0),
            status, kDataEntryMsb,     bits(value, 7),
            status, kDataEntryLsb,     bits(value, 0)};
}

} // namespace vantor::midi
