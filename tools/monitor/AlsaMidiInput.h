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

    // Cells of the kernel's input pool, one per controller event: a dice
    // roll sends 44 NRPNs of 4 events (176 cells), ALSA's default pool of
    // 200 cells holds barely one. 2000 is the most the kernel grants a
    // client and holds eleven rolls.
    static constexpr int kInputPoolCells = 2000;

    // What one drain() met.
    struct Drained {
        // How often the kernel found the input pool full. Each time it threw
        // away every event still queued for us, then told us so.
        std::size_t overflows = 0;
        // The events thrown away: the pool was full, one cell per event.
        std::size_t droppedEvents = 0;
    };

    AlsaMidiInput(const std::string& clientName, const std::string& portName);
    ~AlsaMidiInput();
    AlsaMidiInput(const AlsaMidiInput&) = delete;
    AlsaMidiInput& operator=(const AlsaMidiInput&) = delete;

    bool ok() const;
    std::string address() const; // "client:port"
    // Descriptors to wait on for input.
    std::vector<pollfd> pollDescriptors() const;
    // The input pool the kernel granted, in cells.
    int inputPoolCells() const;
    // main thread: hands over every event waiting.
    Drained drain(const Consumer& consume);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vantor::monitor
