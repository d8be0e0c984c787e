#include "support/RecordingMidiService.h"

#include <algorithm>

namespace vantor::testing {

midi::EndpointRef RecordingMidiService::addDestination(std::optional<std::string> portName,
                                                       std::optional<std::string> clientName) {
    destinations_.push_back({nextRef_, {std::move(portName), std::move(clientName)}, true});
    return nextRef_++;
}

void RecordingMidiService::vanish(midi::EndpointRef destination) {
    for (auto& entry : destinations_) {
        if (entry.ref == destination) entry.present = false;
    }
}

void RecordingMidiService::loseDestination(midi::EndpointRef destination) {
    vanish(destination);
    destinationLost.emit(destination);
}

std::vector<midi::NrpnMessage> RecordingMidiService::nrpns() const {
    std::vector<std::uint8_t> stream;
    for (const auto& sent : sends_) stream.insert(stream.end(), sent.bytes.begin(), sent.bytes.end());
    return midi::decodeNrpns(stream);
}

midi::ClientRef RecordingMidiService::createClient(std::string_view name) {
    clientNames_.emplace_back(name);
    return static_cast<midi::ClientRef>(clientNames_.size());
}

midi::PortRef RecordingMidiService::createOutputPort(midi::ClientRef client, std::string_view name) {
    if (client == 0) return 0;
    portNames_.emplace_back(name);
    return static_cast<midi::PortRef>(portNames_.size());
}

const RecordingMidiService::Destination* RecordingMidiService::find(midi::EndpointRef ref) const {
    const auto it = std::find_if(destinations_.begin(), destinations_.end(),
                                 [ref](const Destination& entry) { return entry.ref == ref; });
    return it == destinations_.end() ? nullptr : &*it;
}

std::vector<const RecordingMidiService::Destination*> RecordingMidiService::present() const {
    std::vector<const Destination*> list;
    for (const auto& entry : destinations_) {
        if (entry.present) list.push_back(&entry);
    }
    return list;
}

std::size_t RecordingMidiService::destinationCount() {
    ++enumerations_;
    return present().size();
}

std::optional<midi::EndpointRef> RecordingMidiService::destinationAt(std::size_t index) {
    const auto list = present();
    if (index >= list.size()) return std::nullopt;
    return list[index]->ref;
}

midi::DestinationNames RecordingMidiService::destinationNames(midi::EndpointRef destination) {
    const auto* entry = find(destination);
    return entry ? entry->names : midi::DestinationNames{};
}

midi::SendResult RecordingMidiService::send(midi::PortRef port, midi::EndpointRef destination,
                                            std::span<const std::uint8_t> bytes) {
    const auto* entry = find(destination);
    if (entry == nullptr) return midi::SendResult::NoDestination;
    if (!entry->present) return midi::SendResult::DestinationGone;
    if (failure_ && delivered_ >= failure_->fromSend) return failure_->result;
    ++delivered_;
    sends_.push_back({port, destination, {bytes.begin(), bytes.end()}});
    return midi::SendResult::Sent;
}

} // namespace vantor::testing
