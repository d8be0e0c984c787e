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
// queue) is retried the same way. Measured on Debian's kernel with the USB
// MIDI gadget as a synth reading at the DIN rate, a three-second drag of six
// grouped sliders (600 NRPNs a second) handed over at once left 599 orphan
// Control Changes and four of the six parameters on an old value; paced, 787
// whole NRPNs (262 a second), none orphaned, every last value there 24 ms
// after the last move. The DIN rate is the pace of the slowest link a synth
// is reached by, so it is the one safe for all; a faster link loses nothing
// by it but the chance to send values the next one replaces anyway.
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
    // next, so the wire never idles between two NRPNs while more wait, even
    // when the main queue's timer (millisecond steps) runs a few milliseconds
    // late. It also bounds what a drag's end waits for: at most this plus
    // one wire time per parameter still waiting (34.6 ms for seven; measured
    // over JACK, 34-35 ms median, 259 NRPNs a second; one and a half wire
    // times measured no shorter, within the machine's noise).
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
