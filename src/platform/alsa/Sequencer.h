#pragma once

#include <compare>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantor::platform::alsa {

// A sequencer port address, "client:port".
struct SequencerAddress {
    int client = 0;
    int port = 0;
    friend auto operator<=>(const SequencerAddress&, const SequencerAddress&) = default;
};

struct SequencerClientInfo {
    int client = 0;
    std::optional<std::string> name;
};

struct SequencerPortInfo {
    int port = 0;
    unsigned capability = 0; // SND_SEQ_PORT_CAP_* bits
    std::optional<std::string> name;
};

struct ControllerEvent {
    std::uint8_t channel = 0;
    std::uint8_t controller = 0;
    std::uint8_t value = 0;
};

// The few libasound sequencer calls the MIDI service makes, one method per
// call, so that what the service decides from their answers can be tested
// without a sound card. Errors come back as negative errno values, as
// libasound returns them. Main thread only.
class Sequencer {
public:
    virtual ~Sequencer() = default;

    virtual int clientId() const = 0;
    // snd_seq_query_next_client / snd_seq_query_next_port, in the order the
    // kernel answers.
    virtual std::vector<SequencerClientInfo> clients() = 0;
    virtual std::vector<SequencerPortInfo> ports(int client) = 0;
    // A readable, subscribable port of our client: its number, or a negative errno.
    virtual int createOutputPort(std::string_view name) = 0;
    // Connects (subscribes) our port to `to`, as `aconnect` does: 0 or a
    // negative errno.
    virtual int connectTo(int fromPort, SequencerAddress to) = 0;
    // One controller event from our port straight to `to`, bypassing
    // queues and subscribers; buffered until drainOutput.
    virtual int outputControllerEvent(int fromPort, SequencerAddress to, ControllerEvent event) = 0;
    virtual int drainOutput() = 0;
    // Forgets buffered events that could not be delivered.
    virtual void dropOutput() = 0;
};

// Opens the system's sequencer for non-blocking output under `clientName`;
// nullptr when there is none (no /dev/snd). Prints nothing either way.
std::unique_ptr<Sequencer> openSystemSequencer(std::string_view clientName);

} // namespace vantor::platform::alsa
