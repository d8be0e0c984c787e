#include "platform/jack/JackMidiService.h"

#include "platform/jack/JackHandles.h"
#include "platform/jack/MidiMessageLength.h"

#include "core/Lifetime.h"

#include <jack/midiport.h>
#include <semaphore.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

namespace vantor::platform {

namespace {

// One queued MIDI message: its length, then up to three bytes. A fixed size
// keeps the process callback's reading trivial.
constexpr std::size_t kRecordSize = 4;
constexpr std::size_t kMaxMessageLength = kRecordSize - 1;

// The ring must hold a burst of 100,000 NRPNs sent at once from the main
// thread while the process callback drains only kMaxEventsPerPeriod events a
// period (a 100,000-NRPN burst takes 6,250 periods, 16.7 s at 48 kHz / 128
// frames): 100,000 NRPNs x 4 events x 4 bytes = 1,600,000 bytes.
// jack_ringbuffer_create rounds up to a power of two, 2,097,152 bytes, of
// which one byte stays unused: room for 524,287 events, 131,071 NRPNs. When
// it is full anyway, a send is refused whole (QueueFull, counted) and never
// waits: an NRPN is never queued in part.
constexpr std::size_t kBurstNrpns = 100'000;
constexpr std::size_t kRingBytes = kBurstNrpns * 4 * kRecordSize;

// How long a new connection of our port must have been in place before the
// process callback hands it events. JACK tells a client of a connection
// through the port-connect callback, but neither server promises that the
// connection carries data from that moment: jackd2 switches its graph at the
// next cycle, and PipeWire's libjack reports our side of the link complete
// before the server has negotiated it and scheduled the destination after
// us, which can take more than one period. Events written into those periods
// vanish without a trace on either side: PipeWire lost the first period or
// two of a fresh connection in 33 of 1000 connections at 128 frames here
// (none in 1000 with the wait below; on a machine where PipeWire also skips
// the odd late client's period, 3 to 8 in 1000 either way). The JACK API
// offers no call that says "this link carries data now", and asking from the
// other side (jack_port_connected) reads the same registry and, on PipeWire,
// takes a mutex that the process callback must not. So the callback waits a
// settle time after the notice instead: with 10 ms no first period was lost
// in 150 connections; 20 ms leaves room for a loaded machine. The program
// connects when it picks its destination (prepareRoute), so the wait has
// passed long before the user's first move; only a send made at once after
// a new connection waits for it.
constexpr jack_time_t kSettleMicros = 20'000;

constexpr midi::ClientRef kClientRef = 1;
constexpr midi::PortRef kPortRef = 1;

void quiet(const char*) {}

} // namespace

void silenceJackLibrary() {
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
}

struct JackMidiService::Impl {
    Impl() { sem_init(&shutdownNotice, 0, 0); }
    // Closing the client first stops both callbacks before anything they
    // touch goes away; then the watcher, which the shutdown callback wakes.
    ~Impl() {
        client.reset();
        if (watcher.joinable()) {
            closing.store(true);
            sem_post(&shutdownNotice);
            watcher.join();
        }
        sem_destroy(&shutdownNotice);
    }

    JackRingbufferHandle ring; // main thread writes, process callback reads

    // main thread
    JackClientHandle client;
    std::string clientName;
    std::string ownPortName;
    std::vector<std::string> endpoints; // EndpointRef - 1 -> full port name, never shrinks
    std::vector<midi::EndpointRef> enumeration;
    std::size_t queueFull = 0;

    // shared with the process callback and the shutdown callback
    std::atomic<jack_port_t*> outPort{nullptr};
    std::atomic<bool> serverGone{false};
    // Written by the connection callback, read by the process callback: when
    // our port's latest connection was reported (jack_get_time()), 0 while
    // it has none.
    std::atomic<jack_time_t> connectedSince{0};

    // connection callback only
    jack_client_t* notifyingClient = nullptr; // set before activation
    int ownConnections = 0;
    // Posted by the shutdown callback (sem_post is async-signal-safe),
    // waited on by the watcher.
    sem_t shutdownNotice{};

    // The watcher hands the server's shutdown to the main thread.
    MainQueue* mainQueue = nullptr; // any thread
    std::thread watcher;            // main thread starts and joins it
    std::atomic<bool> closing{false};
    Lifetime lifetime; // guards are made on the watcher, checked on the main thread

    midi::EndpointRef intern(std::string_view fullName);
    const std::string* fullName(midi::EndpointRef ref) const;
    bool connectTo(const std::string& destination);

