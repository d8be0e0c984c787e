#pragma once

#include "midi/MidiService.h"
#include "midi/NrpnDecoder.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantor::testing {

// An in-memory MIDI service: the test adds destinations; sends are recorded.
class RecordingMidiService : public midi::MidiService {
public:
    struct Send {
        midi::PortRef port = 0;
        midi::EndpointRef destination = 0;
        std::vector<std::uint8_t> bytes;
    };

    midi::EndpointRef addDestination(std::optional<std::string> portName,
                                     std::optional<std::string> clientName = std::nullopt) {
        destinations_.push_back({nextRef_, {std::move(portName), std::move(clientName)}, true});
        return nextRef_++;
    }
    // Leaves the enumeration; later sends to it fail.
    void vanish(midi::EndpointRef destination) {
        if (auto* entry = find(destination)) entry->present = false;
    }
    // The same, told at once (as JACK tells a server shutdown).
    void loseDestination(midi::EndpointRef destination) {
        vanish(destination);
        destinationLost.emit(destination);
    }
    // From now on every send is refused with `result`.
    void failWith(midi::SendResult result) { failure_ = result; }
    void stopFailing() { failure_.reset(); }
    // From now on no route can be made (a device another program holds).
    void refuseRoutes() { routesMade_ = false; }

    const std::vector<Send>& sends() const { return sends_; }
    const std::vector<std::pair<midi::PortRef, midi::EndpointRef>>& preparedRoutes() const { return routes_; }
    std::vector<midi::NrpnMessage> nrpns() const {
        std::vector<std::uint8_t> stream;
        for (const auto& sent : sends_) stream.insert(stream.end(), sent.bytes.begin(), sent.bytes.end());
        return midi::decodeNrpns(stream);
    }
    void clearSends() { sends_.clear(); }
    const std::vector<std::string>& clientNames() const { return clientNames_; }
    const std::vector<std::string>& portNames() const { return portNames_; }
    std::size_t enumerationCount() const { return enumerations_; }

    midi::ClientRef createClient(std::string_view name) override {
        clientNames_.emplace_back(name);
        return static_cast<midi::ClientRef>(clientNames_.size());
    }
    midi::PortRef createOutputPort(midi::ClientRef, std::string_view name) override {
        portNames_.emplace_back(name);
        return static_cast<midi::PortRef>(portNames_.size());
    }
    std::size_t destinationCount() override {
        ++enumerations_;
        return static_cast<std::size_t>(std::ranges::count(destinations_, true, &Destination::present));
    }
    std::optional<midi::EndpointRef> destinationAt(std::size_t index) override {
        for (const auto& entry : destinations_) {
            if (entry.present && index-- == 0) return entry.ref;
        }
        return std::nullopt;
    }
    midi::DestinationNames destinationNames(midi::EndpointRef destination) override {
        const auto* entry = find(destination);
        return entry ? entry->names : midi::DestinationNames{};
    }
    midi::SendResult send(midi::PortRef port, midi::EndpointRef destination,
                          std::span<const std::uint8_t> bytes) override {
        const auto* entry = find(destination);
        if (!entry) return midi::SendResult::NoDestination;
        if (!entry->present) return midi::SendResult::DestinationGone;
        if (failure_) return *failure_;
        sends_.push_back({port, destination, {bytes.begin(), bytes.end()}});
        return midi::SendResult::Sent;
    }
    bool prepareRoute(midi::PortRef port, midi::EndpointRef destination) override {
        routes_.emplace_back(port, destination);
        return routesMade_;
    }

private:
    struct Destination {
        midi::EndpointRef ref;
        midi::DestinationNames names;
        bool present;
    };
    Destination* find(midi::EndpointRef ref) {
        const auto it = std::ranges::find(destinations_, ref, &Destination::ref);
        return it == destinations_.end() ? nullptr : &*it;
    }

    std::vector<Destination> destinations_;
    std::vector<Send> sends_;
    std::vector<std::pair<midi::PortRef, midi::EndpointRef>> routes_;
    std::vector<std::string> clientNames_;
    std::vector<std::string> portNames_;
    std::optional<midi::SendResult> failure_;
    std::size_t enumerations_ = 0;
    bool routesMade_ = true;
    midi::EndpointRef nextRef_ = 0x100;
};

} // namespace vantor::testing
