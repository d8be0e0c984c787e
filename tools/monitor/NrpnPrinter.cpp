#include "NrpnPrinter.h"

#include "surface/ParameterCatalogue.h"

#include <variant>

namespace vantor::monitor {

std::string describeNrpn(const midi::NrpnMessage& nrpn) {
    std::string text = "NRPN " + std::to_string(nrpn.parameter);
    if (const auto label = surface::parameterLabel(nrpn.parameter)) {
        text += " \"";
        text += *label;
        text += '"';
    }
    text += " = " + std::to_string(nrpn.value);
    if (nrpn.channel != 0) text += " (channel " + std::to_string(nrpn.channel + 1) + ")";
    return text;
}

void NrpnPrinter::message(std::span<const std::uint8_t> bytes) {
    const auto event = decoder_.feedMessage(bytes);
    if (!event) return;
    if (const auto* nrpn = std::get_if<midi::NrpnMessage>(&*event)) {
        line(describeNrpn(*nrpn));
    } else {
        line(std::get<midi::DecodeWarning>(*event).text);
    }
}

void NrpnPrinter::lost(std::size_t messages) {
    line("warning: " + std::to_string(messages) + " MIDI messages lost: the monitor fell behind");
}

void NrpnPrinter::overflowed(std::size_t droppedEvents) {
    // Four controller events make an NRPN; a sequence cut by the drop is
    // reported by the decoder when the next one begins.
    line("warning: MIDI input queue overflowed: the kernel dropped the " + std::to_string(droppedEvents) +
         " events queued (" + std::to_string(droppedEvents / 4) + " NRPNs)");
}

void NrpnPrinter::line(const std::string& text) {
    std::fputs(text.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

} // namespace vantor::monitor