    // process callback: no locks, no allocation
    static int process(jack_nframes_t frames, void* self);
    // JACK's notification thread, for every connection made or broken
    static void connectionChanged(jack_port_id_t a, jack_port_id_t b, int connected, void* self);
    // runs like a signal handler: only sets the flag
    static void shutdown(void* self);
};

midi::EndpointRef JackMidiService::Impl::intern(std::string_view name) {
    for (std::size_t index = 0; index < endpoints.size(); ++index) {
        if (endpoints[index] == name) return static_cast<midi::EndpointRef>(index + 1);
    }
    endpoints.emplace_back(name);
    return static_cast<midi::EndpointRef>(endpoints.size());
}

const std::string* JackMidiService::Impl::fullName(midi::EndpointRef ref) const {
    if (ref == 0 || ref > endpoints.size()) return nullptr;
    return &endpoints[ref - 1];
}

bool JackMidiService::Impl::connectTo(const std::string& destination) {
    jack_port_t* port = outPort.load(std::memory_order_relaxed);
    if (jack_port_connected_to(port, destination.c_str())) return true;
    const int result = jack_connect(client.get(), ownPortName.c_str(), destination.c_str());
    return result == 0 || result == EEXIST;
}

int JackMidiService::Impl::process(jack_nframes_t frames, void* self) {
    auto& impl = *static_cast<Impl*>(self);
    jack_port_t* port = impl.outPort.load(std::memory_order_acquire);
    if (port == nullptr) return 0;
    void* buffer = jack_port_get_buffer(port, frames);
    jack_midi_clear_buffer(buffer);
    // Events wait in the ring until a connection has settled (kSettleMicros).
    const jack_time_t since = impl.connectedSince.load(std::memory_order_acquire);
    if (since == 0 || jack_get_time() - since < kSettleMicros) return 0;

    jack_ringbuffer_t* ring = impl.ring.get();
    std::array<char, kRecordSize> record{};
    for (std::size_t moved = 0; moved < kMaxEventsPerPeriod; ++moved) {
        if (jack_ringbuffer_read_space(ring) < kRecordSize) break;
        jack_ringbuffer_peek(ring, record.data(), kRecordSize);
        const auto length = static_cast<std::size_t>(static_cast<unsigned char>(record[0]));
        // Every event at frame 0: order within the period is the order of
        // reservation, and nothing waits for a later frame.
        jack_midi_data_t* data = jack_midi_event_reserve(buffer, 0, length);
        if (data == nullptr) break; // the port buffer is full: the rest goes next period
        std::memcpy(data, record.data() + 1, length);
        jack_ringbuffer_read_advance(ring, kRecordSize);
    }
    return 0;
}

void JackMidiService::Impl::connectionChanged(jack_port_id_t a, jack_port_id_t b, int connected, void* self) {
    auto& impl = *static_cast<Impl*>(self);
    jack_port_t* own = impl.outPort.load(std::memory_order_acquire);
    if (own == nullptr) return;
    if (jack_port_by_id(impl.notifyingClient, a) != own && jack_port_by_id(impl.notifyingClient, b) != own) return;
    impl.ownConnections = std::max(0, impl.ownConnections + (connected ? 1 : -1));
    // A new connection settles anew; 0 stays "none".
    const jack_time_t now = std::max<jack_time_t>(jack_get_time(), 1);
    impl.connectedSince.store(impl.ownConnections == 0 ? 0 : connected ? now : impl.connectedSince.load(),
                              std::memory_order_release);
}

void JackMidiService::Impl::shutdown(void* self) {
    auto& impl = *static_cast<Impl*>(self);
    impl.serverGone.store(true, std::memory_order_release);
    sem_post(&impl.shutdownNotice);
}

JackMidiService::JackMidiService() : impl_(std::make_unique<Impl>()) {}

JackMidiService::JackMidiService(MainQueue& mainQueue) : JackMidiService() { impl_->mainQueue = &mainQueue; }

void JackMidiService::watchForShutdown() {
    auto& impl = *impl_;
    if (impl.mainQueue == nullptr) return;
    impl.watcher = std::thread([this, &impl] {
        // A signal may interrupt the wait; only a post ends it.
        while (sem_wait(&impl.shutdownNotice) != 0) continue;
        if (impl.closing.load()) return;
        impl.mainQueue->post(impl.lifetime.guard([this] { tellDestinationsLost(); }));
    });
}

void JackMidiService::tellDestinationsLost() {
    // Every port we handed out belonged to the server that is gone.
    for (std::size_t index = 0; index < impl_->endpoints.size(); ++index) {
        destinationLost.emit(static_cast<midi::EndpointRef>(index + 1));
    }
}

JackMidiService::~JackMidiService() = default;

midi::ClientRef JackMidiService::createClient(std::string_view name) {
    auto& impl = *impl_;
    if (impl.client) return kClientRef;

    silenceJackLibrary();
    const std::string requested(name);
    jack_status_t status{};
    JackClientHandle client(jack_client_open(requested.c_str(), JackNoStartServer, &status));
    if (!client) return 0;

    impl.ring.reset(jack_ringbuffer_create(kRingBytes));
    if (!impl.ring) return 0;
    if (jack_set_process_callback(client.get(), &Impl::process, &impl) != 0) return 0;
    impl.notifyingClient = client.get();
    if (jack_set_port_connect_callback(client.get(), &Impl::connectionChanged, &impl) != 0) return 0;
    jack_on_shutdown(client.get(), &Impl::shutdown, &impl);
    if (jack_activate(client.get()) != 0) return 0;

    impl.clientName = jack_get_client_name(client.get());
    impl.client = std::move(client);
    watchForShutdown();
    return kClientRef;
}

midi::PortRef JackMidiService::createOutputPort(midi::ClientRef client, std::string_view name) {
    auto& impl = *impl_;
    if (client != kClientRef || !impl.client || impl.serverGone.load()) return 0;
    if (impl.outPort.load() != nullptr) return kPortRef;

    const std::string requested(name);
    jack_port_t* port =
        jack_port_register(impl.client.get(), requested.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (port == nullptr) return 0;
    impl.ownPortName = jack_port_name(port);
    impl.outPort.store(port, std::memory_order_release);
    return kPortRef;
}

std::size_t JackMidiService::destinationCount() {
    auto& impl = *impl_;
    impl.enumeration.clear();
    if (!impl.client || impl.serverGone.load()) return 0;

    const JackNameList names(
        jack_get_ports(impl.client.get(), nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput));
    if (!names) return 0;
    // Our own port is no destination. Asked of the port, not read from its
    // name: PipeWire's libjack renames the later of two same-named clients in
    // each client's own view, so our ports need not carry the name we got.
    for (const char** name = names.get(); *name != nullptr; ++name) {
        const jack_port_t* port = jack_port_by_name(impl.client.get(), *name);
        if (port == nullptr || jack_port_is_mine(impl.client.get(), port)) continue;
        impl.enumeration.push_back(impl.intern(*name));
    }
    return impl.enumeration.size();
}

std::optional<midi::EndpointRef> JackMidiService::destinationAt(std::size_t index) {
    const auto& enumeration = impl_->enumeration;
    if (index >= enumeration.size()) return std::nullopt;
    return enumeration[index];
}

midi::DestinationNames JackMidiService::destinationNames(midi::EndpointRef destination) {
    const std::string* fullName = impl_->fullName(destination);
    if (fullName == nullptr) return {};
    // A full port name is "client:port"; client names cannot hold a colon.
    const auto colon = fullName->find(':');
    if (colon == std::string::npos) return {*fullName, std::nullopt};
    return {fullName->substr(colon + 1), fullName->substr(0, colon)};
}

midi::SendResult JackMidiService::send(midi::PortRef port, midi::EndpointRef destination,
                                       std::span<const std::uint8_t> bytes) {
    auto& impl = *impl_;
    if (impl.serverGone.load(std::memory_order_acquire) || !impl.client) return midi::SendResult::ServiceGone;
    const std::string* target = impl.fullName(destination);
    if (target == nullptr) return midi::SendResult::NoDestination;
    if (port != kPortRef || impl.outPort.load() == nullptr) return midi::SendResult::DriverError;

    // Whole messages of at most three bytes only; anything else is refused
    // before a byte is queued.
    std::size_t messages = 0;
    for (std::size_t offset = 0; offset < bytes.size(); ++messages) {
        const std::size_t length = midiMessageLength(bytes[offset]);
        if (length == 0 || length > kMaxMessageLength || offset + length > bytes.size()) {
            return midi::SendResult::DriverError;
        }
        offset += length;
    }

    if (jack_port_by_name(impl.client.get(), target->c_str()) == nullptr) return midi::SendResult::DestinationGone;
    if (!impl.connectTo(*target)) {
        return impl.serverGone.load() ? midi::SendResult::ServiceGone : midi::SendResult::DestinationGone;
    }

    jack_ringbuffer_t* ring = impl.ring.get();
    if (jack_ringbuffer_write_space(ring) < messages * kRecordSize) {
        ++impl.queueFull;
        return midi::SendResult::QueueFull;
    }
    for (std::size_t offset = 0; offset < bytes.size();) {
        const std::size_t length = midiMessageLength(bytes[offset]);
        std::array<char, kRecordSize> record{};
        record[0] = static_cast<char>(length);
        std::memcpy(record.data() + 1, bytes.data() + offset, length);
        jack_ringbuffer_write(ring, record.data(), kRecordSize);
        offset += length;
    }
    return midi::SendResult::Sent;
}

bool JackMidiService::prepareRoute(midi::PortRef port, midi::EndpointRef destination) {
    auto& impl = *impl_;
    const std::string* target = impl.fullName(destination);
    if (impl.serverGone.load() || !impl.client || target == nullptr || port != kPortRef) return true;
    if (impl.outPort.load() == nullptr || jack_port_by_name(impl.client.get(), target->c_str()) == nullptr) return true;
    impl.connectTo(*target);
    return true;
}

std::string JackMidiService::clientName() const { return impl_->clientName; }

std::size_t JackMidiService::queueFullCount() const { return impl_->queueFull; }

std::size_t JackMidiService::pendingEvents() const {
    return impl_->ring ? jack_ringbuffer_read_space(impl_->ring.get()) / kRecordSize : 0;
}

bool JackMidiService::serverGone() const { return impl_->serverGone.load(std::memory_order_acquire); }

} // namespace vantor::platform
