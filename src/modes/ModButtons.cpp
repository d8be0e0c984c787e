#include "modes/ModButtons.h"

#include "midi/SendOrPrint.h"

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
    midi::sendOrPrint(midi, console, parameter, 127, midi::kNoMidiDevice);
}

} // namespace vantor::modes
