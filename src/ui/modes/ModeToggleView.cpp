#include "ui/modes/ModeToggleView.h"

#include "surface/ContentView.h"
#include "ui/modes/ModeSwitchDescription.h"
#include "ui/widgets/QtText.h"

#include <QScopedValueRollback>

namespace vantor::modes {

ModeToggleView::ModeToggleView(surface::ContentView& content, ModeSwitchId id, QWidget* parent)
    : QCheckBox(parent), content_(content), id_(id) {
    const ModeSwitchInfo& info = modeSwitch(id);
    setObjectName(QStringLiteral("modeSwitch.") + widgets::qtText(info.key));
    setAccessibleDescription(switchDescription(id));
    // Every way of changing the check mark ends here: a click, Space, an
    // assistive tool's "Toggle" (which emits no `clicked`), setChecked. The
    // core's watcher then sends the NRPN once per change of the flag.
    connect(this, &QCheckBox::toggled, this, [this](bool checked) {
        if (showingFlag_) return;
        content_.setModeFlag(id_, checked);
        showFlag();
    });
    showFlag();
    flagChanged_ = content_.modeFlagChanged.connect([this](ModeSwitchId changed, bool) {
        if (changed == id_) showFlag();
    });
}

void ModeToggleView::showFlag() {
    // Drawing the core's flag is no edit of it.
    const QScopedValueRollback guard(showingFlag_, true);
    const bool on = content_.modeFlag(id_);
    setChecked(on);
    setText(widgets::qtText(labelFor(modeSwitch(id_), on)));
}

} // namespace vantor::modes
