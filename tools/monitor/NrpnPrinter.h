#pragma once

#include "midi/NrpnDecoder.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace vantor::monitor {

// Turns the MIDI messages of one input into lines: one per complete NRPN,
//   NRPN 28 "mod A depth" = 16383
// (with " (channel N)" appended when not on MIDI channel 1, and no label
// for numbers the program never sends), and one "warning: ..." line per
// malformed or interrupted sequence. Each line is flushed at once, so a
// reader at the other end of a pipe sees it immediately.
class NrpnPrinter {
public:
    explicit NrpnPrinter(std::FILE* out) : out_(out) {}

    void message(std::span<const std::uint8_t> bytes);
    void lost(std::size_t messages);
    // The kernel emptied the input queue, `droppedEvents` events with it.
    void overflowed(std::size_t droppedEvents);
    void line(const std::string& text);

private:
    std::FILE* out_;
    midi::NrpnDecoder decoder_;
};

std::string describeNrpn(const midi::NrpnMessage& nrpn);

} // namespace vantor::monitor
