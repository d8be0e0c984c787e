#include "modes/ModButtons.h"

#include "surface/SendPath.h"

#include <string>

namespace vantor::modes {

void sendModButtonState(int index, const std::vector<bool>& pressed, const ModButtonTable& table,
                        midi::MidiManager& midi, Console& console) {
    const auto row = static_cast<std::size_t>(index);
    // A table longer than the pressed list would read past it; such a row
    // counts as undefined.
    const bool defined = index >= 0 && row < table.size() && !table[row].empty() && row < pressed.size();
    if (!defined) {
        console.printLine("NRPN numbers not defined for tab " + std::to_string(static_cast<long long>(index) + 1));
        return;
    }
    const ModButtonNumbers& numbers = table[row].front();
    const int parameter = pressed[row] ? numbers.on : numbers.off;
    const auto endpoint = midi.connectedEndpoint();
    if (!endpoint) {
        console.printLine(surface::kNoMidiDevice);
        return;
    }
    midi.sendNRPN(127, parameter, 0, *endpoint);
}

} // namespace vantor::modes
