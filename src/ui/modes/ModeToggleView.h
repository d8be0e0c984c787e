#pragma once

#include "core/Signal.h"
#include "modes/ModeSwitches.h"

#include <QCheckBox>

namespace vantor::surface {
class ContentView;
}

namespace vantor::modes {

// One of the six toggle switches (voice, drum, pulse, algorithm mode,
// channel assign, complexity). It shows its flag, and its label names the
// current mode; any change of its check mark (mouse, keyboard, an assistive
// tool, code) writes the flag into the core. The core's watcher, not this
// widget, sends the switch's NRPN, once per change and only while the switch
// is on screen, so copies of the switch on other pages never send twice.
class ModeToggleView : public QCheckBox {
    Q_OBJECT

public:
    ModeToggleView(surface::ContentView& content, ModeSwitchId id, QWidget* parent = nullptr);

    ModeSwitchId id() const { return id_; }

private:
    void showFlag();

    surface::ContentView& content_;
    const ModeSwitchId id_;
    bool showingFlag_ = false; // set while showFlag() moves the check mark
    Signal<ModeSwitchId, bool>::Connection flagChanged_;
};

} // namespace vantor::modes
