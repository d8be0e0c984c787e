#include "midi/LostNrpnReport.h"

namespace vantor::midi {

LostNrpnReport::LostNrpnReport(MidiManager& manager, MainQueue& mainQueue, Console& console)
    : mainQueue_(mainQueue), console_(console) {
    nrpnLost_ = manager.nrpnLost.connect([this] { count(); });
}

std::string LostNrpnReport::line(std::size_t lost) {
    return "MIDI output queue full: " + std::to_string(lost) + (lost == 1 ? " NRPN message" : " NRPN messages") +
           " lost.";
}

void LostNrpnReport::count() {
    if (lostInBurst_++ == 0) mainQueue_.postAfter(kBurstLength, lifetime_.guard([this] { report(); }));
}

void LostNrpnReport::report() {
    console_.printLine(line(lostInBurst_));
    lostInBurst_ = 0;
}

} // namespace vantor::midi
