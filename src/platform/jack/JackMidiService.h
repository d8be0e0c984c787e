#pragma once

#include "core/MainQueue.h"
#include "midi/MidiService.h"

#include <cstddef>
#include <memory>
#include <string>

namespace vantor::platform {

// JACK MIDI as a MidiService. The client never starts a JACK server: with
// none running it offers no destinations and prints nothing. Destinations are
// the MIDI input ports of other clients, in the order JACK lists them; each
// answers to its short port name and to its client's name.
//
// Sending never blocks: the caller's messages go into a lock-free ring that
// the process callback empties into our output port, at most
// kMaxEventsPerPeriod events per period, so that receivers with small
// per-period buffers lose nothing. Our port is connected to a destination
// when the program picks it (prepareRoute), or else the first time something
// is sent to it (and again if that connection was lost); since JACK routes by
// connection, everything sent also reaches every other destination sent to
// earlier. The program only ever sends to one. A new connection carries
// events only once it has settled, some milliseconds after the server
// reported it: until then they wait in the ring, so none is written into a
// period that the link does not deliver yet.
//
// When the server shuts down (or dies), every send from then on returns
// ServiceGone at once. Built with a main queue, the service also tells
// destinationLost of every destination it has handed out, without waiting
// for a send: JACK's notice runs like a signal handler and may only wake a
// watcher thread, which hands the news to the main queue.
//
// destinationAt() and destinationNames() read the list that the latest
// destinationCount() took. One client per service. All methods: main thread.
class JackMidiService final : public midi::MidiService {
public:
    // Events handed to our port in one period at most; the rest wait for the
    // next period. JACK's own jack_midi_dump keeps 127 events per period.
    static constexpr std::size_t kMaxEventsPerPeriod = 64;

    // Finds a shut-down server only when sending.
    JackMidiService();
    // Also tells destinationLost on `mainQueue`, which must outlive the service.
    explicit JackMidiService(MainQueue& mainQueue);
    ~JackMidiService() override;
    JackMidiService(const JackMidiService&) = delete;
    JackMidiService& operator=(const JackMidiService&) = delete;

    midi::ClientRef createClient(std::string_view name) override;
    midi::PortRef createOutputPort(midi::ClientRef client, std::string_view name) override;
    std::size_t destinationCount() override;
    std::optional<midi::EndpointRef> destinationAt(std::size_t index) override;
    midi::DestinationNames destinationNames(midi::EndpointRef destination) override;
    midi::SendResult send(midi::PortRef port, midi::EndpointRef destination,
                          std::span<const std::uint8_t> bytes) override;
    // Connects our port to `destination` now, so that the connection has
    // settled before the first send. Always true: a connection that cannot
    // be made now is tried again, and reported, by send().
    bool prepareRoute(midi::PortRef port, midi::EndpointRef destination) override;

    // For tests and benchmarks.
    std::string clientName() const;          // as granted by the server; empty without a client
    std::size_t queueFullCount() const;      // sends refused because the ring was full
    std::size_t pendingEvents() const;       // events still waiting in the ring
    bool serverGone() const;                 // the server shut us down

private:
    void watchForShutdown();    // main thread, once the client is active
    void tellDestinationsLost(); // main thread

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vantor::platform
