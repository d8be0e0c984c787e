#pragma once

#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "midi/MidiService.h"
#include "midi/NrpnDecoder.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

namespace vantor::midi {

// Hands NRPNs to a MIDI link no faster than a MIDI 1.0 wire carries them,
// and when the user moves faster than that, keeps per parameter only the
// newest value not yet sent. Waiting parameters leave in the order they were
// last changed, as the wire has room, so the synth always ends on the last
// value of every parameter, and a switch whose on and off are two numbers
// ends on the one pressed last.
//
// Why the wire's pace and not the link's: a synth behind a USB interface (or
// reading its USB input at the DIN rate) has no flow control back to us. The
// kernel accepts every event and the interface drops what its synth has no
// room for, byte by byte, which leaves Control Changes that belong to no
// whole NRPN. Handing over no more than the wire carries keeps the
// interface's buffer from filling. A refusal that does reach us (a full
// queue) is retried the same way.
//
// The first NRPN of a move leaves at once; only what follows within the same
// few milliseconds waits. Main thread only; nothing blocks.
class NrpnPacer {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Send = std::function<SendResult(const NrpnMessage&)>;

    // 12 bytes of 10 bits (start, 8 data, stop) at 31,250 baud.
    static constexpr std::chrono::microseconds kWireTime{3840};
    // What may be handed over ahead of the wire: the one being sent and the
    // next, so the wire never idles between two NRPNs while more wait.
    static constexpr std::chrono::microseconds kAhead = 2 * kWireTime;

    // Time is the main queue's: the clock its delayed tasks run by.
    NrpnPacer(MainQueue& mainQueue, Send send);
    NrpnPacer(const NrpnPacer&) = delete;
    NrpnPacer& operator=(const NrpnPacer&) = delete;

    // Sends `message` now if the wire has room and nothing waits, else keeps
    // it as its parameter's newest value.
    void submit(const NrpnMessage& message);
    // Forgets everything waiting (the destination is gone).
    void clear();

    std::size_t waiting() const { return waiting_.size(); }
    // Values replaced by a newer one of the same parameter before they left.
    std::size_t superseded() const { return superseded_; }

private:
    void drain();
    bool wireHasRoom(TimePoint now) const { return busyUntil_ - now < kAhead; }
    void scheduleDrain(TimePoint now);

    MainQueue& mainQueue_;
    Send send_;
    std::vector<NrpnMessage> waiting_; // oldest change first, one per channel and parameter
    TimePoint busyUntil_{};            // when the wire has sent everything handed over
    bool drainScheduled_ = false;
    std::size_t superseded_ = 0;
    Lifetime lifetime_; // last: a scheduled drain is disowned first
};

} // namespace vantor::midi
