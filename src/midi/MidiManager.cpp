#include "midi/MidiManager.h"

#include "midi/Nrpn.h"

namespace vantor::midi {

MidiManager::MidiManager(MidiService& service, MainQueue* pacing) : service_(service) {
    if (pacing) {
        pacer_ = std::make_unique<NrpnPacer>(*pacing, [this](const NrpnMessage& m) {
            return sendNow(m.value, m.parameter, m.channel, pacedDestination_);
        });
    }
    midiClient_ = service_.createClient(kClientName);
    outPort_ = service_.createOutputPort(midiClient_, kOutPortName);
    findDestination(kDestinationName);
    destinationLost_ = service_.destinationLost.connect([this](EndpointRef lost) {
        if (connectedEndpoint_ == lost) forgetDestination();
    });
}

MidiManager::~MidiManager() = default;

void MidiManager::findDestination(std::string_view name) {
    const std::size_t count = service_.destinationCount();
    for (std::size_t index = 0; index < count; ++index) {
        const auto endpoint = service_.destinationAt(index);
        if (!endpoint) continue;
        const DestinationNames names = service_.destinationNames(*endpoint);
        for (const auto& candidate : {names.port, names.client}) {
            if (candidate && *candidate == name) {
                // One that cannot be reached is no destination; the service said why.
                if (!service_.prepareRoute(outPort_, *endpoint)) return;
                connectedDeviceName_ = *candidate;
                connectedEndpoint_ = *endpoint;
                return;
            }
        }
    }
}

void MidiManager::sendNRPN(std::int64_t value, std::int64_t parameter, int channel, EndpointRef destination) {
    // The synth sees the low 14 bits of both numbers: parameters are told
    // apart by those.
    const auto bits = [](std::int64_t number) { return static_cast<int>(number & 0x3FFF); };
    if (!pacer_) {
        if (sendNow(bits(value), bits(parameter), channel, destination) == SendResult::QueueFull) nrpnLost.emit();
        return;
    }
    pacedDestination_ = destination;
    pacer_->submit({channel, bits(parameter), bits(value)});
}

SendResult MidiManager::sendNow(int value, int parameter, int channel, EndpointRef destination) {
    const NrpnBytes bytes = encodeNrpn(value, parameter, channel);
    lastSendResult_ = service_.send(outPort_, destination, bytes);
    if ((lastSendResult_ == SendResult::DestinationGone || lastSendResult_ == SendResult::ServiceGone) &&
        connectedEndpoint_ == destination) {
        forgetDestination();
    }
    return lastSendResult_;
}

void MidiManager::forgetDestination() {
    if (!connectedEndpoint_) return;
    connectedEndpoint_.reset();
    connectedDeviceName_.reset();
    connectionLost.emit();
}

} // namespace vantor::midi
