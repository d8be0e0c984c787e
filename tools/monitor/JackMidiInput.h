#pragma once

#include "platform/jack/JackHandles.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace vantor::monitor {

// A JACK client with one MIDI input port. The process callback copies each
// event into a lock-free ring; the main thread takes them out with drain().
class JackMidiInput {
public:
    using Consumer = std::function<void(std::span<const std::uint8_t> message)>;

    // Opens the client under exactly `clientName`, never starting a server;
    // error() says why when it fails.
    JackMidiInput(const std::string& clientName, const std::string& portName);
    ~JackMidiInput();
    JackMidiInput(const JackMidiInput&) = delete;
    JackMidiInput& operator=(const JackMidiInput&) = delete;

    bool ok() const { return client_ != nullptr; }
    const std::string& error() const { return error_; }
    std::string portName() const;

    // main thread: hands over every event received so far; returns how many
    // events were dropped because the ring was full since the last call.
    std::size_t drain(const Consumer& consume);
    bool serverGone() const { return serverGone_.load(); }

private:
    // A fixed-size record keeps writing it a single ring operation; longer
    // messages (System Exclusive) keep their first bytes, enough to be
    // reported as unexpected.
    struct Record {
        std::uint16_t size;
        std::array<std::uint8_t, 14> bytes;
    };

    // process callback: no locks, no allocation
    static int process(jack_nframes_t frames, void* self);
    // runs like a signal handler: only sets the flag
    static void shutdown(void* self);

    platform::JackRingbufferHandle ring_; // process callback writes, main thread reads
    platform::JackClientHandle client_;
    jack_port_t* port_ = nullptr;         // set before activation
    std::string error_;
    std::atomic<std::size_t> dropped_{0};
    std::atomic<bool> serverGone_{false};
};

} // namespace vantor::monitor
