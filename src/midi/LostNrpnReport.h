#pragma once

#include "core/Console.h"
#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "core/Signal.h"
#include "midi/MidiManager.h"

#include <chrono>
#include <cstddef>
#include <string>

namespace vantor::midi {

// Says on standard output when NRPNs were refused because the output queue
// was full, so that a lost move does not pass unnoticed. One line per burst:
// the first refused NRPN opens a burst, every one refused within the next
// second joins it, and then a single line gives the count, e.g.
// "MIDI output queue full: 12 NRPN messages lost." A stalled queue under a
// long drag so costs one line a second, not one per move. Main thread only.
class LostNrpnReport {
public:
    static constexpr std::chrono::milliseconds kBurstLength{1000};

    LostNrpnReport(MidiManager& manager, MainQueue& mainQueue, Console& console);
    LostNrpnReport(const LostNrpnReport&) = delete;
    LostNrpnReport& operator=(const LostNrpnReport&) = delete;

    static std::string line(std::size_t lost);

private:
    void count();
    void report();

    MainQueue& mainQueue_;
    Console& console_;
    std::size_t lostInBurst_ = 0;
    Signal<>::Connection nrpnLost_;
    Lifetime lifetime_; // last: a pending report is disowned before anything else goes
};

} // namespace vantor::midi
