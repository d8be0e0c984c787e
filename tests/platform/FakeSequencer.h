#pragma once

#include "platform/alsa/Sequencer.h"

#include <algorithm>
#include <cerrno>
#include <map>

namespace vantor::platform::alsa {

// A sequencer whose clients and ports the test lays out, and which records
// every event sent through it. Like the kernel, draining stops at the first
// event whose destination client or port does not exist, with -ENOENT.
class FakeSequencer : public Sequencer {
public:
    struct Sent {
        int fromPort;
        SequencerAddress to;
        ControllerEvent event;
    };

    struct State {
        int self = 130;
        std::vector<SequencerClientInfo> clients;
        std::map<int, std::vector<SequencerPortInfo>> ports;
        std::vector<std::string> createdPorts;
        std::vector<Sent> buffered;  // output not yet drained
        std::vector<Sent> delivered; // drained output
        int drains = 0;
        int outputError = 0;     // returned by outputControllerEvent when non-zero
        int drainError = 0;      // returned by drainOutput when non-zero
        std::size_t outputsBeforeError = 0;
    };

    explicit FakeSequencer(State& state) : state_(state) {}

    int clientId() const override { return state_.self; }
    std::vector<SequencerClientInfo> clients() override { return state_.clients; }
    std::vector<SequencerPortInfo> ports(int client) override { return state_.ports[client]; }
    int createOutputPort(std::string_view name) override {
        state_.createdPorts.emplace_back(name);
        return static_cast<int>(state_.createdPorts.size()) - 1;
    }
    int outputControllerEvent(int fromPort, SequencerAddress to, ControllerEvent event) override {
        if (state_.outputError != 0) {
            if (state_.outputsBeforeError == 0) return state_.outputError;
            --state_.outputsBeforeError;
        }
        state_.buffered.push_back({fromPort, to, event});
        return 0;
    }
    int drainOutput() override {
        ++state_.drains;
        if (state_.drainError != 0) return state_.drainError;
        while (!state_.buffered.empty()) {
            if (!exists(state_.buffered.front().to)) return -ENOENT;
            state_.delivered.push_back(state_.buffered.front());
            state_.buffered.erase(state_.buffered.begin());
        }
        return 0;
    }
    void dropOutput() override { state_.buffered.clear(); }

private:
    bool exists(SequencerAddress address) const {
        const auto& ports = state_.ports[address.client];
        return std::any_of(state_.clients.begin(), state_.clients.end(),
                           [&](const auto& client) { return client.client == address.client; }) &&
               std::any_of(ports.begin(), ports.end(), [&](const auto& port) { return port.port == address.port; });
    }

    State& state_;
};

} // namespace vantor::platform::alsa
