#include "platform/alsa/AlsaMidiService.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace vantor::platform {

namespace {

using alsa::SequencerAddress;

// Sequencer addresses are one byte of client and one of port; a marker bit
// keeps every handle non-zero, since 0 means "none".
constexpr midi::EndpointRef kAddressMarker = 1u << 16;

midi::EndpointRef handleOf(SequencerAddress address) {
    return kAddressMarker | static_cast<midi::EndpointRef>(address.client << 8) |
           static_cast<midi::EndpointRef>(address.port);
}

constexpr unsigned kDestinationCapability = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

bool isDestination(const alsa::SequencerPortInfo& port) {
    return (port.capability & kDestinationCapability) == kDestinationCapability &&
           (port.capability & SND_SEQ_PORT_CAP_NO_EXPORT) == 0;
}

// What a failed output or drain means. Our events are direct (no queue),
// so the kernel delivers each one inside write() and write() returns the
// first failure (sound/core/seq/seq_clientmgr.c: snd_seq_write ->
// snd_seq_client_enqueue_event -> snd_seq_deliver_single_event); libasound
// hands that errno on unchanged (snd_seq_drain_output returns the negative
// result of the hw write).
//   ENOENT  the destination client or port does not exist (any more): a
//           program that ended, or a USB synthesizer that was unplugged (its
//           card's client and port are removed with it).
//   ENODEV  a hardware port (snd-seq-midi's client of a sound card or USB
//           device) whose device is not open for output: the kernel opens it
//           only while some port is connected to it (seq_midi.c,
//           midisynth_use; event_process_midi answers -ENODEV otherwise).
//           The synth is there: send() connects again and sends once more;
//           only if it still answers ENODEV then is its device closing for
//           good, as when it is being unplugged.
//   ENXIO   our own client can no longer write (not open for output, no
//           output pool, output refused): nothing we send gets anywhere.
//   EAGAIN, ENOMEM, ENOSPC  no room in a pool or in a receiving program's
//           input FIFO: this event is lost, later ones may pass.
// Anything else (EPERM from a port that stopped taking writes, EIO from a
// hardware port without its parser) says nothing about later sends, so the
// destination is kept. A hardware port's full output buffer is not among
// them: seq_midi.c drops the message and answers success (dump_midi's
// -ENOMEM is not passed on), so a sender cannot see it.
midi::SendResult resultOf(int error) {
    switch (-error) {
    case ENOENT:
    case ENODEV: return midi::SendResult::DestinationGone;
    case ENXIO: return midi::SendResult::ServiceGone;
    case EAGAIN:
    case ENOMEM:
    case ENOSPC: return midi::SendResult::QueueFull;
    default: return midi::SendResult::DriverError;
    }
}

// Why a connection was refused, in the user's words. A hardware port answers
// EAGAIN when another program holds its device's only output (its raw MIDI
// device opened directly, as amidi does).
std::string connectionRefusal(int error) {
    if (error == -EAGAIN || error == -EBUSY) return "it is in use by another program";
    return std::strerror(-error);
}

// The bytes as Control Change messages, the only kind the program sends;
// nothing when anything else is among them.
std::optional<std::vector<alsa::ControllerEvent>> controllerEvents(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() % 3 != 0) return std::nullopt;
    std::vector<alsa::ControllerEvent> events;
    for (std::size_t offset = 0; offset < bytes.size(); offset += 3) {
        const std::uint8_t status = bytes[offset];
        const std::uint8_t controller = bytes[offset + 1];
        const std::uint8_t value = bytes[offset + 2];
        if ((status & 0xF0u) != 0xB0u || controller > 0x7F || value > 0x7F) return std::nullopt;
        events.push_back({static_cast<std::uint8_t>(status & 0x0Fu), controller, value});
    }
    return events;
}

struct Destination {
    SequencerAddress address;
    midi::DestinationNames names;
};

} // namespace

struct AlsaMidiService::Impl {
    SequencerOpener opener;
    std::unique_ptr<alsa::Sequencer> sequencer;
    int outPort = -1;
    std::vector<Destination> enumeration; // as of the latest destinationCount()

    std::vector<Destination> enumerate() const;
    std::optional<midi::DestinationNames> namesOf(SequencerAddress address) const;
    bool connect(SequencerAddress address);
    int deliver(SequencerAddress address, const std::vector<alsa::ControllerEvent>& events);
};

std::optional<midi::DestinationNames> AlsaMidiService::Impl::namesOf(SequencerAddress address) const {
    const auto known = std::find_if(enumeration.begin(), enumeration.end(),
                                    [&](const Destination& entry) { return entry.address == address; });
    if (known != enumeration.end()) return known->names;
    for (const auto& entry : enumerate()) {
        if (entry.address == address) return entry.names;
    }
    return std::nullopt;
}

// Connects our port to the destination. A port that is gone is not worth a
// word (it is reported as gone, like any send to it); any other refusal
// leaves a synth that is there but cannot be reached, which the user hears
// about on standard error.
bool AlsaMidiService::Impl::connect(SequencerAddress address) {
    const int error = sequencer->connectTo(outPort, address);
    if (error >= 0) return true;
    if (error == -ENOENT) return false;
    const auto names = namesOf(address).value_or(midi::DestinationNames{});
    std::fprintf(stderr, "Cannot connect to the MIDI destination \"%s\" (ALSA port %d:%d, \"%s\"): %s\n",
                 names.client.value_or("?").c_str(), address.client, address.port, names.port.value_or("?").c_str(),
                 connectionRefusal(error).c_str());
    std::fflush(stderr);
    return false;
}

