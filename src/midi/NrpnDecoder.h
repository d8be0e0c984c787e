#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace vantor::midi {

struct NrpnMessage {
    int channel = 0;   // 0..15
    int parameter = 0; // 14-bit
    int value = 0;     // 14-bit

    friend bool operator==(const NrpnMessage&, const NrpnMessage&) = default;
};

struct DecodeWarning {
    std::string text;
};

using DecodeEvent = std::variant<NrpnMessage, DecodeWarning>;

// Turns MIDI messages back into NRPNs: the four Control Change messages 99,
// 98, 6, 38 in that order on one channel make one NRPN. Anything out of order,
// an interrupted sequence or a message that is no Control Change gives a
// warning, and decoding goes on with the next message.
class NrpnDecoder {
public:
    // One complete MIDI message (a Control Change is 3 bytes).
    std::optional<DecodeEvent> feedMessage(std::span<const std::uint8_t> message);

    // A byte stream of whole 3-byte messages, as an in-memory service records
    // it; returns every event in order.
    std::vector<DecodeEvent> feedBytes(std::span<const std::uint8_t> bytes);

    // True while a sequence has begun and not yet completed.
    bool inSequence() const { return expected_ != Step::ParameterMsb; }

private:
    enum class Step { ParameterMsb, ParameterLsb, DataMsb, DataLsb };

    std::optional<DecodeEvent> restart(std::string warning);

    Step expected_ = Step::ParameterMsb;
    int channel_ = 0;
    int parameterMsb_ = 0;
    int parameterLsb_ = 0;
    int dataMsb_ = 0;
};

// All complete NRPNs in a byte stream, warnings dropped.
std::vector<NrpnMessage> decodeNrpns(std::span<const std::uint8_t> bytes);

} // namespace vantor::midi
