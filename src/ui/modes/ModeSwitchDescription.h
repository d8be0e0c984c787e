#pragma once

#include "modes/ModeSwitches.h"
#include "ui/widgets/QtText.h"

#include <QString>

namespace vantor::modes {

// What a screen reader says a mode switch does, beyond its label: the mode
// it flips and the pair of NRPNs the synth hears, e.g. "Turns the pulse on
// or off (NRPN 135 on, 134 off)".
inline QString switchDescription(ModeSwitchId id) {
    const ModeSwitchInfo& info = modeSwitch(id);
    return QStringLiteral("%1 (NRPN %2 on, %3 off)")
        .arg(widgets::qtText(info.purpose))
        .arg(info.numberOn)
        .arg(info.numberOff);
}

} // namespace vantor::modes
