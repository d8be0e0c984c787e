#include "midi/NrpnDecoder.h"

#include "midi/Nrpn.h"

#include <algorithm>
#include <sstream>

namespace vantor::midi {

namespace {

std::string describe(std::span<const std::uint8_t> message) {
    std::ostringstream text;
    text << std::hex << std::uppercase;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (i != 0) text << ' ';
        const unsigned byte = message[i];
        if (byte < 0x10) text << '0';
        text << byte;
    }
    return text.str();
}

} // namespace

std::optional<DecodeEvent> NrpnDecoder::restart(std::string warning) {
    expected_ = Step::ParameterMsb;
    return DecodeWarning{std::move(warning)};
}

std::optional<DecodeEvent> NrpnDecoder::feedMessage(std::span<const std::uint8_t> message) {
    const bool isControlChange = message.size() == 3 && (message[0] & 0xF0u) == kControlChange &&
                                 message[1] < 0x80 && message[2] < 0x80;
    if (!isControlChange) {
        return restart("warning: unexpected MIDI message [" + describe(message) + "]");
    }
    const int channel = message[0] & 0x0F;
    const int controller = message[1];
    const int data = message[2];

    // A new parameter MSB always starts a sequence; if one was under way it
    // was left incomplete.
    if (controller == kNrpnParameterMsb) {
        std::optional<DecodeEvent> warning;
        if (inSequence()) warning = DecodeWarning{"warning: incomplete NRPN sequence dropped"};
        expected_ = Step::ParameterLsb;
        channel_ = channel;
        parameterMsb_ = data;
        return warning;
    }
    if (!inSequence() || channel != channel_) {
        return restart("warning: Control Change " + std::to_string(controller) + " outside an NRPN sequence");
    }
    switch (expected_) {
    case Step::ParameterLsb:
        if (controller != kNrpnParameterLsb) break;
        parameterLsb_ = data;
        expected_ = Step::DataMsb;
        return std::nullopt;
    case Step::DataMsb:
        if (controller != kDataEntryMsb) break;
        dataMsb_ = data;
        expected_ = Step::DataLsb;
        return std::nullopt;
    case Step::DataLsb:
        if (controller != kDataEntryLsb) break;
        expected_ = Step::ParameterMsb;
        return NrpnMessage{channel_, (parameterMsb_ << 7) | parameterLsb_, (dataMsb_ << 7) | data};
    case Step::ParameterMsb:
        break;
    }
    return restart("warning: Control Change " + std::to_string(controller) + " out of order in an NRPN sequence");
}

std::vector<DecodeEvent> NrpnDecoder::feedBytes(std::span<const std::uint8_t> bytes) {
    std::vector<DecodeEvent> events;
    for (std::size_t offset = 0; offset < bytes.size(); offset += 3) {
        const auto length = std::min<std::size_t>(3, bytes.size() - offset);
        if (auto event = feedMessage(bytes.subspan(offset, length))) events.push_back(std::move(*event));
    }
    return events;
}

std::vector<NrpnMessage> decodeNrpns(std::span<const std::uint8_t> bytes) {
    NrpnDecoder decoder;
    std::vector<NrpnMessage> messages;
    for (auto& event : decoder.feedBytes(bytes)) {
        if (auto* message = std::get_if<NrpnMessage>(&event)) messages.push_back(*message);
    }
    return messages;
}

} // namespace vantor::midi
