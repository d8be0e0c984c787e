#include "midi/MidiManager.h"

#include "midi/Nrpn.h"

namespace vantor::midi {

MidiManager::MidiManager(MidiService& service) : service_(service) {
    midiClient_ = service_.createClient(kClientName);
    outPort_ = service_.createOutputPort(midiClient_, kOutPortName);
    findDestination(kDestinationName);
    destinationLost_ = service_.destinationLost.connect([this](EndpointRef lost) {
        if (connectedEndpoint_ == lost) forgetDestination();
    });
}

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
    const NrpnBytes bytes = encodeNrpn(value, parameter, channel);
    lastSendResult_ = service_.send(outPort_, destination, bytes);
    switch (lastSendResult_) {
    case SendResult::DestinationGone:
    case SendResult::ServiceGone:
        if (connectedEndpoint_ == destination) forgetDestination();
        break;
    case SendResult::QueueFull: nrpnLost.emit(); break;
    default: break;
    }
}

void MidiManager::forgetDestination() {
    if (!connectedEndpoint_) return;
    connectedEndpoint_.reset();
    connectedDeviceName_.reset();
    connectionLost.emit();
}

} // namespace vantor::midi
