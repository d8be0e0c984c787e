#include "AlsaMidiInput.h"

#include "platform/jack/MidiMessageLength.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace vantor::monitor {

namespace {

struct SeqCloser {
    void operator()(snd_seq_t* seq) const { snd_seq_close(seq); }
};
struct MidiEventFreer {
    void operator()(snd_midi_event_t* parser) const { snd_midi_event_free(parser); }
};

void quiet(const char*, int, const char*, int, const char*, ...) {}

} // namespace

struct AlsaMidiInput::Impl {
    std::unique_ptr<snd_seq_t, SeqCloser> seq;
    std::unique_ptr<snd_midi_event_t, MidiEventFreer> decoder; // sequencer event -> MIDI bytes
    int port = -1;
};

AlsaMidiInput::AlsaMidiInput(const std::string& clientName, const std::string& portName)
    : impl_(std::make_unique<Impl>()) {
    snd_lib_error_set_handler(quiet);
    snd_seq_t* raw = nullptr;
    if (snd_seq_open(&raw, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) return;
    std::unique_ptr<snd_seq_t, SeqCloser> seq(raw);
    snd_seq_set_client_name(seq.get(), clientName.c_str());
    // An older kernel that refuses the size keeps its default pool;
    // inputPoolCells() says which one we have.
    snd_seq_set_client_pool_input(seq.get(), kInputPoolCells);
    const int port = snd_seq_create_simple_port(seq.get(), portName.c_str(),
                                                SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    snd_midi_event_t* decoder = nullptr;
    if (port < 0 || snd_midi_event_new(256, &decoder) < 0) return;
    impl_->decoder.reset(decoder);
    // Every message with its own status byte, as it was sent.
    snd_midi_event_no_status(decoder, 1);
    impl_->port = port;
    impl_->seq = std::move(seq);
}

AlsaMidiInput::~AlsaMidiInput() = default;

bool AlsaMidiInput::ok() const { return impl_->seq != nullptr; }

std::string AlsaMidiInput::address() const {
    if (!ok()) return {};
    return std::to_string(snd_seq_client_id(impl_->seq.get())) + ":" + std::to_string(impl_->port);
}

std::vector<pollfd> AlsaMidiInput::pollDescriptors() const {
    if (!ok()) return {};
    std::vector<pollfd> descriptors(static_cast<std::size_t>(snd_seq_poll_descriptors_count(impl_->seq.get(), POLLIN)));
    const int filled = snd_seq_poll_descriptors(impl_->seq.get(), descriptors.data(),
                                                static_cast<unsigned>(descriptors.size()), POLLIN);
    descriptors.resize(static_cast<std::size_t>(std::max(filled, 0)));
    return descriptors;
}

int AlsaMidiInput::inputPoolCells() const {
    if (!ok()) return 0;
    snd_seq_client_pool_t* pool = nullptr;
    if (snd_seq_client_pool_malloc(&pool) < 0) return 0;
    const int cells = snd_seq_get_client_pool(impl_->seq.get(), pool) == 0
                          ? static_cast<int>(snd_seq_client_pool_get_input_pool(pool))
                          : 0;
    snd_seq_client_pool_free(pool);
    return cells;
}

AlsaMidiInput::Drained AlsaMidiInput::drain(const Consumer& consume) {
    Drained drained;
    if (!ok()) return drained;
    std::array<unsigned char, 256> bytes{};
    while (true) {
        snd_seq_event_t* event = nullptr;
        const int result = snd_seq_event_input(impl_->seq.get(), &event);
        if (result == -ENOSPC) {
            // The kernel refuses an event only when no cell is free, so the
            // queue it has just cleared held a whole pool of events.
            ++drained.overflows;
            drained.droppedEvents += static_cast<std::size_t>(inputPoolCells());
            continue;
        }
        if (result < 0 || event == nullptr) break;
        const long length = snd_midi_event_decode(impl_->decoder.get(), bytes.data(), static_cast<long>(bytes.size()), event);
        // One event can stand for several messages (an NRPN event decodes
        // to four Control Changes).
        const std::span<const std::uint8_t> decoded(bytes.data(), static_cast<std::size_t>(std::max(length, 0L)));
        for (std::size_t offset = 0; offset < decoded.size();) {
            std::size_t size = platform::midiMessageLength(decoded[offset]);
            if (size == 0 || offset + size > decoded.size()) size = decoded.size() - offset;
            consume(decoded.subspan(offset, size));
            offset += size;
        }
    }
    return drained;
}

} // namespace vantor::monitor
