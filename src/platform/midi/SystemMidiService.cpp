#include "platform/midi/SystemMidiService.h"

#include <algorithm>

namespace vantor::platform {

SystemMidiService::SystemMidiService(std::vector<std::unique_ptr<midi::MidiService>> backends)
    : backends_(std::move(backends)), counts_(backends_.size(), 0) {
    for (std::size_t backend = 0; backend < backends_.size(); ++backend) {
        backendLosses_.push_back(backends_[backend]->destinationLost.connect([this, backend](midi::EndpointRef ref) {
            if (const auto known = knownEndpoint({backend, ref})) destinationLost.emit(*known);
        }));
    }
}

const SystemMidiService::PerBackend* SystemMidiService::lookup(const std::vector<PerBackend>& table,
                                                               std::uint32_t ref) {
    if (ref == 0 || ref > table.size()) return nullptr;
    return &table[ref - 1];
}

std::optional<midi::EndpointRef> SystemMidiService::knownEndpoint(BackendEndpoint endpoint) const {
    const auto known = std::find_if(endpoints_.begin(), endpoints_.end(), [&](const BackendEndpoint& entry) {
        return entry.backend == endpoint.backend && entry.ref == endpoint.ref;
    });
    if (known == endpoints_.end()) return std::nullopt;
    return static_cast<midi::EndpointRef>(known - endpoints_.begin() + 1);
}

midi::EndpointRef SystemMidiService::endpointFor(BackendEndpoint endpoint) {
    if (const auto known = knownEndpoint(endpoint)) return *known;
    endpoints_.push_back(endpoint);
    return static_cast<midi::EndpointRef>(endpoints_.size());
}

midi::ClientRef SystemMidiService::createClient(std::string_view name) {
    PerBackend created;
    for (auto& backend : backends_) created.push_back(backend->createClient(name));
    if (std::all_of(created.begin(), created.end(), [](std::uint32_t ref) { return ref == 0; })) return 0;
    clients_.push_back(std::move(created));
    return static_cast<midi::ClientRef>(clients_.size());
}

midi::PortRef SystemMidiService::createOutputPort(midi::ClientRef client, std::string_view name) {
    const PerBackend* backendClients = lookup(clients_, client);
    if (backendClients == nullptr) return 0;
    PerBackend created;
    for (std::size_t index = 0; index < backends_.size(); ++index) {
        const auto backendClient = (*backendClients)[index];
        created.push_back(backendClient == 0 ? 0 : backends_[index]->createOutputPort(backendClient, name));
    }
    if (std::all_of(created.begin(), created.end(), [](std::uint32_t ref) { return ref == 0; })) return 0;
    ports_.push_back(std::move(created));
    return static_cast<midi::PortRef>(ports_.size());
}

std::size_t SystemMidiService::destinationCount() {
    std::size_t total = 0;
    for (std::size_t index = 0; index < backends_.size(); ++index) {
        counts_[index] = backends_[index]->destinationCount();
        total += counts_[index];
    }
    return total;
}

std::optional<midi::EndpointRef> SystemMidiService::destinationAt(std::size_t index) {
    for (std::size_t backend = 0; backend < backends_.size(); ++backend) {
        if (index < counts_[backend]) {
            const auto ref = backends_[backend]->destinationAt(index);
            if (!ref) return std::nullopt;
            return endpointFor({backend, *ref});
        }
        index -= counts_[backend];
    }
    return std::nullopt;
}

midi::DestinationNames SystemMidiService::destinationNames(midi::EndpointRef destination) {
    if (destination == 0 || destination > endpoints_.size()) return {};
    const auto& endpoint = endpoints_[destination - 1];
    return backends_[endpoint.backend]->destinationNames(endpoint.ref);
}

std::optional<SystemMidiService::BackendRoute> SystemMidiService::route(midi::PortRef port,
                                                                         midi::EndpointRef destination) const {
    if (destination == 0 || destination > endpoints_.size()) return std::nullopt;
    const auto& endpoint = endpoints_[destination - 1];
    const PerBackend* backendPorts = lookup(ports_, port);
    if (backendPorts == nullptr || (*backendPorts)[endpoint.backend] == 0) return BackendRoute{endpoint, 0};
    return BackendRoute{endpoint, (*backendPorts)[endpoint.backend]};
}

midi::SendResult SystemMidiService::send(midi::PortRef port, midi::EndpointRef destination,
                                         std::span<const std::uint8_t> bytes) {
    const auto found = route(port, destination);
    if (!found) return midi::SendResult::NoDestination;
    if (found->port == 0) return midi::SendResult::DriverError;
    return backends_[found->endpoint.backend]->send(found->port, found->endpoint.ref, bytes);
}

bool SystemMidiService::prepareRoute(midi::PortRef port, midi::EndpointRef destination) {
    // Without our port on that backend there is no route to make; send() reports it.
    const auto found = route(port, destination);
    if (!found || found->port == 0) return true;
    return backends_[found->endpoint.backend]->prepareRoute(found->port, found->endpoint.ref);
}

} // namespace vantor::platform
