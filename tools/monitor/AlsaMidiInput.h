#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <poll.h>
#include <span>
#include <string>
#include <vector>

namespace vantor::monitor {

// An ALSA sequencer client with one port that other clients can write to
// and subscribe to. Events are read without blocking and handed over as
// MIDI bytes, one message at a time.
class AlsaMidiInput {
public:
    using Consumer = std::function<void(std::span<const std::uint8_t> message)>;

    AlsaMidiInput(const std::string& clientName, const std::string& portName);
    ~AlsaMidiInput();
    AlsaMidiInput(const AlsaMidiInput&) = delete;
    AlsaMidiInput& operator=(const AlsaMidiInput&) = delete;

    bool ok() const;
    std::string address() const; // "client:port"
    // Descriptors to wait on for input.
    std::vector<pollfd> pollDescriptors() const;
    // main thread: hands over every event waiting; returns how many were
    // lost because the kernel's input pool overflowed.
    std::size_t drain(const Consumer& consume);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vantor::monitor
