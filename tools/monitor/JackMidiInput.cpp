#include "JackMidiInput.h"

#include <jack/midiport.h>

#include <algorithm>

namespace vantor::monitor {

namespace {
// 65,536 records of 16 bytes: over ten seconds of a fully loaded port at
// 48 kHz / 128 frames before the printing thread must have caught up.
constexpr std::size_t kRingBytes = 1u << 20;
} // namespace

JackMidiInput::JackMidiInput(const std::string& clientName, const std::string& portName)
    : ring_(jack_ringbuffer_create(kRingBytes)) {
    platform::silenceJackLibrary();
    jack_status_t status{};
    platform::JackClientHandle client(jack_client_open(
        clientName.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackUseExactName), &status));
    if (!client) {
        error_ = (status & JackNameNotUnique) != 0 ? "a JACK client named \"" + clientName + "\" already exists"
                                                   : "no JACK server is running";
        return;
    }
    port_ = jack_port_register(client.get(), portName.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (port_ == nullptr || jack_set_process_callback(client.get(), &JackMidiInput::process, this) != 0) {
        error_ = "cannot register the JACK MIDI input port";
        return;
    }
    jack_on_shutdown(client.get(), &JackMidiInput::shutdown, this);
    if (jack_activate(client.get()) != 0) {
        error_ = "cannot activate the JACK client";
        return;
    }
    client_ = std::move(client);
}

JackMidiInput::~JackMidiInput() { client_.reset(); }

std::string JackMidiInput::portName() const { return port_ != nullptr ? jack_port_name(port_) : ""; }

int JackMidiInput::process(jack_nframes_t frames, void* self) {
    auto& input = *static_cast<JackMidiInput*>(self);
    void* buffer = jack_port_get_buffer(input.port_, frames);
    const jack_nframes_t count = jack_midi_get_event_count(buffer);
    for (jack_nframes_t index = 0; index < count; ++index) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, index) != 0) continue;
        Record record{};
        record.size = static_cast<std::uint16_t>(std::min<std::size_t>(event.size, 0xFFFF));
        std::copy_n(event.buffer, std::min<std::size_t>(event.size, record.bytes.size()), record.bytes.begin());
        if (jack_ringbuffer_write_space(input.ring_.get()) < sizeof record) {
            input.dropped_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        jack_ringbuffer_write(input.ring_.get(), reinterpret_cast<const char*>(&record), sizeof record);
    }
    return 0;
}

void JackMidiInput::shutdown(void* self) { static_cast<JackMidiInput*>(self)->serverGone_.store(true); }

std::size_t JackMidiInput::drain(const Consumer& consume) {
    Record record{};
    while (jack_ringbuffer_read_space(ring_.get()) >= sizeof record) {
        jack_ringbuffer_read(ring_.get(), reinterpret_cast<char*>(&record), sizeof record);
        consume(std::span(record.bytes).first(std::min<std::size_t>(record.size, record.bytes.size())));
    }
    return dropped_.exchange(0);
}

} // namespace vantor::monitor
