#pragma once

#include "core/Console.h"
#include "midi/MidiManager.h"

#include <cstddef>
#include <vector>

namespace vantor::modes {

inline constexpr std::size_t kModButtonCount = 7;

// The NRPN numbers that announce a mod button as pressed (`on`) or released
// (`off`). Row r belongs to mod button r; only a row's first pair is used.
struct ModButtonNumbers {
    int on = 0;
    int off = 0;
};
using ModButtonTable = std::vector<std::vector<ModButtonNumbers>>;

// Announces mod button `index`: value 127 to its `on` or `off` number. A
// button without numbers (no row, an empty row, or no pressed state to read)
// prints "NRPN numbers not defined for tab " and index + 1 instead.
void sendModButtonState(int index, const std::vector<bool>& pressed, const ModButtonTable& table,
                        midi::MidiManager& midi, Console& console);

} // namespace vantor::modes
