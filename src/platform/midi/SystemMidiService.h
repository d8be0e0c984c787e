#pragma once

#include "core/MainQueue.h"
#include "midi/MidiService.h"

#include <memory>
#include <utility>
#include <vector>

namespace vantor::platform {

// Several MIDI services seen as one: their destinations one after the other,
// in the order the services were given (the system's: ALSA first, then
// JACK). Clients and ports are created on every service; a handle of this
// service names one handle on each (or on one, for a destination).
// destinationAt() reads the counts that the latest destinationCount() took.
// A backend's destinationLost is passed on for destinations handed out here.
// Main thread only.
class SystemMidiService final : public midi::MidiService {
public:
    explicit SystemMidiService(std::vector<std::unique_ptr<midi::MidiService>> backends);

    midi::ClientRef createClient(std::string_view name) override;
    midi::PortRef createOutputPort(midi::ClientRef client, std::string_view name) override;
    std::size_t destinationCount() override;
    std::optional<midi::EndpointRef> destinationAt(std::size_t index) override;
    midi::DestinationNames destinationNames(midi::EndpointRef destination) override;
    midi::SendResult send(midi::PortRef port, midi::EndpointRef destination,
                          std::span<const std::uint8_t> bytes) override;
    bool prepareRoute(midi::PortRef port, midi::EndpointRef destination) override;

    std::size_t backendCount() const { return backends_.size(); }

private:
    // One backend handle per backend (0 where that backend has none).
    using PerBackend = std::vector<std::uint32_t>;
    struct BackendEndpoint {
        std::size_t backend;
        midi::EndpointRef ref;
    };

    // A destination with our port on its backend (0: none there).
    struct BackendRoute {
        BackendEndpoint endpoint;
        midi::PortRef port;
    };

    static const PerBackend* lookup(const std::vector<PerBackend>& table, std::uint32_t ref);
    std::optional<BackendRoute> route(midi::PortRef port, midi::EndpointRef destination) const;
    std::optional<midi::EndpointRef> knownEndpoint(BackendEndpoint endpoint) const;
    midi::EndpointRef endpointFor(BackendEndpoint endpoint);

    std::vector<std::unique_ptr<midi::MidiService>> backends_;
    std::vector<PerBackend> clients_;           // ClientRef - 1 -> backend clients
    std::vector<PerBackend> ports_;             // PortRef - 1 -> backend ports
    std::vector<BackendEndpoint> endpoints_;    // EndpointRef - 1 -> backend destination, never shrinks
    std::vector<std::size_t> counts_;           // per backend, as of the latest destinationCount()
    std::vector<Signal<midi::EndpointRef>::Connection> backendLosses_;
};

// The services this build and this machine offer: ALSA's, then JACK's.
// Either may be missing; the result is never null. Losses the services
// notice by themselves are told on `mainQueue`, which must outlive them.
std::unique_ptr<midi::MidiService> makeSystemMidiService(MainQueue& mainQueue);

} // namespace vantor::platform
