#pragma once

#include "platform/jack/JackHandles.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vantor::e2e {

// One MIDI event as a receiving client saw it in its process callback.
struct ReceivedEvent {
    std::uint64_t arrivalMicros = 0; // jack_get_time() when the callback began
    std::uint32_t period = 0;        // the receiver's process cycle it came in, counted from 0
    std::uint8_t port = 0;           // index into the receiver's ports
    std::uint8_t size = 0;           // the event's size in bytes
    std::array<std::uint8_t, 3> bytes{}; // its first bytes
};

// A JACK client of the test with MIDI input ports of the given names. Its
// process callback copies every event into a lock-free ring; the test reads
// them on its own thread.
class JackReceiver {
public:
    JackReceiver(const std::string& clientName, const std::vector<std::string>& portNames);
    ~JackReceiver();
    JackReceiver(const JackReceiver&) = delete;
    JackReceiver& operator=(const JackReceiver&) = delete;

    bool ok() const { return client_ != nullptr && ports_.size() == portNames_.size(); }
    std::string fullPortName(std::size_t index) const;

    // Events that arrived since the last call.
    std::vector<ReceivedEvent> take();
    // Collects events until `count` have arrived in all or `timeout` passes.
    std::vector<ReceivedEvent> collect(std::size_t count, std::chrono::milliseconds timeout);
    std::size_t lost() const { return lost_.load(); }

private:
    static int process(jack_nframes_t frames, void* self);

    platform::JackRingbufferHandle ring_; // process callback writes, test thread reads
    platform::JackClientHandle client_;
    std::vector<std::string> portNames_;
    std::vector<jack_port_t*> ports_;    // written before activation, read by the process callback
    std::atomic<std::size_t> lost_{0};   // events the ring had no room for
    std::uint32_t cycles_ = 0;           // process callback only
};

// The bytes of a run of events, in order, for decoding.
std::vector<std::uint8_t> bytesOf(const std::vector<ReceivedEvent>& events);

} // namespace vantor::e2e
