#include "platform/alsa/Sequencer.h"

#include <alsa/asoundlib.h>

#include <cstdarg>

namespace vantor::platform::alsa {

namespace {

struct SeqCloser {
    void operator()(snd_seq_t* seq) const { snd_seq_close(seq); }
};
struct ClientInfoFreer {
    void operator()(snd_seq_client_info_t* info) const { snd_seq_client_info_free(info); }
};
struct PortInfoFreer {
    void operator()(snd_seq_port_info_t* info) const { snd_seq_port_info_free(info); }
};
using ClientInfoHandle = std::unique_ptr<snd_seq_client_info_t, ClientInfoFreer>;
using PortInfoHandle = std::unique_ptr<snd_seq_port_info_t, PortInfoFreer>;

// libasound reports a missing /dev/snd on standard error; for this program
// that is an ordinary situation, not worth a word.
void quiet(const char*, int, const char*, int, const char*, ...) {}

std::optional<std::string> text(const char* name) {
    if (name == nullptr) return std::nullopt;
    return std::string(name);
}

ClientInfoHandle newClientInfo() {
    snd_seq_client_info_t* info = nullptr;
    return ClientInfoHandle(snd_seq_client_info_malloc(&info) == 0 ? info : nullptr);
}

PortInfoHandle newPortInfo() {
    snd_seq_port_info_t* info = nullptr;
    return PortInfoHandle(snd_seq_port_info_malloc(&info) == 0 ? info : nullptr);
}

class SystemSequencer final : public Sequencer {
public:
    explicit SystemSequencer(std::unique_ptr<snd_seq_t, SeqCloser> seq) : seq_(std::move(seq)) {}

    int clientId() const override { return snd_seq_client_id(seq_.get()); }

    std::vector<SequencerClientInfo> clients() override {
        std::vector<SequencerClientInfo> found;
        const auto info = newClientInfo();
        if (!info) return found;
        snd_seq_client_info_set_client(info.get(), -1);
        while (snd_seq_query_next_client(seq_.get(), info.get()) >= 0) {
            found.push_back({snd_seq_client_info_get_client(info.get()), text(snd_seq_client_info_get_name(info.get()))});
        }
        return found;
    }

    std::vector<SequencerPortInfo> ports(int client) override {
        std::vector<SequencerPortInfo> found;
        const auto info = newPortInfo();
        if (!info) return found;
        snd_seq_port_info_set_client(info.get(), client);
        snd_seq_port_info_set_port(info.get(), -1);
        while (snd_seq_query_next_port(seq_.get(), info.get()) >= 0) {
            found.push_back({snd_seq_port_info_get_port(info.get()), snd_seq_port_info_get_capability(info.get()),
                             text(snd_seq_port_info_get_name(info.get()))});
        }
        return found;
    }

    int createOutputPort(std::string_view name) override {
        const std::string portName(name);
        return snd_seq_create_simple_port(seq_.get(), portName.c_str(),
                                          SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                          SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    }

    int connectTo(int fromPort, SequencerAddress to) override {
        return snd_seq_connect_to(seq_.get(), fromPort, to.client, to.port);
    }

    int outputControllerEvent(int fromPort, SequencerAddress to, ControllerEvent controller) override {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_seq_ev_set_source(&event, static_cast<unsigned char>(fromPort));
        snd_seq_ev_set_dest(&event, static_cast<unsigned char>(to.client), static_cast<unsigned char>(to.port));
        snd_seq_ev_set_direct(&event);
        snd_seq_ev_set_controller(&event, controller.channel, controller.controller, controller.value);
        const int result = snd_seq_event_output(seq_.get(), &event);
        return result < 0 ? result : 0;
    }

    int drainOutput() override {
        const int result = snd_seq_drain_output(seq_.get());
        return result < 0 ? result : 0;
    }

    void dropOutput() override { snd_seq_drop_output(seq_.get()); }

private:
    std::unique_ptr<snd_seq_t, SeqCloser> seq_;
};

} // namespace

std::unique_ptr<Sequencer> openSystemSequencer(std::string_view clientName) {
    snd_lib_error_set_handler(quiet);
    snd_seq_t* raw = nullptr;
    if (snd_seq_open(&raw, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) return nullptr;
    std::unique_ptr<snd_seq_t, SeqCloser> seq(raw);
    const std::string name(clientName);
    snd_seq_set_client_name(seq.get(), name.c_str());
    return std::make_unique<SystemSequencer>(std::move(seq));
}

} // namespace vantor::platform::alsa
