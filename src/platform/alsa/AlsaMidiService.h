#pragma once

#include "midi/MidiService.h"
#include "platform/alsa/Sequencer.h"

#include <functional>
#include <memory>

namespace vantor::platform {

// The ALSA sequencer as a MidiService. Destinations are the ports that take
// writes and write subscriptions, clients by ascending number, ports by
// ascending number, our own client and the kernel's System client left out;
// each answers to its port's name and its client's name. A destination is
// named by its address, which stays valid while other devices come and go.
// Without a sequencer (no /dev/snd) there are simply no destinations.
//
// The destination the program picks is connected to (subscribed by) our
// output port first (prepareRoute), as `aconnect` would: a hardware port, the
// kernel's client of a sound card or USB synthesizer, opens its device only
// while a port is connected to it, and refuses events until then. Each send
// then goes out as controller events addressed straight to that port (so
// that nothing else connected to ours receives them), and the output is
// drained; the sequencer is opened non-blocking, so a full kernel pool
// refuses the send instead of waiting. A connection another program removed
// is made again by the next send. A connection that cannot be made is one
// line on standard error, and the destination counts as not reachable.
//
// destinationAt() reads the list that the latest destinationCount() took.
// One client per service. All methods: main thread.
class AlsaMidiService final : public midi::MidiService {
public:
    using SequencerOpener = std::function<std::unique_ptr<alsa::Sequencer>(std::string_view clientName)>;

    // The system's sequencer.
    AlsaMidiService();
    // Any sequencer, for tests.
    explicit AlsaMidiService(SequencerOpener opener);
    ~AlsaMidiService() override;
    AlsaMidiService(const AlsaMidiService&) = delete;
    AlsaMidiService& operator=(const AlsaMidiService&) = delete;

    midi::ClientRef createClient(std::string_view name) override;
    midi::PortRef createOutputPort(midi::ClientRef client, std::string_view name) override;
    std::size_t destinationCount() override;
    std::optional<midi::EndpointRef> destinationAt(std::size_t index) override;
    midi::DestinationNames destinationNames(midi::EndpointRef destination) override;
    midi::SendResult send(midi::PortRef port, midi::EndpointRef destination,
                          std::span<const std::uint8_t> bytes) override;
    bool prepareRoute(midi::PortRef port, midi::EndpointRef destination) override;

    // The address a destination handle names, for tests.
    static std::optional<alsa::SequencerAddress> addressOf(midi::EndpointRef destination);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vantor::platform
