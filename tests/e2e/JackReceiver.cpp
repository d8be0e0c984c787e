#include "JackReceiver.h"

#include "JackServer.h"

#include <jack/midiport.h>

#include <algorithm>

namespace vantor::e2e {

namespace {
// Room for a whole 100,000-NRPN burst (400,000 events) even if the test
// thread fell far behind: 400,000 x 24-byte records, rounded up to 16 MiB.
constexpr std::size_t kRingBytes = 16u << 20;
} // namespace

JackReceiver::JackReceiver(const std::string& clientName, const std::vector<std::string>& portNames)
    : ring_(jack_ringbuffer_create(kRingBytes)), portNames_(portNames) {
    platform::silenceJackLibrary();
    jack_status_t status{};
    client_.reset(jack_client_open(clientName.c_str(),
                                   static_cast<jack_options_t>(JackNoStartServer | JackUseExactName), &status));
    if (!client_) return;
    for (const auto& name : portNames_) {
        jack_port_t* port = jack_port_register(client_.get(), name.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        if (port == nullptr) return;
        ports_.push_back(port);
    }
    jack_set_process_callback(client_.get(), &JackReceiver::process, this);
    if (jack_activate(client_.get()) != 0) client_.reset();
}

JackReceiver::~JackReceiver() { client_.reset(); }

std::string JackReceiver::fullPortName(std::size_t index) const { return jack_port_name(ports_.at(index)); }

int JackReceiver::process(jack_nframes_t frames, void* self) {
    auto& receiver = *static_cast<JackReceiver*>(self);
    ReceivedEvent record;
    record.arrivalMicros = jack_get_time();
    record.period = receiver.cycles_++;
    for (std::size_t index = 0; index < receiver.ports_.size(); ++index) {
        void* buffer = jack_port_get_buffer(receiver.ports_[index], frames);
        const jack_nframes_t count = jack_midi_get_event_count(buffer);
        for (jack_nframes_t n = 0; n < count; ++n) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, n) != 0) continue;
            record.port = static_cast<std::uint8_t>(index);
            record.size = static_cast<std::uint8_t>(std::min<std::size_t>(event.size, 255));
            record.bytes = {};
            std::copy_n(event.buffer, std::min<std::size_t>(event.size, record.bytes.size()), record.bytes.begin());
            if (jack_ringbuffer_write_space(receiver.ring_.get()) < sizeof record) {
                receiver.lost_.fetch_add(1, std::memory_order_relaxed);
                continue;
            }
            jack_ringbuffer_write(receiver.ring_.get(), reinterpret_cast<const char*>(&record), sizeof record);
        }
    }
    return 0;
}

std::vector<ReceivedEvent> JackReceiver::take() {
    std::vector<ReceivedEvent> events;
    ReceivedEvent record;
    while (jack_ringbuffer_read_space(ring_.get()) >= sizeof record) {
        jack_ringbuffer_read(ring_.get(), reinterpret_cast<char*>(&record), sizeof record);
        events.push_back(record);
    }
    return events;
}

std::vector<ReceivedEvent> JackReceiver::collect(std::size_t count, std::chrono::milliseconds timeout) {
    std::vector<ReceivedEvent> events;
    waitFor(
        [&] {
            const auto more = take();
            events.insert(events.end(), more.begin(), more.end());
            return events.size() >= count;
        },
        timeout);
    return events;
}

std::vector<std::uint8_t> bytesOf(const std::vector<ReceivedEvent>& events) {
    std::vector<std::uint8_t> bytes;
    for (const auto& event : events) {
        bytes.insert(bytes.end(), event.bytes.begin(), event.bytes.begin() + std::min<std::size_t>(event.size, 3));
    }
    return bytes;
}

} // namespace vantor::e2e
