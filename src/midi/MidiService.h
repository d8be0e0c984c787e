#pragma once

#include "core/Signal.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantor::midi {

// Handles handed out by a service. 0 means "none": creation failed or was
// never attempted, as with a client or port of a service that is missing.
using ClientRef = std::uint32_t;
using PortRef = std::uint32_t;
// Names one destination for as long as the service lives; unlike an index
// it stays valid when other devices come and go.
using EndpointRef = std::uint32_t;

// The two names a destination answers to: its port's own name and the name
// of the client (device or program) that owns the port. Either may be
// missing when the service cannot read it.
struct DestinationNames {
    std::optional<std::string> port;
    std::optional<std::string> client;
};

// What happened to one send. DestinationGone and ServiceGone: the
// destination, or the whole service, went away. QueueFull: this send was
// refused whole because the output queue is full; later ones may pass.
enum class SendResult { Sent, NoDestination, DestinationGone, ServiceGone, QueueFull, DriverError };

// The calls the program makes into the operating system's MIDI service.
// Main thread only.
class MidiService {
public:
    virtual ~MidiService() = default;

    virtual ClientRef createClient(std::string_view name) = 0;
    virtual PortRef createOutputPort(ClientRef client, std::string_view name) = 0;

    // Destinations in enumeration order, as they are at the time of the call.
    virtual std::size_t destinationCount() = 0;
    virtual std::optional<EndpointRef> destinationAt(std::size_t index) = 0;
    virtual DestinationNames destinationNames(EndpointRef destination) = 0;

    // Delivers whole MIDI messages, in order, without blocking the caller.
    virtual SendResult send(PortRef port, EndpointRef destination, std::span<const std::uint8_t> bytes) = 0;

    // Makes the route from `port` to `destination` ahead of the first send,
    // where the service needs one: a hardware port on ALSA takes events only
    // from a port connected to it, and a JACK connection takes a while before
    // it carries data, so that the user's first move is not the one that
    // waits. False when the destination cannot be reached at all (the service
    // says why on standard error, unless it has simply gone); the caller then
    // treats it as not connected.
    virtual bool prepareRoute(PortRef port, EndpointRef destination) {
        static_cast<void>(port);
        static_cast<void>(destination);
        return true;
    }

    // Told, on the main thread, of each destination that the service found
    // gone by itself, before any send to it failed (a JACK server that shuts
    // down takes all of its ports along). Services that find out only when
    // sending never tell it.
    Signal<EndpointRef> destinationLost;
};

} // namespace vantor::midi
