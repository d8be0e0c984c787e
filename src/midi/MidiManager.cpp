#include "midi/MidiManager.h"

#include "midi/Nrpn.h"

namespace vantor::midi {

MidiManager::MidiManager(MidiService& service) : service_(service) {
    midiClient_ = service_.createClient(kClientName);
    outPort_ = service_.createOutputPort(midiClient_, kOutPortName);
    findDestination(kDestinationName);
}

void MidiManager::findDestination(std::string_view name) {
    const std::size_t count = service_.destinationCount();
    for (std::size_t index = 0; index < count; ++index) {
        const auto endpoint = service_.destinationAt(index);
        if (!endpoint) continue;
        const DestinationNames names = service_.destinationNames(*endpoint);
        for (const auto& candidate : {names.port, names.client}) {
            if (candidate && *candidate == name) {
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
}

} // namespace vantor::midi
