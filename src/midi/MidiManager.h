#pragma once

#include "core/Signal.h"
#include "core/MainQueue.h"
#include "midi/MidiService.h"
#include "midi/NrpnPacer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vantor::midi {

// The program's one gateway to MIDI: a client, one output port, and the
// destination named "vantor*2", looked up once when the manager is built.
// Nothing re-scans later: a device attached afterwards is used only by a
// manager built afterwards. A destination that goes away is forgotten for
// good, so that every later send takes the callers' not-connected path
// instead of vanishing without a word. Main thread only.
class MidiManager {
public:
    static constexpr std::string_view kClientName = "MidiClient";
    static constexpr std::string_view kOutPortName = "OutPort";
    static constexpr std::string_view kDestinationName = "vantor*2";

    // With `pacing`, sends keep to a MIDI wire's rate (NrpnPacer), timed by
    // that queue; without, every NRPN is handed to the service at once.
    explicit MidiManager(MidiService& service, MainQueue* pacing = nullptr);
    ~MidiManager();
    MidiManager(const MidiManager&) = delete;
    MidiManager& operator=(const MidiManager&) = delete;

    // Records the first destination, in enumeration order, whose port name or
    // client name equals `name` exactly (whole text, case-sensitive), once the
    // service has made the route to it; when the route cannot be made, the
    // manager stays not connected.
    void findDestination(std::string_view name);

    // Sends the four Control Change messages of an NRPN to `destination`
    // through the output port. When the service answers that the connected
    // destination or the service itself is gone, the destination is
    // forgotten (connectionLost). Unpaced, an NRPN refused by a full output
    // queue is counted (nrpnLost) and not retried; paced, it waits its turn
    // again, and a value replaced by a newer one of its parameter before it
    // could leave is no loss.
    void sendNRPN(std::int64_t value, std::int64_t parameter, int channel, EndpointRef destination);

    ClientRef midiClient() const { return midiClient_; }
    PortRef outPort() const { return outPort_; }
    PortRef inPort() const { return inPort_; } // never created: the program only sends
    const std::optional<std::string>& connectedDeviceName() const { return connectedDeviceName_; }
    std::optional<EndpointRef> connectedEndpoint() const { return connectedEndpoint_; }
    bool isConnected() const { return connectedEndpoint_.has_value(); }

    // Told once, when a connected destination is forgotten.
    Signal<> connectionLost;
    // Told for every NRPN the full output queue refused.
    Signal<> nrpnLost;

    // Result of the latest send, for tests and benchmarks only.
    SendResult lastSendResult() const { return lastSendResult_; }

private:
    SendResult sendNow(int value, int parameter, int channel, EndpointRef destination);
    void forgetDestination();

    MidiService& service_;
    std::unique_ptr<NrpnPacer> pacer_;
    EndpointRef pacedDestination_{};
    ClientRef midiClient_ = 0;
    PortRef outPort_ = 0;
    std::optional<std::string> connectedDeviceName_;
    std::optional<EndpointRef> connectedEndpoint_;
    PortRef inPort_ = 0;
    SendResult lastSendResult_ = SendResult::NoDestination;
    Signal<EndpointRef>::Connection destinationLost_;
};

} // namespace vantor::midi
