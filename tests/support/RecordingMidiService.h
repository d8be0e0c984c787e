#pragma once

#include "midi/MidiService.h"
#include "midi/NrpnDecoder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantor::testing {

// An in-memory MIDI service: destinations are added by the test, and every
// send is recorded with its port and destination.
class RecordingMidiService : public midi::MidiService {
public:
    struct Send {
        midi::PortRef port = 0;
        midi::EndpointRef destination = 0;
        std::vector<std::uint8_t> bytes;
    };

    // Appends a destination to the enumeration; returns its handle.
    midi::EndpointRef addDestination(std::optional<std::string> portName,
                                     std::optional<std::string> clientName = std::nullopt);
    // The destination leaves the enumeration; later sends to it fail.
    void vanish(midi::EndpointRef destination);
    // The same, and the service tells of it at once, as JACK does when its
    // server shuts down.
    void loseDestination(midi::EndpointRef destination);
    // Sends after the next `after` successful ones are refused with `result`.
    void failWith(midi::SendResult result, std::size_t after = 0) { failure_ = {result, delivered_ + after}; }

    const std::vector<Send>& sends() const { return sends_; }
    // Every NRPN that reached a destination, in order.
    std::vector<midi::NrpnMessage> nrpns() const;
    void clearSends() { sends_.clear(); }

    const std::vector<std::string>& clientNames() const { return clientNames_; }
    const std::vector<std::string>& portNames() const { return portNames_; }
    std::size_t enumerationCount() const { return enumerations_; }

    midi::ClientRef createClient(std::string_view name) override;
    midi::PortRef createOutputPort(midi::ClientRef client, std::string_view name) override;
    std::size_t destinationCount() override;
    std::optional<midi::EndpointRef> destinationAt(std::size_t index) override;
    midi::DestinationNames destinationNames(midi::EndpointRef destination) override;
    midi::SendResult send(midi::PortRef port, midi::EndpointRef destination,
                          std::span<const std::uint8_t> bytes) override;

private:
    struct Destination {
        midi::EndpointRef ref;
        midi::DestinationNames names;
        bool present = true;
    };
    const Destination* find(midi::EndpointRef ref) const;
    std::vector<const Destination*> present() const;

    std::vector<Destination> destinations_;
    std::vector<Send> sends_;
    std::vector<std::string> clientNames_;
    std::vector<std::string> portNames_;
    struct Failure {
        midi::SendResult result;
        std::size_t fromSend;
    };
    std::optional<Failure> failure_;
    std::size_t delivered_ = 0; // successful sends, also those cleared since
    std::size_t enumerations_ = 0;
    midi::EndpointRef nextRef_ = 0x100;
};

} // namespace vantor::testing
