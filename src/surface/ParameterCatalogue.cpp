#include "surface/ParameterCatalogue.h"

#include "modes/ModeSwitches.h"

namespace vantor::surface {

std::optional<std::string_view> parameterLabel(int nrpn) {
    if (nrpn >= 1 && nrpn <= static_cast<int>(kSliderCount)) return kSliderLabels[static_cast<std::size_t>(nrpn - 1)];
    const int utilitySlider = nrpn - kUtilityFirstParameter;
    if (utilitySlider >= 0 && utilitySlider < static_cast<int>(kUtilitySliderLabels.size())) {
        return kUtilitySliderLabels[static_cast<std::size_t>(utilitySlider)];
    }
    for (const auto& command : kUtilityCommands) {
        if (command.parameter == nrpn) return command.label;
    }
    if (const auto mode = modes::modeNumber(nrpn)) return modes::labelFor(modes::modeSwitch(mode->id), mode->on);
    return std::nullopt;
}

} // namespace vantor::surface