// The events, then the drain: 0, or the first errno the kernel answered.
int AlsaMidiService::Impl::deliver(SequencerAddress address, const std::vector<alsa::ControllerEvent>& events) {
    for (const auto& event : events) {
        if (const int error = sequencer->outputControllerEvent(outPort, address, event); error < 0) {
            sequencer->dropOutput();
            return error;
        }
    }
    if (const int error = sequencer->drainOutput(); error < 0) {
        // Whatever stayed in our buffer must not go out later, ahead of or
        // inside another message.
        sequencer->dropOutput();
        return error;
    }
    return 0;
}

std::vector<Destination> AlsaMidiService::Impl::enumerate() const {
    std::vector<Destination> found;
    auto clients = sequencer->clients();
    std::sort(clients.begin(), clients.end(), [](const auto& a, const auto& b) { return a.client < b.client; });
    const int self = sequencer->clientId();
    for (const auto& client : clients) {
        if (client.client == SND_SEQ_CLIENT_SYSTEM || client.client == self) continue;
        auto ports = sequencer->ports(client.client);
        std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) { return a.port < b.port; });
        for (const auto& port : ports) {
            if (!isDestination(port)) continue;
            found.push_back({{client.client, port.port}, {port.name, client.name}});
        }
    }
    return found;
}

AlsaMidiService::AlsaMidiService() : AlsaMidiService(alsa::openSystemSequencer) {}

AlsaMidiService::AlsaMidiService(SequencerOpener opener) : impl_(std::make_unique<Impl>()) {
    impl_->opener = std::move(opener);
}

AlsaMidiService::~AlsaMidiService() = default;

std::optional<SequencerAddress> AlsaMidiService::addressOf(midi::EndpointRef destination) {
    if ((destination & ~0xFFFFu) != kAddressMarker) return std::nullopt;
    return SequencerAddress{static_cast<int>((destination >> 8) & 0xFFu), static_cast<int>(destination & 0xFFu)};
}

midi::ClientRef AlsaMidiService::createClient(std::string_view name) {
    auto& impl = *impl_;
    if (!impl.sequencer) impl.sequencer = impl.opener(name);
    if (!impl.sequencer) return 0;
    // User clients are numbered from 128, so the number itself is never 0.
    return static_cast<midi::ClientRef>(impl.sequencer->clientId());
}

midi::PortRef AlsaMidiService::createOutputPort(midi::ClientRef client, std::string_view name) {
    auto& impl = *impl_;
    if (!impl.sequencer || client != static_cast<midi::ClientRef>(impl.sequencer->clientId())) return 0;
    if (impl.outPort < 0) impl.outPort = impl.sequencer->createOutputPort(name);
    return impl.outPort < 0 ? 0 : static_cast<midi::PortRef>(impl.outPort + 1);
}

std::size_t AlsaMidiService::destinationCount() {
    auto& impl = *impl_;
    impl.enumeration = impl.sequencer ? impl.enumerate() : std::vector<Destination>{};
    return impl.enumeration.size();
}

std::optional<midi::EndpointRef> AlsaMidiService::destinationAt(std::size_t index) {
    const auto& enumeration = impl_->enumeration;
    if (index >= enumeration.size()) return std::nullopt;
    return handleOf(enumeration[index].address);
}

midi::DestinationNames AlsaMidiService::destinationNames(midi::EndpointRef destination) {
    const auto address = addressOf(destination);
    if (!address || !impl_->sequencer) return {};
    return impl_->namesOf(*address).value_or(midi::DestinationNames{});
}

midi::SendResult AlsaMidiService::send(midi::PortRef port, midi::EndpointRef destination,
                                       std::span<const std::uint8_t> bytes) {
    auto& impl = *impl_;
    if (!impl.sequencer) return midi::SendResult::ServiceGone;
    const auto address = addressOf(destination);
    if (!address) return midi::SendResult::NoDestination;
    if (impl.outPort < 0 || port != static_cast<midi::PortRef>(impl.outPort + 1)) {
        return midi::SendResult::DriverError;
    }
    const auto events = controllerEvents(bytes);
    if (!events) return midi::SendResult::DriverError;

    int error = impl.deliver(*address, *events);
    if (error == -ENODEV) {
        // Nobody is connected to this hardware port (any more): another
        // program removed our connection, or the route was never prepared.
        if (!impl.connect(*address)) return midi::SendResult::DestinationGone;
        error = impl.deliver(*address, *events);
    }
    return error < 0 ? resultOf(error) : midi::SendResult::Sent;
}

bool AlsaMidiService::prepareRoute(midi::PortRef port, midi::EndpointRef destination) {
    auto& impl = *impl_;
    const auto address = addressOf(destination);
    // Without our port or a sequencer there is nothing to connect; send() reports it.
    if (!impl.sequencer || !address || impl.outPort < 0 || port != static_cast<midi::PortRef>(impl.outPort + 1)) {
        return true;
    }
    return impl.connect(*address);
}

} // namespace vantor::platform
